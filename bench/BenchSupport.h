#pragma once

// What the benchmarks share: memory figures of this process, prompts that
// answer nothing, the removal of a SQLite file with its companions, and a
// whole process measured as the system sees it.

#include "Prompts.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <vector>

extern char** environ;

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

struct Sample
{
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
};

/// Runs a whole process, its standard input from a file (or none), its
/// standard error kept or (quietErrors) dropped, and
/// measures it as the system sees it. Through /usr/bin/time, a small process:
/// a child spawned straight from this one would count this one's memory as
/// its own peak (the kernel keeps the peak of the image it replaced).
inline Sample measure(const QStringList& job, const QString& input = QString(),
                      bool quietErrors = false)
{
    const QString peakFile = QDir::temp().filePath(
        QStringLiteral("bench-peak-%1").arg(QCoreApplication::applicationPid()));
    QStringList argv = {QStringLiteral("/usr/bin/time"), QStringLiteral("-f"), QStringLiteral("%M"),
                        QStringLiteral("-o"), peakFile};
    argv += job;
    std::vector<QByteArray> args;
    for (const QString& a : argv)
        args.push_back(QFile::encodeName(a));
    std::vector<char*> raw;
    for (QByteArray& a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray in = QFile::encodeName(input.isEmpty() ? QStringLiteral("/dev/null") : input);
    posix_spawn_file_actions_addopen(&actions, 0, in.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quietErrors)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = 0;
    if (posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", raw[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(job.join(u' ')));
        std::exit(1);
    }
    Sample s;
    s.wall = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
    s.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    QFile peak(peakFile);
    if (peak.open(QIODevice::ReadOnly))
        s.peakKb = peak.readAll().trimmed().split('\n').last().toLong();
    peak.remove();
    return s;
}

} // namespace BenchSupport
