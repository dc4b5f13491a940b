// House Keeping > Deleted Shipping Bills, as a clerk uses it: the list,
// newest first or of one ROT No., and Enter on a bill to put it back.

#include "CargoTesting.h"
#include "DeletedBills.h"
#include "frmDeletedBills.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

using namespace CargoTesting;
using MastersTesting::Installed;

class tst_frmDeletedBills : public QObject
{
    Q_OBJECT

private slots:
    void listsThemAndPutsOneBack()
    {
        Installed inst;
        QVERIFY(inst.ok);
        Installed::logOn("RAVI", " SU", " SU");
        Database& db = *logonState().Conn;
        for (int id : {1, 2}) {
            db.exec("insert into egmcargo (id, egmno, sbno) values (?, ?, ?)",
                    {id, id * 10, 500 + id});
            db.exec("insert into egmcontain (ref, containno) values (?, 'ABCU1234565')", {id});
            Database::Transaction tx(db);
            DeletedBills::keep(db, id, "RAVI");
            db.exec("delete from egmcargo where id = ?", {id});
            tx.commit();
        }
        auto* form = new frmDeletedBills;
        std::unique_ptr<QWidget> owner(form);
        QVERIFY(MastersTesting::showActive(form));
        auto* list = form->findChild<QTreeWidget*>("lstDeleted");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), "502"); // the newest first
        QCOMPARE(list->topLevelItem(0)->text(3), "1");
        QCOMPARE(list->topLevelItem(0)->text(4), "RAVI");

        // Of one ROT No.
        form->findChild<QLineEdit*>("txtRotNo")->setFocus();
        enter("10");
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), "501");

        // Enter on it, Yes: the bill is back with its container.
        list->setFocus();
        inst.prompts.answers << Prompts::Yes;
        key(Qt::Key_Return);
        QCOMPARE(db.scalar("select sbno from egmcargo where id = 1").toInt(), 501);
        QCOMPARE(db.scalar("select count(*) from egmcontain where ref = 1").toInt(), 1);
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(form->findChild<QLabel*>("lblCount")->text(), "No deleted shipping bills");
        QVERIFY(inst.prompts.messages().value(0).startsWith("Restore shipping bill 501"));
    }
};

QTEST_MAIN(tst_frmDeletedBills)
#include "tst_frmdeletedbills.moc"
