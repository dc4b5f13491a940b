// The keyed row set behind the shipping-bill screen: only the keys are held,
// rows are read by key as they are shown, the database finds and filters, and changes
// are written by key.

#include "DataTesting.h"
#include "Database.h"
#include "RowSet.h"
#include "Schema.h"
#include "ValueText.h"

#include <QtTest>
#include <memory>

class TestKeyedRowSet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyTableIsAtBothEnds();
    void rowsComeInKeyOrderReadByKey();
    void rowsReadLongAgoAreReadAgain();
    void findAsksTheDatabase_data();
    void findAsksTheDatabase();
    void addEditDeleteWriteByKey();
    void requeryShowsRowsAddedElsewhere();
    void filterReadsTheKeysThatMatch();
    void sortIsRefused();

private:
    Database& db() { return scratch_->db(); }
    void addBill(int id, double sbno)
    {
        db().exec(
            QStringLiteral("insert into egmcargo (id, egmno, sbno, unitvol) values (?, 1, ?, ?)"),
            {id, sbno, QString::number(id)}); // unitvol holds at most 3 characters
    }
    QList<int> ids(RowSet& rs)
    {
        QList<int> out;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out << rs.value(QStringLiteral("id")).toInt();
        return out;
    }
    void open(RowSet& rs)
    {
        rs.openKeyed(scratch_->ptr(), QStringLiteral("egmcargo"), QStringLiteral("ID"));
    }

    std::unique_ptr<ScratchDatabase> scratch_;
};

void TestKeyedRowSet::init()
{
    scratch_ = std::make_unique<ScratchDatabase>();
    Schema::createCompanyDatabase(db());
}

void TestKeyedRowSet::cleanup()
{
    scratch_.reset();
}

void TestKeyedRowSet::emptyTableIsAtBothEnds()
{
    RowSet rs;
    open(rs);
    QVERIFY(rs.isKeyed());
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.bof() && rs.eof());
    QVERIFY(!rs.find(Criteria::equals(QStringLiteral("sbno"), 5)));
    QCOMPARE(dbErrorOf([&] { rs.value(0); })->number(), DbError::NoCurrentRow);
}

void TestKeyedRowSet::rowsComeInKeyOrderReadByKey()
{
    for (int id : {7, 2, 1})
        addBill(id, id * 10);
    RowSet rs;
    open(rs);
    QCOMPARE(rs.columns().size(), Schema::egmcargo().size());
    QCOMPARE(ids(rs), (QList<int>{1, 2, 7}));
    rs.moveLast();
    QCOMPARE(rs.absolutePosition(), 3);
    QCOMPARE(rs.value(QStringLiteral("unitvol")).toString(), QStringLiteral("7"));
    QCOMPARE(rs.value(QStringLiteral("sbno")).toDouble(), 70.0);
    // A row deleted elsewhere since the keys were read shows empty, it does not throw.
    RowSet other;
    open(other);
    db().exec(QStringLiteral("delete from egmcargo where id = 2"));
    other.setAbsolutePosition(2);
    QVERIFY(other.value(QStringLiteral("unitvol")).isNull());
}

void TestKeyedRowSet::rowsReadLongAgoAreReadAgain()
{
    for (int id = 1; id <= 200; ++id)
        addBill(id, id);
    RowSet rs;
    open(rs);
    QCOMPARE(ids(rs).size(), 200);
    // Row 1 was read 200 rows ago: its values are read again, as changed meanwhile.
    db().exec(QStringLiteral("update egmcargo set unitvol = 'new' where id = 1"));
    rs.moveFirst();
    QCOMPARE(rs.value(QStringLiteral("unitvol")).toString(), QStringLiteral("new"));
    // The last row was read a moment ago and is still held as read then.
    db().exec(QStringLiteral("update egmcargo set unitvol = 'new' where id = 200"));
    rs.moveLast();
    QCOMPARE(rs.value(QStringLiteral("unitvol")).toString(), QStringLiteral("200"));
}

void TestKeyedRowSet::findAsksTheDatabase_data()
{
    QTest::addColumn<int>("from"); // position to start from (1-based)
    QTest::addColumn<int>("skip");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("found"); // id found, 0 for none
    QTest::newRow("first from the start") << 1 << 0 << true << 3;
    QTest::newRow("next after the first") << 2 << 1 << true << 9;
    QTest::newRow("none after the last") << 4 << 1 << true << 0;
    QTest::newRow("backward from the end") << 5 << 0 << false << 9;
    QTest::newRow("the current row counts") << 4 << 0 << true << 9;
}

void TestKeyedRowSet::findAsksTheDatabase()
{
    QFETCH(int, from);
    QFETCH(int, skip);
    QFETCH(bool, forward);
    QFETCH(int, found);
    // ids 1, 3, 5, 9, 12 with sbno 40 on ids 3 and 9
    for (auto [id, sbno] : QList<QPair<int, double>>{{1, 1}, {3, 40}, {5, 2}, {9, 40}, {12, 3}})
        addBill(id, sbno);
    RowSet rs;
    open(rs);
    rs.setAbsolutePosition(from);
    const bool hit = rs.find(Criteria::equals(QStringLiteral("sbno"), 40), skip, forward);
    QCOMPARE(hit, found > 0);
    if (hit)
        QCOMPARE(rs.value(QStringLiteral("id")).toInt(), found);
    else
        QVERIFY(forward ? rs.eof() : rs.bof());
}

void TestKeyedRowSet::addEditDeleteWriteByKey()
{
    addBill(1, 10);
    addBill(2, 20);
    RowSet rs;
    open(rs);
    rs.addNew();
    rs.setValue(QStringLiteral("id"), 3);
    rs.setValue(QStringLiteral("sbdt"), QStringLiteral("5/3/2006"));
    rs.update();
    QCOMPARE(
        ValueText::toDate(db().scalar(QStringLiteral("select sbdt from egmcargo where id = 3"))),
        QDate(2006, 3, 5));
    QCOMPARE(rs.value(QStringLiteral("sbdt")).toDate(), QDate(2006, 3, 5));
    QCOMPARE(ids(rs), (QList<int>{1, 2, 3}));

    rs.setAbsolutePosition(2);
    rs.setValue(QStringLiteral("unitvol"), QStringLiteral("KGS"));
    rs.update();
    QCOMPARE(db().scalar(QStringLiteral("select unitvol from egmcargo where id = 2")).toString(),
             QStringLiteral("KGS"));

    rs.setAbsolutePosition(1);
    rs.deleteCurrent();
    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("id")).toInt(), 2);
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from egmcargo")).toInt(), 2);
}

void TestKeyedRowSet::requeryShowsRowsAddedElsewhere()
{
    addBill(1, 10);
    RowSet rs;
    open(rs);
    addBill(5, 50);
    QCOMPARE(rs.recordCount(), 1);
    rs.requery();
    QCOMPARE(ids(rs), (QList<int>{1, 5}));
}

void TestKeyedRowSet::filterReadsTheKeysThatMatch()
{
    for (int id : {1, 2, 3, 4})
        addBill(id, id * 10);
    db().exec(QStringLiteral("update egmcargo set egmno = 7 where id in (2, 4)"));
    RowSet rs;
    open(rs);
    rs.setFilter(Criteria::equals(QStringLiteral("egmno"), 7));
    QCOMPARE(ids(rs), (QList<int>{2, 4}));
    QCOMPARE(rs.recordCount(), 2);
    // A find, and a re-read, stay within the filter.
    rs.moveFirst();
    QVERIFY(!rs.find(Criteria::equals(QStringLiteral("sbno"), 30)));
    rs.moveFirst();
    QVERIFY(rs.find(Criteria::equals(QStringLiteral("sbno"), 40)));
    QCOMPARE(rs.absolutePosition(), 2);
    addBill(9, 90);
    db().exec(QStringLiteral("update egmcargo set egmno = 7 where id = 9"));
    rs.requery();
    QCOMPARE(ids(rs), (QList<int>{2, 4, 9}));
    rs.clearFilter();
    QCOMPARE(ids(rs), (QList<int>{1, 2, 3, 4, 9}));
}

void TestKeyedRowSet::sortIsRefused()
{
    addBill(1, 10);
    RowSet rs;
    open(rs);
    QVERIFY(dbErrorOf([&] { rs.setSort(QStringLiteral("sbno")); }));
    QCOMPARE(rs.recordCount(), 1);
}

QTEST_GUILESS_MAIN(TestKeyedRowSet)
#include "tst_keyedrowset.moc"
