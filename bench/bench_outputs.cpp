// Output figures: the flat file and the XML pair of one EGM of 20,000
// shipping bills and 200,000 containers, in a company database that holds
// four more EGMs of the same size in between (rows interleaved), against the
// sqlite3 command-line shell writing the same two selects to a file.
//   bench_outputs DIR [RUNS]
// DIR keeps the database between runs (built on the first run). Each
// operation runs RUNS times (default 3), each time in a process of its own,
// so that its peak memory (VmHWM) is its own; the figures are the median
// time and the largest peak.
#include "AppPaths.h"
#include "Database.h"
#include "EgmExport.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kTargetEgm = 700001;
constexpr int kOtherEgms = 4;
constexpr int kBillsPerEgm = 20000;
constexpr int kContainersPerBill = 10;
const char* const kDatabaseName = "bench.mdb";
const char* const kReadyName = "bench.ready";

/// Messages are counted on standard error; questions get No.
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

/// CPU seconds (user and system) of this process, or of its finished children.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

QString databasePath(const QString& dir)
{
    return QDir(dir).filePath(QLatin1String(kDatabaseName));
}

/// Bills of the five EGMs take turns, each followed by its containers, as
/// several clerks entering at once would leave them.
void build(const QString& dir)
{
    const QString ready = QDir(dir).filePath(QLatin1String(kReadyName));
    if (QFile::exists(ready))
        return;
    QDir().mkpath(dir);
    QFile::remove(databasePath(dir));
    std::fprintf(stderr, "building %s ...\n", qPrintable(databasePath(dir)));
    auto db = Database::create(databasePath(dir));
    Schema::createCompanyDatabase(*db);

    const QStringList cargoCols = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                   "sbport",  "destport", "gateport", "naturecargo", "volume",
                                   "unitvol", "pkgs",     "linecode"};
    const QStringList containCols = {"ref", "containno", "constatus", "subrefno"};
    const QStringList ports = {"USNYC1", "AEJEA1", "SGSIN1", "NLRTM1", "DEHAM1"};
    Database::Transaction tx(*db);
    int id = 0;
    int container = 0;
    for (int n = 0; n < kBillsPerEgm; ++n) {
        QList<RowValues> bills;
        QList<RowValues> boxes;
        for (int e = 0; e <= kOtherEgms; ++e) {
            ++id;
            const int egmno = kTargetEgm + e;
            const bool bulk = n % 7 == 3;
            bills << RowValues{id,
                               egmno,
                               QDate(2024, 3, 5),
                               4000000 + id,
                               QDate(2024, 2, 1).addDays(n % 28),
                               QStringLiteral("INNSA1"),
                               ports[n % ports.size()],
                               QStringLiteral("INNSA1"),
                               bulk ? QStringLiteral("P") : QStringLiteral("C"),
                               bulk ? QVariant(12.5 + n % 10) : QVariant(0.0),
                               bulk ? QStringLiteral("CBM") : QStringLiteral("MT"),
                               bulk ? QVariant(0) : QVariant(10 + n % 90),
                               QStringLiteral("MAEU")};
            for (int k = 0; k < kContainersPerBill; ++k) {
                ++container;
                boxes << RowValues{id, QStringLiteral("MSKU%1").arg(container, 7, 10, QChar('0')),
                                   k % 3 ? QStringLiteral("FCL") : QStringLiteral("LCL"), 0};
            }
        }
        db->insertRows(QStringLiteral("egmcargo"), cargoCols, bills);
        db->insertRows(QStringLiteral("egmcontain"), containCols, boxes);
    }
    tx.commit();
    db->exec(QStringLiteral("analyze"));
    QFile marker(ready);
    marker.open(QIODevice::WriteOnly);
}

/// One operation in this process (the shell in a child process); prints
/// "seconds cpu-seconds peak-kB".
int runOne(const QString& mode, const QString& dir)
{
    AppPaths::setHome(dir);
    QuietPrompts quiet;
    installPrompts(&quiet);
    const QString out = QDir(dir).filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    const QString rot = QString::number(kTargetEgm);
    QElapsedTimer timer;
    bool ok = false;
    const int cpuOf = mode == QLatin1String("sqlite") ? RUSAGE_CHILDREN : RUSAGE_SELF;
    double cpuBefore = cpuSeconds(cpuOf);
    if (mode == QLatin1String("sqlite")) {
        const QString file = QDir(out).filePath(QStringLiteral("sqlite3.txt"));
        const QString script =
            QStringLiteral(".output %1\n"
                           "select * from egmcargo where egmcargo.egmno=%2;\n"
                           "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as "
                           "xegmdt,egmcargo.sbno as xsbno,egmcargo.sbdt as xsbdt from "
                           "egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
                           "egmcargo.egmno=%2;\n"
                           ".output stdout\n")
                .arg(file, rot);
        timer.start();
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {databasePath(dir)});
        shell.write(script.toUtf8());
        shell.closeWriteChannel();
        ok = shell.waitForFinished(-1) && shell.exitCode() == 0;
    } else {
        logonState().Conn = Database::open({QStringLiteral("SQLITE"), databasePath(dir)});
        cpuBefore = cpuSeconds(cpuOf);
        timer.start();
        if (mode == QLatin1String("egm"))
            ok = EgmExport::WriteEgmFile(QDir(out).filePath(rot + QStringLiteral(".egm")), rot,
                                         QStringLiteral("05/03/2024"));
        else if (mode == QLatin1String("xml"))
            ok = EgmExport::SaveXmlPair(QDir(out).filePath(QStringLiteral("egmcargo.xml")),
                                        QDir(out).filePath(QStringLiteral("egmcontain.xml")), rot);
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds(cpuOf) - cpuBefore;
    logonState() = LogonState();
    std::printf("%.4f %.4f %ld\n", seconds, cpu, peakKb());
    return ok ? 0 : 1;
}

struct Figures
{
    double medianSeconds = 0;
    double medianCpu = 0;
    long peakKb = 0;
};

Figures measure(const QString& mode, const QString& dir, int runs)
{
    QList<double> times;
    QList<double> cpu;
    Figures f;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--mode"), mode, dir});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(mode));
            std::exit(1);
        }
        const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
        times << words.value(0).toDouble();
        cpu << words.value(1).toDouble();
        f.peakKb = std::max(f.peakKb, words.value(2).toLong());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    f.medianSeconds = times[times.size() / 2];
    f.medianCpu = cpu[cpu.size() / 2];
    return f;
}

qint64 lineCount(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().count('\n');
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--mode"))
        return runOne(args[1], args[2]);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_outputs DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        std::fprintf(stderr, "the sqlite3 command-line shell is needed (Debian: sqlite3)\n");
        return 2;
    }
    build(dir);

    const Figures egm = measure(QStringLiteral("egm"), dir, runs);
    const Figures shell = measure(QStringLiteral("sqlite"), dir, runs);
    const Figures xml = measure(QStringLiteral("xml"), dir, runs);

    const QString out = QDir(dir).filePath(QStringLiteral("out"));
    const QString egmFile = QDir(out).filePath(QString::number(kTargetEgm) + ".egm");
    std::printf("EGM %d: %d shipping bills, %d containers (database: %d EGMs)\n", kTargetEgm,
                kBillsPerEgm, kBillsPerEgm * kContainersPerBill, kOtherEgms + 1);
    std::printf("                 wall      cpu      peak\n");
    std::printf("  flat file     %6.3f s %6.3f s %6.1f MB  (%lld lines, %lld bytes)\n",
                egm.medianSeconds, egm.medianCpu, egm.peakKb / 1024.0, lineCount(egmFile),
                QFileInfo(egmFile).size());
    std::printf("  sqlite3 shell %6.3f s %6.3f s %6.1f MB  (%lld lines)\n", shell.medianSeconds,
                shell.medianCpu, shell.peakKb / 1024.0,
                lineCount(QDir(out).filePath(QStringLiteral("sqlite3.txt"))));
    std::printf("  XML pair      %6.3f s %6.3f s %6.1f MB  (%lld + %lld bytes)\n",
                xml.medianSeconds, xml.medianCpu, xml.peakKb / 1024.0,
                QFileInfo(QDir(out).filePath("egmcargo.xml")).size(),
                QFileInfo(QDir(out).filePath("egmcontain.xml")).size());
    std::printf("  flat file / shell: wall %.2f, cpu %.2f\n",
                egm.medianSeconds / shell.medianSeconds, egm.medianCpu / shell.medianCpu);
    std::printf("targets: flat file < 1 s and < 2 x shell, XML < 2 s, peak < 300 MB\n");
    return 0;
}
