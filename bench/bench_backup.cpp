// The backup of the benchmark company database (bench_cargo's cargo.db:
// 100,000 shipping bills and 1,000,000 containers) beside the sqlite3 shell
// doing the same work: ".backup FILE", then "PRAGMA quick_check" on the
// copy. Whole processes, alternating, RUNS times each; then the saves a
// clerk makes while a backup is written on its own thread, each a bill with
// 80 containers and its history in one transaction, against the same saves
// with no backup running.
//   bench_backup DIR [RUNS]      (run bench_cargo DIR first: it makes DIR/cargo.db)
//   bench_backup --one FILE DIR  (one backup of FILE into DIR: the measured process)
#include "AppPaths.h"
#include "Backup.h"
#include "BackupJob.h"
#include "BenchSupport.h"
#include "BillHistory.h"
#include "Database.h"
#include "DbError.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

double percentile(QList<double> v, int p)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[std::min(v.size() - 1, v.size() * p / 100)];
}

double median(const QList<double>& v)
{
    return percentile(v, 50);
}

/// One clerk's save: a new bill with 80 containers and its history.
double save(Database& db, qint64 id)
{
    QElapsedTimer t;
    t.start();
    Database::Transaction tx(db);
    db.exec("insert into egmcargo (id, egmno, sbno) values (?, 9000001, ?)", {id, id});
    QList<RowValues> rows;
    for (int c = 0; c < 80; ++c)
        rows << RowValues{
            id, QStringLiteral("TGHU%1").arg((id * 80 + c) % 10000000, 7, 10, QLatin1Char('0')),
            "F", 0};
    db.insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, rows);
    BillHistory::write(db, id, BillHistory::Kind::Added, "BENCH", QString());
    tx.commit();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--one")) {
        try {
            auto db = Database::open({"SQLITE", args[2]});
            Backup::make(*db, args[3], 1);
        } catch (const DbError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description()));
            return 1;
        }
        return 0;
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_backup DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QDir(args[1]).absolutePath();
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    const QString file = dir + "/cargo.db";
    if (!QFile::exists(file)) {
        std::fprintf(stderr, "%s is missing: run bench_cargo %s first\n", qPrintable(file),
                     qPrintable(dir));
        return 1;
    }
    {
        auto db = Database::open({"SQLITE", file});
        Schema::upgradeCompanyDatabase(*db);
        db->exec("delete from egmcontain where ref in (select id from egmcargo where egmno = "
                 "9000001)");
        db->exec("delete from egmcargo where egmno = 9000001");
        db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        std::printf("%s: %lld bills, %lld containers, %.0f MB\n", qPrintable(file),
                    db->scalar("select count(*) from egmcargo").toLongLong(),
                    db->scalar("select count(*) from egmcontain").toLongLong(),
                    double(QFileInfo(file).size()) / 1e6);
    }
    const QString out = dir + "/backups";
    const QString shellCopy = dir + "/shell-copy.db";
    QList<double> ours, shell, oursCpu, shellCpu;
    for (int r = 0; r < runs; ++r) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const BenchSupport::Sample a =
            BenchSupport::measure({QCoreApplication::applicationFilePath(), "--one", file, out});
        QFile::remove(shellCopy);
        const BenchSupport::Sample b = BenchSupport::measure(
            {"sh", "-c",
             QStringLiteral("sqlite3 '%1' \".backup '%2'\" && sqlite3 '%2' 'PRAGMA quick_check' "
                            "| grep -qx ok")
                 .arg(file, shellCopy)});
        ours << a.wall;
        shell << b.wall;
        oursCpu << a.cpu;
        shellCpu << b.cpu;
        std::printf("run %d: tarvex %.3f s (cpu %.3f), sqlite3 shell %.3f s (cpu %.3f)\n", r + 1,
                    a.wall, a.cpu, b.wall, b.cpu);
    }
    std::printf("backup, median of %d: tarvex %.3f s, sqlite3 shell %.3f s: %.2fx wall, %.2fx "
                "cpu\n",
                runs, median(ours), median(shell), median(ours) / median(shell),
                median(oursCpu) / median(shellCpu));

    // Saves while a backup runs on a thread of its own, and without one.
    AppPaths::setHome(dir);
    auto clerk = Database::open({"SQLITE", file});
    qint64 id = 5000000;
    QList<double> quiet;
    for (int i = 0; i < 100; ++i) {
        quiet << save(*clerk, ++id);
        QThread::msleep(20);
    }
    QList<double> during;
    for (int r = 0; r < runs; ++r) {
        BackupJob job({"SQLITE", file});
        while (job.isRunning()) {
            during << save(*clerk, ++id);
            QThread::msleep(20);
        }
        if (!job.succeeded() && !job.isRunning()) {
            QCoreApplication::processEvents();
        }
    }
    std::printf("saves of a bill with 80 containers: alone (%lld) median %.1f ms, 95%% %.1f ms, "
                "longest %.1f ms; while a backup runs (%lld) median %.1f ms, 95%% %.1f ms, "
                "longest %.1f ms\n",
                qlonglong(quiet.size()), median(quiet), percentile(quiet, 95),
                percentile(quiet, 100), qlonglong(during.size()), median(during),
                percentile(during, 95), percentile(during, 100));
    clerk->exec("delete from egmcontain where ref in (select id from egmcargo where egmno = "
                "9000001)");
    clerk->exec("delete from egmcargo where egmno = 9000001");
    QDir(out).removeRecursively();
    QFile::remove(shellCopy);
    return 0;
}
