#include "PagedReport.h"

#include "SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>

QByteArray PagedReport::pdf() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setPageLayout(pageLayout());
        writer.setTitle(title());
        writer.setCreator(QStringLiteral("Tarvex"));
        QPainter painter(&writer);
        paint(painter, writer, 1, pageCount());
    }
    buffer.close();
    return bytes;
}

bool saveReport(const PagedReport& report, ReportFormat format, const QString& path, QString* error)
{
    const QByteArray bytes = format == ReportFormat::Pdf ? report.pdf() : report.rtf();
    QString why;
    if (SafeFile::save(path, bytes, &why))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), why);
    return false;
}
