#include "CheckListReport.h"

#include "LogonState.h"
#include "RtfWriter.h"
#include "ValueText.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {

/// The report is laid out in dots of 1/1200 inch whatever it is painted on,
/// so that the preview, a printer and a PDF get the same pages.
constexpr qreal dotsPerInch = 1200;
constexpr qreal dotsPerPoint = dotsPerInch / 72;
/// Below this the columns would not be readable: narrower paper than A4
/// portrait is not meant for a check-list, but its pages still show all.
constexpr double smallestBodyPoints = 2;

qreal dots(double points)
{
    return points * dotsPerPoint;
}

int twips(qreal dots)
{
    return int(std::lround(dots * 1440 / dotsPerInch));
}

const QString reportFamily = QStringLiteral("DejaVu Sans");

QFont reportFont(const QString& family, double points, bool bold = false, bool italic = false)
{
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, int(std::lround(dots(points)))));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

/// Text widths summed from the advance of each character: measuring every
/// cell of a long EGM whole would cost as much as drawing it again. Data of
/// these columns (digits, capitals, dates) has no kerning to speak of; the
/// columns get a little to spare.
class Advances
{
public:
    explicit Advances(const QFont& font) : metrics_(font)
    {
        for (int c = 0; c < 128; ++c)
            ascii_[c] = c < 32 ? 0 : metrics_.horizontalAdvance(QChar(c));
    }
    qreal width(const QString& text) const
    {
        qreal w = 0;
        for (const QChar ch : text)
            w += ch.unicode() < 128 ? ascii_[ch.unicode()] : metrics_.horizontalAdvance(ch);
        return w;
    }

private:
    QFontMetricsF metrics_;
    qreal ascii_[128];
};

enum ColumnId
{
    ColNo,
    ColSbNo,
    ColSbDate,
    ColSbPort,
    ColDestPort,
    ColGatePort,
    ColNature,
    ColPackages,
    ColVolume,
    ColUnit,
    ColLineCode,
    ColContainer,
    ColStatus,
    ColumnCount
};

/// Column headings on two lines, so that a column is as wide as its data.
const char* const headings[ColumnCount][2] = {
    {"", "No."},      {"S/B", "No."},       {"S/B", "Date"}, {"S/B", "Port"}, {"Dest.", "Port"},
    {"Gate", "Port"}, {"", "Nature"},       {"", "Pkgs"},    {"", "Volume"},  {"", "Unit"},
    {"Line", "Code"}, {"Container", "No."}, {"", "Status"}};

QString headingLine(int column, int line)
{
    return QString::fromLatin1(headings[column][line]);
}

bool rightAligned(int column)
{
    return column == ColNo || column == ColPackages || column == ColVolume;
}

QString numberText(double value)
{
    return ValueText::numberText(value);
}

/// Decimals of a number as numberText() writes it; -1 for the scientific form.
int decimalsOf(const QString& number)
{
    if (number.contains(u'E'))
        return -1;
    const qsizetype dot = number.indexOf(u'.');
    return dot < 0 ? 0 : int(number.size() - dot - 1);
}

/// Volumes with as many decimals as the one that has most, so that the
/// column lines up on the decimal point ("12.500" over "3.250"). The count
/// comes from the values' own text: nothing is rounded away.
int alignVolumes(QList<CheckList::Bill>& bills)
{
    int decimals = 0;
    for (const CheckList::Bill& b : bills)
        if (!b.volume.isEmpty())
            decimals = std::max(decimals, decimalsOf(b.volume));
    for (CheckList::Bill& b : bills)
        if (!b.volume.isEmpty() && decimalsOf(b.volume) >= 0)
            b.volume = QString::number(b.volumeValue, 'f', decimals);
    return decimals;
}

} // namespace

QStringList CheckListReport::columnHeadings()
{
    QStringList list;
    for (int c = 0; c < ColumnCount; ++c)
        list << (headingLine(c, 0) + u' ' + headingLine(c, 1)).trimmed();
    return list;
}

CheckListReport::CheckListReport(CheckList::Rows rows, Heading heading, const QPageLayout& layout)
    : rows_(std::move(rows)), heading_(std::move(heading)), layout_(layout)
{
    const QRectF paint = layout_.paintRect(QPageLayout::Point);
    pageWidth_ = dots(paint.width());
    pageHeight_ = dots(paint.height());
    volumeDecimals_ = alignVolumes(rows_.bills);
    chooseFonts(8.5);
    layOutColumns();
    paginate();
}

std::unique_ptr<CheckListReport> CheckListReport::forRows(RowSet& rows, const QString& rotText,
                                                          const QPageLayout& layout)
{
    return std::make_unique<CheckListReport>(CheckList::billsOf(rows),
                                             Heading{ApplyHeadFont(logonState().CompanyName),
                                                     CheckList::title(rotText),
                                                     QDateTime::currentDateTime()},
                                             layout);
}

void CheckListReport::chooseFonts(double bodyPoints)
{
    bodyPoints_ = bodyPoints;
    body_ = reportFont(reportFamily, bodyPoints);
    bold_ = reportFont(reportFamily, bodyPoints, true);
    const HeadFont& h = heading_.company;
    head_ = h.changeFont ? reportFont(h.family, h.size, true) : reportFont(reportFamily, 15, true);
    titleFont_ = reportFont(reportFamily, 11.5, true);
    small_ = reportFont(reportFamily, 7.5);

    const QFontMetricsF body(body_), head(head_), title(titleFont_), small(small_);
    rowHeight_ = std::ceil(body.lineSpacing() * 1.2);
    bodyAscent_ = (rowHeight_ - body.lineSpacing()) / 2 + body.ascent();
    headHeight_ = std::ceil(head.lineSpacing() * 1.1);
    headAscent_ = head.ascent();
    titleHeight_ = std::ceil(title.lineSpacing() * 1.3);
    titleAscent_ = title.ascent();
    smallHeight_ = std::ceil(small.lineSpacing() * 1.2);
    smallAscent_ = small.ascent();
}

const QString& CheckListReport::cell(const Line& line, int column, bool firstOnPage) const
{
    static const QString none;
    const CheckList::Bill& b = rows_.bills[line.bill];
    if (column >= ColContainer) {
        if (line.container < 0)
            return none;
        const CheckList::Container& c = b.containers[line.container];
        return column == ColContainer ? c.number : c.status;
    }
    // A bill's fields stand on its first line only; a page that opens
    // among its containers names the bill again.
    if (line.container > 0 && !(firstOnPage && column == ColSbNo))
        return none;
    switch (column) {
    case ColSbNo:
        return b.sbNo;
    case ColSbDate:
        return b.sbDate;
    case ColSbPort:
        return b.sbPort;
    case ColDestPort:
        return b.destPort;
    case ColGatePort:
        return b.gatePort;
    case ColNature:
        return b.nature;
    case ColPackages:
        return b.packages;
    case ColVolume:
        return b.volume;
    case ColUnit:
        return b.unit;
    case ColLineCode:
        return b.lineCode;
    default:
        break;
    }
    return none;
}

void CheckListReport::layOutColumns()
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const Advances body(body_), bold(bold_);
        QList<qreal> widest(ColumnCount, 0);
        for (int c = 0; c < ColumnCount; ++c)
            widest[c] = std::max(bold.width(headingLine(c, 0)), bold.width(headingLine(c, 1)));
        widest[ColNo] = std::max(widest[ColNo], body.width(QString::number(rows_.bills.size())));
        for (const CheckList::Bill& b : rows_.bills) {
            const QString* fields[] = {&b.sbNo,   &b.sbDate,   &b.sbPort, &b.destPort, &b.gatePort,
                                       &b.nature, &b.packages, &b.volume, &b.unit,     &b.lineCode};
            for (int i = 0; i < int(std::size(fields)); ++i)
                widest[ColSbNo + i] = std::max(widest[ColSbNo + i], body.width(*fields[i]));
            for (const CheckList::Container& c : b.containers) {
                widest[ColContainer] = std::max(widest[ColContainer], body.width(c.number));
                widest[ColStatus] = std::max(widest[ColStatus], body.width(c.status));
            }
        }
        const qreal em = body_.pixelSize();
        const qreal minGap = 0.6 * em;
        qreal needed = minGap * (ColumnCount - 1);
        for (qreal& w : widest) {
            w = std::ceil(w * 1.02);
            needed += w;
        }
        if (needed > pageWidth_ && bodyPoints_ > smallestBodyPoints) {
            chooseFonts(std::max(smallestBodyPoints, bodyPoints_ * pageWidth_ / needed * 0.98));
            continue;
        }
        const qreal gap =
            minGap + std::clamp((pageWidth_ - needed) / (ColumnCount - 1), 0.0, 2 * em);
        columns_.clear();
        qreal x = 0;
        for (int c = 0; c < ColumnCount; ++c) {
            columns_ << Column{x, widest[c], rightAligned(c)};
            x += widest[c] + gap;
        }
        return;
    }
}

void CheckListReport::paginate()
{
    topOfColumns_ = headHeight_ + titleHeight_ + smallHeight_ + 0.4 * rowHeight_;
    topOfBody_ = topOfColumns_ + rowHeight_ * 2.25;
    footerTop_ = pageHeight_ - smallHeight_ - 0.4 * rowHeight_;
    const int totalsRows = 3;
    rowsPerPage_ =
        std::max(totalsRows + 1, int(std::floor((footerTop_ - topOfBody_) / rowHeight_)));

    lines_.clear();
    for (int b = 0; b < rows_.bills.size(); ++b) {
        const int n = int(rows_.bills[b].containers.size());
        if (n == 0)
            lines_.push_back({b, -1});
        for (int c = 0; c < n; ++c)
            lines_.push_back({b, c});
    }
    pages_.clear();
    pages_.push_back({0, 0, false});
    const int noBillNote = rows_.bills.isEmpty() ? 1 : 0;
    for (int i = 0; i < int(lines_.size()); ++i) {
        Page& page = pages_.back();
        const Line& line = lines_[size_t(i)];
        const bool opensBill = line.container <= 0;
        const bool billGoesOn =
            opensBill && i + 1 < int(lines_.size()) && lines_[size_t(i) + 1].bill == line.bill;
        // A bill's first line is not left alone at the foot of a page.
        if (page.lineCount == rowsPerPage_ ||
            (page.lineCount == rowsPerPage_ - 1 && billGoesOn && page.lineCount > 0))
            pages_.push_back({i, 0, false});
        ++pages_.back().lineCount;
    }
    if (pages_.back().lineCount + noBillNote + totalsRows > rowsPerPage_)
        pages_.push_back({int(lines_.size()), 0, false});
    pages_.back().totals = true;
}

QString CheckListReport::pageText(int page) const
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pageCount());
}

QStringList CheckListReport::totalsText() const
{
    QStringList volumes;
    for (const CheckList::Volume& v : rows_.volumes()) {
        const QString total = QString::number(v.total, 'f', volumeDecimals_);
        volumes << (v.unit.isEmpty() ? total : total + u' ' + v.unit);
    }
    return {QStringLiteral("Shipping bills: %1      Containers: %2      Packages: %3")
                .arg(rows_.bills.size())
                .arg(rows_.containers)
                .arg(numberText(rows_.packages())),
            QStringLiteral("Volume: ") +
                (volumes.isEmpty() ? QStringLiteral("0") : volumes.join(QStringLiteral(", ")))};
}

QString CheckListReport::titleLine() const
{
    const QString date = egmDateText();
    return date.isEmpty() ? heading_.title : heading_.title + QStringLiteral("    ") + date;
}

QString CheckListReport::egmDateText() const
{
    const QStringList& dates = rows_.egmDates;
    if (dates.isEmpty())
        return QString();
    if (dates.size() == 1)
        return QStringLiteral("EGM Date: ") + dates.first();
    QStringList shown = dates.mid(0, 3);
    if (dates.size() > 3)
        shown << QStringLiteral("...");
    return QStringLiteral("EGM Dates: ") + shown.join(QStringLiteral(", "));
}

namespace {

/// Texts a check-list prints again and again (the headings on every page,
/// ports, dates, codes) are shaped once and then only placed: shaping is
/// half of what drawing a text costs.
class ShapedTexts
{
public:
    ShapedTexts(const QFont& font, QPainter& painter)
        : font_(font), metrics_(font), painter_(painter)
    {}
    /// Draws text with its baseline at y, from x (or ending at x).
    void draw(qreal x, qreal y, const QString& text, bool endsAtX = false)
    {
        auto it = cache_.find(text);
        if (it == cache_.end()) {
            if (cache_.size() >= maxEntries) {
                painter_.drawText(QPointF(endsAtX ? x - width(text) : x, y), text);
                return;
            }
            QTextLayout layout(text, font_);
            layout.beginLayout();
            const QTextLine line = layout.createLine();
            layout.endLayout();
            it = cache_.insert(text, {layout.glyphRuns(), line.naturalTextWidth(), line.ascent()});
        }
        if (endsAtX)
            x -= it->width;
        for (const QGlyphRun& run : it->runs)
            painter_.drawGlyphRun(QPointF(x, y - it->ascent), run);
    }
    qreal width(const QString& text) const { return metrics_.horizontalAdvance(text); }

private:
    static constexpr qsizetype maxEntries = 20000;
    struct Shaped
    {
        QList<QGlyphRun> runs;
        qreal width;
        qreal ascent;
    };
    QFont font_;
    QFontMetricsF metrics_;
    QPainter& painter_;
    QHash<QString, Shaped> cache_;
};

/// Columns whose entries repeat down the pages.
bool repeats(int column)
{
    return column != ColNo && column != ColSbNo && column != ColContainer;
}

} // namespace

void CheckListReport::paint(QPainter& painter, QPagedPaintDevice& device, int first, int last) const
{
    first = std::max(first, 1);
    last = std::min(last, pageCount());
    const QTransform scale = QTransform::fromScale(device.logicalDpiX() / dotsPerInch,
                                                   device.logicalDpiY() / dotsPerInch);
    const Advances bodyWidth(body_), smallWidth(small_);
    ShapedTexts head(head_, painter), title(titleFont_, painter), small(small_, painter),
        bold(bold_, painter), body(body_, painter);
    const QString printed = QStringLiteral("Printed on ") +
                            heading_.printed.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    const QPen text(Qt::black, 0);
    const QPen rule(Qt::black, dots(0.6));
    const QPen separator(QColor(150, 150, 150), dots(0.3));
    const auto drawRight = [&painter](const QString& s, qreal right, qreal y, qreal width) {
        painter.drawText(QPointF(right - width, y), s);
    };
    const auto centred = [this](const ShapedTexts& shaped, const QString& s) {
        return std::max<qreal>(0, (pageWidth_ - shaped.width(s)) / 2);
    };
    const qreal companyX = centred(head, heading_.company.text);
    const QString titleText = titleLine();
    const qreal titleX = centred(title, titleText);

    for (int p = first; p <= last; ++p) {
        if (p != first)
            device.newPage();
        painter.setWorldTransform(scale);
        const Page& page = pages_[size_t(p) - 1];

        // Heading: the company, the title, the EGM date.
        painter.setPen(text);
        painter.setFont(head_);
        head.draw(companyX, headAscent_, heading_.company.text);
        painter.setFont(titleFont_);
        title.draw(titleX, headHeight_ + titleAscent_, titleText);

        // Column headings.
        painter.setFont(bold_);
        for (int line = 0; line < 2; ++line) {
            const qreal headBase = topOfColumns_ + line * rowHeight_ + bodyAscent_;
            for (int c = 0; c < ColumnCount; ++c) {
                const QString h = headingLine(c, line);
                const Column& col = columns_[c];
                if (!h.isEmpty())
                    bold.draw(col.right ? col.x + col.width : col.x, headBase, h, col.right);
            }
        }
        painter.setPen(rule);
        const qreal underHeadings = topOfColumns_ + rowHeight_ * 2.1;
        painter.drawLine(QPointF(0, underHeadings), QPointF(pageWidth_, underHeadings));

        // The bills and their containers.
        painter.setFont(body_);
        for (int i = 0; i < page.lineCount; ++i) {
            const Line& line = lines_[size_t(page.firstLine + i)];
            const qreal top = topOfBody_ + i * rowHeight_;
            if (line.container <= 0 && i > 0) {
                painter.setPen(separator);
                painter.drawLine(QPointF(0, top), QPointF(pageWidth_, top));
            }
            painter.setPen(text);
            const qreal base = top + bodyAscent_;
            if (line.container <= 0) {
                const QString no = QString::number(line.bill + 1);
                drawRight(no, columns_[ColNo].x + columns_[ColNo].width, base, bodyWidth.width(no));
            }
            for (int c = ColSbNo; c < ColumnCount; ++c) {
                const QString& s = cell(line, c, i == 0);
                if (s.isEmpty())
                    continue;
                const Column& col = columns_[c];
                const qreal x = col.right ? col.x + col.width : col.x;
                if (repeats(c))
                    body.draw(x, base, s, col.right);
                else if (col.right)
                    drawRight(s, x, base, bodyWidth.width(s));
                else
                    painter.drawText(QPointF(x, base), s);
            }
        }

        qreal y = topOfBody_ + page.lineCount * rowHeight_;
        if (page.totals && rows_.bills.isEmpty()) {
            painter.drawText(QPointF(0, y + bodyAscent_),
                             QStringLiteral("No shipping bill is recorded for this ROT No."));
            y += rowHeight_;
        }
        if (page.totals) {
            painter.setPen(rule);
            y += rowHeight_ * 0.4;
            painter.drawLine(QPointF(0, y), QPointF(pageWidth_, y));
            painter.setPen(text);
            painter.setFont(bold_);
            y += rowHeight_ * 0.3;
            for (const QString& t : totalsText()) {
                painter.drawText(QPointF(0, y + bodyAscent_), t);
                y += rowHeight_;
            }
        }

        // Footer.
        painter.setPen(rule);
        painter.drawLine(QPointF(0, footerTop_), QPointF(pageWidth_, footerTop_));
        painter.setPen(text);
        painter.setFont(small_);
        const qreal footBase = footerTop_ + 0.3 * rowHeight_ + smallAscent_;
        small.draw(0, footBase, printed);
        const QString pageNo = pageText(p);
        drawRight(pageNo, pageWidth_, footBase, smallWidth.width(pageNo));
    }
}

QByteArray CheckListReport::rtf() const
{
    RtfWriter::Page page;
    const QRectF full = layout_.fullRect(QPageLayout::Point);
    const QMarginsF m = layout_.margins(QPageLayout::Point);
    page.width = int(std::lround(full.width() * 20));
    page.height = int(std::lround(full.height() * 20));
    page.landscape = layout_.orientation() == QPageLayout::Landscape;
    page.marginLeft = int(std::lround(m.left() * 20));
    page.marginRight = int(std::lround(m.right() * 20));
    page.marginTop = int(std::lround(m.top() * 20));
    page.marginBottom = int(std::lround(m.bottom() * 20));
    const QString headFamily = heading_.company.changeFont ? heading_.company.family : reportFamily;
    RtfWriter w(page, {reportFamily, headFamily});

    const double headPoints = head_.pixelSize() / dotsPerPoint;
    const RtfWriter::Style headStyle{
        1, headPoints, true, false, RtfWriter::Align::Centre, twips(headHeight_), 0, 0};
    const RtfWriter::Style titleStyle{
        0, 11.5, true, false, RtfWriter::Align::Centre, twips(titleHeight_), 0, 0};
    RtfWriter::Style smallStyle{0, 7.5, false, false, RtfWriter::Align::Left, twips(smallHeight_),
                                0, 0};
    const RtfWriter::Style bodyStyle{
        0, bodyPoints_, false, false, RtfWriter::Align::Left, twips(rowHeight_), 0, 0};
    RtfWriter::Style totalsStyle = bodyStyle;
    totalsStyle.bold = true;

    // Cells meet half-way between the columns; the padding keeps each
    // cell's text where the PDF has it.
    const qreal halfGap =
        columns_.size() > 1 ? (columns_[1].x - columns_[0].x - columns_[0].width) / 2 : 0;
    QList<int> rights;
    for (int c = 0; c < ColumnCount; ++c)
        rights << twips(c + 1 < ColumnCount ? columns_[c].x + columns_[c].width + halfGap
                                            : pageWidth_ + halfGap);
    const auto rowOf = [&](const auto& textOf, bool bold, bool italic) {
        QList<RtfWriter::Cell> cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells << RtfWriter::Cell{textOf(c), rights[c],
                                     rightAligned(c) ? RtfWriter::Align::Right
                                                     : RtfWriter::Align::Left,
                                     bold, italic && c == ColSbNo};
        return cells;
    };
    RtfWriter::Row rowStyle;
    rowStyle.height = twips(rowHeight_);
    rowStyle.padding = twips(halfGap);

    const QString titleText = titleLine();
    const QString printed = QStringLiteral("Printed on ") +
                            heading_.printed.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    for (int p = 1; p <= pageCount(); ++p) {
        const Page& pg = pages_[size_t(p) - 1];
        if (p > 1)
            w.pageBreak();
        w.paragraph(heading_.company.text, headStyle);
        RtfWriter::Style underTitle = titleStyle;
        underTitle.spaceAfter = twips(smallHeight_ + 0.4 * rowHeight_);
        w.paragraph(titleText, underTitle);

        RtfWriter::Row headRow = rowStyle;
        headRow.header = true;
        headRow.ruleBelow = true;
        headRow.height = 2 * rowStyle.height;
        w.row(rowOf([](int c) { return (headingLine(c, 0) + u'\n' + headingLine(c, 1)); }, true,
                    false),
              bodyStyle, headRow);
        for (int i = 0; i < pg.lineCount; ++i) {
            const Line& line = lines_[size_t(pg.firstLine + i)];
            RtfWriter::Row r = rowStyle;
            r.ruleAbove = line.container <= 0 && i > 0;
            w.row(rowOf(
                      [&](int c) {
                          if (c == ColNo)
                              return line.container <= 0 ? QString::number(line.bill + 1)
                                                         : QString();
                          return cell(line, c, i == 0);
                      },
                      false, false),
                  bodyStyle, r);
        }
        if (pg.totals) {
            if (rows_.bills.isEmpty()) {
                w.paragraph(QStringLiteral("No shipping bill is recorded for this ROT No."),
                            bodyStyle);
            }
            const QStringList totals = totalsText();
            for (int i = 0; i < totals.size(); ++i) {
                RtfWriter::Style s = totalsStyle;
                s.spaceBefore = i == 0 ? twips(0.7 * rowHeight_) : 0;
                w.paragraph(totals[i], s);
            }
        }
        // The footer as the PDF has it: when it was printed at the left, the
        // page at the right, under a rule.
        RtfWriter::Row footRow;
        footRow.ruleAbove = true;
        footRow.height = twips(smallHeight_ + 0.3 * rowHeight_);
        w.row(
            {RtfWriter::Cell{printed, twips(pageWidth_ / 2), RtfWriter::Align::Left, false, false},
             RtfWriter::Cell{pageText(p), twips(pageWidth_), RtfWriter::Align::Right, false,
                             false}},
            smallStyle, footRow);
    }
    return w.finish();
}
