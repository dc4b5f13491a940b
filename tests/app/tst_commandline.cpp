#include "AppPaths.h"
#include "CommandLine.h"
#include "DataSources.h"
#include "Database.h"
#include "Installation.h"
#include "Logon.h"
#include "LogonState.h"
#include "Settings.h"
#include "TestEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

namespace {

using Run = CliRun;

Run run(const QStringList& args)
{
    return runCli(args);
}

/// "--server CONNINFO" for the test server with a system database of its
/// own name; on SQLite no arguments. The databases go with the object.
struct ServerInit
{
    QString name = TestEngine::onServer() ? TestEngine::uniqueName() : QString();
    QString text = TestEngine::onServer() ? TestEngine::serverWithoutDatabase() + " dbname=" + name
                                          : QString();
    QStringList args() const
    {
        return text.isEmpty() ? QStringList() : QStringList{"--server", text};
    }
    ~ServerInit()
    {
        if (!name.isEmpty()) {
            TestEngine::dropDatabase(name);
            TestEngine::dropDatabase(name + "_demo");
        }
    }
};

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parsesOptionsBeforeTheCommand()
    {
        const auto o =
            CommandLine::parse({"--home", "/x", "--company", "Patel's", "--user", "u", "--password",
                                "", "egm", "12", "05/03/2006", "--out", "f.egm"});
        QCOMPARE(o.home, QString("/x"));
        QCOMPARE(o.company, QString("Patel's"));
        QVERIFY(o.userGiven && o.passwordGiven);
        QCOMPARE(o.password, QString(""));
        QCOMPARE(o.command, QString("egm"));
        QCOMPARE(o.args, (QStringList{"12", "05/03/2006", "--out", "f.egm"}));
        QVERIFY(!CommandLine::parse({"--home"}).error.isEmpty());
        QVERIFY(!CommandLine::parse({"--bogus"}).error.isEmpty());
        QVERIFY(CommandLine::parse({"--help"}).help);
    }

    void initMakesAnInstallationThatLogsOn()
    {
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("agency");
        // On the server: "init DIR --server CONNINFO", its databases made there.
        const ServerInit server;
        const Run r = run(QStringList{"init", dir} + server.args());
        QCOMPARE(r.code, int(CommandLine::Done));
        QVERIFY(r.out.contains("TARVEX"));
        const QString sysPath = Settings::read(dir + "/Tarvex.ini", "SYSTEM", "SYSPATH");
        QVERIFY(QFile::exists(dir + "/skins/harbour.skn"));
        AppPaths::setHome(dir);
        std::shared_ptr<Database> company;
        if (TestEngine::onServer()) {
            QCOMPARE(sysPath, "DSN=" + server.name);
            QVERIFY(r.out.contains("System database: " + server.name));
            const auto entry = DataSources::find(server.name + "_demo");
            QVERIFY(entry);
            QCOMPARE(entry->driver, QString("PSQL"));
            QCOMPARE(entry->database, server.name + "_demo");
            company = DataSources::openConnection("DSN=" + server.name + "_demo");
        } else {
            QCOMPARE(sysPath, dir + "/system.mdb");
            company = Database::open({"SQLITE", dir + "/demo.mdb"});
        }
        QVERIFY(!company->tableExists("loguser"));
        QVERIFY(company->scalar("select count(*) from d_port_cd").toInt() > 100);
        QCOMPARE(Logon::companies(sysPath, nullptr), QStringList{Installation::demoCompanyName()});
        company.reset();
        CommandLine::Options o;
        o.user = "TARVEX";
        o.password = "KOSRAW";
        o.userGiven = o.passwordGiven = true;
        QString err;
        QTextStream es(&err);
        QVERIFY(CommandLine::logOn(o, es));
        QCOMPARE(err.trimmed(),
                 QString("New User File Created with Default User ID TARVEX Password KOSRAW"));
        logonState() = LogonState();
        // The command line leaves what the logon window remembers alone.
        QCOMPARE(Settings::read(dir + "/Tarvex.ini", "User", "UsId"), QString());
        o.password = "wrong";
        err.clear();
        QVERIFY(!CommandLine::logOn(o, es));
        QVERIFY(err.contains("Access denied Username/Password do not match"));
        logonState() = LogonState();
        AppPaths::setHome(QString());
    }

    void initOnServerTakesOnlyEmptyDatabases()
    {
        if (!TestEngine::onServer())
            QSKIP("Databases on a server: runs in the PostgreSQL half.");
        const ServerInit server;
        // An administrator may make the system database beforehand...
        TestEngine::maintenance().exec("create database " + server.name);
        QTemporaryDir tmp;
        QCOMPARE(run(QStringList{"init", tmp.filePath("one")} + server.args()).code,
                 int(CommandLine::Done));
        // ...but one that holds tables is never taken.
        const Run again = run(QStringList{"init", tmp.filePath("two")} + server.args());
        QCOMPARE(again.code, int(CommandLine::Stopped));
        QVERIFY2(again.err.contains("holds tables already; nothing was changed"),
                 qPrintable(again.err));
        QVERIFY(!QFile::exists(tmp.filePath("two/Tarvex.ini")));
    }

    void refusedDataSourceNameChangesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");

        QTest::newRow("copy-db to a name with ]")
            << QStringList{"copy-db", "demo.mdb", "demo.mdb]zz", "--file", "OUT/other.mdb"}
            << "The data source name 'demo.mdb]zz' holds ']', which a data source name may not "
               "hold. Nothing was copied.";
        QTest::newRow("copy-db to a name with a line break")
            << QStringList{"copy-db", "demo.mdb", "x\n[demo.mdb]", "--file", "OUT/other.mdb"}
            << "The data source name 'x?[demo.mdb]' holds a control character, which a data "
               "source name may not hold. Nothing was copied.";
        QTest::newRow("init --server with a database name holding ;")
            << QStringList{"init", "OUT/new", "--server", "host=nowhere.invalid dbname='semi;x'"}
            << "The database name 'semi;x' cannot name its data source: The data source name "
               "'semi;x' holds ';', which a data source name may not hold. Nothing was created.";
        QTest::newRow("init --server with a database name holding ]")
            << QStringList{"init", "OUT/new", "--server", "host=nowhere.invalid dbname='a]b'"}
            << "The database name 'a]b' cannot name its data source: The data source name 'a]b' "
               "holds ']', which a data source name may not hold. Nothing was created.";
    }

    void refusedDataSourceNameChangesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("home");
        QCOMPARE(run({"init", dir}).code, int(CommandLine::Done));
        const QString list = dir + "/DataSources.ini";
        const QByteArray before = Settings::contentOf(list);
        for (QString& a : args)
            a.replace("OUT", tmp.path());
        const Run r = run(QStringList{"--home", dir} + args);
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QCOMPARE(r.err.trimmed(), message);
        QCOMPARE(Settings::contentOf(list), before);
        QVERIFY(!QFile::exists(tmp.filePath("other.mdb")));
        QVERIFY(!QFile::exists(tmp.filePath("new")));
    }

    void copyDbMovesACompanyAndRegistersTheTarget()
    {
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("agency");
        QCOMPARE(run({"init", dir}).code, int(CommandLine::Done));
        {
            auto db = Database::open({"SQLITE", dir + "/demo.mdb"});
            db->insertRows("egmcargo", {"id", "egmno", "sbno"}, {{1, 1234, 5001}, {2, 1234, 5002}});
        }
        // To the engine under test, then back into a file.
        const ServerInit server;
        const QStringList target = TestEngine::onServer()
                                       ? QStringList{"--server", server.text}
                                       : QStringList{"--file", tmp.filePath("moved.mdb")};
        const Run there =
            run(QStringList{"--home", dir, "copy-db", "DSN=demo.mdb", "moved"} + target);
        QCOMPARE(there.code, int(CommandLine::Done));
        QVERIFY2(there.out.contains("every table's row count and checksum match"),
                 qPrintable(there.out + there.err));
        QVERIFY(there.out.contains("egmcargo: 2 rows, checksum "));
        const Run back =
            run({"--home", dir, "copy-db", "moved", "back", "--file", tmp.filePath("back.mdb")});
        QCOMPARE(back.code, int(CommandLine::Done));
        const auto line = [](const Run& r, const QString& table) {
            for (const QString& l : r.out.split('\n'))
                if (l.startsWith(table + ": "))
                    return l;
            return QString();
        };
        for (const char* table : {"egmcargo", "egmcontain", "d_port_cd", "nature"})
            QCOMPARE(line(back, table), line(there, table));

        AppPaths::setHome(dir);
        QCOMPARE(DataSources::find("moved")->driver,
                 QString(TestEngine::onServer() ? "PSQL" : "SQLITE"));
        QCOMPARE(DataSources::openConnection("DSN=back")
                     ->scalar("select count(*) from egmcargo where egmno = 1234")
                     .toInt(),
                 2);
        AppPaths::setHome(QString());

        // A registered target is not registered twice; a full one is not filled.
        const Run twice = run(QStringList{"--home", dir, "copy-db", "demo.mdb", "moved"} + target);
        QCOMPARE(twice.code, int(CommandLine::Stopped));
        QVERIFY2(twice.err.contains("exists already"), qPrintable(twice.err));
        const Run full = run({"--home", dir, "copy-db", "demo.mdb", "back"});
        QCOMPARE(full.code, int(CommandLine::Stopped));
        QVERIFY2(full.err.contains("holds tables already; nothing was copied"),
                 qPrintable(full.err));
        const Run unknown = run({"--home", dir, "copy-db", "demo.mdb", "nowhere"});
        QCOMPARE(unknown.code, int(CommandLine::Stopped));
        QVERIFY(unknown.err.contains("'nowhere' not found"));
        QCOMPARE(run({"--home", dir, "copy-db", "demo.mdb"}).code, int(CommandLine::Usage));
    }

    void initNeverOverwrites()
    {
        QTemporaryDir tmp;
        QCOMPARE(run({"init", tmp.path()}).code, int(CommandLine::Done));
        QFile ini(tmp.filePath("Tarvex.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray before = ini.readAll();
        ini.close();
        const Run again = run({"init", tmp.path()});
        QCOMPARE(again.code, int(CommandLine::Stopped));
        QVERIFY(again.err.contains("Tarvex.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), before);
    }

    void usageErrors()
    {
        QCOMPARE(run({"init"}).code, int(CommandLine::Usage));
        const Run unknown = run({"fly"});
        QCOMPARE(unknown.code, int(CommandLine::Usage));
        QVERIFY(unknown.err.contains("unknown command"));
        QVERIFY(CommandLine::usage().contains("init DIR"));
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
