#pragma once

#include "EgmCheck.h"
#include "HeadFont.h"
#include "PagedReport.h"

#include <QDateTime>
#include <QFont>
#include <QList>

/// The findings of an EGM's check on paper, as PDF or as RTF: the company,
/// the title, the count, then one line per finding (severity, SB No.,
/// container, what is wrong), and on every page "Printed on" and
/// "Page n of m". A clean EGM prints its one line saying so.
class EgmCheckReport final : public PagedReport
{
public:
    struct Heading
    {
        HeadFont company;
        QString title;   ///< "Check of ROT No. 2024117 (EGM date 05/03/2024)"
        QString summary; ///< EgmCheck::summary()
        QDateTime printed;
    };

    EgmCheckReport(QList<EgmCheck::Finding> findings, Heading heading, const QPageLayout& layout);

    /// "Check of ROT No. " and the ROT No., and the EGM date when one is given.
    static QString titleFor(const QString& rotText, const std::optional<QDate>& egmDate);

    QString title() const override { return heading_.title; }
    QPageLayout pageLayout() const override { return layout_; }
    int pageCount() const override { return pages_; }
    void paint(QPainter& painter, QPagedPaintDevice& device, int first, int last) const override;
    QByteArray rtf() const override;

    static QStringList columnHeadings();

private:
    /// The cells of line i, as printed.
    QStringList cells(int i) const;
    QString footer(int page) const;

    QList<EgmCheck::Finding> findings_;
    Heading heading_;
    QPageLayout layout_;
    qreal width_ = 0, height_ = 0; ///< printable area, in points
    QFont body_, bold_, head_, small_;
    qreal lineHeight_ = 0, topOfLines_ = 0, footerTop_ = 0;
    int linesPerPage_ = 1;
    int pages_ = 1;
    qreal columns_[4] = {}; ///< left edges, in points
};
