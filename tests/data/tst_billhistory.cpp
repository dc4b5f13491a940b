// The history of the shipping bills: what a save changed, in words, and a
// bill's entries newest first.

#include "BillHistory.h"
#include "DataTesting.h"
#include "Schema.h"

#include <QtTest>

using BillHistory::Bill;
using BillHistory::Kind;

Q_DECLARE_METATYPE(BillHistory::Bill)

namespace {

const QList<BillHistory::Field> fields{{"sbno", "SB No."}, {"pkgs", "Pkgs."}};

Bill stored(const QStringList& values, const QStringList& containers)
{
    return Bill{true, values, containers, {}};
}

void addBill(Database& db, int id, double sbno)
{
    db.exec("insert into egmcargo (id, egmno, sbno, pkgs) values (?, 10, ?, 5)", {id, sbno});
}

} // namespace

class tst_BillHistory : public QObject
{
    Q_OBJECT

private slots:
    void changes_data();
    void changes();
    void entriesAreNewestFirstBackToTheBillsStart();
};

void tst_BillHistory::changes_data()
{
    QTest::addColumn<Bill>("before");
    QTest::addColumn<Bill>("after");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a new bill: what it holds") << Bill{} << stored({"5001", ""}, {"MSKU1234567"})
                                               << "SB No.: 5001\nContainer added: MSKU1234567";
    QTest::newRow("a field changed")
        << stored({"5001", "5"}, {}) << stored({"5001", "6"}, {}) << "Pkgs.: 5 → 6";
    QTest::newRow("a field emptied and one filled")
        << stored({"", "5"}, {}) << stored({"5002", ""}, {})
        << "SB No.: (empty) → 5002\nPkgs.: 5 → (empty)";
    QTest::newRow("containers added, then removed")
        << stored({"5001", "5"}, {"MSKU0000001", "MSKU0000002"})
        << stored({"5001", "5"}, {"MSKU0000002", "MSKU0000003"})
        << "Container added: MSKU0000003\nContainer removed: MSKU0000001";
    QTest::newRow("a number stored twice counts twice")
        << stored({"5001", "5"}, {"MSKU0000001"})
        << stored({"5001", "5"}, {"MSKU0000001", "MSKU0000001"}) << "Container added: MSKU0000001";
    QTest::newRow("a kept container's status changed")
        << Bill{true, {"5001", "5"}, {"MSKU0000001", "MSKU0000002"}, {"F", "F"}}
        << Bill{true, {"5001", "5"}, {"MSKU0000002", "MSKU0000001"}, {"F", "E"}}
        << "Container MSKU0000001 status: F → E";
    QTest::newRow("nothing changed") << stored({"5001", "5"}, {"MSKU0000001"})
                                     << stored({"5001", "5"}, {"MSKU0000001"}) << QString();
}

void tst_BillHistory::changes()
{
    QFETCH(Bill, before);
    QFETCH(Bill, after);
    QFETCH(QString, expected);
    QCOMPARE(BillHistory::changes(fields, before, after), expected);
}

void tst_BillHistory::entriesAreNewestFirstBackToTheBillsStart()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);
    QVERIFY(!BillHistory::lastChange(db).isValid());
    QVERIFY(!BillHistory::last(db, 1));

    addBill(db, 1, 501);
    const Bill before = BillHistory::read(db, 1, fields);
    QCOMPARE(before.values, QStringList({"501", "5"}));
    BillHistory::write(db, 1, Kind::Added, "RAVI", "SB No.: 501");
    QStringList many;
    for (int i = 0; i < 500; ++i)
        many << QStringLiteral("Container added: MSKU%1").arg(i, 7, 10, QLatin1Char('0'));
    BillHistory::write(db, 1, Kind::Changed, "ASHA", many.join('\n'));

    QList<BillHistory::Entry> entries = BillHistory::list(db, 1);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].user, QString("ASHA"));
    QCOMPARE(entries[0].rotNo, QString("10"));
    QCOMPARE(entries[0].sbNo, QString("501"));
    // Cut to what the column keeps, saying how much more there was.
    QVERIFY(entries[0].changes.size() <= BillHistory::changesWidth);
    QVERIFY2(entries[0].changes.endsWith(" more"), qPrintable(entries[0].changes.right(40)));
    QCOMPARE(entries[1].kind, Kind::Added);
    QCOMPARE(entries[1].changes, QString("SB No.: 501"));
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(qAbs(entries[0].at.secsTo(now)) < 60);
    QCOMPARE(BillHistory::changedBy(*BillHistory::last(db, 1)),
             "Changed by ASHA on " + entries[0].at.toString("dd/MM/yyyy HH:mm"));
    QCOMPARE(BillHistory::lastChange(db), entries[0].at);

    // The id of a deleted bill given to a new one: its history starts anew.
    BillHistory::write(db, 1, Kind::Deleted, "RAVI", QString());
    db.exec("delete from egmcargo where id = 1");
    addBill(db, 1, 777);
    BillHistory::write(db, 1, Kind::Added, "RAVI", "SB No.: 777");
    entries = BillHistory::list(db, 1);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].sbNo, QString("777"));

    db.exec("drop table billhistory");
    db.clearLayoutCache();
    QVERIFY(!BillHistory::lastChange(db).isValid());
    QVERIFY(BillHistory::list(db, 1).isEmpty());
}

QTEST_GUILESS_MAIN(tst_BillHistory)
#include "tst_billhistory.moc"
