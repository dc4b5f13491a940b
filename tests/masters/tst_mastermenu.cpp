// The main window opens the company master, the user master and System
// Parameters from their menu entries: once each, brought to the front when
// asked for again.

#include "MastersTesting.h"
#include "frmCompany.h"
#include "frmMenu.h"
#include "frmSyspara.h"
#include "frmUser.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>

using namespace MastersTesting;

class TestMasterMenu : public QObject
{
    Q_OBJECT

private slots:
    void menuEntriesOpenEachFormOnce();
};

void TestMasterMenu::menuEntriesOpenEachFormOnce()
{
    Installed inst;
    QVERIFY(inst.ok);
    inst.addUsers({{QStringLiteral("TARVEX"), QStringLiteral("KOSRAW"), QStringLiteral(" SU"),
                    QStringLiteral(" SU")}});
    Installed::logOn(QStringLiteral("TARVEX"), QStringLiteral(" SU"), QStringLiteral(" SU"));

    frmMenu menu;
    menu.registerForm(QStringLiteral("frmCompany"), [] { return new frmCompany; });
    menu.registerForm(QStringLiteral("frmUser"), [] { return new frmUser; });
    menu.registerForm(QStringLiteral("frmSyspara"), [] { return new frmSyspara; });
    QVERIFY(showActive(&menu));
    menu.applyMenuRights();

    const struct
    {
        const char* entry;
        const char* form;
        const char* title;
    } entries[] = {
        {"menFile_0", "frmCompany", "Company Master"},
        {"menHouse_1", "frmUser", "User Master"},
        {"menHouse_2", "frmSyspara", "System Parameters"},
    };
    QMdiArea* mdi = menu.mdiArea();
    for (const auto& e : entries) {
        QAction* action = menu.findChild<QAction*>(QString::fromLatin1(e.entry));
        QVERIFY2(action && action->isEnabled(), e.entry);
        action->trigger();
        QWidget* form = menu.openedForm(QString::fromLatin1(e.form));
        QVERIFY2(form, e.form);
        QCOMPARE(form->windowTitle(), QString::fromLatin1(e.title));
        QCOMPARE(mdi->activeSubWindow()->widget(), form);
        QCOMPARE(mdi->activeSubWindow()->pos(), QPoint(0, 0));
    }
    QCOMPARE(mdi->subWindowList().size(), 3);

    // Asked for again: the open one comes to the front, no second copy.
    for (const auto& e : entries) {
        menu.findChild<QAction*>(QString::fromLatin1(e.entry))->trigger();
        QCOMPARE(mdi->subWindowList().size(), 3);
        QCOMPARE(mdi->activeSubWindow()->widget(), menu.openedForm(QString::fromLatin1(e.form)));
    }
    QVERIFY(inst.prompts.calls.isEmpty());

    // Closed by its own Close, a form opens afresh.
    QTest::mouseClick(menu.openedForm(QStringLiteral("frmUser"))
                          ->findChild<QAbstractButton*>(QStringLiteral("cmdClose")),
                      Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!menu.openedForm(QStringLiteral("frmUser")));
    QCOMPARE(mdi->subWindowList().size(), 2);
    menu.findChild<QAction*>(QStringLiteral("menHouse_1"))->trigger();
    QVERIFY(menu.openedForm(QStringLiteral("frmUser")));
    QCOMPARE(mdi->subWindowList().size(), 3);
    menu.close();
}

QTEST_MAIN(TestMasterMenu)
#include "tst_mastermenu.moc"
