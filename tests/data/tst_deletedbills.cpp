// Deleted shipping bills kept with their containers and put back.

#include "BillHistory.h"
#include "DataTesting.h"
#include "DeletedBills.h"
#include "Schema.h"

#include <QtTest>
#include <memory>

namespace {

void addBill(Database& db, int id, double egmno, double sbno, int containers)
{
    db.exec("insert into egmcargo (id, egmno, sbno, sbdt) values (?, ?, ?, ?)",
            {id, egmno, sbno, db.dialect().toStorage(ColumnType::Date, QDate(2026, 12, 1))});
    for (int i = 0; i < containers; ++i)
        db.exec("insert into egmcontain (ref, containno, constatus) values (?, ?, 'F')",
                {id, QStringLiteral("ABCU%1").arg(id * 100 + i, 7, 10, QLatin1Char('0'))});
}

/// What the cargo screen's delete does.
void deleteBill(Database& db, int id, const QString& user = "RAVI")
{
    Database::Transaction tx(db);
    DeletedBills::keep(db, id, user);
    db.exec("delete from egmcargo where id = ?", {id});
    tx.commit();
}

QStringList containersOf(Database& db, int id)
{
    QStringList out;
    for (const RowValues& r :
         db.select("select containno from egmcontain where ref = ? order by autoid", {id}).rows)
        out << r.value(0).toString().trimmed();
    return out;
}

} // namespace

class tst_DeletedBills : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        scratch_ = std::make_unique<ScratchDatabase>();
        Schema::createCompanyDatabase(scratch_->db());
    }
    void cleanup() { scratch_.reset(); }

    void listIsNewestFirstOfOneEgmOrAll();
    void restore_data();
    void restore();
    void anUnknownNumberRestoresNothing();
    void theLongDeletedAreForgotten();

private:
    std::unique_ptr<ScratchDatabase> scratch_;
};

void tst_DeletedBills::listIsNewestFirstOfOneEgmOrAll()
{
    Database& db = scratch_->db();
    addBill(db, 1, 10, 501, 2);
    addBill(db, 2, 10, 502, 0);
    addBill(db, 3, 11, 503, 1);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    deleteBill(db, 1);
    deleteBill(db, 3, "ASHA");
    deleteBill(db, 2);
    QCOMPARE(db.scalar("select count(*) from egmcontain").toInt(), 0);

    const QList<DeletedBills::Entry> all = DeletedBills::list(db);
    QCOMPARE(all.size(), 3);
    QCOMPARE(all[0].sbNo, QString("502"));
    QCOMPARE(all[1].sbNo, QString("503"));
    QCOMPARE(all[1].rotNo, QString("11"));
    QCOMPARE(all[1].deletedBy, QString("ASHA"));
    QCOMPARE(all[1].containers, 1);
    QCOMPARE(all[2].containers, 2);
    QCOMPARE(all[2].sbDate, QDate(2026, 12, 1));
    QVERIFY2(all[2].deletedAt >= before && all[2].deletedAt <= QDateTime::currentDateTime(),
             qPrintable(all[2].deletedAt.toString()));
    const QList<DeletedBills::Entry> ten = DeletedBills::list(db, QString("10"));
    QCOMPARE(ten.size(), 2);
    QCOMPARE(ten[1].oldId, 1);
}

void tst_DeletedBills::restore_data()
{
    QTest::addColumn<bool>("idTaken");
    QTest::addColumn<int>("expectedId");
    QTest::addColumn<QString>("restoredChanges");
    const QString added = "Container added: ABCU0000200\nContainer added: ABCU0000201\n"
                          "Container added: ABCU0000202";
    QTest::newRow("its id is free") << false << 2 << added;
    QTest::newRow("its id is taken") << true << 6 << "Id: 2 → 6\n" + added;
}

void tst_DeletedBills::restore()
{
    QFETCH(bool, idTaken);
    QFETCH(int, expectedId);
    QFETCH(QString, restoredChanges);
    Database& db = scratch_->db();
    addBill(db, 2, 10, 502, 3);
    addBill(db, 5, 10, 505, 0);
    const QStringList containers = containersOf(db, 2);
    deleteBill(db, 2);
    if (idTaken)
        addBill(db, 2, 10, 999, 1);

    const qint64 number = DeletedBills::list(db).first().number;
    QCOMPARE(DeletedBills::restore(db, number, "ASHA"), qint64(expectedId));
    QCOMPARE(db.scalar("select sbno from egmcargo where id = ?", {expectedId}).toInt(), 502);
    QCOMPARE(containersOf(db, expectedId), containers);
    QVERIFY(DeletedBills::list(db).isEmpty());
    QCOMPARE(db.scalar("select count(*) from egmcontain_deleted").toInt(), 0);
    // The history tells both: who deleted it with which containers, who put it back.
    const BillHistory::Entry restored = BillHistory::list(db, expectedId).first();
    QCOMPARE(restored.kind, BillHistory::Kind::Restored);
    QCOMPARE(restored.user, QString("ASHA"));
    QCOMPARE(restored.changes, restoredChanges);
    const RowTable deleted =
        db.select("select username, sbno, changes from billhistory where kind = 'deleted'");
    QCOMPARE(deleted.rows.size(), 1);
    QCOMPARE(deleted.rows[0].value(0).toString(), QString("RAVI"));
    QCOMPARE(deleted.rows[0].value(1).toInt(), 502);
    QCOMPARE(deleted.rows[0].value(2).toString(),
             QString(restoredChanges).remove("Id: 2 → 6\n").replace("added", "removed"));
}

void tst_DeletedBills::anUnknownNumberRestoresNothing()
{
    Database& db = scratch_->db();
    addBill(db, 1, 10, 501, 1);
    deleteBill(db, 1);
    const auto error = dbErrorOf([&] { DeletedBills::restore(db, 42); });
    QVERIFY(error);
    QVERIFY(error->description().contains("no deleted shipping bill 42"));
    QCOMPARE(DeletedBills::list(db).size(), 1);
    QCOMPARE(db.scalar("select count(*) from egmcargo").toInt(), 0);
}

void tst_DeletedBills::theLongDeletedAreForgotten()
{
    Database& db = scratch_->db();
    addBill(db, 1, 10, 501, 2);
    addBill(db, 2, 10, 502, 1);
    deleteBill(db, 1);
    deleteBill(db, 2);
    const QDateTime now = QDateTime::currentDateTime();
    db.exec("update egmcargo_deleted set deletedat = ? where id = 1",
            {db.dialect().toStorage(ColumnType::Date, now.addDays(-400))});
    QCOMPARE(DeletedBills::forgetDeletedBefore(db, now.addDays(-365)), 1);
    const QList<DeletedBills::Entry> left = DeletedBills::list(db);
    QCOMPARE(left.size(), 1);
    QCOMPARE(left[0].oldId, 2);
    QCOMPARE(db.scalar("select count(*) from egmcontain_deleted").toInt(), 1);
}

QTEST_GUILESS_MAIN(tst_DeletedBills)
#include "tst_deletedbills.moc"
