#pragma once

// Reports read back the way a reader of them would: a PDF through
// pdftotext and pdfinfo (poppler-utils), an RTF through unrtf.

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace ReportTesting {

/// Runs a tool on bytes written to a file of that extension; its output,
/// or "" when it fails.
inline QString readBack(const QString& program, QStringList arguments, const QByteArray& bytes,
                        const QString& extension)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.") + extension);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    f.close();
    arguments.replaceInStrings(QStringLiteral("%FILE%"), file);
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

/// The text of PDF pages (all when last is 0), in their layout.
inline QString pdfText(const QByteArray& pdf, int first = 1, int last = 0)
{
    QStringList args{QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(first)};
    if (last > 0)
        args << QStringLiteral("-l") << QString::number(last);
    args << QStringLiteral("%FILE%") << QStringLiteral("-");
    return readBack(QStringLiteral("pdftotext"), args, pdf, QStringLiteral("pdf"));
}

/// pdfinfo's "Pages:" line as a number, -1 when unreadable.
inline int pdfPages(const QByteArray& pdf)
{
    const QString info =
        readBack(QStringLiteral("pdfinfo"), {QStringLiteral("%FILE%")}, pdf, QStringLiteral("pdf"));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

/// pdfinfo's "Page size:" line, e.g. "595.276 x 841.89 pts (A4)".
inline QString pdfPageSize(const QByteArray& pdf)
{
    const QString info =
        readBack(QStringLiteral("pdfinfo"), {QStringLiteral("%FILE%")}, pdf, QStringLiteral("pdf"));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Page size:\\s+(.*)$"),
                                                         QRegularExpression::MultilineOption)
                                          .match(info);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

/// The fonts a PDF uses, as pdffonts names them.
inline QString pdfFonts(const QByteArray& pdf)
{
    return readBack(QStringLiteral("pdffonts"), {QStringLiteral("%FILE%")}, pdf,
                    QStringLiteral("pdf"));
}

/// Every word with its box (pdftotext -bbox), as an XHTML text.
inline QString pdfWordBoxes(const QByteArray& pdf)
{
    return readBack(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), QStringLiteral("%FILE%"), QStringLiteral("-")}, pdf,
                    QStringLiteral("pdf"));
}

/// The text of an RTF document as unrtf reads it.
inline QString rtfText(const QByteArray& rtf)
{
    return readBack(QStringLiteral("unrtf"), {QStringLiteral("--text"), QStringLiteral("%FILE%")},
                    rtf, QStringLiteral("rtf"));
}

/// Where each text stands in haystack, in the order given; -1 for the first
/// one that is missing or out of order.
inline qsizetype inOrder(const QString& haystack, const QStringList& texts, QString* missing)
{
    qsizetype from = 0;
    for (const QString& t : texts) {
        const qsizetype at = haystack.indexOf(t, from);
        if (at < 0) {
            if (missing)
                *missing = t;
            return -1;
        }
        from = at + t.size();
    }
    return from;
}

} // namespace ReportTesting
