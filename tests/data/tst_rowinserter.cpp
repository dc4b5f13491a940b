// The inserter the XML import writes with: on SQLite a prepared statement on
// the engine's own handle, elsewhere Database::insertRows in batches; either
// way it stores and refuses what insertRows stores and refuses.

#include "Cell.h"
#include "DataTesting.h"
#include "RowInserter.h"
#include "Schema.h"

#include <QtTest>
#include <functional>

namespace {

const QStringList cargoColumns = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                  "sbport",  "destport", "gateport", "naturecargo", "volume",
                                  "unitvol", "pkgs",     "linecode"};

using CellRow = QList<std::function<void(Cell&)>>;

std::function<void(Cell&)> integer(qint64 v)
{
    return [v](Cell& c) { c.setInteger(v); };
}
std::function<void(Cell&)> real(double v)
{
    return [v](Cell& c) { c.setReal(v); };
}
std::function<void(Cell&)> text(const char* utf8)
{
    return [utf8](Cell& c) { c.setText(QByteArrayView(utf8)); };
}
std::function<void(Cell&)> date(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return [=](Cell& c) {
        ValueText::DateTime t;
        t.year = y;
        t.month = m;
        t.day = d;
        t.hour = h;
        t.minute = mi;
        t.second = s;
        c.setDate(t);
    };
}
std::function<void(Cell&)> boolean(bool v)
{
    return [v](Cell& c) { c.setBoolean(v); };
}
std::function<void(Cell&)> null()
{
    return [](Cell& c) { c.setNull(); };
}

void insertAll(RowInserter& inserter, const QList<CellRow>& rows)
{
    for (const CellRow& row : rows) {
        for (int k = 0; k < row.size(); ++k)
            row[k](inserter.cell(k));
        inserter.insert();
    }
    inserter.finish();
}

/// The same rows as Database::insertRows takes them.
QList<RowValues> variants(const QList<CellRow>& rows)
{
    QList<RowValues> out;
    for (const CellRow& row : rows) {
        RowValues values;
        for (const auto& set : row) {
            Cell c;
            set(c);
            values << c.toVariant();
        }
        out << values;
    }
    return out;
}

} // namespace

class TestRowInserter : public QObject
{
    Q_OBJECT

private slots:
    void storesWhatInsertRowsStores();
    void refusesWhatInsertRowsRefuses_data();
    void refusesWhatInsertRowsRefuses();
    void refusedRowIsCountedAcrossBatches();
    void unknownColumnIsNamed();
};

void TestRowInserter::storesWhatInsertRowsStores()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);
    db.createTable("twin", Schema::egmcargo());
    const QList<CellRow> rows = {
        // As the reader hands a file's values.
        {integer(7), real(700001), date(2006, 3, 5), real(5001), date(2006, 3, 1), text("INIXY1"),
         text("S\xC3\xA8te"), text(""), text("C"), real(12.5), text("CBM"), integer(120),
         text("M&S")},
        // Dates with a time, nulls, a whole number given as a fraction.
        {integer(8), real(700001), date(2006, 3, 5, 14, 30, 5), real(1e15), null(), null(), null(),
         null(), null(), real(-0.25), null(), real(2.5), null()},
        // Values of another kind than the column's, as a file may give them.
        {real(9.4), integer(700001), text("5/3/2006"), text(" 42 "), text("2006-03-02 10:00:00"),
         integer(12), real(0.5), boolean(true), integer(3), boolean(true), real(0.5), text("7"),
         date(2006, 3, 8)},
    };
    Database::Transaction tx(db);
    const auto inserter = RowInserter::open(db, "egmcargo", cargoColumns);
    insertAll(*inserter, rows);
    db.insertRows("twin", cargoColumns, variants(rows));
    tx.commit();
    const RowTable got = db.select("select * from egmcargo order by egmcargo.rowid");
    const RowTable want = db.select("select * from twin order by twin.rowid");
    QCOMPARE(got.rows.size(), 3);
    QCOMPARE(got.rows, want.rows);
    // As stored, too: the engine's own forms are the same.
    if (!TestEngine::onServer())
        QCOMPARE(db.select("select quote(egmdt), quote(sbdt), quote(pkgs) from egmcargo").rows,
                 db.select("select quote(egmdt), quote(sbdt), quote(pkgs) from twin").rows);
}

void TestRowInserter::refusesWhatInsertRowsRefuses_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("kind"); // 0 text, 1 real
    QTest::addColumn<QString>("value");
    QTest::newRow("text too long") << 5 << 0 << "INIXY12";
    QTest::newRow("wide text too long") << 10 << 0 << "m³³³";
    QTest::newRow("no number") << 3 << 0 << "abc";
    QTest::newRow("no date") << 4 << 0 << "soon";
    QTest::newRow("too large for a whole number") << 11 << 1 << "3e9";
}

void TestRowInserter::refusesWhatInsertRowsRefuses()
{
    QFETCH(int, column);
    QFETCH(int, kind);
    QFETCH(QString, value);
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);
    const QByteArray utf8 = value.toUtf8();
    const auto bad = kind == 0 ? text(utf8.constData()) : real(value.toDouble());
    const CellRow good = {integer(1), real(1), null(), real(5), null(), text("A")};
    CellRow wrong = good;
    while (wrong.size() <= column)
        wrong << null();
    wrong[column] = bad;
    const QStringList columns = cargoColumns.mid(0, wrong.size());

    Database::Transaction tx(db);
    const auto inserter = RowInserter::open(db, "egmcargo", columns);
    // Ids of their own: the table takes an id once.
    QList<CellRow> rows = {good, good, wrong, good};
    for (int i = 0; i < rows.size(); ++i)
        rows[i][0] = integer(i + 1);
    const auto error = dbErrorOf([&] { insertAll(*inserter, rows); });
    for (int i = 0; i < rows.size(); ++i)
        rows[i][0] = integer(i + 11);
    qsizetype failed = -1;
    const auto expected = dbErrorOf([&] {
        QList<RowValues> values = variants(rows);
        for (RowValues& r : values)
            r.resize(columns.size());
        db.insertRows("egmcargo", columns, values, &failed);
    });
    QVERIFY2(error && expected, describe(error).constData());
    QCOMPARE(error->number(), int(DbError::BadValue));
    QCOMPARE(error->description(), expected->description());
    QCOMPARE(inserter->failedRow(), 2);
    QCOMPARE(failed, 2);
}

void TestRowInserter::refusedRowIsCountedAcrossBatches()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);
    QList<CellRow> rows;
    for (int i = 0; i < 2500; ++i)
        rows << CellRow{integer(1), text(i == 2300 ? "MSCU00000001" : "MSCU0000001"), text("F"),
                        integer(0)};
    {
        Database::Transaction tx(db);
        const auto inserter =
            RowInserter::open(db, "egmcontain", {"ref", "containno", "constatus", "subrefno"});
        const auto error = dbErrorOf([&] { insertAll(*inserter, rows); });
        QVERIFY(error);
        QCOMPARE(error->number(), int(DbError::BadValue));
        QCOMPARE(inserter->failedRow(), 2300);
    }
    QCOMPARE(db.scalar("select count(*) from egmcontain").toInt(), 0);
}

void TestRowInserter::unknownColumnIsNamed()
{
    ScratchDatabase s;
    Schema::createCompanyDatabase(s.db());
    const auto error = dbErrorOf([&] { RowInserter::open(s.db(), "egmcargo", {"id", "nothere"}); });
    QVERIFY(error);
    QCOMPARE(error->description(), QString("no such column: egmcargo.nothere"));
}

QTEST_GUILESS_MAIN(TestRowInserter)
#include "tst_rowinserter.moc"
