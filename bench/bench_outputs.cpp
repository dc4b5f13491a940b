// The file jobs against the engine: the flat file, the XML pair and the XML
// import of one EGM of 20,000 shipping bills and 200,000 containers, in a
// company database that holds four more EGMs of the same size in between
// (rows interleaved), each beside the sqlite3 command-line shell doing the
// same reading or writing:
//   flat file   the shell running the file's two selects into a file;
//               also an anchor reader on SQLite's C API (bench_anchor)
//               writing the very bytes of the flat file
//   XML pair    the shell running the pair's two selects into a file
//   XML import  the shell's .import of the same rows into a copy of the
//               database, against the import of the pair into another copy
// and the flat file of EGMs of 50,000, 100,000 and 200,000 shipping bills
// (two containers each, a database of their own): time and memory per bill.
// The same three jobs then run on a PostgreSQL copy of the database
// (BenchEngine.h), each beside psql doing the same: the selects into a file,
// \copy of the same rows; the outputs of both engines are compared byte for
// byte.
//
//   bench_outputs DIR [RUNS] [--server CONNINFO | --sqlite-only]
//
// DIR keeps the databases between runs (built on the first run). Every job
// runs as a whole process of its own (start-up included), the jobs taking
// turns, RUNS rounds (default 5); the figures are medians of the wall and
// processor time and the largest peak memory (maximum resident set), and
// the ratios of the medians.
#include "AdoXmlReader.h"
#include "AppPaths.h"
#include "BenchEngine.h"
#include "BenchSupport.h"
#include "Database.h"
#include "EgmExport.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Schema.h"
#include "XmlImport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <unistd.h>

namespace {

using BenchSupport::measure;
using BenchSupport::Sample;

constexpr int kTargetEgm = 700001;
constexpr int kOtherEgms = 4;
constexpr int kBillsPerEgm = 20000;
constexpr int kContainersPerBill = 10;
constexpr int kLargeSizes[] = {50000, 100000, 200000};
constexpr int kLargeContainers = 2;
const char* const kDate = "05/03/2024";

QString pathIn(const QString& dir, const char* name)
{
    return QDir(dir).filePath(QLatin1String(name));
}

/// Bills of the five EGMs take turns, each followed by its containers, as
/// several clerks entering at once would leave them.
void build(const QString& dir)
{
    const QString ready = pathIn(dir, "bench.ready");
    if (QFile::exists(ready))
        return;
    QDir().mkpath(dir);
    const QString file = pathIn(dir, "bench.mdb");
    BenchSupport::removeDatabase(file);
    std::fprintf(stderr, "building %s ...\n", qPrintable(file));
    auto db = Database::create(file);
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
            const bool bulk = n % 7 == 3;
            bills << RowValues{id,
                               kTargetEgm + e,
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
    db.reset();
    QFile marker(ready);
    marker.open(QIODevice::WriteOnly);
}

/// EGMs numbered by their size in shipping bills, two containers each.
void buildLarge(const QString& dir)
{
    const QString ready = pathIn(dir, "large.ready");
    if (QFile::exists(ready))
        return;
    const QString file = pathIn(dir, "large.mdb");
    BenchSupport::removeDatabase(file);
    std::fprintf(stderr, "building %s ...\n", qPrintable(file));
    auto db = Database::create(file);
    Schema::createCompanyDatabase(*db);
    Database::Transaction tx(*db);
    int id = 0;
    int container = 0;
    for (const int size : kLargeSizes) {
        QList<RowValues> bills;
        QList<RowValues> boxes;
        for (int n = 0; n < size; ++n) {
            ++id;
            bills << RowValues{id,
                               size,
                               QDate(2024, 3, 5),
                               5000000 + id,
                               QDate(2024, 2, 1).addDays(n % 28),
                               "INNSA1",
                               "AEJEA1",
                               "INNSA1",
                               "C",
                               0.0,
                               "MT",
                               10 + n % 90,
                               "MAEU"};
            for (int k = 0; k < kLargeContainers; ++k)
                boxes << RowValues{id, QStringLiteral("TGHU%1").arg(++container, 7, 10, QChar('0')),
                                   "FCL", 0};
            if (bills.size() == 5000 || n + 1 == size) {
                db->insertRows("egmcargo",
                               {"id", "egmno", "egmdt", "sbno", "sbdt", "sbport", "destport",
                                "gateport", "naturecargo", "volume", "unitvol", "pkgs", "linecode"},
                               bills);
                db->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, boxes);
                bills.clear();
                boxes.clear();
            }
        }
    }
    tx.commit();
    db->exec(QStringLiteral("analyze"));
    db.reset();
    QFile marker(ready);
    marker.open(QIODevice::WriteOnly);
}

/// Where an engine's outputs go.
QString outFolder(const QString& dir, const Database::Location& where)
{
    return pathIn(dir, where.isServer() ? "out/psql" : "out");
}

/// One job in this process; where is the database of egm, xml and import
/// (SQLite's bench.mdb, or import.mdb for the import, when empty).
int runJob(const QString& job, const QString& dir, const QString& arg,
           const Database::Location& where)
{
    AppPaths::setHome(dir);
    BenchSupport::QuietPrompts quiet;
    installPrompts(&quiet);
    const bool server = where.isServer();
    const QString out = outFolder(dir, where);
    const Database::Location bench =
        server ? where : Database::Location{QStringLiteral("SQLITE"), pathIn(dir, "bench.mdb")};
    bool ok = false;
    if (job == QLatin1String("egm") || job == QLatin1String("egm-large")) {
        const bool large = job == QLatin1String("egm-large");
        logonState().Conn = Database::open(
            large ? Database::Location{QStringLiteral("SQLITE"), pathIn(dir, "large.mdb")} : bench);
        const QString rot = large ? arg : QString::number(kTargetEgm);
        ok = EgmExport::WriteEgmFile(QDir(out).filePath(rot + QStringLiteral(".egm")), rot,
                                     QLatin1String(kDate));
    } else if (job == QLatin1String("xml")) {
        logonState().Conn = Database::open(bench);
        ok = EgmExport::SaveXmlPair(QDir(out).filePath(QStringLiteral("egmcargo.xml")),
                                    QDir(out).filePath(QStringLiteral("egmcontain.xml")),
                                    QString::number(kTargetEgm));
    } else if (job == QLatin1String("import")) {
        auto db = Database::open(
            server ? where
                   : Database::Location{QStringLiteral("SQLITE"), pathIn(dir, "import.mdb")});
        const XmlImport::Outcome outcome = XmlImport::importPair(
            *db, {pathIn(dir, "pair/egmcargo.xml"), pathIn(dir, "pair/egmcontain.xml"),
                  QString::number(kTargetEgm)});
        ok = outcome.imported && outcome.shippingBills == kBillsPerEgm &&
             outcome.containers == kBillsPerEgm * kContainersPerBill;
        if (!ok)
            std::fprintf(stderr, "import: %s\n", qPrintable(outcome.message));
    }
    logonState() = LogonState();
    return ok ? 0 : 1;
}

struct Figures
{
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
};

Figures summary(QList<Sample> samples)
{
    Figures f;
    QList<double> wall;
    QList<double> cpu;
    for (const Sample& s : samples) {
        wall << s.wall;
        cpu << s.cpu;
        f.peakKb = std::max(f.peakKb, s.peakKb);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    f.wall = wall[wall.size() / 2];
    f.cpu = cpu[cpu.size() / 2];
    return f;
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// A CSV field as the shell's .import takes it.
QByteArray csvField(const QVariant& v, ColumnType type)
{
    if (v.isNull())
        return QByteArray();
    if (type == ColumnType::Date)
        return v.toDate().toString(Qt::ISODate).toUtf8();
    QByteArray text = v.toString().toUtf8();
    if (text.contains(',') || text.contains('"'))
        text = '"' + text.replace("\"", "\"\"") + '"';
    return text;
}

/// The columns of the CSV files, for psql's \copy.
struct CsvColumns
{
    QStringList cargo;
    QStringList containers{"autoid", "ref", "containno", "constatus", "subrefno"};
};

/// The rows the import stores, as CSV files for the shell: the bills under
/// new ids after the database's last one, their containers pointed at them.
CsvColumns writeImportCsv(const QString& dir)
{
    auto db = Database::open({QStringLiteral("SQLITE"), pathIn(dir, "bench.mdb")});
    const qint64 firstId = db->scalar("select max(id) from egmcargo").toLongLong() + 1;
    const qint64 firstAutoid = db->scalar("select max(autoid) from egmcontain").toLongLong() + 1;
    db.reset();
    RowTable cargo;
    RowTable containers;
    AdoXml::Error error;
    if (!AdoXml::readFile(pathIn(dir, "pair/egmcargo.xml"), &cargo, &error) ||
        !AdoXml::readFile(pathIn(dir, "pair/egmcontain.xml"), &containers, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        std::exit(1);
    }
    std::map<qint64, qint64> newIds;
    QByteArray bills;
    for (qsizetype r = 0; r < cargo.rows.size(); ++r) {
        const qint64 id = firstId + r;
        newIds[cargo.rows[r][0].toLongLong()] = id;
        QByteArrayList fields{QByteArray::number(id)};
        for (qsizetype k = 1; k < cargo.columns.size(); ++k)
            fields << csvField(cargo.rows[r][k], cargo.columns[k].type);
        bills += fields.join(',') + '\n';
    }
    QByteArray boxes;
    for (qsizetype r = 0; r < containers.rows.size(); ++r) {
        const RowValues& c = containers.rows[r];
        boxes += QByteArrayList{QByteArray::number(firstAutoid + r),
                                QByteArray::number(newIds[c[1].toLongLong()]),
                                c[2].toString().toUtf8(), c[3].toString().toUtf8(), "0"}
                     .join(',') +
                 '\n';
    }
    writeText(pathIn(dir, "pair/cargo.csv"), bills);
    writeText(pathIn(dir, "pair/contain.csv"), boxes);
    CsvColumns names;
    for (const auto& c : cargo.columns)
        names.cargo << c.name;
    return names;
}

void copyDatabase(const QString& from, const QString& to)
{
    BenchSupport::removeDatabase(to);
    if (!QFile::copy(from, to)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(from));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("--job"))
        return runJob(args[1], args[2], args.value(3),
                      args.size() > 4 ? BenchEngine::fromArgument(args[4]) : Database::Location());
    BenchEngine::Engines engines(args);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr,
                     "usage: bench_outputs DIR [RUNS] [--server CONNINFO | --sqlite-only]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 command-line shell is needed (Debian: sqlite3)\n");
        return 2;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString anchor = QDir(QCoreApplication::applicationDirPath()).filePath("bench_anchor");
    build(dir);
    buildLarge(dir);
    const QString out = pathIn(dir, "out");
    QDir().mkpath(out);
    QDir().mkpath(pathIn(dir, "pair"));
    const QString db = pathIn(dir, "bench.mdb");
    const QString rot = QString::number(kTargetEgm);
    const QList<BenchEngine::Engine> engineList =
        engines.prepare(db, dir, QStringLiteral("tarvex_bench_outputs"));
    const QString psql = QStandardPaths::findExecutable(QStringLiteral("psql"));
    if (engineList.size() > 1 && psql.isEmpty()) {
        std::fprintf(stderr, "the psql shell is needed (Debian: postgresql-client)\n");
        return 2;
    }

    // The shells' scripts: the selects of the flat file and of the pair.
    const auto egmSelects = [&](const QString& output, bool server) {
        return QStringLiteral("%1 %2\n"
                              "select * from egmcargo where egmcargo.egmno=%3;\n"
                              "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as "
                              "xegmdt,egmcargo.sbno as xsbno,egmcargo.sbdt as xsbdt from "
                              "egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
                              "egmcargo.egmno=%3;\n")
            .arg(server ? "\\o" : ".output", output, rot)
            .toUtf8();
    };
    const auto xmlSelects = [&](const QString& output, bool server) {
        return QStringLiteral("%1 %2\n"
                              "select * from egmcargo where egmcargo.egmno=%3;\n"
                              "select egmcontain.* from egmcontain,egmcargo where "
                              "egmcontain.ref=egmcargo.id and egmcargo.egmno=%3;\n")
            .arg(server ? "\\o" : ".output", output, rot)
            .toUtf8();
    };
    writeText(pathIn(dir, "egm.sql"), egmSelects(QDir(out).filePath("sqlite3-egm.txt"), false));
    writeText(pathIn(dir, "xml.sql"), xmlSelects(QDir(out).filePath("sqlite3-xml.txt"), false));
    writeText(pathIn(dir, "import.sql"),
              QStringLiteral(".mode csv\n.import %1 egmcargo\n.import %2 egmcontain\n")
                  .arg(pathIn(dir, "pair/cargo.csv"), pathIn(dir, "pair/contain.csv"))
                  .toUtf8());
    // The pair the import reads: the export's own.
    measure({self, "--job", "xml", dir});
    for (const char* name : {"egmcargo.xml", "egmcontain.xml"}) {
        QFile::remove(pathIn(dir, "pair/") + QLatin1String(name));
        QFile::copy(QDir(out).filePath(QLatin1String(name)), pathIn(dir, "pair/") + name);
    }
    const CsvColumns csvColumns = writeImportCsv(dir);
    const qint64 lastId = Database::open({QStringLiteral("SQLITE"), db})
                              ->scalar("select max(id) from egmcargo")
                              .toLongLong();

    struct Job
    {
        const char* name;
        QStringList argv;
        QString input;
        std::function<void()> before; ///< puts the database back before each run
        std::function<void()> after;  ///< and after it
    };
    const auto freshCopy = [&](const char* name) {
        const QString to = pathIn(dir, name);
        return [db, to] { copyDatabase(db, to); };
    };
    QList<Job> jobs = {
        {"flat file", {self, "--job", "egm", dir}, {}, {}, {}},
        {"  shell", {shell, db}, pathIn(dir, "egm.sql"), {}, {}},
        {"  C anchor", {anchor, db, rot, "05032024", QDir(out).filePath("anchor.egm")}, {}, {}, {}},
        {"XML pair", {self, "--job", "xml", dir}, {}, {}, {}},
        {"  shell", {shell, db}, pathIn(dir, "xml.sql"), {}, {}},
        {"XML import", {self, "--job", "import", dir}, {}, freshCopy("import.mdb"), {}},
        {"  shell",
         {shell, pathIn(dir, "shell-import.mdb")},
         pathIn(dir, "import.sql"),
         freshCopy("shell-import.mdb"),
         {}},
    };
    const qsizetype sqliteJobs = jobs.size();
    // The server's copy: what an import added is deleted after it.
    std::function<void()> removeImported;
    if (engineList.size() > 1) {
        const Database::Location where = engineList[1].location;
        const QString whereArg = BenchEngine::toArgument(where);
        const QString conninfo = where.server + QStringLiteral(" dbname=") + where.database;
        const QString pgOut = outFolder(dir, where);
        QDir().mkpath(pgOut);
        removeImported = [where, lastId] {
            auto server = Database::open(where);
            Database::Transaction tx(*server);
            server->exec(QStringLiteral("delete from egmcontain where ref > %1").arg(lastId));
            server->exec(QStringLiteral("delete from egmcargo where id > %1").arg(lastId));
            tx.commit();
        };
        removeImported();
        writeText(pathIn(dir, "egm-psql.sql"),
                  egmSelects(QDir(pgOut).filePath("psql-egm.txt"), true));
        writeText(pathIn(dir, "xml-psql.sql"),
                  xmlSelects(QDir(pgOut).filePath("psql-xml.txt"), true));
        writeText(pathIn(dir, "import-psql.sql"),
                  QStringLiteral("begin;\n\\copy egmcargo(%1) from '%2' csv\n"
                                 "\\copy egmcontain(%3) from '%4' csv\ncommit;\n")
                      .arg(csvColumns.cargo.join(u','), pathIn(dir, "pair/cargo.csv"),
                           csvColumns.containers.join(u','), pathIn(dir, "pair/contain.csv"))
                      .toUtf8());
        const QStringList psqlArgs = {psql, "-qAt", "-X", "-v", "ON_ERROR_STOP=1", conninfo};
        jobs += {
            {"PG flat file", {self, "--job", "egm", dir, "", whereArg}, {}, {}, {}},
            {"  shell", psqlArgs, pathIn(dir, "egm-psql.sql"), {}, {}},
            {"PG XML pair", {self, "--job", "xml", dir, "", whereArg}, {}, {}, {}},
            {"  shell", psqlArgs, pathIn(dir, "xml-psql.sql"), {}, {}},
            {"PG XML import",
             {self, "--job", "import", dir, "", whereArg},
             {},
             removeImported,
             removeImported},
            {"  shell", psqlArgs, pathIn(dir, "import-psql.sql"), removeImported, removeImported},
        };
    }
    QList<QList<Sample>> samples(jobs.size());
    QList<QList<Sample>> large(std::size(kLargeSizes));
    for (int round = 0; round < runs; ++round) {
        for (qsizetype j = 0; j < jobs.size(); ++j) {
            if (jobs[j].before)
                jobs[j].before();
            samples[j] << measure(jobs[j].argv, jobs[j].input);
            if (jobs[j].after)
                jobs[j].after();
        }
        for (size_t k = 0; k < std::size(kLargeSizes); ++k)
            large[k] << measure({self, "--job", "egm-large", dir, QString::number(kLargeSizes[k])});
        std::fprintf(stderr, "round %d of %d\n", round + 1, runs);
    }
    BenchSupport::removeDatabase(pathIn(dir, "import.mdb"));
    BenchSupport::removeDatabase(pathIn(dir, "shell-import.mdb"));

    const QByteArray egm = readAll(QDir(out).filePath(rot + ".egm"));
    std::printf("EGM %d: %d shipping bills, %d containers (database: %d EGMs); %d rounds, "
                "whole processes taking turns, medians\n",
                kTargetEgm, kBillsPerEgm, kBillsPerEgm * kContainersPerBill, kOtherEgms + 1, runs);
    std::printf("%-16s %8s %8s %9s %8s\n", "job", "wall s", "cpu s", "peak MB", "/ shell");
    QList<Figures> f;
    for (const auto& s : samples)
        f << summary(s);
    for (qsizetype j = 0; j < jobs.size(); ++j) {
        const bool isShell = QByteArray(jobs[j].name).trimmed() == "shell";
        qsizetype shellOf = j + 1;
        while (shellOf < jobs.size() && QByteArray(jobs[shellOf].name).trimmed() != "shell")
            ++shellOf;
        if (jobs[j].name == QByteArray("  C anchor"))
            shellOf = j - 1;
        if (j == sqliteJobs)
            std::printf("PostgreSQL (shell: psql)\n");
        std::printf("%-16s %8.3f %8.3f %9.1f", jobs[j].name, f[j].wall, f[j].cpu,
                    f[j].peakKb / 1024.0);
        if (!isShell && shellOf < jobs.size())
            std::printf(" %8.2f", f[j].wall / f[shellOf].wall);
        std::printf("\n");
    }
    std::printf("flat file %lld bytes; the anchor's bytes are %s\n", qlonglong(egm.size()),
                readAll(QDir(out).filePath("anchor.egm")) == egm ? "identical" : "DIFFERENT");
    if (engineList.size() > 1) {
        const QString pgOut = outFolder(dir, engineList[1].location);
        bool same = true;
        for (const QString& name : {rot + QStringLiteral(".egm"), QStringLiteral("egmcargo.xml"),
                                    QStringLiteral("egmcontain.xml")})
            same = same && readAll(QDir(out).filePath(name)) == readAll(QDir(pgOut).filePath(name));
        std::printf("PostgreSQL / SQLite wall: flat file %.2f, XML pair %.2f, XML import %.2f; "
                    "outputs byte-identical: %s\n",
                    f[sqliteJobs].wall / f[0].wall, f[sqliteJobs + 2].wall / f[3].wall,
                    f[sqliteJobs + 4].wall / f[5].wall, same ? "yes" : "NO");
    }
    std::printf("\nflat file of large EGMs (two containers per bill)\n");
    std::printf("%-10s %8s %8s %9s %14s %9s\n", "bills", "wall s", "cpu s", "peak MB",
                "us per bill", "bytes");
    for (size_t k = 0; k < std::size(kLargeSizes); ++k) {
        const Figures g = summary(large[k]);
        std::printf(
            "%-10d %8.3f %8.3f %9.1f %14.2f %9lld\n", kLargeSizes[k], g.wall, g.cpu,
            g.peakKb / 1024.0, g.wall / kLargeSizes[k] * 1e6,
            qlonglong(
                QFileInfo(QDir(out).filePath(QString::number(kLargeSizes[k]) + ".egm")).size()));
    }
    std::printf("\ntargets: flat file <= 0.8 x shell and < 40 MB; XML pair < 0.5 s and < 60 MB; "
                "XML import < 0.8 s and < 100 MB; large flat files linear, memory flat\n");
    return 0;
}
