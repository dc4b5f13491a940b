// tarvex backup: a checked copy of the company database, the newest kept;
// tarvex restore: the database put back as a backup holds it.

#include "Backup.h"
#include "CommandLine.h"
#include "CompanyInUse.h"
#include "DataSources.h"
#include "Database.h"
#include "Installation.h"
#include "PostgresDialect.h"
#include "Settings.h"
#include "TestEngine.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

#include "CliTesting.h"

class TestCliBackup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        tmp_ = std::make_unique<QTemporaryDir>();
        home_ = tmp_->filePath("agency");
        if (TestEngine::onServer()) {
            // "init DIR --server CONNINFO": the company database on the server.
            server_ = TestEngine::uniqueName();
            const CliRun r = runCli({"init", home_, "--server",
                                     TestEngine::serverWithoutDatabase() + " dbname=" + server_});
            QCOMPARE(r.code, int(CommandLine::Done));
        } else {
            QString error;
            QVERIFY2(Installation::createDemo(home_, &error), qPrintable(error));
        }
        AppPaths::setHome(home_);
        auto db = DataSources::openConnection("DSN=" + companySource());
        db->exec("insert into egmcargo (id, egmno, sbno) values (1, 10, 501)");
        db->exec("insert into egmcontain (ref, containno) values (1, 'ABCU1234565')");
        AppPaths::setHome(QString());
    }
    void cleanup()
    {
        if (!server_.isEmpty()) {
            TestEngine::dropDatabase(server_ + "_demo");
            TestEngine::dropDatabase(server_);
            server_.clear();
        }
    }

    void theCopyHoldsTheDatabaseAndIsChecked()
    {
        const CliRun r = runCliAs(home_, {"backup"});
        QCOMPARE(r.code, int(CommandLine::Done));
        const QStringList copies = QDir(home_ + "/backups").entryList(QDir::Files);
        QCOMPARE(copies.size(), 1);
        QVERIFY2(copies[0].startsWith(companyBase() + "-") && copies[0].endsWith(".sqlite"),
                 qPrintable(copies[0]));
        QCOMPARE(r.out, "Wrote " + QDir::toNativeSeparators(home_ + "/backups/" + copies[0]) +
                            " (checked)\n");
        auto copy = Database::open({"SQLITE", home_ + "/backups/" + copies[0]});
        QCOMPARE(copy->scalar("select sbno from egmcargo where id = 1").toInt(), 501);
        QCOMPARE(copy->scalar("select count(*) from egmcontain").toInt(), 1);
        QVERIFY(copy->scalar("select count(*) from d_port_cd").toInt() > 100);
    }

    void aDatabaseOfANewerTarvexIsBackedUpToo()
    {
        runCliAs(home_, {"deleted"}); // the first logon makes the user table
        AppPaths::setHome(home_);
        DataSources::openConnection("DSN=" + companySource())
            ->exec("update schemaversion set version = version + 1");
        AppPaths::setHome(QString());
        const CliRun r = runCliAs(home_, {"backup"});
        QVERIFY2(r.err.contains("newer Tarvex"), qPrintable(r.err));
        QVERIFY2(r.code == int(CommandLine::Done), qPrintable(r.err));
        QCOMPARE(QDir(home_ + "/backups").entryList(QDir::Files).size(), 1);
    }

    void onlyTheNewestAreKept()
    {
        const QString dir = tmp_->filePath("elsewhere");
        QDir().mkpath(dir);
        const QStringList older{"-20240101-000000.sqlite", "-20250101-000000.sqlite",
                                "-20250102-000000.sqlite"};
        for (const QString& name : older) {
            QFile f(dir + "/" + companyBase() + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QFile other(dir + "/notes.txt");
        QVERIFY(other.open(QIODevice::WriteOnly));
        Settings::write(home_ + "/Tarvex.ini", "Backup", "Keep", "2");
        const CliRun r = runCliAs(home_, {"backup", "--to", dir});
        QCOMPARE(r.code, int(CommandLine::Done));
        QVERIFY2(r.out.contains("Removed the older backup " + companyBase() + older[0]),
                 qPrintable(r.out));
        QVERIFY(r.out.contains("Removed the older backup " + companyBase() + older[1]));
        QStringList left = QDir(dir).entryList(QDir::Files);
        QCOMPARE(left.size(), 3);
        QVERIFY(left.contains(companyBase() + older[2]));
        QVERIFY(left.contains("notes.txt"));
    }

    void aCopyThatCannotBeMadeLeavesTheOlderOnes()
    {
        const QString dir = tmp_->filePath("full");
        QDir().mkpath(dir);
        QFile old(dir + "/" + companyBase() + "-20240101-000000.sqlite");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        Settings::write(home_ + "/Tarvex.ini", "Backup", "Keep", "1");
        // A folder where the copy would go: nothing can be written under it.
        QFile blocker(dir + "/sub");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const CliRun r = runCliAs(home_, {"backup", "--to", dir + "/sub"});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QVERIFY2(r.err.contains("cannot be made"), qPrintable(r.err));
        QVERIFY(QFile::exists(old.fileName()));
    }

    void aCopyCutShortByAFullDiskLeavesAllAsItWas()
    {
        QVERIFY(runCliAs(home_, {"backup"}).code == int(CommandLine::Done));
        const QStringList before = QDir(home_ + "/backups").entryList(QDir::Files);
        AppPaths::setHome(home_);
        auto db = DataSources::openConnection("DSN=" + companySource());
        QString error;
        {
            // No file may grow past 16 kB: the disk is full for the copy.
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 16 * 1024;
            setrlimit(RLIMIT_FSIZE, &small);
            try {
                Backup::make(*db, home_ + "/backups", 1);
            } catch (const DbError& e) {
                error = e.description();
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        AppPaths::setHome(QString());
        QVERIFY2(error.startsWith("No backup of "), qPrintable(error));
        QCOMPARE(QDir(home_ + "/backups").entryList(QDir::Files), before);
        QCOMPARE(db->scalar("select sbno from egmcargo where id = 1").toInt(), 501);
    }

    void aCopyLeftUnfinishedIsRemovedAndSaid()
    {
        QDir().mkpath(home_ + "/backups");
        // Left by a program that is no longer running (no such process).
        const QString part = companyBase() + "-20250101-000000.sqlite.99999999.part";
        QFile f(home_ + "/backups/" + part);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const CliRun r = runCliAs(home_, {"backup"});
        QCOMPARE(r.code, int(CommandLine::Done));
        QVERIFY2(r.out.contains("Removed an unfinished backup (cut short earlier): " + part),
                 qPrintable(r.out));
        QVERIFY(!f.exists());
    }

    void restorePutsTheBackupBack()
    {
        QVERIFY(runCliAs(home_, {"backup"}).code == int(CommandLine::Done));
        const QString backup = QDir(home_ + "/backups").entryInfoList(QDir::Files)[0].filePath();
        AppPaths::setHome(home_);
        {
            auto db = DataSources::openConnection("DSN=" + companySource());
            db->exec("delete from egmcargo");
            db->exec("insert into egmcargo (id, egmno, sbno) values (2, 10, 777)");
        }
        AppPaths::setHome(QString());
        const QString into = TestEngine::onServer() ? server_ + "_restored" : QString();
        if (TestEngine::onServer()) {
            // The password for any database of the server, as libpq's
            // password file holds it on a PC without a keyring.
            PgConninfo::Pairs pairs;
            PgConninfo::parse(TestEngine::server(), &pairs, nullptr);
            QFile pass(QFile::decodeName(qgetenv("PGPASSFILE")));
            QVERIFY(pass.open(QIODevice::Append));
            pass.write(QStringLiteral("%1:%2:*:%3:%4\n")
                           .arg(PgConninfo::value(pairs, "host"), PgConninfo::value(pairs, "port"),
                                PgConninfo::value(pairs, "user"), TestEngine::serverPassword())
                           .toUtf8());
        }
        const CliRun r =
            runCliAs(home_, into.isEmpty() ? QStringList{"restore", backup}
                                           : QStringList{"restore", backup, "--into", into});
        QVERIFY2(r.code == int(CommandLine::Done), qPrintable(r.err));
        QVERIFY2(r.out.contains("(1 shipping bill, 1 container)"), qPrintable(r.out));
        AppPaths::setHome(home_);
        auto company = DataSources::openConnection("DSN=" + companySource());
        AppPaths::setHome(QString());
        if (TestEngine::onServer()) {
            // The company's own database is as it was; the new one holds the backup.
            QCOMPARE(company->scalar("select sbno from egmcargo").toInt(), 777);
            QVERIFY2(r.out.contains("set Database=" + into), qPrintable(r.out));
            Database::Location where = company->where();
            where.database = into;
            QCOMPARE(Database::open(where)->scalar("select sbno from egmcargo").toInt(), 501);
            company.reset();
            TestEngine::dropDatabase(into);
            return;
        }
        QCOMPARE(company->scalar("select sbno from egmcargo").toInt(), 501);
        QCOMPARE(company->scalar("select count(*) from egmcontain").toInt(), 1);
        // The database as it was before the restore is a backup of its own.
        QCOMPARE(QDir(home_ + "/backups").entryList(QDir::Files).size(), 2);
        const QString before = r.out.section("Wrote ", 1).section(" (checked)", 0, 0);
        QCOMPARE(Database::openToRead(before)->scalar("select sbno from egmcargo").toInt(), 777);
    }

    void restoreRefuses_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said");
        QTest::newRow("no such file") << "missing"
                                      << "there is no such file";
        QTest::newRow("not a database") << "text"
                                        << "is not a database";
        QTest::newRow("a damaged backup") << "damaged"
                                          << "cannot be restored";
        QTest::newRow("not a company database") << "foreign"
                                                << "it has no table egmcargo";
        QTest::newRow("of a newer Tarvex") << "newer"
                                           << "a newer Tarvex made it";
        if (TestEngine::onServer())
            return;
        QTest::newRow("the company database itself") << "itself"
                                                     << "the company database itself";
        QTest::newRow("while another clerk has it open") << "open"
                                                         << "Another clerk has";
    }
    void restoreRefuses()
    {
        QFETCH(QString, kind);
        QFETCH(QString, said);
        QVERIFY(runCliAs(home_, {"backup"}).code == int(CommandLine::Done));
        QString file = QDir(home_ + "/backups").entryInfoList(QDir::Files)[0].filePath();
        std::unique_ptr<CompanyInUse> otherClerk;
        if (kind == "missing") {
            file = home_ + "/nothing.sqlite";
        } else if (kind == "text") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a database at all, but long enough to be taken for one");
        } else if (kind == "damaged") {
            // Its last pages are gone, as on a disk that failed.
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() / 2));
        } else if (kind == "foreign") {
            QFile::remove(file);
            auto foreign = Database::create(file);
            foreign->exec("create table notes (a integer)");
            foreign->exec("PRAGMA journal_mode=DELETE");
        } else if (kind == "newer") {
            auto copy = Database::open({"SQLITE", file});
            copy->exec("update schemaversion set version = version + 1");
            copy->exec("PRAGMA journal_mode=DELETE");
        } else if (kind == "itself") {
            file = home_ + "/demo.mdb";
        } else if (kind == "open") {
            otherClerk = CompanyInUse::share(home_ + "/demo.mdb");
            QVERIFY(otherClerk);
        }
        const QStringList copies = QDir(home_ + "/backups").entryList(QDir::Files);
        const CliRun r =
            runCliAs(home_, TestEngine::onServer()
                                ? QStringList{"restore", file, "--into", server_ + "_never"}
                                : QStringList{"restore", file});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        if (kind != "open")
            QVERIFY2(r.err.contains(QFileInfo(file).fileName()), qPrintable(r.err));
        // Nothing changed, and no backup was written for it.
        QCOMPARE(QDir(home_ + "/backups").entryList(QDir::Files), copies);
        AppPaths::setHome(home_);
        QCOMPARE(DataSources::openConnection("DSN=" + companySource())
                     ->scalar("select sbno from egmcargo where id = 1")
                     .toInt(),
                 501);
        AppPaths::setHome(QString());
    }

    void aClaimRefusedTheWholeOfItStaysShared()
    {
        const QString file = tmp_->filePath("claimed.mdb");
        auto mine = CompanyInUse::share(file);
        auto other = CompanyInUse::share(file);
        QVERIFY(mine && other);
        QVERIFY(!mine->takeAlone());
        other.reset();
        // Mine still holds its share: a third logon cannot have it alone.
        auto third = CompanyInUse::share(file);
        QVERIFY(!third->takeAlone());
        third.reset();
        QVERIFY(mine->takeAlone());
    }

    void beyondNewest_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("keep");
        QTest::addColumn<QStringList>("removed");
        const QStringList three{"d-20250102-000000.sqlite", "d-20240101-000000.sqlite",
                                "d-20250101-000000.sqlite"};
        QTest::newRow("fewer than kept") << three << 14 << QStringList{};
        QTest::newRow("the oldest go")
            << three << 1 << QStringList{"d-20250101-000000.sqlite", "d-20240101-000000.sqlite"};
        QTest::newRow("the new one always stays") << three << 0 << QStringList{three[2], three[1]};
        QTest::newRow("a second copy in one second is the newer")
            << QStringList{"d-20250101-000000.sqlite", "d-20250101-000000-2.sqlite"} << 1
            << QStringList{"d-20250101-000000.sqlite"};
    }
    void beyondNewest()
    {
        QFETCH(QStringList, names);
        QFETCH(int, keep);
        QFETCH(QStringList, removed);
        QCOMPARE(Backup::beyondNewest(names, keep), removed);
    }

private:
    QString companySource() const { return server_.isEmpty() ? "demo.mdb" : server_ + "_demo"; }
    QString companyBase() const { return server_.isEmpty() ? "demo" : server_ + "_demo"; }

    std::unique_ptr<QTemporaryDir> tmp_;
    QString home_;
    QString server_;
};

QTEST_GUILESS_MAIN(TestCliBackup)
#include "tst_cli_backup.moc"
