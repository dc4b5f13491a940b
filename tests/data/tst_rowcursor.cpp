// The forward cursor the file writers read with: on SQLite it reads the
// engine's own statement, elsewhere Qt SQL; either way its values must be
// those Database::select gives, typed the same.

#include "DataTesting.h"
#include "RowCursor.h"
#include "Schema.h"

#include <QtTest>

namespace {

const QStringList cargoColumns = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                  "sbport",  "destport", "gateport", "naturecargo", "volume",
                                  "unitvol", "pkgs",     "linecode"};

/// A company database holding bills and containers as the screens store
/// them and, on SQLite, as other tools may have stored them.
void fill(Database& db)
{
    Schema::createCompanyDatabase(db);
    const QVariant none;
    db.insertRows("egmcargo", cargoColumns,
                  {{1, 500.0, QDate(2006, 3, 5), 5001.0, QDate(2006, 3, 1), "INNSA1",
                    QString::fromUtf8("Sète"), "INNSA1", "C", 12.5, "CBM", 10, "MAEU"},
                   {2, 500.0, QDateTime(QDate(2006, 3, 5), QTime(14, 30), Qt::UTC), 5002.0,
                    QDate(2006, 2, 28), "", none, none, "P", 0.1, none, none, none},
                   {3, 501.0, QDate(2006, 3, 6), 1e15, QDate(2006, 3, 2), "€", "AEJEA1", "X", "C",
                    -2.5, "MT", -7, "ONE"}});
    db.insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"},
                  {{1, "MSKU1234567", "FCL", 0},
                   {1, "TCLU7654321", none, 0},
                   {3, QString::fromUtf8("‘X’"), "E", none}});
    if (TestEngine::onServer())
        return;
    // Numbers as text, text in a number column, dates in other forms.
    db.exec("insert into egmcargo (id, egmno, egmdt, sbno, sbdt, destport, volume, pkgs) values "
            "(4, 500, '5/3/2006', '42.0', 'soon', 12.5, '12abc', '0007')");
    db.exec("insert into egmcargo (id, egmno, sbdt, destport, volume, pkgs) values "
            "(5, '500', '2006-03-05 10:30:00', 7, 20240301, 2.5)");
}

QString describeValue(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("null")
                      : QStringLiteral("%1 %2").arg(QLatin1String(v.typeName()), v.toString());
}

} // namespace

class TestRowCursor : public QObject
{
    Q_OBJECT

private slots:
    void valuesAreThoseSelectGives_data();
    void valuesAreThoseSelectGives();
    void cellsHoldNumbersBytesAndDates();
    void connectionGoesOnWhenACursorStopsEarly();
    void failingSelectThrows();
    void tableRowsAsTheyStand();
};

void TestRowCursor::valuesAreThoseSelectGives_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");
    QTest::newRow("every column") << "select * from egmcargo" << QVariantList{};
    QTest::newRow("a few, bound, in stored order")
        << "select sbno, sbdt, volume from egmcargo where egmcargo.egmno=? order by egmcargo.rowid"
        << QVariantList{500.0};
    QTest::newRow("join with aliases")
        << "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.sbdt as xsbdt from "
           "egmcontain,egmcargo where egmcontain.ref=egmcargo.id order by egmcargo.rowid,"
           "egmcontain.rowid"
        << QVariantList{};
    QTest::newRow("left join, both tables")
        << "select egmcargo.*,egmcontain.* from egmCargo LEFT JOIN egmContain ON egmCargo.ID = "
           "egmContain.Ref order by egmcargo.sbno, egmcargo.id, egmcontain.autoid"
        << QVariantList{};
    QTest::newRow("computed") << "select count(*), max(id) from egmcargo" << QVariantList{};
    QTest::newRow("no row") << "select * from egmcargo where egmno=?" << QVariantList{-1.0};
    QTest::newRow("computed, no row")
        << "select max(id) + 1 from egmcargo where egmno=? group by egmno" << QVariantList{-1.0};
}

void TestRowCursor::valuesAreThoseSelectGives()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);
    ScratchDatabase s;
    fill(s.db());
    const RowTable expected = s.db().select(sql, params);
    // The stored forms, as the engine's driver gives them: what a row set
    // keeps to find a row again.
    QList<QVariantList> stored;
    {
        QSqlQuery q = s.db().exec(sql, params);
        while (q.next()) {
            QVariantList row;
            for (int k = 0; k < q.record().count(); ++k)
                row << q.value(k);
            stored << row;
        }
    }
    const auto cursor = RowCursor::open(s.db(), sql, params);
    QCOMPARE(cursor->columnCount(), expected.columns.size());
    for (int k = 0; k < cursor->columnCount(); ++k) {
        const ColumnInfo& a = cursor->columns()[k];
        const ColumnInfo& e = expected.columns[k];
        QCOMPARE(a.name, e.name);
        QCOMPARE(int(a.type), int(e.type));
        QCOMPARE(a.baseTable, e.baseTable);
        QCOMPARE(a.autoNumber, e.autoNumber);
    }
    qsizetype row = 0;
    while (cursor->next()) {
        QVERIFY(row < expected.rows.size());
        for (int k = 0; k < cursor->columnCount(); ++k) {
            const QVariant got = cursor->value(k);
            const QVariant want = expected.rows[row][k];
            // The engine's untyped integers may come as int or as long long.
            const bool sameType = got.typeId() == want.typeId() ||
                                  (cursor->columns()[k].baseTable.isEmpty() &&
                                   got.canConvert<qlonglong>() && want.canConvert<qlonglong>());
            QVERIFY2(got.isNull() == want.isNull() && (got.isNull() || (sameType && got == want)),
                     qPrintable(QStringLiteral("row %1, %2: %3, select gives %4")
                                    .arg(row + 1)
                                    .arg(cursor->columns()[k].name, describeValue(got),
                                         describeValue(want))));
            const QVariant raw = cursor->rawValue(k);
            const QVariant rawWant = stored[row][k];
            QVERIFY2(raw.isNull() == rawWant.isNull() &&
                         (raw.isNull() || (raw == rawWant && raw.typeId() == rawWant.typeId() &&
                                           // empty text is no null text
                                           raw.toString().isNull() == rawWant.toString().isNull())),
                     qPrintable(QStringLiteral("row %1, %2 as stored: %3, the driver gives %4")
                                    .arg(row + 1)
                                    .arg(cursor->columns()[k].name, describeValue(raw),
                                         describeValue(rawWant))));
        }
        ++row;
    }
    QCOMPARE(row, expected.rows.size());
}

void TestRowCursor::cellsHoldNumbersBytesAndDates()
{
    ScratchDatabase s;
    fill(s.db());
    const auto cursor = RowCursor::open(
        s.db(),
        "select id, volume, egmdt, destport, unitvol from egmcargo where id <= 2 order by id");
    QVERIFY(cursor->next());
    QCOMPARE(cursor->cell(0).kind, Cell::Kind::Integer);
    QCOMPARE(cursor->cell(0).integer, 1);
    QCOMPARE(cursor->cell(1).kind, Cell::Kind::Real);
    QCOMPARE(cursor->cell(1).real, 12.5);
    QCOMPARE(cursor->cell(2).kind, Cell::Kind::Date);
    QCOMPARE(cursor->cell(2).date.date(), QDate(2006, 3, 5));
    QVERIFY(!cursor->cell(2).date.hasTime());
    QCOMPARE(cursor->cell(3).kind, Cell::Kind::Text);
    QCOMPARE(cursor->cell(3).text, QByteArrayView("S\xC3\xA8te")); // UTF-8
    QVERIFY(cursor->next());
    QCOMPARE(cursor->cell(2).date.hour, 14);
    QCOMPARE(cursor->cell(2).date.minute, 30);
    QVERIFY(cursor->cell(3).isNull());
    QVERIFY(!cursor->next());
    QVERIFY(!cursor->next());
}

void TestRowCursor::connectionGoesOnWhenACursorStopsEarly()
{
    ScratchDatabase s;
    Database& db = s.db();
    fill(db);
    {
        // A read snapshot, a cursor left after its first row.
        db.beginRead();
        const auto cursor = RowCursor::open(db, "select * from egmcontain");
        QVERIFY(cursor->next());
    }
    db.commit();
    {
        Database::Transaction tx(db);
        const auto cursor = RowCursor::open(db, "select id from egmcargo order by id");
        QVERIFY(cursor->next());
        QVERIFY(cursor->next());
    }
    // Another connection can write: nothing is held.
    auto other = s.open();
    Database::Transaction tx(*other);
    other->exec("update egmcargo set linecode = 'X' where id = 1");
    tx.commit();
    QCOMPARE(db.scalar("select linecode from egmcargo where id = 1").toString(), QString("X"));
}

void TestRowCursor::failingSelectThrows()
{
    ScratchDatabase s;
    fill(s.db());
    const auto viaExec = dbErrorOf([&] { s.db().exec("select nothere from egmcargo"); });
    const auto viaCursor = dbErrorOf([&] {
        const auto cursor = RowCursor::open(s.db(), "select nothere from egmcargo");
        cursor->next();
    });
    QVERIFY(viaExec && viaCursor);
    QCOMPARE(viaCursor->number(), viaExec->number());
    QCOMPARE(viaCursor->description(), viaExec->description());
}

void TestRowCursor::tableRowsAsTheyStand()
{
    RowTable t;
    t.columns = {ColumnInfo::of("n", ColumnType::Long), ColumnInfo::of("t", ColumnType::Text, 5)};
    t.rows = {{7, QStringLiteral("é")}, {QVariant()}};
    const auto cursor = RowCursor::over(t);
    QVERIFY(cursor->next());
    QCOMPARE(cursor->cell(0).integer, 7);
    QCOMPARE(cursor->cell(1).text, QByteArrayView("\xC3\xA9"));
    QVERIFY(cursor->next());
    QVERIFY(cursor->cell(0).isNull());
    QVERIFY(cursor->cell(1).isNull()); // a short row is null to its end
    QVERIFY(!cursor->next());
}

QTEST_GUILESS_MAIN(TestRowCursor)
#include "tst_rowcursor.moc"
