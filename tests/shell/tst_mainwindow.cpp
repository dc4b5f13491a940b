#include "AppPaths.h"
#include "AppSession.h"
#include "DemoFixture.h"
#include "HeadFont.h"
#include "MyFunc.h"
#include "ScriptedPrompts.h"
#include "frmColor.h"
#include "frmLogon.h"
#include "frmMenu.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "SessionTesting.h"
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QStringList rightsEntries = {"menFile_0",    "menFile_3",   "menHouse_0",   "menHouse_1",
                                   "menHouse_2",   "menHouse_3",  "menReports_0", "menReports_1",
                                   "menReports_2", "menReports_3"};
const QStringList freeEntries = {"menFile_5",   "menFile_6",   "menWindow_0",
                                 "menWindow_1", "menWindow_2", "menWindow_3"};

/// Cargo Information as the main window sees it: a screen with a showBill slot.
class FakeCargo : public QWidget
{
    Q_OBJECT

public:
    QList<qint64> asked;

public slots:
    bool showBill(qint64 id)
    {
        asked << id;
        return id == 7;
    }
};

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

/// A screen of the kind every form is: a heading, boxes that must keep
/// their width, a row of captioned buttons.
QWidget* sampleScreen(const QString& title, QPushButton** refresh = nullptr)
{
    auto* form = new QWidget;
    form->setWindowTitle(title);
    auto* layout = new QVBoxLayout(form);
    auto* date = new QLineEdit(form);
    date->setObjectName("txtDate");
    date->setMinimumWidth(300);
    auto* label = new QLabel("&Date", form);
    label->setBuddy(date);
    auto* rot = new QLineEdit(form);
    rot->setObjectName("txtRot");
    rot->setMinimumWidth(300);
    layout->addWidget(label);
    layout->addWidget(date);
    layout->addWidget(rot);
    auto* buttons = new QHBoxLayout;
    for (const char* caption : {"&Add", "&Edit", "&Refresh", "&Search", "C&lose"}) {
        auto* b = new QPushButton(caption, form);
        b->setObjectName(QString("cmd") + QString(caption).remove('&'));
        buttons->addWidget(b);
        if (refresh && QString(caption) == "&Refresh")
            *refresh = b;
    }
    layout->addLayout(buttons);
    InstallEscCloses(form);
    return form;
}

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
        QTest::newRow("Check EGM") << "14" << QStringList{"menReports_3"};
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

    void toolbarFollowsTheRightsOfTheMenu_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QList<bool>>("enabled"); // cargo, check-list, XML file, flat file
        QTest::newRow("no rights") << "" << QList<bool>{false, false, false, false};
        QTest::newRow("cargo and flat file") << " 03 12" << QList<bool>{true, false, false, true};
        QTest::newRow("everything") << " SU" << QList<bool>{true, true, true, true};
    }
    void toolbarFollowsTheRightsOfTheMenu()
    {
        QFETCH(QString, rights);
        QFETCH(QList<bool>, enabled);
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        menu.applyMenuRights();
        // The next logon's rights reach the toolbar too.
        logonState().MRights = rights;
        menu.applyMenuRights();
        menu.show();
        const QStringList forms{"frmCargo", "frmCheckList", "frmCargoRep", "frmVslRep"};
        for (int i = 0; i < 4; ++i) {
            QAction* button = menu.findChild<QAction*>(QString("Toolbar1_%1").arg(i + 1));
            QVERIFY(button);
            QCOMPARE(button->isEnabled(), enabled[i]);
            button->trigger();
            QCOMPARE(menu.openedForm(forms[i]) != nullptr, enabled[i]);
        }
        logonState() = LogonState();
    }

    void toolbarFormsOpenOnce()
    {
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        menu.applyMenuRights();
        menu.show();
        for (int i = 1; i <= 4; ++i)
            menu.findChild<QAction*>(QString("Toolbar1_%1").arg(i))->trigger();
        QCOMPARE(menu.mdiArea()->subWindowList().size(), 4);
        QCOMPARE(menu.findChild<QAction*>("Toolbar1_4")->toolTip(), QString("Generate Flat File"));
        // Opening again brings the one window to the front.
        menu.findChild<QAction*>("Toolbar1_1")->trigger();
        QCOMPARE(menu.mdiArea()->subWindowList().size(), 4);
        QCOMPARE(menu.mdiArea()->activeSubWindow()->widget()->objectName(), QString("frmCargo"));
        QCOMPARE(menu.openedForm("frmCargo")->windowTitle(), QString("Cargo Information"));
        logonState() = LogonState();
    }

    void checkEgmButtonFollowsItsMenuRight_data()
    {
        QTest::addColumn<QString>("mrights");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("superuser") << " SU" << true;
        QTest::newRow("code 14") << "03 14" << true;
        QTest::newRow("without it") << "03 11 12 13" << false;
    }
    void checkEgmButtonFollowsItsMenuRight()
    {
        QFETCH(QString, mrights);
        QFETCH(bool, enabled);
        TestHome home;
        logonState().MRights = mrights;
        frmMenu menu;
        menu.applyMenuRights();
        QAction* button = entry(menu, "Toolbar1_5");
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QString("Check EGM"));
        QCOMPARE(entry(menu, "menReports_3")->text(), QString("Check &EGM"));
        QCOMPARE(button->isEnabled(), enabled);
        if (enabled) {
            button->trigger();
            QVERIFY(menu.openedForm("frmCheckEgm"));
        }
        logonState() = LogonState();
    }

    void showBillOpensCargoInformationOnIt()
    {
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        FakeCargo* cargo = nullptr;
        menu.registerForm("frmCargo", [&cargo] { return cargo = new FakeCargo; });
        menu.show();
        QVERIFY(menu.showBill(7));
        QVERIFY(cargo);
        QCOMPARE(menu.openedForm("frmCargo"), cargo);
        QVERIFY(!menu.showBill(8));
        QCOMPARE(cargo->asked, (QList<qint64>{7, 8}));
        logonState() = LogonState();
    }

    void showBillWithoutTheSlotIsRefused()
    {
        TestHome home;
        frmMenu menu;
        menu.show();
        QVERIFY(!menu.showBill(7)); // the placeholder screen has no showBill
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

    void logonAfterLogoutLocksTheMainWindow()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        ScriptedPrompts prompts;
        AppSession session;
        QSignalSpy finished(&session, &AppSession::finished);
        session.start();
        logOnWith(session, "clerk", "harbour");
        frmMenu* menu = session.menu();
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        entry(*menu, "menFile_6")->trigger(); // Logout
        frmLogon* logon = session.logon();
        QVERIFY(logon && logon->isVisible());
        // Owned by the main window and modal over it.
        QVERIFY(logon->isWindow());
        QCOMPARE(logon->parentWidget(), menu);
        QCOMPARE(logon->windowModality(), Qt::ApplicationModal);
        QCOMPARE(QApplication::activeModalWidget(), logon);
        // In the main window's skin, palette and style sheet both: its labels
        // would not read on the platform's background.
        QVERIFY(CurrentSkin().valid);
        QCOMPARE(logon->palette().color(QPalette::Window), CurrentSkin().colour(Skin::Background));
        QCOMPARE(logon->palette().color(QPalette::WindowText), CurrentSkin().colour(Skin::Text));
        // A click on the main window's toolbar, as the window system delivers
        // it, reaches nothing.
        auto* bar = menu->findChild<QToolBar*>("Toolbar1");
        QWidget* cargo = bar->widgetForAction(entry(*menu, "Toolbar1_1"));
        const QPoint at = cargo->mapTo(menu, cargo->rect().center());
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, at);
        QVERIFY(!menu->openedForm("frmCargo"));
        // (The same click without the logon does open the screen.)
        logon->hide();
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, at);
        QVERIFY(menu->openedForm("frmCargo"));
        logon->show();
        // Closing the logon window ends the program as Cancel does.
        QCOMPARE(finished.count(), 0);
        logon->close();
        QCOMPARE(finished.count(), 1);
    }

    void anotherUserClosesTheOpenScreens()
    {
        DemoFixture demo;
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.addUser("anita", "quay", " 01", "03");
        ScriptedPrompts prompts;
        AppSession session;
        session.registerForm("frmUser", [] { return sampleScreen("User Master"); });
        session.start();
        logOnWith(session, "clerk", "harbour");
        frmMenu* menu = session.menu();
        menu->openForm("frmUser");
        menu->openForm("frmColor");

        // The same user again keeps the screens.
        entry(*menu, "menFile_6")->trigger();
        logOnWith(session, "clerk", "harbour");
        QVERIFY(menu->openedForm("frmUser"));
        QVERIFY(menu->openedForm("frmColor"));
        QVERIFY(!session.logon());

        // Another user: every screen closes, and the rights are the new user's.
        entry(*menu, "menFile_6")->trigger();
        logOnWith(session, "anita", "quay");
        QVERIFY(!menu->openedForm("frmUser"));
        QVERIFY(!menu->openedForm("frmColor"));
        QVERIFY(menu->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(menu->findChild<QLabel*>("StatusBar1_Panel6")->text(), QString("User : anita"));
        menu->applyMenuRights();
        QVERIFY(!entry(*menu, "menHouse_1")->isEnabled());
        QVERIFY(entry(*menu, "menFile_3")->isEnabled());
        QVERIFY(prompts.messages().isEmpty());
    }

    void screenMnemonicsGoBeforeTheMenus()
    {
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        QPushButton* refresh = nullptr;
        menu.registerForm("frmUser", [&refresh] { return sampleScreen("User Master", &refresh); });
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        QWidget* form = menu.openForm("frmUser");
        QVERIFY(refresh);
        QSignalSpy refreshed(refresh, &QPushButton::clicked);
        auto* rot = form->findChild<QLineEdit*>("txtRot");
        rot->setFocus();

        // Alt+R presses the screen's Refresh, not the Reports menu.
        QTest::keyClick(rot, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(refreshed.count(), 1);
        QVERIFY(!QApplication::activePopupWidget());
        // A label's mnemonic takes the focus to its box.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->findChild<QLineEdit*>("txtDate"));
        // A disabled button keeps its letter: nothing happens.
        refresh->setEnabled(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(refreshed.count(), 1);
        QVERIFY(!QApplication::activePopupWidget());
        // A letter the screen does not use opens its menu.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu.findChild<QMenu*>("menHouse"));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        logonState() = LogonState();
    }

    void escInAMenuGivesTheFocusBackToTheScreen()
    {
        TestHome home;
        logonState().MRights = " SU";
        frmMenu menu;
        menu.registerForm("frmUser", [] { return sampleScreen("User Master"); });
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        QWidget* form = menu.openForm("frmUser");
        auto* rot = form->findChild<QLineEdit*>("txtRot");
        rot->setFocus();
        QCOMPARE(QApplication::focusWidget(), rot);

        QTest::keyClick(rot, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu.findChild<QMenu*>("menFile"));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!menu.menuBar()->hasFocus());
        // (The offscreen platform leaves the closed menu the active window;
        // a window manager gives the main window back.)
        QApplication::setActiveWindow(&menu);
        QCOMPARE(QApplication::focusWidget(), rot);
        // So the next Esc is the screen's: it closes.
        QTest::keyClick(rot, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!menu.openedForm("frmUser"));
        logonState() = LogonState();
    }

    void tilingNeverSqueezesAScreen_data()
    {
        QTest::addColumn<QString>("arrangement");
        QTest::newRow("tile horizontal") << "menWindow_1";
        QTest::newRow("tile vertical") << "menWindow_2";
        QTest::newRow("cascade") << "menWindow_0";
    }
    void tilingNeverSqueezesAScreen()
    {
        QFETCH(QString, arrangement);
        TestHome home;
        frmMenu menu;
        for (const char* name : {"frmUser", "frmCompany", "frmVslRep"})
            menu.registerForm(name, [name] { return sampleScreen(name); });
        menu.registerForm("frmColor", [] { return new frmColor; });
        menu.resize(640, 420);
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        for (const char* name : {"frmUser", "frmCompany", "frmVslRep", "frmColor"})
            menu.openForm(name);
        menu.openForm("frmCompany");
        entry(menu, arrangement)->trigger();
        // The screen in use stays the active one.
        QCOMPARE(menu.mdiArea()->currentSubWindow()->widget()->objectName(), QString("frmCompany"));

        const auto subs = menu.mdiArea()->subWindowList();
        QCOMPARE(subs.size(), 4);
        for (QMdiSubWindow* sub : subs) {
            const QString name = sub->widget()->objectName();
            QVERIFY2(sub->width() >= sub->minimumSizeHint().width(), qPrintable(name));
            QVERIFY2(sub->height() >= sub->minimumSizeHint().height(), qPrintable(name));
            // Captions whole, boxes their own height and width.
            for (auto* b : sub->widget()->findChildren<QPushButton*>())
                QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
            for (auto* e : sub->widget()->findChildren<QLineEdit*>()) {
                QVERIFY2(e->height() >= e->minimumSizeHint().height(), qPrintable(name));
                QVERIFY2(e->width() >= e->minimumWidth(), qPrintable(name));
            }
        }
        if (arrangement == "menWindow_0")
            return;
        // Tiled windows stand side by side or one above the other, never on top.
        for (int i = 0; i < subs.size(); ++i)
            for (int j = i + 1; j < subs.size(); ++j)
                QVERIFY(!subs[i]->geometry().intersects(subs[j]->geometry()));
    }

    void windowMenuListsTheOpenScreens()
    {
        TestHome home;
        frmMenu menu;
        menu.registerForm("frmUser", [] { return sampleScreen("User Master"); });
        menu.registerForm("frmColor", [] { return new frmColor; });
        menu.show();
        QMenu* window = menu.findChild<QMenu*>("menWindow");
        const auto listed = [&] {
            emit window->aboutToShow();
            QStringList out;
            for (QAction* a : window->actions())
                if (a->objectName().startsWith("menWindowList_") && !a->isSeparator())
                    out << (a->isChecked() ? "* " : "  ") + a->text();
            return out;
        };
        QCOMPARE(listed(), QStringList());
        menu.openForm("frmUser");
        menu.openForm("frmColor");
        QCOMPARE(listed(), (QStringList{"  &1 User Master", "* &2 Colour Options"}));
        // Choosing an entry brings that screen to the front.
        menu.findChild<QAction*>("menWindowList_1")->trigger();
        QCOMPARE(menu.mdiArea()->activeSubWindow()->widget()->objectName(), QString("frmUser"));
        QCOMPARE(listed(), (QStringList{"* &1 User Master", "  &2 Colour Options"}));
        // A closed screen leaves the list.
        menu.mdiArea()->activeSubWindow()->close();
        QCOMPARE(listed(), (QStringList{"* &1 Colour Options"}));
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
        QCOMPARE(prompts.calls[0].defaultButton, Prompts::No);
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
