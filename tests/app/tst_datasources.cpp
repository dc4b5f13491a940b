// Data sources that name a database on a PostgreSQL server, a system
// database reached through a data source, and the logon when the server is
// down or refuses the login.

#include "AppPaths.h"
#include "DataSources.h"
#include "Database.h"
#include "DemoFixture.h"
#include "FakeKeyring.h"
#include "Logon.h"
#include "LogonState.h"
#include "PostgresDialect.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "TestEngine.h"
#include "TestHome.h"

#include <QTest>

namespace {

QString param(const Database::Location& where, const QString& keyword)
{
    PgConninfo::Pairs pairs;
    PgConninfo::parse(where.server, &pairs, nullptr);
    return PgConninfo::value(pairs, keyword);
}

} // namespace

class TestDataSources : public QObject
{
    Q_OBJECT

private slots:
    void serverEntryComesBackAsWritten()
    {
        TestHome home;
        FakeKeyring keys; // the password's home
        DataSources::Entry e;
        QString error;
        QVERIFY(DataSources::entryForServer(
            "Agency", "agency_egm",
            "host=db.agency.lan port=5433 user=egm password='it\\'s a secret' sslmode=require "
            "dbname=ignored",
            &e, &error));
        QCOMPARE(e.host, QString("db.agency.lan"));
        QCOMPARE(e.password, QString("it's a secret"));
        QVERIFY(DataSources::add(e));

        const auto found = DataSources::find("AGENCY");
        QVERIFY(found);
        QCOMPARE(found->driver, QString("PSQL"));
        const Database::Location where = found->location();
        QVERIFY(where.isServer());
        QCOMPARE(where.database, QString("agency_egm"));
        QCOMPARE(param(where, "host"), QString("db.agency.lan"));
        QCOMPARE(param(where, "port"), QString("5433"));
        QCOMPARE(param(where, "user"), QString("egm"));
        QCOMPARE(param(where, "password"), QString("it's a secret"));
        QVERIFY(!Settings::contentOf(DataSources::registryFile()).contains("secret"));
        QCOMPARE(param(where, "sslmode"), QString("require"));
        QCOMPARE(param(where, "dbname"), QString());

        // A service instead of a host; the old password does not linger.
        DataSources::Entry service("Agency", "PSQL", "agency_egm");
        service.service = "agency";
        QVERIFY(DataSources::add(service));
        const Database::Location again = DataSources::find("agency")->location();
        QCOMPARE(param(again, "service"), QString("agency"));
        QCOMPARE(param(again, "password"), QString());
        QCOMPARE(param(again, "host"), QString());
    }

    void namesThatCannotBeDataSources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem");

        const QString holds = "The data source name '%1' holds '%2', which a data source name may "
                              "not hold.";
        QTest::newRow("plain") << "demo.mdb"
                               << "";
        QTest::newRow("blank inside") << "my company"
                                      << "";
        QTest::newRow("closing bracket") << "demo.mdb]zz" << holds.arg("demo.mdb]zz", "]");
        QTest::newRow("opening bracket") << "[a" << holds.arg("[a", "[");
        QTest::newRow("semicolon") << "semi;colon" << holds.arg("semi;colon", ";");
        QTest::newRow("equals sign") << "a=b" << holds.arg("a=b", "=");
        const QString control = "The data source name '%1' holds a control character, which a "
                                "data source name may not hold.";
        QTest::newRow("line break") << "a\n[b]" << control.arg("a?[b]");
        QTest::newRow("tab") << "a\tb" << control.arg("a?b");
        QTest::newRow("DEL") << "a\x7f" << control.arg("a?");
        const QString blank = "The data source name '%1' starts or ends with a blank.";
        QTest::newRow("leading blank") << " demo" << blank.arg(" demo");
        QTest::newRow("trailing blank") << "demo " << blank.arg("demo ");
        QTest::newRow("empty") << ""
                               << "A data source needs a name.";
        QTest::newRow("blanks only") << "  "
                                     << "A data source needs a name.";
    }

    void namesThatCannotBeDataSources()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        QCOMPARE(DataSources::nameProblem(name), problem);
        if (problem.isEmpty())
            return;
        // The list never changes for a refused name.
        TestHome home;
        QVERIFY(DataSources::add({"demo.mdb", "SQLITE", "/srv/demo.mdb"}));
        const QByteArray before = Settings::contentOf(DataSources::registryFile());
        QString error;
        QVERIFY(!DataSources::add({name, "SQLITE", "/srv/other.mdb"}, &error));
        QCOMPARE(error, problem);
        QCOMPARE(Settings::contentOf(DataSources::registryFile()), before);
    }

    void unreadableConnectionTextIsRefused()
    {
        DataSources::Entry e;
        QString error;
        QVERIFY(!DataSources::entryForServer("x", "x", "host='open", &e, &error));
        QVERIFY(!error.isEmpty());
        const auto opened = [] {
            try {
                Database::open({"PSQL", "x", "colour=blue"});
            } catch (const DbError& e) {
                return e;
            }
            return DbError(0, QString());
        }();
        QCOMPARE(opened.number(), DbError::ConnectionFailed);
        QVERIFY2(opened.description().contains("colour"), qPrintable(opened.description()));
    }

    void systemDatabaseThroughADataSource()
    {
        // Every PC shares one company list: SYSPATH names a data source.
        DemoFixture demo;
        DataSources::Entry shared("shared", demo.databases().system().driver,
                                  demo.databases().system().database);
        if (demo.databases().system().isServer())
            DataSources::entryForServer("shared", demo.databases().system().database,
                                        demo.databases().system().server, &shared, nullptr);
        QVERIFY(DataSources::add(shared));
        WriteIni("SYSTEM", "SYSPATH", "DSN=shared");
        ScriptedPrompts prompts;
        const Logon::Start s = Logon::load();
        QCOMPARE(s.error, QString());
        QCOMPARE(s.companies, QStringList{"Demo Shipping Agency Pvt Ltd"});
        demo.addUser("TARVEX", "KOSRAW", " SU", " SU");
        QCOMPARE(Logon::logOn(s.sysPath, s.companies[0], 0, "TARVEX", "KOSRAW", false, false),
                 Logon::Outcome::LoggedOn);
        QCOMPARE(logonState().SysPath, QString("DSN=shared"));
        QVERIFY(prompts.messages().isEmpty());

        WriteIni("SYSTEM", "SYSPATH", "DSN=missing");
        const Logon::Start none = Logon::load();
        QVERIFY(none.companies.isEmpty());
        QVERIFY2(none.error.contains("missing"), qPrintable(none.error));
    }

    void serverThatDoesNotOpenTakesTheLogonsPath_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("server down") << "Port"
                                     << "1"
                                     << "Connection refused";
        // (A password in the list would be moved to libpq's password file,
        // which the system database's connection reads too.)
        QTest::newRow("login refused") << "User"
                                       << "nobody"
                                       << "no password supplied";
    }

    void serverThatDoesNotOpenTakesTheLogonsPath()
    {
        if (!TestEngine::onServer())
            QSKIP("A server's refusal: runs in the PostgreSQL half.");
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        DemoFixture demo;
        demo.addUser("TARVEX", "KOSRAW", " SU", " SU");
        Settings::write(DataSources::registryFile(), "demo.mdb", key, value);
        ScriptedPrompts prompts; // the file dialog is cancelled
        const Logon::Start s = Logon::load();
        QCOMPARE(Logon::logOn(s.sysPath, s.companies.value(0), 0, "TARVEX", "KOSRAW", false, false),
                 Logon::Outcome::Stay);
        const QStringList shown = prompts.messages();
        QVERIFY2(shown.size() == 2, qPrintable(shown.join(u'|')));
        QVERIFY2(shown[0].contains(reason), qPrintable(shown[0]));
        QCOMPARE(shown[1], QString("Data Source Name does not exist Please Select Data File"));
        QVERIFY(!logonState().Conn);
    }
};

QTEST_GUILESS_MAIN(TestDataSources)
#include "tst_datasources.moc"
