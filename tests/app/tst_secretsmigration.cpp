// An installation of an earlier Tarvex, with passwords in its user table and
// its settings, logs on and keeps no password anywhere in its files or
// tables afterwards.

#include "AppPaths.h"
#include "CommandLine.h"
#include "DataSources.h"
#include "Database.h"
#include "DemoFixture.h"
#include "FakeKeyring.h"
#include "Logon.h"
#include "LogonState.h"
#include "PasswordHash.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "TestEngine.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

namespace {

const QStringList secrets{"Kosraw-Secret1", "Clerk-Secret2", "Mail-Secret3", "Server-Secret4"};

/// Where a secret is still to be found: "file NAME" or "table NAME".
QStringList whereSecretsAre(const QString& dir, const QList<Database*>& databases)
{
    QStringList found;
    QDirIterator files(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        for (const QString& s : secrets)
            if (bytes.contains(s.toUtf8()))
                found << QStringLiteral("file %1: %2").arg(QFileInfo(path).fileName(), s);
    }
    for (Database* db : databases)
        for (const QString& table : db->tables()) {
            const RowTable t = db->select(QStringLiteral("select * from ") + table);
            for (const RowValues& row : t.rows)
                for (const QVariant& v : row)
                    for (const QString& s : secrets)
                        if (v.toString().contains(s))
                            found << QStringLiteral("table %1: %2").arg(table, s);
        }
    return found;
}

} // namespace

class tst_SecretsMigration : public QObject
{
    Q_OBJECT

private slots:
    void anEarlierInstallationKeepsNoPasswordAfterItsLogon_data()
    {
        QTest::addColumn<bool>("keyring");
        QTest::newRow("with a keyring") << true;
        QTest::newRow("without one") << false;
    }
    void anEarlierInstallationKeepsNoPasswordAfterItsLogon()
    {
        QFETCH(bool, keyring);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("agency");
        const PasswordFile passwordFile(tmp.filePath("pgpass").toLocal8Bit());
        InitInstallation made{dir};
        FakeKeyring keys(keyring);
        AppPaths::setHome(dir);
        // What an earlier Tarvex left: passwords as typed in loguser, the
        // saved one and the mail server's in Tarvex.ini, a server's in
        // DataSources.ini.
        {
            auto db = made.company();
            db->exec("create table loguser(uid char(50), pwd char(50), urights char(50), "
                     "mrights char(150))");
            db->exec("insert into loguser(uid,pwd,urights,mrights) values "
                     "('TARVEX','Kosraw-Secret1',' SU',' SU')");
            db->exec("insert into loguser(uid,pwd,urights,mrights) values "
                     "('clerk','Clerk-Secret2',' 01','03')");
        }
        WriteIni("User", "UsID", "TARVEX");
        WriteIni("User", "Pwd", "Kosraw-Secret1");
        WriteIni("Mail", "Password", "Mail-Secret3");
        Settings::write(DataSources::registryFile(), "branch",
                        {{"Driver", "PSQL"},
                         {"Host", "branch.agency.lan"},
                         {"Database", "branch"},
                         {"Password", "Server-Secret4"}});

        ScriptedPrompts prompts;
        const Logon::Start start = Logon::load();
        QCOMPARE(start.password, keyring ? QString("Kosraw-Secret1") : QString());
        QCOMPARE(start.notices.size(), keyring ? 0 : 3);
        QCOMPARE(Logon::logOn(start.sysPath, start.companies.value(0), 0, "TARVEX",
                              "Kosraw-Secret1", keyring),
                 Logon::Outcome::LoggedOn);
        QVERIFY2(prompts.messages().isEmpty(), qPrintable(prompts.messages().join('\n')));

        auto company = made.company();
        auto system = DataSources::openSystem(start.sysPath);
        QCOMPARE(whereSecretsAre(dir, {company.get(), system.get()}), QStringList());
        // The user who has not logged on yet is migrated too, and can.
        QCOMPARE(Logon::logOn(start.sysPath, start.companies.value(0), 0, "clerk", "Clerk-Secret2",
                              false, false),
                 Logon::Outcome::LoggedOn);
        if (keyring) {
            QCOMPARE(keys.secrets.value(KeyringKeys::mail()), QString("Mail-Secret3"));
            QCOMPARE(keys.secrets.value(KeyringKeys::dataSource("branch")),
                     QString("Server-Secret4"));
        } else {
            QFile pgpass(tmp.filePath("pgpass"));
            QVERIFY(pgpass.open(QIODevice::ReadOnly));
            // (Beside the lines of the test server's own databases.)
            QVERIFY(pgpass.readAll().contains("branch.agency.lan:*:branch:*:Server-Secret4\n"));
        }
        logonState() = LogonState();
        AppPaths::setHome(QString());
    }

    void copyDbToAFileKeepsTheSourcesPermissions()
    {
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("agency");
        QCOMPARE(runCli({"init", dir}).code, int(CommandLine::Done));
        QVERIFY(QFile::setPermissions(dir + "/demo.mdb",
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const CliRun r = runCli(
            {"--home", dir, "copy-db", "demo.mdb", "copy", "--file", tmp.filePath("copy.mdb")});
        QCOMPARE(r.code, int(CommandLine::Done));
        QCOMPARE(QFileInfo(tmp.filePath("copy.mdb")).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser);
    }

    void initOnAServerKeepsItsPasswordOutOfTheFolder()
    {
        if (!TestEngine::onServer())
            QSKIP("a server installation needs the PostgreSQL engine");
        QTemporaryDir tmp;
        const PasswordFile passwordFile(tmp.filePath("pgpass").toLocal8Bit());
        const QString dir = tmp.filePath("agency");
        const QString name = TestEngine::uniqueName();
        const QString server = TestEngine::serverWithoutDatabase() + " dbname=" + name;
        const QString password = TestEngine::serverPassword();
        const CliRun r = runCli({"init", dir, "--server", server});
        TestEngine::dropDatabase(name);
        TestEngine::dropDatabase(name + "_demo");
        QCOMPARE(r.code, int(CommandLine::Done));
        QCOMPARE(r.err, QString());
        QDirIterator files(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QVERIFY2(!fileBytes(path).contains(password.toUtf8()), qPrintable(path));
        }
        QFile pgpass(tmp.filePath("pgpass"));
        QVERIFY(pgpass.open(QIODevice::ReadOnly));
        QVERIFY(pgpass.readAll().contains(":" + password.toUtf8() + "\n"));
        QCOMPARE(int(pgpass.permissions() & 0x0077), 0);
    }
};

QTEST_MAIN(tst_SecretsMigration)
#include "tst_secretsmigration.moc"
