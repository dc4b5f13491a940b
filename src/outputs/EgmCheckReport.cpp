#include "EgmCheckReport.h"

#include "RtfWriter.h"
#include "ValueText.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <cmath>

namespace {

const QString kFamily = QStringLiteral("DejaVu Sans");

/// The report is laid out in dots of 1/1200 inch whatever it is painted on
/// (the painter is scaled to the device), so that the preview, a printer and
/// a PDF get the same pages; fonts are sized in those dots.
constexpr qreal kDotsPerInch = 1200;
constexpr qreal kDotsPerPoint = kDotsPerInch / 72;

QFont font(const QString& family, double points, bool bold = false)
{
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, int(std::lround(points * kDotsPerPoint))));
    f.setBold(bold);
    return f;
}

/// Left edges of the columns as shares of the width: severity, SB No.,
/// container, what is wrong.
constexpr qreal kShares[4] = {0, 0.10, 0.22, 0.38};

int twips(qreal dots)
{
    return int(std::lround(dots * 1440 / kDotsPerInch));
}

int pointTwips(qreal points)
{
    return int(std::lround(points * 20));
}

} // namespace

QStringList EgmCheckReport::columnHeadings()
{
    return {QStringLiteral("Severity"), QStringLiteral("SB No."), QStringLiteral("Container"),
            QStringLiteral("What is wrong")};
}

QString EgmCheckReport::titleFor(const QString& rotText, const std::optional<QDate>& egmDate)
{
    QString t = QStringLiteral("Check of ROT No. ") + rotText.trimmed();
    if (egmDate)
        t += QStringLiteral(" (EGM date %1)").arg(ValueText::dateText(*egmDate));
    return t;
}

EgmCheckReport::EgmCheckReport(QList<EgmCheck::Finding> findings, Heading heading,
                               const QPageLayout& layout)
    : findings_(std::move(findings)), heading_(std::move(heading)), layout_(layout)
{
    const QRectF paint = layout_.paintRect(QPageLayout::Point);
    width_ = paint.width() * kDotsPerPoint;
    height_ = paint.height() * kDotsPerPoint;
    body_ = font(kFamily, 9);
    bold_ = font(kFamily, 9, true);
    const HeadFont& h = heading_.company;
    head_ = h.changeFont ? font(h.family, h.size, true) : font(kFamily, 14, true);
    small_ = font(kFamily, 7.5);
    lineHeight_ = std::ceil(QFontMetricsF(body_).lineSpacing() * 1.25);
    const qreal headHeight = QFontMetricsF(head_).lineSpacing() * 1.2;
    // Company, title, summary, column headings.
    topOfLines_ = headHeight + 4 * lineHeight_;
    footerTop_ = height_ - 2 * lineHeight_;
    linesPerPage_ = std::max(1, int((footerTop_ - topOfLines_) / lineHeight_));
    pages_ = std::max(1, int((findings_.size() + linesPerPage_ - 1) / linesPerPage_));
    for (int c = 0; c < 4; ++c)
        columns_[c] = kShares[c] * width_;
}

QStringList EgmCheckReport::cells(int i) const
{
    const EgmCheck::Finding& f = findings_[i];
    return {f.severityText(), f.sbNo, f.container, f.message};
}

QString EgmCheckReport::footer(int page) const
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages_);
}

void EgmCheckReport::paint(QPainter& painter, QPagedPaintDevice& device, int first, int last) const
{
    first = std::max(first, 1);
    last = std::min(last, pages_);
    const QTransform scale = QTransform::fromScale(device.logicalDpiX() / kDotsPerInch,
                                                   device.logicalDpiY() / kDotsPerInch);
    const QString printed = QStringLiteral("Printed on ") +
                            heading_.printed.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    const QPen text(Qt::black, 0);
    const QPen rule(Qt::black, 0.6 * kDotsPerPoint);
    for (int p = first; p <= last; ++p) {
        if (p != first)
            device.newPage();
        painter.setWorldTransform(scale);
        painter.setPen(text);
        qreal y = 0;
        const auto line = [&](const QFont& f, const QString& s, Qt::Alignment align) {
            painter.setFont(f);
            const qreal h = QFontMetricsF(f).lineSpacing() * (f == head_ ? 1.2 : 1.25);
            painter.drawText(QRectF(0, y, width_, h), int(align | Qt::AlignVCenter), s);
            y += h;
        };
        line(head_, heading_.company.text, Qt::AlignHCenter);
        line(bold_, heading_.title, Qt::AlignHCenter);
        line(body_, heading_.summary, Qt::AlignLeft);
        painter.setFont(bold_);
        const QStringList headings = columnHeadings();
        y = topOfLines_ - lineHeight_;
        for (int c = 0; c < 4; ++c)
            painter.drawText(QRectF(columns_[c], y, width_ - columns_[c], lineHeight_),
                             Qt::AlignLeft | Qt::AlignVCenter, headings[c]);
        painter.setPen(rule);
        painter.drawLine(QPointF(0, topOfLines_), QPointF(width_, topOfLines_));
        painter.setPen(text);
        painter.setFont(body_);
        const QFontMetricsF metrics(body_);
        const int from = (p - 1) * linesPerPage_;
        const int to = std::min(int(findings_.size()), from + linesPerPage_);
        for (int i = from; i < to; ++i) {
            const qreal top = topOfLines_ + (i - from) * lineHeight_;
            const QStringList row = cells(i);
            for (int c = 0; c < 4; ++c) {
                const qreal right = c < 3 ? columns_[c + 1] - 4 * kDotsPerPoint : width_;
                const QString s = metrics.elidedText(row[c], Qt::ElideRight, right - columns_[c]);
                painter.drawText(QRectF(columns_[c], top, right - columns_[c], lineHeight_),
                                 Qt::AlignLeft | Qt::AlignVCenter, s);
            }
        }
        painter.setPen(rule);
        painter.drawLine(QPointF(0, footerTop_), QPointF(width_, footerTop_));
        painter.setPen(text);
        painter.setFont(small_);
        const QRectF foot(0, footerTop_ + 2 * kDotsPerPoint, width_, lineHeight_);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, printed);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, footer(p));
    }
}

QByteArray EgmCheckReport::rtf() const
{
    RtfWriter::Page page;
    const QRectF full = layout_.fullRect(QPageLayout::Point);
    const QMarginsF m = layout_.margins(QPageLayout::Point);
    page.width = pointTwips(full.width());
    page.height = pointTwips(full.height());
    page.landscape = layout_.orientation() == QPageLayout::Landscape;
    page.marginLeft = pointTwips(m.left());
    page.marginRight = pointTwips(m.right());
    page.marginTop = pointTwips(m.top());
    page.marginBottom = pointTwips(m.bottom());
    const QString headFamily = heading_.company.changeFont ? heading_.company.family : kFamily;
    RtfWriter w(page, {kFamily, headFamily});
    const RtfWriter::Style head{
        1, head_.pixelSize() / kDotsPerPoint, true, false, RtfWriter::Align::Centre, 0, 0, 0};
    const RtfWriter::Style title{0, 9, true, false, RtfWriter::Align::Centre, 0, 0, 0};
    const RtfWriter::Style body{0, 9, false, false, RtfWriter::Align::Left, 0, 0, 0};
    const RtfWriter::Style small{0, 7.5, false, false, RtfWriter::Align::Left, 0, 0, 0};
    QList<int> rights;
    for (int c = 1; c < 4; ++c)
        rights << twips(columns_[c]);
    rights << twips(width_);
    const auto row = [&](const QStringList& texts, bool bold, RtfWriter::Row style) {
        QList<RtfWriter::Cell> cells;
        for (int c = 0; c < 4; ++c)
            cells << RtfWriter::Cell{texts[c], rights[c], RtfWriter::Align::Left, bold, false};
        w.row(cells, body, style);
    };
    const QString printed = QStringLiteral("Printed on ") +
                            heading_.printed.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    for (int p = 1; p <= pages_; ++p) {
        if (p > 1)
            w.pageBreak();
        w.paragraph(heading_.company.text, head);
        w.paragraph(heading_.title, title);
        w.paragraph(heading_.summary, body);
        RtfWriter::Row headRow;
        headRow.ruleBelow = true;
        row(columnHeadings(), true, headRow);
        const int from = (p - 1) * linesPerPage_;
        const int to = std::min(int(findings_.size()), from + linesPerPage_);
        for (int i = from; i < to; ++i)
            row(cells(i), false, RtfWriter::Row());
        // The footer as the PDF has it: printed on, at the left; the page at the right.
        RtfWriter::Row footRow;
        footRow.ruleAbove = true;
        w.row({RtfWriter::Cell{printed, twips(width_ / 2), RtfWriter::Align::Left, false, false},
               RtfWriter::Cell{footer(p), twips(width_), RtfWriter::Align::Right, false, false}},
              small, footRow);
    }
    return w.finish();
}
