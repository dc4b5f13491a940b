// The record screens in the running program: a user master left open by one
// user closes by its own rules when another logs on after Logout, its keys
// go before the menu bar's, and tiled with the other masters it keeps its
// size.

#include "AppSession.h"
#include "DemoFixture.h"
#include "MastersTesting.h"
#include "SessionTesting.h"
#include "frmCompany.h"
#include "frmLogon.h"
#include "frmMenu.h"
#include "frmSyspara.h"
#include "frmUser.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

using namespace MastersTesting;

namespace {

QAction* entry(frmMenu* menu, const char* name)
{
    return menu->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

class TestUserSession : public QObject
{
    Q_OBJECT

private slots:
    void anotherUsersLogonClosesTheUserMasterByItsRules();
    void altRPressesRefreshOnARecordScreen();
    void mastersKeepTheirSizeWhenTiled();
};

void TestUserSession::anotherUsersLogonClosesTheUserMasterByItsRules()
{
    DemoFixture demo;
    demo.addUser("TARVEX", "KOSRAW", " SU", " SU");
    demo.addUser("clerk", "harbour", " 01", "03");
    ScriptedPrompts prompts;
    AppSession session;
    session.registerForm("frmUser", [] { return new frmUser; });
    session.start();
    logOnWith(session, "TARVEX", "KOSRAW");
    frmMenu* menu = session.menu();
    QVERIFY(menu);
    entry(menu, "menHouse_1")->trigger();
    QWidget* form = menu->openedForm("frmUser");
    QVERIFY(form);

    // TARVEX starts an edit and leaves it pending: the clerk's rights
    // (" 01") would not allow it.
    click(form, "cmdEdit");
    QVERIFY(editing(form));
    box(form, 3)->selectAll();
    QTest::keyClicks(box(form, 3), " 01 02");
    entry(menu, "menFile_6")->trigger(); // Logout
    logOnWith(session, "clerk", "harbour");

    // Closed as its own Close closes it: the user master writes the pending edit.
    QVERIFY(!menu->openedForm("frmUser"));
    QCOMPARE(column(*demo.company(), "loguser", "urights").value(1).trimmed(), QString("01 02"));
    QVERIFY(!entry(menu, "menHouse_1")->isEnabled());
    QVERIFY(prompts.messages().isEmpty());
}

void TestUserSession::altRPressesRefreshOnARecordScreen()
{
    DemoFixture demo;
    demo.addUser("TARVEX", "KOSRAW", " SU", " SU");
    ScriptedPrompts prompts;
    AppSession session;
    session.registerForm("frmUser", [] { return new frmUser; });
    session.start();
    logOnWith(session, "TARVEX", "KOSRAW");
    frmMenu* menu = session.menu();
    QVERIFY(showActive(menu));
    entry(menu, "menHouse_1")->trigger();
    QWidget* form = menu->openedForm("frmUser");

    // Another user arrives meanwhile: Refresh shows it, the Reports menu stays shut.
    demo.addUser("clerk", "harbour", " 01", "03");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(status(form), QString("Record: 1"));
    QCOMPARE(box(form, 1)->text().trimmed(), QString("TARVEX"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QCOMPARE(box(form, 1)->text().trimmed(), QString("clerk"));
}

void TestUserSession::mastersKeepTheirSizeWhenTiled()
{
    Installed inst;
    QVERIFY(inst.ok);
    inst.addUsers({{"TARVEX", "KOSRAW", " SU", " SU"}});
    Installed::logOn("TARVEX", " SU", " SU");
    frmMenu menu;
    menu.registerForm("frmCompany", [] { return new frmCompany; });
    menu.registerForm("frmUser", [] { return new frmUser; });
    menu.registerForm("frmSyspara", [] { return new frmSyspara; });
    menu.resize(800, 560);
    QVERIFY(showActive(&menu));
    for (const char* name : {"frmCompany", "frmUser", "frmSyspara"})
        menu.openForm(QString::fromLatin1(name));
    for (const char* arrange : {"menWindow_1", "menWindow_2", "menWindow_0"}) {
        entry(&menu, arrange)->trigger();
        for (QMdiSubWindow* sub : menu.mdiArea()->subWindowList()) {
            const QString name = QString::fromLatin1(arrange) + ' ' + sub->widget()->objectName();
            QVERIFY2(sub->width() >= sub->minimumSizeHint().width(), qPrintable(name));
            QVERIFY2(sub->height() >= sub->minimumSizeHint().height(), qPrintable(name));
            for (auto* b : sub->widget()->findChildren<QPushButton*>())
                if (!b->text().isEmpty())
                    QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
        }
    }
    QVERIFY(inst.prompts.calls.isEmpty());
}

QTEST_MAIN(TestUserSession)
#include "tst_usersession.moc"
