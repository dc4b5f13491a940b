#pragma once

// What the benchmarks share: memory figures of this process, prompts that
// answer nothing, and the removal of a SQLite file with its companions.

#include "Prompts.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>

namespace BenchSupport {

/// A figure of /proc/self/status in kB ("VmHWM:" the peak, "VmRSS:" the
/// present), -1 when it cannot be read. VmHWM is this process's own:
/// ru_maxrss would count the parent's, whose image the child replaced.
inline long statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

inline long peakKb()
{
    return statusKb("VmHWM:");
}

inline long residentKb()
{
    return statusKb("VmRSS:");
}

/// A SQLite file and its journals.
inline void removeDatabase(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + QLatin1String(suffix));
}

/// Messages go to standard error; questions get No.
class QuietPrompts final : public Prompts
{
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons == Buttons::Ok ? Ok : No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QString openFile(const QString&, const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString folder(const QString&, const QString&) override { return QString(); }
    void beep() override {}
};

} // namespace BenchSupport
