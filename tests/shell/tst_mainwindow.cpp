#include "AppPaths.h"
#include "AppSession.h"
#include "DemoFixture.h"
#include "HeadFont.h"
#include "MyFunc.h"
#include "ScriptedPrompts.h"
#include "frmLogon.h"
#include "frmMenu.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QStringList rightsEntries = {"menFile_0",    "menFile_3",    "menHouse_0",
                                   "menHouse_1",   "menHouse_2",   "menHouse_3",
                                   "menReports_0", "menReports_1", "menReports_2"};
const QStringList freeEntries = {"menFile_5",   "menFile_6",   "menWindow_0",
                                 "menWindow_1", "menWindow_2", "menWindow_3"};

QAction* entry(frmMenu& menu, const QString& name)
{
    return menu.findChild<QAction*>(name);
}

/// A form with the five record buttons, all enabled to start with.
struct RecordButtons
{
    QWidget form;
    RecordButtons()
    {
        for (const char* n : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdSearch"})
            (new QPushButton(&form))->setObjectName(n);
    }
    bool enabled(const char* name) { return form.findChild<QPushButton*>(name)->isEnabled(); }
};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void captionAndStatusBar()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.logOnAs("clerk", "harbour");
        frmMenu menu;
        menu.applyMenuRights();
        QCOMPARE(menu.windowTitle(), QString("Tarvex (Ver 1.0.5)"));
        QCOMPARE(menu.findChild<QLabel*>("StatusBar1_Panel5")->text(),
                 QString("Demo Shipping Agency Pvt Ltd"));
        QCOMPARE(menu.findChild<QLabel*>("StatusBar1_Panel6")->text(), QString("User : clerk"));
        QVERIFY(ReportRS());
    }

    void menuRights_data()
    {
        QTest::addColumn<QString>("mrights");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("superuser") << " SU" << rightsEntries;
        QTest::newRow("superuser among codes") << "03 SU" << rightsEntries;
        QTest::newRow("none") << "" << QStringList();
        QTest::newRow("SU without its blank") << "SU" << QStringList();
        QTest::newRow("03 and 12") << "03 12" << QStringList{"menFile_3", "menReports_1"};
        QTest::newRow("codes run together") << "0713" << QStringList{"menHouse_0", "menReports_2"};
        QTest::newRow("trailing blanks") << "11      " << QStringList{"menReports_0"};
    }
    void menuRights()
    {
        QFETCH(QString, mrights);
        QFETCH(QStringList, enabled);
        TestHome home;
        logonState().MRights = mrights;
        frmMenu menu;
        menu.applyMenuRights();
        for (const QString& name : rightsEntries)
            QVERIFY2(entry(menu, name)->isEnabled() == enabled.contains(name), qPrintable(name));
        for (const QString& name : freeEntries)
            QVERIFY2(entry(menu, name)->isEnabled(), qPrintable(name));
        QVERIFY(!entry(menu, "menFile_1")->isVisible());
        logonState() = LogonState();
    }

    void rightsFollowEachActivation()
    {
        TestHome home;
        logonState().MRights = "";
        frmMenu menu;
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        QVERIFY(!entry(menu, "menFile_3")->isEnabled());
        logonState().MRights = "03";
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QApplication::setActiveWindow(&menu);
        QTRY_VERIFY(entry(menu, "menFile_3")->isEnabled());
        logonState() = LogonState();
    }

    void recordRights_data()
    {
        QTest::addColumn<QString>("urights");
        QTest::addColumn<QStringList>("disabled");
        QTest::newRow("superuser") << " SU" << QStringList();
        QTest::newRow("01 and 03") << " 01 03" << QStringList{"cmdEdit", "cmdRefresh", "cmdSearch"};
        QTest::newRow("01 without its blank")
            << "01" << QStringList{"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdSearch"};
        QTest::newRow("padded as stored")
            << " 02 04 05                       " << QStringList{"cmdAdd", "cmdDelete"};
    }
    void recordRights()
    {
        QFETCH(QString, urights);
        QFETCH(QStringList, disabled);
        logonState().URights = urights;
        RecordButtons f;
        ApplyRights(&f.form);
        for (const char* n : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdSearch"})
            QVERIFY2(f.enabled(n) == !disabled.contains(n), n);
        logonState() = LogonState();
    }

    void rightsNeverEnableAButton()
    {
        logonState().URights = " SU";
        RecordButtons f;
        f.form.findChild<QPushButton*>("cmdAdd")->setEnabled(false);
        ApplyRights(&f.form);
        QVERIFY(!f.enabled("cmdAdd"));
        logonState().URights = " 01";
        ApplyRights(&f.form);
        QVERIFY(!f.enabled("cmdAdd"));
        logonState() = LogonState();
    }

    void toolbarIgnoresRightsAndFormsOpenOnce()
    {
        TestHome home;
        logonState().MRights = "";
        frmMenu menu;
        menu.applyMenuRights();
        menu.show();
        const QStringList forms{"frmCargo", "frmCheckList", "frmCargoRep", "frmVslRep"};
        for (int i = 0; i < 4; ++i) {
            QAction* button = menu.findChild<QAction*>(QString("Toolbar1_%1").arg(i + 1));
            QVERIFY(button);
            button->trigger();
            QVERIFY(menu.openedForm(forms[i]));
        }
        QCOMPARE(menu.mdiArea()->subWindowList().size(), 4);
        QCOMPARE(menu.findChild<QAction*>("Toolbar1_4")->toolTip(), QString("Generate Flat File"));
        // Opening again brings the one window to the front.
        menu.findChild<QAction*>("Toolbar1_1")->trigger();
        QCOMPARE(menu.mdiArea()->subWindowList().size(), 4);
        QCOMPARE(menu.mdiArea()->activeSubWindow()->widget()->objectName(), QString("frmCargo"));
        QCOMPARE(menu.openedForm("frmCargo")->windowTitle(), QString("Cargo Information"));
        logonState() = LogonState();
    }

    void registeredFormsOpenFromTheirEntries()
    {
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        int made = 0;
        menu.registerForm("frmUser", [&made] {
            ++made;
            auto* w = new QWidget;
            w->setWindowTitle("User Master");
            return w;
        });
        menu.applyMenuRights();
        menu.show();
        entry(menu, "menHouse_1")->trigger();
        entry(menu, "menHouse_1")->trigger();
        QCOMPARE(made, 1);
        QVERIFY(menu.openedForm("frmUser"));
        logonState() = LogonState();
    }

    void logoutShowsTheLogonAndCancelEnds()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        ScriptedPrompts prompts;
        AppSession session;
        QSignalSpy finished(&session, &AppSession::finished);
        session.start();
        frmLogon* logon = session.logon();
        QTest::keyClicks(logon->findChild<QLineEdit*>("txtUID"), "clerk");
        QTest::keyClicks(logon->findChild<QLineEdit*>("txtPWD"), "harbour");
        QTest::mouseClick(logon->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QVERIFY(session.menu());
        QVERIFY(session.menu()->isVisible());
        session.menu()->openForm("frmColor");
        entry(*session.menu(), "menFile_6")->trigger(); // Logout
        QVERIFY(session.logon());
        QVERIFY(session.logon()->isVisible());
        QVERIFY(session.menu()->openedForm("frmColor")); // open forms stay
        QCOMPARE(finished.count(), 0);
        QTest::mouseClick(session.logon()->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
    }

    void exitEnds()
    {
        TestHome home;
        frmMenu menu;
        QSignalSpy exit(&menu, &frmMenu::exitRequested);
        entry(menu, "menFile_5")->trigger();
        QCOMPARE(exit.count(), 1);
    }

    void confirmDeletion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(Prompts::Yes);
        QTest::newRow("no") << int(Prompts::No);
    }
    void confirmDeletion()
    {
        QFETCH(int, answer);
        ScriptedPrompts prompts;
        prompts.answers << Prompts::Answer(answer);
        QCOMPARE(ConfirmDeletion(), answer);
        QCOMPARE(prompts.calls.size(), 1);
        QCOMPARE(prompts.calls[0].text, QString("Confirm Deletion ?"));
        QCOMPARE(prompts.calls[0].title, QString("Delete"));
        QVERIFY(prompts.calls[0].buttons == Prompts::Buttons::YesNo);
    }

    void sendKeysReachTheFocusedControl()
    {
        QWidget form;
        auto* first = new QLineEdit(&form);
        auto* second = new QLineEdit(&form);
        auto* layout = new QVBoxLayout(&form);
        layout->addWidget(first);
        layout->addWidget(second);
        form.show();
        QApplication::setActiveWindow(&form);
        first->setFocus();
        SendKeysKeepLocks("ab{HOME}+{END}X{TAB}", true);
        QCOMPARE(first->text(), QString("X"));
        QCOMPARE(QApplication::focusWidget(), second);
        SendKeysKeepLocks("7", false);
        QTRY_COMPARE(second->text(), QString("7"));
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
