// The session's backups: the day's first logon and a Logout after a change
// write one while the clerk works on; House Keeping restores one.

#include "AppPaths.h"
#include "AppSession.h"
#include "BackupJob.h"
#include "BillHistory.h"
#include "DemoFixture.h"
#include "ScriptedPrompts.h"
#include "TestEngine.h"
#include "frmMenu.h"

#include <QAction>
#include <QDir>
#include <QTest>

#include "SessionTesting.h"

/// The demo company, with the clerk logged on through the logon window and
/// the day's first backup under way.
struct LoggedOn
{
    DemoFixture demo;
    ScriptedPrompts prompts;
    AppSession session;
    LoggedOn()
    {
        demo.addUser("clerk", "harbour", " SU", " SU");
        session.start();
        logOnWith(session, "clerk", "harbour");
    }
};

class tst_BackupSession : public QObject
{
    Q_OBJECT

    static QStringList backups(const DemoFixture& demo)
    {
        return QDir(demo.file("backups")).entryList({"*.sqlite"}, QDir::Files, QDir::Name);
    }
    /// Waits for the backup the session writes, and for what it says.
    static void waitForBackup(AppSession& session)
    {
        QVERIFY(session.backup());
        QTRY_VERIFY(!session.backup()->isRunning());
        QCoreApplication::processEvents();
    }
    static void trigger(AppSession& session, const char* name)
    {
        session.menu()->findChild<QAction*>(name)->trigger();
    }

private slots:
    void aBackupAtTheDaysFirstLogonAndAtLogoutAfterAChange()
    {
        LoggedOn in;
        const DemoFixture& demo = in.demo;
        AppSession& session = in.session;
        waitForBackup(session);
        QCOMPARE(backups(demo).size(), 1);
        QVERIFY2(session.backup()->text().startsWith("Backup written: "),
                 qPrintable(session.backup()->text()));
        BackupJob* first = session.backup();

        // Logout without a change, and the day's second logon: nothing more.
        trigger(session, "menFile_6");
        logOnWith(session, "clerk", "harbour");
        QCOMPARE(session.backup(), first);

        // A bill changed after the newest backup: Logout writes one.
        QTest::qWait(1100); // the next backup's name is a second later
        {
            auto db = demo.company();
            db->exec("insert into egmcargo (id, egmno, sbno) values (1, 10, 501)");
            BillHistory::write(*db, 1, BillHistory::Kind::Added, "clerk", QString());
        }
        trigger(session, "menFile_6");
        waitForBackup(session);
        QCOMPARE(backups(demo).size(), 2);
        QVERIFY(in.prompts.messages().isEmpty());
    }

    void restoreFromHouseKeeping_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("bills");
        QTest::newRow("Yes puts the backup back") << int(Prompts::Yes) << 0;
        QTest::newRow("No keeps the database") << int(Prompts::No) << 1;
    }
    void restoreFromHouseKeeping()
    {
        QFETCH(int, answer);
        QFETCH(int, bills);
        if (TestEngine::onServer())
            QSKIP("a server company is restored into a new database (the command line's test)");
        LoggedOn in;
        const DemoFixture& demo = in.demo;
        AppSession& session = in.session;
        ScriptedPrompts& prompts = in.prompts;
        waitForBackup(session);
        demo.company()->exec("insert into egmcargo (id, egmno, sbno) values (1, 10, 501)");

        prompts.files << demo.file("backups/" + backups(demo).value(0));
        prompts.answers << Prompts::Answer(answer) << Prompts::Ok;
        trigger(session, "menHouse_6");
        QCOMPARE(demo.company()->scalar("select count(*) from egmcargo").toInt(), bills);
        const auto asked = prompts.messages();
        QVERIFY(!asked.isEmpty());
        QVERIFY2(asked[0].contains("(0 shipping bills, 0 containers)"), qPrintable(asked[0]));
        // After a restore the clerk logs on again, to the database restored.
        QCOMPARE(session.logon() && session.logon()->isVisible(), answer == Prompts::Yes);
        if (answer == Prompts::Yes) {
            QCOMPARE(backups(demo).size(), 2); // the database as it was
            QVERIFY2(asked.value(1).startsWith("Restored the backup of "),
                     qPrintable(asked.value(1)));
        }
    }
};

QTEST_MAIN(tst_BackupSession)
#include "tst_backupsession.moc"
