// The check of an EGM beside its flat file: one EGM of 20,000 shipping
// bills and 200,000 containers in a company database that holds four more
// EGMs of the same size in between (rows interleaved, as bench_outputs
// builds them). The target EGM is as a careful office keeps it: valid
// container numbers and ports of the port list, with one container in a
// thousand mistyped (1,000 findings). One of the other EGMs is as careless as
// can be: no container number has its check digit and no port is in the
// list (220,000 findings), the check's worst case.
//
//   bench_check DIR [RUNS]
//
// DIR keeps the database between runs (built on the first run). Every job
// runs as a whole process of its own (start-up included), the check and the
// flat file taking turns, RUNS rounds (default 5); the figures are medians
// of the wall and processor time and the largest peak memory (maximum
// resident set, through /usr/bin/time), and the ratio of the medians.
#include "AppPaths.h"
#include "BenchSupport.h"
#include "ContainerNumber.h"
#include "Database.h"
#include "EgmCheck.h"
#include "EgmExport.h"
#include "LogonState.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>

namespace {

using BenchSupport::measure;
using BenchSupport::Sample;

constexpr int kTargetEgm = 700001;
constexpr int kDirtyEgm = kTargetEgm + 1;
constexpr int kOtherEgms = 4;
constexpr int kBillsPerEgm = 20000;
constexpr int kContainersPerBill = 10;
const char* const kDate = "05/03/2024";

QString pathIn(const QString& dir, const char* name)
{
    return QDir(dir).filePath(QLatin1String(name));
}

/// An owner's serial with its check digit, or (wrong) a digit off by one.
QString containerNumber(int serial, bool wrong)
{
    const QString ten = QStringLiteral("MSKU%1").arg(serial % 1000000, 6, 10, QChar('0'));
    const int digit = ContainerNumber::checkDigit(ten.toLatin1());
    return ten + QString::number(wrong ? (digit + 1) % 10 : digit);
}

void build(const QString& dir)
{
    const QString ready = pathIn(dir, "check.ready");
    if (QFile::exists(ready)) {
        // A database kept from an earlier Tarvex gets today's layout.
        auto db = Database::open({QStringLiteral("SQLITE"), pathIn(dir, "check.mdb")});
        if (Schema::upgradeCompanyDatabase(*db).state == Schema::Upgrade::State::Upgraded)
            db->exec(QStringLiteral("analyze"));
        return;
    }
    QDir().mkpath(dir);
    const QString file = pathIn(dir, "check.mdb");
    BenchSupport::removeDatabase(file);
    std::fprintf(stderr, "building %s ...\n", qPrintable(file));
    auto db = Database::create(file);
    Schema::createCompanyDatabase(*db);
    const QStringList cargoCols = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                   "sbport",  "destport", "gateport", "naturecargo", "volume",
                                   "unitvol", "pkgs",     "linecode"};
    const QStringList containCols = {"ref", "containno", "constatus", "subrefno"};
    const QStringList ports = {"USNYC", "AEJEA", "SGSIN", "NLRTM", "DEHAM"};
    Database::Transaction tx(*db);
    int id = 0;
    int container = 0;
    for (int n = 0; n < kBillsPerEgm; ++n) {
        QList<RowValues> bills;
        QList<RowValues> boxes;
        for (int e = 0; e <= kOtherEgms; ++e) {
            ++id;
            const int egmno = kTargetEgm + e;
            const bool dirty = egmno == kDirtyEgm;
            bills << RowValues{id,
                               egmno,
                               QDate(2024, 3, 5),
                               4000000 + id,
                               QDate(2024, 2, 1).addDays(n % 28),
                               QStringLiteral("INNSA1"),
                               dirty ? ports[n % ports.size()] + u'1' : ports[n % ports.size()],
                               QStringLiteral("INNSA1"),
                               QStringLiteral("C"),
                               QVariant(0.0),
                               QStringLiteral("MT"),
                               QVariant(10 + n % 90),
                               QStringLiteral("MAEU")};
            for (int k = 0; k < kContainersPerBill; ++k) {
                ++container;
                const bool wrong = dirty || (egmno == kTargetEgm && container % 1000 == 7);
                boxes << RowValues{id, containerNumber(container, wrong),
                                   k % 3 ? QStringLiteral("F") : QStringLiteral("E"), 0};
            }
        }
        db->insertRows(QStringLiteral("egmcargo"), cargoCols, bills);
        db->insertRows(QStringLiteral("egmcontain"), containCols, boxes);
    }
    tx.commit();
    db->exec(QStringLiteral("analyze"));
    db.reset();
    QFile marker(ready);
    marker.open(QIODevice::WriteOnly);
}

int runJob(const QString& job, const QString& dir, int egmno)
{
    AppPaths::setHome(dir);
    BenchSupport::QuietPrompts quiet;
    installPrompts(&quiet);
    logonState().Conn = Database::open({QStringLiteral("SQLITE"), pathIn(dir, "check.mdb")});
    const QString rot = QString::number(egmno);
    bool ok = false;
    if (job == QLatin1String("check")) {
        const QList<EgmCheck::Finding> findings = EgmCheck::check(EgmCheck::read(
            *logonState().Conn, rot, QDate::fromString(QLatin1String(kDate), "dd/MM/yyyy")));
        std::fprintf(stderr, "%s\n", qPrintable(EgmCheck::summary(rot, findings)));
        ok = !findings.isEmpty();
    } else if (job == QLatin1String("egm")) {
        QDir().mkpath(pathIn(dir, "out"));
        ok = EgmExport::WriteEgmFile(QDir(pathIn(dir, "out")).filePath(rot + ".egm"), rot,
                                     QLatin1String(kDate));
    }
    logonState() = LogonState();
    return ok ? 0 : 1;
}

Sample median(QList<Sample> samples)
{
    Sample m;
    QList<double> wall, cpu;
    for (const Sample& s : samples) {
        wall << s.wall;
        cpu << s.cpu;
        m.peakKb = std::max(m.peakKb, s.peakKb);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    m.wall = wall[wall.size() / 2];
    m.cpu = cpu[cpu.size() / 2];
    return m;
}

void print(const char* name, const Sample& s)
{
    std::printf("  %-34s wall %6.3f s  cpu %6.3f s  peak %6.1f MB\n", name, s.wall, s.cpu,
                double(s.peakKb) / 1024);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("--job"))
        return runJob(args[2], args[3], args[4].toInt());
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_check DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QDir(args[1]).absolutePath();
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;
    build(dir);
    const QString self = app.applicationFilePath();
    const auto job = [&](const char* name, int egmno) {
        return QStringList{self, "--job", QLatin1String(name), dir, QString::number(egmno)};
    };
    QList<Sample> check, file, worst, worstFile;
    for (int r = 0; r < runs; ++r) {
        check << measure(job("check", kTargetEgm), QString(), true);
        file << measure(job("egm", kTargetEgm), QString(), true);
        worst << measure(job("check", kDirtyEgm), QString(), true);
        worstFile << measure(job("egm", kDirtyEgm), QString(), true);
    }
    std::printf("EGM of %d bills and %d containers among %d more; %d rounds, whole processes "
                "taking turns, medians\n",
                kBillsPerEgm, kBillsPerEgm * kContainersPerBill, kOtherEgms, runs);
    const Sample c = median(check), f = median(file), w = median(worst), wf = median(worstFile);
    print("check, 1,000 findings", c);
    print("flat file of the same EGM", f);
    std::printf("  ratio check / flat file: wall %.2f, cpu %.2f\n", c.wall / f.wall, c.cpu / f.cpu);
    print("check, worst case (220,000 findings)", w);
    print("flat file of that EGM", wf);
    std::printf("  ratio check / flat file: wall %.2f, cpu %.2f\n", w.wall / wf.wall,
                w.cpu / wf.cpu);
    return 0;
}
