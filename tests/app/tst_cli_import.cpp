#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "DemoFixture.h"
#include "Installation.h"
#include "LogonState.h"
#include "Settings.h"
#include "TestEngine.h"

#include "../imports/ImportsTesting.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

using namespace ImportsTesting;

namespace {

using Run = CliRun;

/// A fresh installation, as "tarvex init" makes it, with a pair beside it.
struct Installed
{
    QTemporaryDir tmp;
    QString dir = tmp.filePath("agency");
    InitInstallation made{dir};
    QString cargo = tmp.filePath("egmcargo.xml");
    QString containers = tmp.filePath("egmcontain.xml");

    Installed()
    {
        writePair(
            tmp.path(), cargoFile({bill(7, 5001), bill(9, 5002)}),
            containerFile({container(1, 7, "MSCU0000001"), container(2, 7, "MSCU0000002", "E"),
                           container(3, 9, "MSCU0000003")}));
    }

    /// tarvex --home DIR --user TARVEX --password KOSRAW xml-import ARGS...
    Run run(const QStringList& args, const QString& password = QStringLiteral("KOSRAW"),
            const QStringList& options = {}) const
    {
        return runCliAs(dir, options + QStringList{"xml-import"} + args, password);
    }

    std::shared_ptr<Database> company() const { return made.company(); }
    int count(const char* table) const
    {
        auto db = company();
        return db->tableExists(QLatin1String(table)) ? ImportsTesting::count(*db, table) : -1;
    }
};

} // namespace

class tst_CliImport : public QObject
{
    Q_OBJECT

private slots:
    void importsThePair_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--rot VALUE") << QStringList{"CARGO", "CONTAIN", "--rot", "700001"};
        QTest::newRow("--rot=VALUE") << QStringList{"CARGO", "CONTAIN", "--rot=700001"};
        QTest::newRow("--rot first") << QStringList{"--rot", "700001", "CARGO", "CONTAIN"};
    }

    void importsThePair()
    {
        QFETCH(QStringList, args);
        Installed in;
        args.replaceInStrings("CARGO", in.cargo);
        args.replaceInStrings("CONTAIN", in.containers);
        const Run r = in.run(args);
        QCOMPARE(r.code, int(CommandLine::Done));
        // The first logon of a new installation makes the default user, and says so.
        QCOMPARE(r.err.trimmed().split('\n'),
                 (QStringList{"New User File Created with Default User ID TARVEX Password KOSRAW",
                              "Data Imported Sucessfully"}));
        QCOMPARE(r.out.trimmed(),
                 QString("Imported 2 shipping bills (ids 1 to 2) and 3 containers."));
        auto db = in.company();
        QCOMPARE(db->select("select id, sbno from egmcargo order by id").rows,
                 (QList<RowValues>{{1, 5001.0}, {2, 5002.0}}));
        QCOMPARE(db->select("select ref, subrefno from egmcontain order by containno").rows,
                 (QList<RowValues>{{1, 0}, {1, 0}, {2, 0}}));
    }

    void stoppedWithTheScreensMessage_data()
    {
        QTest::addColumn<QString>("rotNo");
        QTest::addColumn<bool>("breakCargo");
        QTest::addColumn<QString>("message"); // the start of it
        QTest::newRow("other ROT No.") << "700002" << false << "Cargo file contain Data of 700001";
        QTest::newRow("ROT No. empty") << "" << false << "Cargo file contain Data of 700001";
        QTest::newRow("cargo file truncated") << "700001" << true << "The cargo file \"";
    }

    void stoppedWithTheScreensMessage()
    {
        QFETCH(QString, rotNo);
        QFETCH(bool, breakCargo);
        QFETCH(QString, message);
        Installed in;
        if (breakCargo) {
            QFile f(in.cargo);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.resize(f.size() / 2);
        }
        const Run r = in.run({in.cargo, in.containers, "--rot", rotNo});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        const QString last = r.err.trimmed().section(
            "New User File Created with Default User ID TARVEX Password KOSRAW\n", -1);
        QVERIFY2(last.startsWith(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(in.count("egmcargo"), 0);
        QCOMPARE(in.count("egmcontain"), 0);
    }

    void failedLogonStops()
    {
        Installed in;
        const Run r = in.run({in.cargo, in.containers, "--rot", "700001"}, "wrong");
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QVERIFY2(r.err.contains("Access denied Username/Password do not match"), qPrintable(r.err));
        QVERIFY(!r.err.contains("Data Imported"));
        QCOMPARE(in.count("egmcargo"), 0);
    }

    void secondImportOfAnEgmNeedsAgain()
    {
        Installed in;
        QCOMPARE(in.run({in.cargo, in.containers, "--rot", "700001"}).code, int(CommandLine::Done));
        const Run refused = in.run({in.cargo, in.containers, "--rot", "700001"});
        QCOMPARE(refused.code, int(CommandLine::Stopped));
        QCOMPARE(refused.err.trimmed(),
                 QString("ROT No. 700001 already holds 2 shipping bills; nothing was imported. "
                         "Give --again to add the file's shipping bills as well."));
        QCOMPARE(in.count("egmcargo"), 2);
        const Run again = in.run({in.cargo, in.containers, "--rot", "700001", "--again"});
        QCOMPARE(again.code, int(CommandLine::Done));
        QCOMPARE(again.out.trimmed(),
                 QString("Imported 2 shipping bills (ids 3 to 4) and 3 containers."));
        QCOMPARE(in.count("egmcargo"), 4);
    }

    void summaryReachesTheLastId()
    {
        Installed in;
        in.company()->insertRows("egmcargo", {"id", "egmno"}, {{2147483646, 1.0}});
        writePair(in.tmp.path(), cargoFile({bill(7, 5001)}),
                  containerFile({container(1, 7, "MSCU0000001")}));
        const Run r = in.run({in.cargo, in.containers, "--rot", "700001"});
        QCOMPARE(r.code, int(CommandLine::Done));
        QCOMPARE(r.out, QString("Imported 1 shipping bill (ids 2147483647 to 2147483647) and 1 "
                                "containers.\n"));
    }

    void missingDataSourceSaysHowToRegisterIt_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::newRow("not registered") << false;
        QTest::newRow("registered, its file gone") << true;
    }

    void missingDataSourceSaysHowToRegisterIt()
    {
        QFETCH(bool, registered);
        if (TestEngine::onServer())
            QSKIP("the data sources of an installation of SQLite files");
        Installed in;
        {
            auto sys = Database::open({"SQLITE", in.dir + "/system.mdb"});
            sys->exec("insert into DRCOMP(code, name, dirname) values (?,?,?)",
                      {2, "New Agency", "DSN=data.mdb"});
        }
        const QString registry = in.dir + "/DataSources.ini";
        if (registered)
            QVERIFY(Settings::write(registry, "data.mdb",
                                    {{"Driver", "SQLITE"}, {"Database", in.dir + "/gone.mdb"}}));
        const Run r = in.run({in.cargo, in.containers, "--rot", "700001"}, "KOSRAW",
                             {"--company", "New Agency"});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        // Nobody is there to pick a file: no question the command line cannot ask.
        QVERIFY2(!r.err.contains("Please Select Data File"), qPrintable(r.err));
        if (registered)
            QCOMPARE(r.err, "The database file '" + in.dir +
                                "/gone.mdb' does not exist.\nThe data source \"data.mdb\" of the "
                                "company \"New Agency\" is registered in " +
                                registry +
                                "; correct its Database entry there, or log on in the window to "
                                "pick the file.\n");
        else
            QCOMPARE(r.err, "The data source \"data.mdb\" of the company \"New Agency\" is not "
                            "registered. Log on once in the window, which asks for its database "
                            "file, or add it to " +
                                registry +
                                ":\n[data.mdb]\nDriver = SQLITE\nDatabase = <the database "
                                "file>\n");
        QCOMPARE(in.count("egmcargo"), 0);
    }

    void wrongUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no --rot") << QStringList{"CARGO", "CONTAIN"} << "--rot";
        QTest::newRow("--rot without value")
            << QStringList{"CARGO", "CONTAIN", "--rot"} << "--rot needs a value";
        QTest::newRow("one file") << QStringList{"CARGO", "--rot", "700001"}
                                  << "give the cargo file and the container file";
        QTest::newRow("no files") << QStringList{"--rot", "700001"}
                                  << "give the cargo file and the container file";
        QTest::newRow("three files") << QStringList{"CARGO", "CONTAIN", "CARGO", "--rot", "1"}
                                     << "give the cargo file and the container file";
        QTest::newRow("unknown option")
            << QStringList{"CARGO", "CONTAIN", "--rotno", "1"} << "unknown option --rotno";
    }

    void wrongUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        Installed in;
        args.replaceInStrings("CARGO", in.cargo);
        args.replaceInStrings("CONTAIN", in.containers);
        const Run r = in.run(args);
        QCOMPARE(r.code, int(CommandLine::Usage));
        QVERIFY2(r.err.contains(problem), qPrintable(r.err));
        QVERIFY(r.err.contains("usage: tarvex xml-import CARGO.xml CONTAIN.xml --rot ROTNO"));
        // Usage is checked before anything else: not even a logon happened.
        QCOMPARE(in.count("loguser"), -1);
        QCOMPARE(in.count("egmcargo"), 0);
    }

    void helpListsTheCommand()
    {
        const QString usage = CommandLine::usage();
        QVERIFY(usage.contains("  xml-import CARGO.xml CONTAIN.xml --rot ROTNO [--again]\n"));
        QVERIFY(usage.contains("import an XML pair written by another installation"));
    }
};

QTEST_GUILESS_MAIN(tst_CliImport)
#include "tst_cli_import.moc"
