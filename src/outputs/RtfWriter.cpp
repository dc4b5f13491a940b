#include "RtfWriter.h"

#include <cmath>

namespace {

QByteArray number(int n)
{
    return QByteArray::number(n);
}

QByteArray alignment(RtfWriter::Align a)
{
    switch (a) {
    case RtfWriter::Align::Centre:
        return "\\qc";
    case RtfWriter::Align::Right:
        return "\\qr";
    case RtfWriter::Align::Left:
        break;
    }
    return "\\ql";
}

/// Font sizes are whole half points.
int halfPoints(double pointSize)
{
    return std::max(1, int(std::lround(pointSize * 2)));
}

} // namespace

RtfWriter::RtfWriter(const Page& page, const QStringList& fonts)
{
    out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i)
        out_ += "{\\f" + number(i) + "\\fnil\\fcharset0 " + escaped(fonts[i]) + ";}";
    out_ += "}\n";
    out_ += "\\paperw" + number(page.width) + "\\paperh" + number(page.height) + "\\margl" +
            number(page.marginLeft) + "\\margr" + number(page.marginRight) + "\\margt" +
            number(page.marginTop) + "\\margb" + number(page.marginBottom);
    if (page.landscape)
        out_ += "\\landscape";
    out_ += "\\viewkind1\n";
}

QByteArray RtfWriter::characterFormat(const Style& style, bool bold, bool italic) const
{
    QByteArray f = "\\plain\\f" + number(style.font) + "\\fs" + number(halfPoints(style.pointSize));
    if (bold)
        f += "\\b";
    if (italic)
        f += "\\i";
    return f;
}

void RtfWriter::paragraph(const QString& text, const Style& style)
{
    out_ += "\\pard";
    if (breakPending_) {
        out_ += "\\pagebb";
        breakPending_ = false;
    }
    out_ += alignment(style.align);
    if (style.lineHeight > 0)
        out_ += "\\sl-" + number(style.lineHeight) + "\\slmult0";
    if (style.spaceBefore > 0)
        out_ += "\\sb" + number(style.spaceBefore);
    if (style.spaceAfter > 0)
        out_ += "\\sa" + number(style.spaceAfter);
    out_ += characterFormat(style, style.bold, style.italic) + ' ' + escaped(text) + "\\par\n";
}

void RtfWriter::row(const QList<Cell>& cells, const Style& style, const Row& row)
{
    if (breakPending_) {
        out_ += "\\pard\\plain\\page\n";
        breakPending_ = false;
    }
    // The first cell's text starts at the margin.
    out_ += "\\trowd\\trgaph" + number(row.padding) + "\\trleft" + number(-row.padding);
    if (row.height > 0)
        out_ += "\\trrh-" + number(row.height);
    if (row.header)
        out_ += "\\trhdr";
    out_ += "\\trkeep";
    for (const Cell& c : cells) {
        if (row.ruleAbove)
            out_ += "\\clbrdrt\\brdrs\\brdrw10";
        if (row.ruleBelow)
            out_ += "\\clbrdrb\\brdrs\\brdrw10";
        out_ += "\\cellx" + number(c.right);
    }
    out_ += '\n';
    for (const Cell& c : cells) {
        out_ += "\\pard\\intbl" + alignment(c.align);
        if (row.keepWithNext)
            out_ += "\\keepn";
        out_ += characterFormat(style, c.bold, c.italic) + ' ' + escaped(c.text) + "\\cell\n";
    }
    out_ += "\\row\n";
}

QByteArray RtfWriter::finish()
{
    QByteArray done = out_ + "}\n";
    out_.clear();
    return done;
}

QByteArray RtfWriter::escaped(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    bool controlWordOpen = false; // a control word needs a blank before plain text
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
            controlWordOpen = false;
        } else if (u == '\t' || u == '\n') {
            out += u == '\t' ? "\\tab" : "\\line";
            controlWordOpen = true;
        } else if (u < 0x20 || u == 0x7f) {
            continue;
        } else if (u < 0x80) {
            if (controlWordOpen)
                out += ' ';
            out += char(u);
            controlWordOpen = false;
        } else {
            // \u takes a signed 16-bit number; characters beyond the BMP go
            // as their two surrogates, as Word writes them.
            out += "\\u" + QByteArray::number(qint16(u)) + '?';
            controlWordOpen = false;
        }
    }
    return out;
}
