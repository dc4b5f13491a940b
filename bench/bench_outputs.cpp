// Output figures: the flat file and the XML pair of one EGM of 20,000
// shipping bills and 200,000 containers, in a company database that holds
// four more EGMs of the same size in between (rows interleaved), against the
// engine's own command-line shell (sqlite3, psql) writing the same two
// selects to a file; on SQLite and on PostgreSQL side by side (BenchEngine.h).
//   bench_outputs DIR [RUNS] [--server CONNINFO | --sqlite-only]
// DIR keeps the database between runs (built on the first run). Each
// operation runs RUNS times (default 3), each time in a process of its own,
// so that its peak memory (VmHWM) is its own, the engines and operations
// taking turns; the figures are the median time and the largest peak.
#include "AppPaths.h"
#include "BenchEngine.h"
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

/// Where an engine's outputs go.
QString outFolder(const QString& dir, const Database::Location& location)
{
    return QDir(dir).filePath(QStringLiteral("out/") + location.driver.toLower());
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// One operation in this process (the shell in a child process); prints
/// "seconds cpu-seconds peak-kB".
int runOne(const QString& mode, const QString& dir, const Database::Location& location)
{
    AppPaths::setHome(dir);
    QuietPrompts quiet;
    installPrompts(&quiet);
    const QString out = outFolder(dir, location);
    QDir().mkpath(out);
    const QString rot = QString::number(kTargetEgm);
    QElapsedTimer timer;
    bool ok = false;
    const int cpuOf = mode == QLatin1String("shell") ? RUSAGE_CHILDREN : RUSAGE_SELF;
    double cpuBefore = cpuSeconds(cpuOf);
    if (mode == QLatin1String("shell")) {
        const QString file = QDir(out).filePath(QStringLiteral("shell.txt"));
        const QString selects =
            QStringLiteral("select * from egmcargo where egmcargo.egmno=%1;\n"
                           "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as "
                           "xegmdt,egmcargo.sbno as xsbno,egmcargo.sbdt as xsbdt from "
                           "egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
                           "egmcargo.egmno=%1;\n")
                .arg(rot);
        QProcess shell;
        QString script;
        if (location.isServer()) {
            script = QStringLiteral("\\o %1\n").arg(file) + selects;
            timer.start();
            shell.start(QStringLiteral("psql"),
                        {QStringLiteral("-qAt"), QStringLiteral("-X"),
                         location.server + QStringLiteral(" dbname=") + location.database});
        } else {
            script = QStringLiteral(".output %1\n").arg(file) + selects +
                     QStringLiteral(".output stdout\n");
            timer.start();
            shell.start(QStringLiteral("sqlite3"), {location.database});
        }
        shell.write(script.toUtf8());
        shell.closeWriteChannel();
        ok = shell.waitForFinished(-1) && shell.exitCode() == 0;
    } else {
        logonState().Conn = Database::open(location);
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

/// One run of an operation in a process of its own.
void measureOnce(const QString& mode, const QString& dir, const Database::Location& location,
                 QList<double>* times, QList<double>* cpu, long* peak)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--mode"), mode, dir, BenchEngine::toArgument(location)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(mode));
        std::exit(1);
    }
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    *times << words.value(0).toDouble();
    *cpu << words.value(1).toDouble();
    *peak = std::max(*peak, words.value(2).toLong());
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    if (args.size() == 4 && args[0] == QLatin1String("--mode"))
        return runOne(args[1], args[2], BenchEngine::fromArgument(args[3]));
    BenchEngine::Engines engines(args);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr,
                     "usage: bench_outputs DIR [RUNS] [--server CONNINFO | --sqlite-only]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    for (const char* shell : {"sqlite3", "psql"})
        if (QStandardPaths::findExecutable(QLatin1String(shell)).isEmpty()) {
            std::fprintf(stderr, "the %s command-line shell is needed (Debian: %s)\n", shell,
                         shell[0] == 'p' ? "postgresql-client" : "sqlite3");
            return 2;
        }
    build(dir);
    const QList<BenchEngine::Engine> list =
        engines.prepare(databasePath(dir), dir, QStringLiteral("tarvex_bench_outputs"));

    const QStringList modes = {QStringLiteral("egm"), QStringLiteral("shell"),
                               QStringLiteral("xml")};
    // [engine][mode]
    QList<QList<QList<double>>> times(list.size(), QList<QList<double>>(modes.size()));
    QList<QList<QList<double>>> cpu = times;
    QList<QList<long>> peaks(list.size(), QList<long>(modes.size(), 0));
    for (int r = 0; r < runs; ++r)
        for (qsizetype e = 0; e < list.size(); ++e)
            for (qsizetype m = 0; m < modes.size(); ++m)
                measureOnce(modes[m], dir, list[e].location, &times[e][m], &cpu[e][m],
                            &peaks[e][m]);

    const QString out = outFolder(dir, list[0].location);
    const QString egmFile = QDir(out).filePath(QString::number(kTargetEgm) + ".egm");
    std::printf("EGM %d: %d shipping bills, %d containers (database: %d EGMs), %d runs\n",
                kTargetEgm, kBillsPerEgm, kBillsPerEgm * kContainersPerBill, kOtherEgms + 1, runs);
    std::printf("                           wall      cpu      peak\n");
    for (qsizetype e = 0; e < list.size(); ++e) {
        const char* labels[] = {
            "flat file", list[e].location.isServer() ? "psql shell" : "sqlite3 shell", "XML pair"};
        for (qsizetype m = 0; m < modes.size(); ++m)
            std::printf("  %-10s %-13s %6.3f s %6.3f s %6.1f MB\n", qPrintable(list[e].name),
                        labels[m], median(times[e][m]), median(cpu[e][m]), peaks[e][m] / 1024.0);
        std::printf("  %-10s flat file / shell: wall %.2f, cpu %.2f\n", qPrintable(list[e].name),
                    median(times[e][0]) / median(times[e][1]),
                    median(cpu[e][0]) / median(cpu[e][1]));
    }
    if (list.size() > 1)
        std::printf("  PostgreSQL / SQLite: flat file wall %.2f, XML pair wall %.2f\n",
                    median(times[1][0]) / median(times[0][0]),
                    median(times[1][2]) / median(times[0][2]));
    std::printf("  output sizes: flat file %lld lines, %lld bytes; XML %lld + %lld bytes\n",
                lineCount(egmFile), QFileInfo(egmFile).size(),
                QFileInfo(QDir(out).filePath("egmcargo.xml")).size(),
                QFileInfo(QDir(out).filePath("egmcontain.xml")).size());
    for (qsizetype e = 1; e < list.size(); ++e) {
        const QString other = outFolder(dir, list[e].location);
        bool same = true;
        for (const QString& name : {QString::number(kTargetEgm) + ".egm", QString("egmcargo.xml"),
                                    QString("egmcontain.xml")})
            same =
                same && contents(QDir(out).filePath(name)) == contents(QDir(other).filePath(name));
        std::printf("  %s outputs byte-identical to SQLite's: %s\n", qPrintable(list[e].name),
                    same ? "yes" : "NO");
    }
    std::printf("targets: flat file < 1 s and < 2 x shell, XML < 2 s, peak < 300 MB\n");
    return 0;
}
