// XML import figures: a pair of 20,000 shipping bills and 200,000 containers
// imported into a fresh company database.
//   bench_import DIR [RUNS]
// DIR keeps the generated pair between runs (written on the first run). The
// import runs RUNS times (default 3), and the reading of the two files alone
// as often, each time in a process of its own so that its peak memory
// (VmHWM) is its own; the figures are the median time and the largest
// peak.
#include "AdoXmlReader.h"
#include "AdoXmlWriter.h"
#include "BenchSupport.h"
#include "Database.h"
#include "Schema.h"
#include "XmlImport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBills = 20000;
constexpr int kContainersPerBill = 10;
constexpr int kRotNo = 700001;
constexpr int kFirstSenderId = 5001; // the sender's ids: all of them change on import

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

/// The pair another installation's export writes for one large EGM.
bool generate(const QString& dir)
{
    RowTable cargo;
    cargo.columns = Schema::egmcargo();
    RowTable containers;
    containers.columns = Schema::egmcontain();
    const QDate egmDate(2006, 3, 5);
    for (int b = 0; b < kBills; ++b) {
        const int id = kFirstSenderId + b;
        cargo.rows.append({id, double(kRotNo), egmDate, double(1000000 + b),
                           egmDate.addDays(-(b % 20)), QStringLiteral("INIXY1"),
                           QStringLiteral("AEJEA"), QStringLiteral("INIXY1"), QStringLiteral("C"),
                           QVariant(), QVariant(), 100 + b % 50, QStringLiteral("MSC")});
        for (int c = 0; c < kContainersPerBill; ++c) {
            const int autoid = b * kContainersPerBill + c + 1;
            containers.rows.append({autoid, id,
                                    QStringLiteral("MSCU%1").arg(autoid, 7, 10, QChar(u'0')),
                                    QStringLiteral("F"), 0});
        }
    }
    return writeFile(dir + QStringLiteral("/egmcargo.xml"),
                     AdoXml::write(cargo, QStringLiteral("egmcargo"))) &&
           writeFile(dir + QStringLiteral("/egmcontain.xml"),
                     AdoXml::write(containers, QStringLiteral("egmcontain")));
}

/// One measured run, in this process: prints "seconds peakKb".
int measure(const QString& dir, const QString& what)
{
    const QString cargoPath = dir + QStringLiteral("/egmcargo.xml");
    const QString containerPath = dir + QStringLiteral("/egmcontain.xml");
    if (what == QLatin1String("read")) {
        QElapsedTimer t;
        t.start();
        RowTable cargo;
        RowTable containers;
        AdoXml::Error error;
        if (!AdoXml::readFile(cargoPath, &cargo, &error) ||
            !AdoXml::readFile(containerPath, &containers, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error.message));
            return 1;
        }
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        std::printf("%.3f %ld\n", seconds, BenchSupport::peakKb());
        return 0;
    }

    const QString file = dir + QStringLiteral("/bench_import.mdb");
    BenchSupport::removeDatabase(file);
    auto db = Database::create(file);
    Schema::createCompanyDatabase(*db);
    QElapsedTimer t;
    t.start();
    const XmlImport::Outcome outcome =
        XmlImport::importPair(*db, {cargoPath, containerPath, QString::number(kRotNo)});
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (!outcome.imported || outcome.shippingBills != kBills ||
        outcome.containers != kBills * kContainersPerBill) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(outcome.message));
        return 1;
    }
    const int linked = db->scalar(QStringLiteral("select count(*) from egmcontain, egmcargo "
                                                 "where egmcontain.ref = egmcargo.id"))
                           .toInt();
    if (linked != kBills * kContainersPerBill) {
        std::fprintf(stderr, "only %d containers point at a shipping bill\n", linked);
        return 1;
    }
    std::printf("%.3f %ld\n", seconds, BenchSupport::peakKb());
    db.reset();
    BenchSupport::removeDatabase(file);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--measure"))
        return measure(args[1], args[2]);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_import DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    QDir().mkpath(dir);
    if (!QFile::exists(dir + QStringLiteral("/egmcontain.xml"))) {
        std::printf("writing the pair into %s ...\n", qPrintable(dir));
        if (!generate(dir)) {
            std::fprintf(stderr, "cannot write into %s\n", qPrintable(dir));
            return 1;
        }
    }
    std::printf("%d shipping bills, %d containers; cargo file %lld bytes, container file %lld "
                "bytes\n",
                kBills, kBills * kContainersPerBill,
                qlonglong(QFileInfo(dir + QStringLiteral("/egmcargo.xml")).size()),
                qlonglong(QFileInfo(dir + QStringLiteral("/egmcontain.xml")).size()));

    for (const char* name : {"read", "import"}) {
        const QString what = QLatin1String(name);
        QList<double> times;
        long peak = 0;
        for (int r = 0; r < runs; ++r) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(app.applicationFilePath(), {QStringLiteral("--measure"), dir, what});
            child.waitForFinished(-1);
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            if (child.exitCode() != 0 || figures.size() != 2) {
                std::fprintf(stderr, "the %s run failed\n", qPrintable(what));
                return 1;
            }
            times << figures[0].toDouble();
            peak = std::max(peak, figures[1].toLong());
        }
        std::sort(times.begin(), times.end());
        std::printf("%-7s median %.2f s (runs: %s), peak memory %.1f MB\n", qPrintable(what),
                    times[times.size() / 2], qPrintable([&] {
                        QStringList t;
                        for (double s : times)
                            t << QString::number(s, 'f', 2);
                        return t.join(QStringLiteral(", "));
                    }()),
                    double(peak) / 1024.0);
    }
    return 0;
}
