#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run run(const QStringList& args)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    const CommandLine::Options o = CommandLine::parse(args);
    if (!o.error.isEmpty())
        r.code = CommandLine::Usage;
    else
        r.code = CommandLine::run(o, out, err);
    AppPaths::setHome(QString());
    return r;
}

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
        const Run r = run({"init", dir});
        QCOMPARE(r.code, int(CommandLine::Done));
        QVERIFY(r.out.contains("TARVEX"));
        QCOMPARE(Settings::read(dir + "/Tarvex.ini", "SYSTEM", "SYSPATH"), dir + "/system.mdb");
        QVERIFY(QFile::exists(dir + "/skins/harbour.skn"));
        auto company = Database::open({"SQLITE", dir + "/demo.mdb"});
        QVERIFY(!company->tableExists("loguser"));
        QVERIFY(company->scalar("select count(*) from d_port_cd").toInt() > 100);
        company.reset();
        AppPaths::setHome(dir);
        CommandLine::Options o;
        o.user = "TARVEX";
        o.password = "KOSRAW";
        o.userGiven = o.passwordGiven = true;
        QString err;
        QTextStream es(&err);
        QVERIFY(CommandLine::logOn(o, es));
        QCOMPARE(err.trimmed(),
                 QString("New User File Created with Default User ID TARVEX Password KOSRAW"));
        // The command line leaves what the logon window remembers alone.
        QCOMPARE(Settings::read(dir + "/Tarvex.ini", "User", "UsId"), QString());
        o.password = "wrong";
        err.clear();
        QVERIFY(!CommandLine::logOn(o, es));
        QVERIFY(err.contains("Access denied Username/Password do not match"));
        AppPaths::setHome(QString());
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
