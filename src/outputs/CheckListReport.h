#pragma once

#include "CheckList.h"
#include "HeadFont.h"
#include "PagedReport.h"

#include <QDateTime>
#include <QFont>
#include <QList>
#include <memory>
#include <vector>

/// The check-list of one EGM as a paged report: on every page the company's
/// name in the heading font, the title, the EGM date(s), the column headings
/// and "Page n of m"; the shipping bills by number, each bill's fields once
/// with its containers under it; the totals at the end. Columns are as wide
/// as their widest entry; when they do not fit the page across, the body
/// font gets smaller until they do, so nothing is cut at the edge.
class CheckListReport final : public PagedReport
{
public:
    struct Heading
    {
        HeadFont company;  ///< ApplyHeadFont(): the company name and its font
        QString title;     ///< CheckList::title() of the typed ROT No.
        QDateTime printed; ///< shown in the footer
    };

    CheckListReport(CheckList::Rows rows, Heading heading, const QPageLayout& layout);

    /// The report of rows under the title of the typed ROT No.: the
    /// logged-on company in the heading font of the settings, on that page,
    /// printed now.
    static std::unique_ptr<CheckListReport> forRows(RowSet& rows, const QString& rotText,
                                                    const QPageLayout& layout);

    QString title() const override { return heading_.title; }
    QPageLayout pageLayout() const override { return layout_; }
    int pageCount() const override { return int(pages_.size()); }
    void paint(QPainter& painter, QPagedPaintDevice& device, int first, int last) const override;
    QByteArray rtf() const override;

    /// The body font chosen to fit the columns across the page, in points.
    double bodyPointSize() const { return bodyPoints_; }
    /// The texts of the footer and the totals, as printed.
    QString pageText(int page) const;
    QStringList totalsText() const;

    /// Column headings, left to right.
    static QStringList columnHeadings();

private:
    struct Column
    {
        qreal x = 0; ///< left edge, in dots from the left margin
        qreal width = 0;
        bool right = false; ///< numbers align right
    };
    /// One printed line: a bill's first line (with its first container, if
    /// any) or one of its further containers.
    struct Line
    {
        int bill;
        int container; ///< -1: the bill has none
    };
    struct Page
    {
        int firstLine;
        int lineCount;
        bool totals; ///< the totals follow the lines
    };

    void chooseFonts(double bodyPoints);
    void layOutColumns();
    void paginate();
    const QString& cell(const Line& line, int column, bool firstOnPage) const;
    QString egmDateText() const;
    /// The title with the EGM date(s) beside the ROT No.
    QString titleLine() const;

    CheckList::Rows rows_;
    Heading heading_;
    QPageLayout layout_;
    qreal pageWidth_ = 0, pageHeight_ = 0; ///< the printable area, in dots

    double bodyPoints_ = 8.5;
    int volumeDecimals_ = 0;
    QFont body_, bold_, head_, titleFont_, small_;
    qreal rowHeight_ = 0, bodyAscent_ = 0;
    qreal headHeight_ = 0, headAscent_ = 0, titleHeight_ = 0, titleAscent_ = 0;
    qreal smallHeight_ = 0, smallAscent_ = 0;
    qreal topOfColumns_ = 0, topOfBody_ = 0, footerTop_ = 0;
    int rowsPerPage_ = 1;

    QList<Column> columns_;
    std::vector<Line> lines_;
    std::vector<Page> pages_;
};
