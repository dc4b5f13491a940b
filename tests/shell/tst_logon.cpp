#include "AppPaths.h"
#include "Database.h"
#include "DemoFixture.h"
#include "FakeKeyring.h"
#include "Logon.h"
#include "LogonState.h"
#include "PasswordHash.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "frmLogon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

namespace {

/// The logon window as a clerk meets it, shown and filled.
struct LogonWindow
{
    frmLogon form;
    QSignalSpy loggedOn{&form, &frmLogon::loggedOn};
    QSignalSpy cancelled{&form, &frmLogon::cancelled};

    LogonWindow()
    {
        form.show();
        QApplication::setActiveWindow(&form);
    }
    QComboBox* company() { return form.findChild<QComboBox*>("cboDSNList"); }
    QLineEdit* uid() { return form.findChild<QLineEdit*>("txtUID"); }
    QLineEdit* pwd() { return form.findChild<QLineEdit*>("txtPWD"); }
    QCheckBox* save() { return form.findChild<QCheckBox*>("Check1"); }
    void type(const QString& user, const QString& password)
    {
        uid()->clear();
        pwd()->clear();
        QTest::keyClicks(uid(), user);
        QTest::keyClicks(pwd(), password);
    }
    void ok() { QTest::mouseClick(form.findChild<QPushButton*>("cmdOK"), Qt::LeftButton); }
};

void addCompany(DemoFixture& demo, int code, const QString& name, const QString& dirname)
{
    demo.system()->exec("insert into DRCOMP(code, name, dirname) values (?,?,?)",
                        {code, name, dirname});
}

} // namespace

class tst_Logon : public QObject
{
    Q_OBJECT

private slots:
    void firstLogonCreatesTheDefaultUser()
    {
        DemoFixture demo;
        ScriptedPrompts prompts;
        LogonWindow w;
        QCOMPARE(w.company()->count(), 1);
        QCOMPARE(w.company()->currentText(), QString("Demo Shipping Agency Pvt Ltd"));
        w.type("TARVEX", "KOSRAW");
        w.ok();
        QCOMPARE(prompts.messages(),
                 QStringList{"New User File Created with Default User ID TARVEX Password KOSRAW"});
        QCOMPARE(w.loggedOn.count(), 1);
        const LogonState& st = logonState();
        QCOMPARE(st.UserId, QString("TARVEX"));
        QCOMPARE(st.URights, QString(" SU"));
        QCOMPARE(st.MRights, QString(" SU"));
        QCOMPARE(st.CompanyName, QString("Demo Shipping Agency Pvt Ltd"));
        QCOMPARE(st.DataSource, QString("DSN=demo.mdb"));
        QVERIFY(st.Conn);
        QCOMPARE(ReadIni("Database", "Company"), QString("0"));
        // The default user is kept as a hash from the start.
        const QString pwd = st.Conn->scalar("select pwd from loguser").toString();
        QVERIFY2(PasswordHash::isHash(pwd), qPrintable(pwd));
        QVERIFY(PasswordHash::matches(pwd, "KOSRAW"));
    }

    void aUserTableOfAnEarlierTarvexIsMigrated()
    {
        DemoFixture demo;
        {
            auto db = demo.company();
            db->exec("create table loguser(uid char(50), pwd char(50), urights char(50), "
                     "mrights char(150))");
            for (const char* uid : {"zed", "clerk", "admin"})
                db->exec("insert into loguser(uid,pwd,urights,mrights) values (?,?,' SU',' SU')",
                         {QString(uid), QString(uid) + "-pw"});
        }
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type("clerk", "clerk-pw");
        w.ok();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(w.loggedOn.count(), 1);
        auto db = demo.company();
        const ColumnList layout = db->tableColumns("loguser");
        QCOMPARE(layout[columnIndex(layout, u"pwd")].size, 128);
        QVERIFY(columnIndex(layout, u"failures") >= 0);
        // Every password is a hash now, the rows in their order.
        const RowTable t = db->select("select uid, pwd from loguser");
        QCOMPARE(t.rows.size(), 3);
        const QStringList order{"zed", "clerk", "admin"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(t.rows[i].value(0).toString().trimmed(), order[i]);
            const QString pwd = t.rows[i].value(1).toString();
            QVERIFY2(PasswordHash::isHash(pwd), qPrintable(pwd));
            QVERIFY(PasswordHash::matches(pwd, order[i] + "-pw"));
        }
        // And the migrated table logs on again.
        QCOMPARE(Logon::logOn(demo.sysPath(), "Demo Shipping Agency Pvt Ltd", 0, "admin",
                              "admin-pw", false, false),
                 Logon::Outcome::LoggedOn);
    }

    void theCompanyDatabaseIsBroughtUpToDate_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<int>("backups");
        const QStringList earlier{"drop index egmcargo_id", "drop index cargo_id",
                                  "drop table schemaversion", "drop table egmcargo_deleted",
                                  "drop table egmcontain_deleted"};
        QTest::newRow("earlier") << earlier << QString() << true << 1;
        QTest::newRow("earlier, ids collide")
            << earlier + QStringList{"insert into egmcargo (id, sbno) values (7, 1)",
                                     "insert into egmcargo (id, sbno) values (7, 2)"}
            << QString("id 7: 2 rows") << true << 0;
        QTest::newRow("newer") << QStringList{"update schemaversion set version = version + 1"}
                               << QString("made by a newer Tarvex") << false << 0;
    }

    void theCompanyDatabaseIsBroughtUpToDate()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, said);
        QFETCH(bool, writable);
        QFETCH(int, backups);
        DemoFixture demo;
        demo.addUser("TARVEX", "KOSRAW", " SU", " SU");
        for (const QString& sql : before)
            demo.company()->exec(sql);
        ScriptedPrompts prompts;
        QCOMPARE(Logon::logOn(demo.sysPath(), "Demo Shipping Agency Pvt Ltd", 0, "TARVEX", "KOSRAW",
                              false, false),
                 Logon::Outcome::LoggedOn);
        QCOMPARE(prompts.messages().join('\n').contains(said), true);
        QCOMPARE(prompts.messages().isEmpty(), said.isEmpty());
        QCOMPARE(QDir(demo.file("backups")).entryList(QDir::Files).size(), backups);
        Database& db = *logonState().Conn;
        try {
            Database::Transaction tx(db);
            db.exec("insert into egmcargo (id, sbno) values (99, 3)");
            tx.commit();
            QVERIFY(writable);
        } catch (const DbError& e) {
            QVERIFY2(!writable, qPrintable(e.description()));
            QVERIFY(e.description().contains("newer Tarvex"));
        }
    }

    void aPlainPasswordTypedByHandLogsOnOnceAndIsHashed()
    {
        DemoFixture demo;
        demo.addUser("TARVEX", PasswordHash::hash("KOSRAW"), " SU", " SU");
        demo.addUser("clerk", "harbour", " 01", "03");
        ScriptedPrompts prompts;
        QCOMPARE(Logon::logOn(demo.sysPath(), "Demo Shipping Agency Pvt Ltd", 0, "clerk", "harbour",
                              false, false),
                 Logon::Outcome::LoggedOn);
        const QString pwd =
            demo.company()->scalar("select pwd from loguser where uid = 'clerk'").toString();
        QVERIFY2(PasswordHash::isHash(pwd), qPrintable(pwd));
        QCOMPARE(Logon::logOn(demo.sysPath(), "Demo Shipping Agency Pvt Ltd", 0, "clerk", "harbour",
                              false, false),
                 Logon::Outcome::LoggedOn);
    }

    void waitAfterWrongPasswords_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("seconds");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("four") << 4 << 0;
        QTest::newRow("five") << 5 << 1;
        QTest::newRow("six") << 6 << 2;
        QTest::newRow("nine") << 9 << 16;
        QTest::newRow("ten") << 10 << 30;
        QTest::newRow("a hundred") << 100 << 30;
        QTest::newRow("two billion") << 2000000000 << 30;
    }
    void waitAfterWrongPasswords()
    {
        QFETCH(int, failures);
        QFETCH(int, seconds);
        QCOMPARE(Logon::waitSeconds(failures), seconds);
    }

    void wrongPasswordsInARowSlowTheLogonDown()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        QList<int> waited;
        Logon::setWait([&waited](int s) { waited << s; });
        const auto restore = qScopeGuard([] { Logon::setWait({}); });
        ScriptedPrompts prompts;
        const auto attempt = [&](const QString& pwd) {
            return Logon::logOn(demo.sysPath(), "Demo Shipping Agency Pvt Ltd", 0, "clerk", pwd,
                                false, false);
        };
        for (int i = 0; i < 7; ++i)
            QCOMPARE(attempt("wrong"), Logon::Outcome::Denied);
        QCOMPARE(waited, (QList<int>{1, 2}));
        QCOMPARE(prompts.messages()[3], QString("Access denied Username/Password do not match"));
        QCOMPARE(prompts.messages()[4],
                 QString("Access denied Username/Password do not match\n5 wrong passwords in a "
                         "row: the next logon as clerk waits 1 second before it answers."));
        QVERIFY(prompts.messages()[6].endsWith("waits 4 seconds before it answers."));
        // The count is the database's: another connection (a new start,
        // the command line) goes on from it.
        QCOMPARE(demo.company()->scalar("select failures from loguser").toInt(), 7);
        QCOMPARE(attempt("harbour"), Logon::Outcome::LoggedOn);
        QCOMPARE(waited, (QList<int>{1, 2, 4}));
        QCOMPARE(demo.company()->scalar("select failures from loguser").toInt(), 0);
        QCOMPARE(attempt("harbour"), Logon::Outcome::LoggedOn);
        QCOMPARE(waited.size(), 3);
    }

    void wrongPasswordThenRight()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " 01 02", "03 12");
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type("clerk", "Harbour");
        w.ok();
        QCOMPARE(prompts.messages(), QStringList{"Access denied Username/Password do not match"});
        QCOMPARE(w.loggedOn.count(), 0);
        QCOMPARE(QApplication::focusWidget(), w.pwd());
        w.pwd()->clear();
        QTest::keyClicks(w.pwd(), "harbour");
        w.ok();
        QCOMPARE(w.loggedOn.count(), 1);
        QCOMPARE(logonState().UserId, QString("clerk"));
    }

    void quotesAreOrdinaryCharacters_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("typedPassword");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("classic injection") << "clerk"
                                           << "' or '1'='1" << false;
        QTest::newRow("injection in the user") << "' or '1'='1' --"
                                               << "x" << false;
        QTest::newRow("quote in a real password") << "o'brien"
                                                  << "it's'me" << true;
    }
    void quotesAreOrdinaryCharacters()
    {
        QFETCH(QString, uid);
        QFETCH(QString, typedPassword);
        QFETCH(bool, accepted);
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.addUser("o'brien", "it's'me", " SU", " SU");
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type(uid, typedPassword);
        w.ok();
        QCOMPARE(w.loggedOn.count(), accepted ? 1 : 0);
        QCOMPARE(w.cancelled.count(), 0); // never an error that ends the program
        if (!accepted)
            QCOMPARE(prompts.messages(),
                     QStringList{"Access denied Username/Password do not match"});
    }

    void companyNameWithAQuote()
    {
        DemoFixture demo;
        demo.system()->exec("update DRCOMP set name = ?", {QString("Patel's Shipping")});
        demo.addUser("clerk", "harbour", " SU", " SU");
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type("clerk", "harbour");
        w.ok();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(logonState().CompanyName, QString("Patel's Shipping"));
    }

    void savedPasswordOnAndOff()
    {
        DemoFixture demo;
        demo.addUser("clerk", "Tide-Secret7", " SU", " SU");
        FakeKeyring keys;
        ScriptedPrompts prompts;
        {
            LogonWindow w;
            QVERIFY(!w.save()->isChecked());
            QVERIFY(w.save()->isEnabled());
            w.type("clerk", "Tide-Secret7");
            w.save()->setChecked(true);
            w.ok();
            QCOMPARE(w.loggedOn.count(), 1);
        }
        // The keyring keeps the password; the settings file only the user.
        QCOMPARE(keys.secrets.value(KeyringKeys::logon()), QString("Tide-Secret7"));
        QFile ini(AppPaths::iniFile());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("Tide-Secret7"));
        {
            LogonWindow w;
            QCOMPARE(w.uid()->text(), QString("clerk"));
            QCOMPARE(w.pwd()->text(), QString("Tide-Secret7"));
            QVERIFY(w.save()->isChecked());
            w.save()->setChecked(false);
            w.ok();
            QCOMPARE(w.loggedOn.count(), 1);
        }
        QVERIFY(keys.secrets.isEmpty());
        QCOMPARE(Settings::read(AppPaths::iniFile(), "User", "Pwd"), QString(""));
        LogonWindow w;
        QCOMPARE(w.uid()->text(), QString(""));
        QCOMPARE(w.pwd()->text(), QString(""));
        QVERIFY(!w.save()->isChecked());
    }

    void withoutAKeyringThePasswordCannotBeSaved()
    {
        DemoFixture demo; // no keyring
        demo.addUser("clerk", "Tide-Secret7", " SU", " SU");
        WriteIni("User", "UsId", "clerk");
        WriteIni("User", "Pwd", "Tide-Secret7"); // an earlier Tarvex's
        ScriptedPrompts prompts;
        LogonWindow w;
        QVERIFY(!w.save()->isEnabled());
        QVERIFY(!w.save()->isChecked());
        QVERIFY(w.save()->toolTip().contains("No keyring"));
        QCOMPARE(w.pwd()->text(), QString());
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.messages()[0].contains("taken out of Tarvex.ini"));
        QCOMPARE(ReadIni("User", "Pwd"), QString());
        QFile ini(AppPaths::iniFile());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("Tide-Secret7"));
    }

    void savedCompanyPosition_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("second") << "1" << 1;
        QTest::newRow("equal to the count") << "2" << 0;
        QTest::newRow("beyond") << "7" << 0;
        QTest::newRow("negative") << "-1" << 0;
        QTest::newRow("fraction") << "1.5" << 1;
        // No int holds these: the first company, without an overflow.
        QTest::newRow("1e20") << "1e20" << 0;
        QTest::newRow("-1e20") << "-1e20" << 0;
        QTest::newRow("NaN") << "NaN" << 0;
    }
    void savedCompanyPosition()
    {
        QFETCH(QString, stored);
        QFETCH(int, selected);
        DemoFixture demo;
        addCompany(demo, 2, "Second Line Agencies", "DSN=demo.mdb");
        WriteIni("Database", "Company", stored);
        ScriptedPrompts prompts;
        LogonWindow w;
        QCOMPARE(w.company()->count(), 2);
        QCOMPARE(w.company()->currentIndex(), selected);
    }

    void rightsAreKeptAsStored()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " 01 03          ", "03 12   ");
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type("clerk", "harbour");
        w.ok();
        QCOMPARE(logonState().URights, QString(" 01 03          "));
        QCOMPARE(logonState().MRights, QString("03 12   "));
    }

    void missingDataSourceIsCreatedFromTheChosenFile()
    {
        DemoFixture demo;
        // A second company whose data source nobody registered yet.
        QFile::copy(demo.companyFile(), demo.file("data.mdb"));
        addCompany(demo, 2, "New Agency", "DSN=data.mdb");
        WriteIni("Database", "Company", "1");
        ScriptedPrompts prompts;
        prompts.files << demo.file("data.mdb");
        LogonWindow w;
        w.type("TARVEX", "KOSRAW");
        w.ok();
        QCOMPARE(
            prompts.messages(),
            (QStringList{"Data Source Name does not exist Please Select Data File",
                         "DSN Created Successfully",
                         "New User File Created with Default User ID TARVEX Password KOSRAW"}));
        const auto dialog = prompts.calls[1];
        QCOMPARE(dialog.kind, QString("openFile"));
        QCOMPARE(dialog.text, QString("Select Data File Name"));
        QCOMPARE(dialog.initial, QString("*.mdb"));
        // It opens in the program's folder, not where the program was started.
        QCOMPARE(dialog.directory, AppPaths::home());
        QCOMPARE(w.loggedOn.count(), 1);
        QCOMPARE(logonState().CompanyName, QString("New Agency"));
    }

    void aWronglyNamedFileAsksAgainAndCancelStops()
    {
        DemoFixture demo;
        QFile::copy(demo.companyFile(), demo.file("other.mdb"));
        addCompany(demo, 2, "New Agency", "DSN=data.mdb");
        WriteIni("Database", "Company", "1");
        ScriptedPrompts prompts;
        prompts.files << demo.file("other.mdb"); // registered as other.mdb: still no data.mdb
        LogonWindow w;
        w.type("TARVEX", "KOSRAW");
        w.ok();
        QCOMPARE(prompts.messages(),
                 (QStringList{"Data Source Name does not exist Please Select Data File",
                              "DSN Created Successfully",
                              "Data Source Name does not exist Please Select Data File"}));
        QCOMPARE(w.loggedOn.count(), 0);
        QCOMPARE(w.cancelled.count(), 0); // the form stays for another try
    }

    void aFileThatIsNotADatabaseIsNamedAndLeftAlone()
    {
        DemoFixture demo;
        addCompany(demo, 2, "New Agency", "DSN=data.mdb");
        WriteIni("Database", "Company", "1");
        const QString text = demo.file("data.mdb");
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("these are my notes, not a database\n");
        }
        ScriptedPrompts prompts;
        prompts.files << text;
        LogonWindow w;
        w.type("TARVEX", "KOSRAW");
        w.ok();
        const QStringList shown = prompts.messages();
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[1], QString("DSN Created Successfully"));
        QVERIFY2(shown[2].contains(text) && shown[2].contains("not a database"),
                 qPrintable(shown[2]));
        QCOMPARE(shown[3], QString("Data Source Name does not exist Please Select Data File"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("these are my notes, not a database\n"));
    }

    void unreadableSystemDatabase()
    {
        DemoFixture demo;
        WriteIni("SYSTEM", "SYSPATH", demo.file("missing.mdb"));
        ScriptedPrompts prompts;
        LogonWindow w;
        QCOMPARE(w.company()->count(), 0);
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.messages().first().contains(demo.file("missing.mdb")));
        w.ok();
        QCOMPARE(prompts.messages().last(), QString("Cannot Load Company Details"));
        QTest::mouseClick(w.form.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        QCOMPARE(w.cancelled.count(), 1);
    }

    void cancelSavesNothing()
    {
        DemoFixture demo;
        const QByteArray before = [&] {
            QFile f(AppPaths::iniFile());
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        ScriptedPrompts prompts;
        LogonWindow w;
        w.type("someone", "secret");
        w.save()->setChecked(true);
        QTest::mouseClick(w.form.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        QCOMPARE(w.cancelled.count(), 1);
        QFile f(AppPaths::iniFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void enterMovesToTheNextField()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        FakeKeyring keys; // "Save Password" can be ticked
        ScriptedPrompts prompts;
        LogonWindow w;
        w.uid()->setFocus();
        QTest::keyClicks(w.uid(), "clerk");
        QTest::keyClick(w.uid(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.pwd());
        QTest::keyClicks(w.pwd(), "harbour");
        QTest::keyClick(w.pwd(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.save());
        QTest::keyClick(w.save(), Qt::Key_Enter);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // on OK: presses it
        QCOMPARE(w.uid()->text(), QString("clerk"));
        QCOMPARE(w.loggedOn.count(), 1);
    }
};

QTEST_MAIN(tst_Logon)
#include "tst_logon.moc"
