// How selects are written out for an engine whose tables carry a hidden
// stored-order column: "*" lists the table's own columns, one-table reads
// follow the stored order, "t.rowid" names it.

#include "StoredOrder.h"

#include <QtTest>

namespace {

std::optional<StoredOrder::Table> lookup(const QString& table)
{
    const QString t = table.toLower();
    if (t == QLatin1String("egmcargo"))
        return StoredOrder::Table{{"id", "egmno"}, "tarvex_rowid"};
    if (t == QLatin1String("egmcontain"))
        return StoredOrder::Table{{"autoid", "ref"}, "autoid"};
    if (t == QLatin1String("plain"))
        return StoredOrder::Table{{"a"}, QString()};
    return std::nullopt;
}

} // namespace

class TestStoredOrder : public QObject
{
    Q_OBJECT

private slots:
    void rewrite_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");

        QTest::newRow("star of one table")
            << "select * from egmcargo"
            << "select egmcargo.id,egmcargo.egmno from egmcargo order by egmcargo.tarvex_rowid";
        QTest::newRow("where and a bound value")
            << "select * from egmCargo where egmcargo.egmno=?"
            << "select egmCargo.id,egmCargo.egmno from egmCargo where egmcargo.egmno=? order by "
               "egmCargo.tarvex_rowid";
        QTest::newRow("alias") << "select c.* from egmcargo c where c.id > 2"
                               << "select c.id,c.egmno from egmcargo c where c.id > 2 order by "
                                  "c.tarvex_rowid";
        QTest::newRow("own order kept")
            << "select * from egmcargo order by id"
            << "select egmcargo.id,egmcargo.egmno from egmcargo order by id";
        QTest::newRow("order before limit")
            << "select id from egmcargo limit 5"
            << "select id from egmcargo order by egmcargo.tarvex_rowid limit 5";
        QTest::newRow("aggregate is not ordered") << "select max(id) from egmcargo"
                                                  << "select max(id) from egmcargo";
        QTest::newRow("count star is no column list")
            << "select count(*) from egmcargo where egmno = 5"
            << "select count(*) from egmcargo where egmno = 5";
        QTest::newRow("distinct is not ordered") << "select distinct egmno from egmcargo"
                                                 << "select distinct egmno from egmcargo";
        QTest::newRow("auto-number is the order")
            << "select ref from egmcontain where ref = ?"
            << "select ref from egmcontain where ref = ? order by egmcontain.autoid";
        QTest::newRow("join: columns written out, no order of its own")
            << "select egmcontain.* from egmcontain,egmcargo where egmcontain.ref=egmcargo.id"
            << "select egmcontain.autoid,egmcontain.ref from egmcontain,egmcargo where "
               "egmcontain.ref=egmcargo.id";
        QTest::newRow("star of a join")
            << "select * from egmCargo LEFT JOIN egmContain ON egmCargo.ID = egmContain.Ref "
               "order by sbno"
            << "select egmCargo.id,egmCargo.egmno,egmContain.autoid,egmContain.ref from "
               "egmCargo LEFT JOIN egmContain ON egmCargo.ID = egmContain.Ref order by sbno";
        QTest::newRow("rowid names the stored order")
            << "select egmcontain.ref from egmcontain,egmcargo where egmcontain.ref=egmcargo.id "
               "order by egmcargo.rowid,egmcontain.rowid"
            << "select egmcontain.ref from egmcontain,egmcargo where egmcontain.ref=egmcargo.id "
               "order by egmcargo.tarvex_rowid,egmcontain.autoid";
        QTest::newRow("words in quotes are values")
            << "select * from egmcargo where egmno = 'from x order by'"
            << "select egmcargo.id,egmcargo.egmno from egmcargo where egmno = 'from x order by' "
               "order by egmcargo.tarvex_rowid";
        QTest::newRow("subquery left alone") << "select * from (select id from egmcargo) x"
                                             << "select * from (select id from egmcargo) x";
        QTest::newRow("unknown table left alone") << "select * from loguser"
                                                  << "select * from loguser";
        QTest::newRow("a table without stored order: columns only") << "select * from plain"
                                                                    << "select plain.a from plain";
        QTest::newRow("not a select") << "update egmcargo set egmno = 1"
                                      << "update egmcargo set egmno = 1";
    }

    void rewrite()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(StoredOrder::rewrite(sql, lookup), expected);
    }
};

QTEST_GUILESS_MAIN(TestStoredOrder)
#include "tst_storedorder.moc"
