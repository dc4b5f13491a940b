// tarvex backup: a checked copy of the company database, the newest kept.

#include "Backup.h"
#include "CommandLine.h"
#include "DataSources.h"
#include "Database.h"
#include "Installation.h"
#include "Settings.h"
#include "TestEngine.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
