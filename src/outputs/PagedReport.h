#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QPainter;

/// A report laid out in pages once, then painted page for page on whatever
/// shows or keeps it: the preview, a printer, a PDF file. All show the same
/// pages. It is also written as RTF for a word processor.
class PagedReport
{
public:
    virtual ~PagedReport() = default;

    /// The document's title (a PDF's title, the window's).
    virtual QString title() const = 0;
    /// The page the report is laid out for.
    virtual QPageLayout pageLayout() const = 0;
    virtual int pageCount() const = 0;
    /// Paints pages first to last (from 1, both included) with a painter
    /// already begun on device, whose page layout is pageLayout(); starts a
    /// new device page between them. Any resolution will do.
    virtual void paint(QPainter& painter, QPagedPaintDevice& device, int first, int last) const = 0;
    /// The report as an RTF document.
    virtual QByteArray rtf() const = 0;

    /// The report as the bytes of a PDF file.
    QByteArray pdf() const;
};

enum class ReportFormat
{
    Pdf,
    Rtf
};

/// Writes the report in format at path, replacing a file there only with a
/// complete new one. False with *error naming the cause.
bool saveReport(const PagedReport& report, ReportFormat format, const QString& path,
                QString* error);
