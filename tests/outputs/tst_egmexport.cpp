// The rows behind the flat file and the XML pair. The flat file is streamed
// from the database for speed; EgmFile::content is the reference: for the
// same rows both must give the same bytes, whatever the rows hold.

#include "AdoXmlWriter.h"
#include "AppPaths.h"
#include "Database.h"
#include "DemoFixture.h"
#include "EgmExport.h"
#include "EgmFile.h"
#include "LogonState.h"
#include "OutputsTesting.h"
#include "Schema.h"
#include "ScriptedPrompts.h"
#include "TestEngine.h"

#include <QDir>
#include <QTest>

using namespace OutputsTesting;

namespace {

/// A raw row of egmcargo, values as SQLite may hold them (the cargo screen
/// stores typed values; other tools may store anything).
struct Bill
{
    QVariant id, egmno, egmdt, sbno, sbdt, sbport, destport, gateport, nature, volume, unitvol,
        pkgs, linecode;
};

void insertRaw(Database& db, const Bill& b)
{
    db.exec("insert into egmcargo (id, egmno, egmdt, sbno, sbdt, sbport, destport, gateport, "
            "naturecargo, volume, unitvol, pkgs, linecode) values (?,?,?,?,?,?,?,?,?,?,?,?,?)",
            {b.id, b.egmno, b.egmdt, b.sbno, b.sbdt, b.sbport, b.destport, b.gateport, b.nature,
             b.volume, b.unitvol, b.pkgs, b.linecode});
}

void insertContainer(Database& db, const QVariant& ref, const QVariant& number,
                     const QVariant& status)
{
    db.exec("insert into egmcontain (ref, containno, constatus, subrefno) values (?,?,?,0)",
            {ref, number, status});
}

Bill plainBill(int id)
{
    return {id,       500, "2024-03-04", 1000 + id, "2024-03-01", "INNSA1", "USNYC1",
            "INNSA1", "C", 0.0,          "MT",      10,           "MAEU"};
}

struct Reference
{
    QByteArray bytes;
    QString error;
};

const QString cargoSql = "select * from egmcargo where egmcargo.egmno=?";
const QString fileContainerSql =
    "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as xegmdt,egmcargo.sbno as "
    "xsbno,egmcargo.sbdt as xsbdt from egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
    "egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid";
const QString containerSql =
    "select egmcontain.* from egmcontain,egmcargo where "
    "egmcontain.ref=egmcargo.id and egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid";

/// The file as EgmFile::content writes it for the rows Database::select reads.
Reference reference(Database& db, double egmno, const QDate& date)
{
    Reference r;
    r.bytes = EgmFile::content(date, db.select(cargoSql, {egmno}),
                               db.select(fileContainerSql, {egmno}), &r.error);
    return r;
}

/// A company database of one EGM (number 9) with one shipping bill and
/// 20,000 containers, of which the page holding container MSKU0010000 is
/// overwritten: a read gets half way before it fails.
QString damagedDatabase(const QString& dir)
{
    const QString path = QDir(dir).filePath("damaged.mdb");
    {
        auto db = Database::create(path);
        Schema::createCompanyDatabase(*db);
        db->exec("PRAGMA journal_mode=DELETE"); // everything in the one file
        db->insertRows("egmcargo", {"id", "egmno", "sbno", "sbdt"}, {{1, 9, 1, QDate(2024, 1, 1)}});
        QList<RowValues> rows;
        for (int i = 0; i < 20000; ++i)
            rows << RowValues{1, QStringLiteral("MSKU%1").arg(i, 7, 10, QChar('0')), "FCL", 0};
        Database::Transaction tx(*db);
        db->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, rows);
        tx.commit();
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return QString();
    const QByteArray bytes = f.readAll();
    const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    const qsizetype at = bytes.indexOf("MSKU0010000");
    if (pageSize < 512 || at < 0)
        return QString();
    f.seek(at / pageSize * pageSize);
    f.write(QByteArray(pageSize, '\x5a'));
    return path;
}

} // namespace

Q_DECLARE_METATYPE(QList<Bill>)

class TestEgmExport : public QObject
{
    Q_OBJECT

private slots:
    void egmNumberAndFileName_data();
    void egmNumberAndFileName();
    void streamedFileEqualsTheReference_data();
    void streamedFileEqualsTheReference();
    void windows1252FromTheDatabase();
    void notNullColumnHoldingNoDateIsWrittenNullable();
    void egmWithoutShippingBills();
    void queriesTakeOnlyTheirEgm();
    void containerRowsCarryTheKey();
    void rowsAreTypedAsSelectTypesThem();
    void readThatFailsHalfWayWritesNothing();
};

void TestEgmExport::egmNumberAndFileName_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << "2024117" << 2024117.0 << "2024117.egm";
    QTest::newRow("trailing blanks") << "123  " << 123.0 << "123.egm";
    QTest::newRow("leading blanks kept") << "  123" << 123.0 << "  123.egm";
    QTest::newRow("text after the number") << "123abc" << 123.0 << "123abc.egm";
    QTest::newRow("trailing tab is no blank") << "12\t" << 12.0 << "12\t.egm";
    QTest::newRow("not a number") << "ABC" << 0.0 << "ABC.egm";
    QTest::newRow("fraction") << "12.5" << 12.5 << "12.5.egm";
    QTest::newRow("dots only") << ".." << 0.0 << "...egm";
    QTest::newRow("empty") << "" << 0.0 << "";
    QTest::newRow("blanks") << "   " << 0.0 << "";
    QTest::newRow("slash") << "12/3" << 12.0 << "";
    QTest::newRow("backslash") << "12\\3" << 12.0 << "";
}

void TestEgmExport::egmNumberAndFileName()
{
    QFETCH(QString, rotNo);
    QFETCH(double, number);
    QFETCH(QString, fileName);
    QCOMPARE(EgmExport::egmNumber(rotNo), number);
    QCOMPARE(EgmExport::egmFileName(rotNo), fileName);
    TestHome home;
    QString error;
    const QString path = EgmExport::egmFilePath(rotNo, &error);
    if (fileName.isEmpty()) {
        QVERIFY(path.isEmpty());
        QVERIFY(!error.isEmpty());
    } else {
        QCOMPARE(path, QDir(home.path()).filePath(fileName));
        QVERIFY(error.isEmpty());
    }
}

void TestEgmExport::streamedFileEqualsTheReference_data()
{
    QTest::addColumn<QList<Bill>>("bills");
    QTest::addColumn<int>("containersPerBill");

    const QVariant null;
    Bill fractions = plainBill(1);
    fractions.volume = 0.1;
    Bill tiny = plainBill(2);
    tiny.volume = 1e-7;
    tiny.unitvol = "KGS";
    Bill huge = plainBill(3);
    huge.volume = 1.5e20;
    huge.pkgs = 2147483647;
    Bill negative = plainBill(4);
    negative.volume = -3.25;
    negative.pkgs = -1;
    QTest::newRow("numbers") << QList<Bill>{fractions, tiny, huge, negative} << 2;

    Bill nulls = plainBill(1);
    nulls.egmno = 500;
    nulls.sbno = null;
    nulls.sbport = nulls.destport = nulls.gateport = nulls.nature = null;
    nulls.volume = nulls.unitvol = nulls.pkgs = nulls.linecode = null;
    Bill empty = plainBill(2);
    empty.sbport = empty.nature = empty.unitvol = "";
    QTest::newRow("nulls and empty texts") << QList<Bill>{nulls, empty} << 1;

    // What other tools may have stored: numbers as text, text in number
    // columns, dates in other forms.
    Bill texts = plainBill(1);
    texts.volume = "12abc";
    texts.pkgs = "0007";
    texts.sbno = "42.0";
    Bill dates = plainBill(2);
    dates.sbdt = "2024-03-01 10:30:00";
    Bill dayFirst = plainBill(3);
    dayFirst.sbdt = "5/3/2024";
    Bill numberInText = plainBill(4);
    numberInText.destport = 12.5;
    numberInText.unitvol = 7;
    numberInText.volume = 3;
    QTest::newRow("stored forms") << QList<Bill>{texts, dates, dayFirst, numberInText} << 1;

    Bill latin = plainBill(1);
    latin.destport = QString::fromUtf8("Sète");
    latin.sbport = QString::fromUtf8("€‘x’");
    latin.nature = QString::fromUtf8("Ω");
    latin.unitvol = QString::fromUtf8("m³");
    latin.volume = 2.0;
    Bill blanks = plainBill(2);
    blanks.destport = " usn ";
    QTest::newRow("texts as stored, Windows-1252") << QList<Bill>{latin, blanks} << 1;

    // Two bills under one id (an older database): each container comes
    // once per bill of its id, as the join gives it.
    Bill twin = plainBill(7);
    twin.sbno = 1;
    Bill twin2 = plainBill(7);
    twin2.sbno = 2;
    twin2.sbdt = "2024-02-01";
    QTest::newRow("duplicate id") << QList<Bill>{twin, twin2} << 2;

    Bill noDate = plainBill(2);
    noDate.sbdt = null;
    QTest::newRow("bill without a date") << QList<Bill>{plainBill(1), noDate} << 1;
    Bill badDate = plainBill(2);
    badDate.sbdt = "soon";
    QTest::newRow("bill with a date that is none") << QList<Bill>{plainBill(1), badDate} << 0;
    QTest::newRow("no containers") << QList<Bill>{plainBill(1), plainBill(2)} << 0;
}

void TestEgmExport::streamedFileEqualsTheReference()
{
    QFETCH(QList<Bill>, bills);
    QFETCH(int, containersPerBill);
    const QByteArray tag = QTest::currentDataTag();
    if (TestEngine::onServer() && (tag == "stored forms" || tag == "bill with a date that is none"))
        QSKIP("Only SQLite stores text in a number or date column.");

    DemoFixture demo;
    auto db = demo.company();
    // A database made before shipping bill ids were unique may hold an id
    // twice; its file must still come out as the rows say.
    db->exec(QStringLiteral("drop index egmcargo_id"));
    int serial = 0;
    for (const Bill& b : bills) {
        insertRaw(*db, b);
        Bill other = b; // the same bill under another EGM, saved in between
        other.egmno = 501;
        insertRaw(*db, other);
    }
    for (const Bill& b : bills)
        for (int k = 0; k < containersPerBill; ++k)
            insertContainer(*db, b.id, QStringLiteral("MSKU%1").arg(++serial, 7, 10, QChar('0')),
                            k % 2 ? QVariant() : QVariant("FCL"));
    // A container saved later for the first bill comes with that bill.
    if (containersPerBill > 0)
        insertContainer(*db, bills.first().id, QString::fromUtf8("LATE€"), "E");

    const QDate date(2024, 3, 5);
    const Reference expected = reference(*db, 500, date);
    const EgmExport::FlatFile streamed = EgmExport::flatFile(*db, 500, date);

    // The XML pair streamed as AdoXml::write writes the rows the selects read.
    ScriptedPrompts prompts;
    logonState().Conn = db;
    const QString cargoXml = demo.file("egmcargo.xml");
    const QString containXml = demo.file("egmcontain.xml");
    QVERIFY(EgmExport::SaveXmlPair(cargoXml, containXml, "500"));
    logonState() = LogonState();
    COMPARE_BYTES(fileBytes(cargoXml), AdoXml::write(EgmExport::cargoRows(*db, 500), "egmcargo"));
    COMPARE_BYTES(fileBytes(containXml),
                  AdoXml::write(EgmExport::containerRows(*db, 500), "egmcontain"));
    QCOMPARE(streamed.error, expected.error);
    COMPARE_BYTES(streamed.bytes, expected.bytes);
    QCOMPARE(streamed.bills, expected.error.isEmpty() ? bills.size() : streamed.bills);
    if (expected.error.isEmpty()) {
        const qsizetype lines = streamed.bytes.count('\n');
        QCOMPARE(lines, 6 + streamed.bills + streamed.containers);
    }
}

void TestEgmExport::windows1252FromTheDatabase()
{
    DemoFixture demo;
    auto db = demo.company();
    Bill b = plainBill(1);
    b.destport = QString::fromUtf8("€ “x”");
    insertRaw(*db, b);
    insertContainer(*db, 1, QString::fromUtf8("Š–1"), QString::fromUtf8("Ω"));
    const EgmExport::FlatFile f = EgmExport::flatFile(*db, 500, QDate(2024, 3, 5));
    QCOMPARE(f.error, QString());
    const QList<QByteArray> lines = f.bytes.split('\n');
    QCOMPARE(lines.value(2).split('\x1d').value(5), QByteArray("\x80 \x93x\x94"));
    QCOMPARE(lines.value(4).split('\x1d').mid(4, 2), (QList<QByteArray>{"\x8A\x96"
                                                                        "1",
                                                                        "?"}));
}

void TestEgmExport::notNullColumnHoldingNoDateIsWrittenNullable()
{
    if (TestEngine::onServer())
        QSKIP("Only SQLite stores text in a date column.");
    // A database where the shipping bill date may not be null, holding a
    // date that is none: the column's schema, written before the rows, must
    // say it may be missing, so the pair is written again.
    DemoFixture demo;
    auto db = demo.company();
    db->exec("drop table egmcargo");
    db->exec("create table egmcargo (id integer, egmno double, egmdt date, sbno double, sbdt date "
             "not null, sbport varchar(6), destport varchar(6), gateport varchar(6), "
             "naturecargo varchar(2), volume double, unitvol varchar(3), pkgs integer, linecode "
             "varchar(10))");
    db->clearLayoutCache();
    Bill first = plainBill(1);
    insertRaw(*db, first);
    Bill noDate = plainBill(2);
    noDate.sbdt = "soon";
    insertRaw(*db, noDate);
    const RowTable rows = EgmExport::cargoRows(*db, 500);
    QVERIFY(!rows.columns[4].nullable);
    const QByteArray expected = AdoXml::write(rows, "egmcargo");
    QVERIFY(expected.contains("<s:AttributeType name='sbdt' rs:number='5' rs:nullable='true'"));

    ScriptedPrompts prompts;
    logonState().Conn = db;
    QVERIFY(EgmExport::SaveXmlPair(demo.file("egmcargo.xml"), demo.file("egmcontain.xml"), "500"));
    logonState() = LogonState();
    COMPARE_BYTES(fileBytes(demo.file("egmcargo.xml")), expected);
    QCOMPARE(QDir(demo.path()).entryList({"egmc*"}, QDir::Files),
             (QStringList{"egmcargo.xml", "egmcontain.xml"}));
}

void TestEgmExport::egmWithoutShippingBills()
{
    DemoFixture demo;
    auto db = demo.company();
    insertSampleEgms(*db);
    const EgmExport::FlatFile f = EgmExport::flatFile(*db, 4711, QDate(2024, 3, 5));
    QCOMPARE(f.bills, 0);
    QCOMPARE(f.containers, 0);
    QVERIFY(f.bytes.isEmpty());
    QVERIFY(f.error.isEmpty());
}

void TestEgmExport::queriesTakeOnlyTheirEgm()
{
    DemoFixture demo;
    auto db = demo.company();
    insertSampleEgms(*db);
    const RowTable cargo = EgmExport::cargoRows(*db, 2024117);
    QCOMPARE(cargo.rows.size(), 3);
    QCOMPARE(EgmExport::containerRows(*db, 2024117).rows.size(), 4);
    const RowTable withBill = EgmExport::fileContainerRows(*db, 2024117);
    QCOMPARE(withBill.rows.size(), 4);
    for (const char* name : {"xegmno", "xegmdt", "xsbno", "xsbdt"})
        QVERIFY2(withBill.columnIndex(QLatin1String(name)) >= 0, name);
    QCOMPARE(EgmExport::cargoRows(*db, 2024118).rows.size(), 1);
    QCOMPARE(EgmExport::containerRows(*db, 2024118).rows.size(), 2);
    QCOMPARE(EgmExport::cargoRows(*db, 0).rows.size(), 0);
}

void TestEgmExport::containerRowsCarryTheKey()
{
    DemoFixture demo;
    auto db = demo.company();
    insertSampleEgms(*db);
    const RowTable rows = EgmExport::containerRows(*db, 2024117);
    QCOMPARE(rows.columns.size(), 5);
    QCOMPARE(rows.columns[0].name, QString("autoid"));
    QVERIFY(rows.columns[0].autoNumber);
    for (const ColumnInfo& c : rows.columns)
        QCOMPARE(c.baseTable, QString("egmcontain"));
    QVERIFY(AdoXml::write(rows, "egmcontain").contains("rs:keycolumn='true'"));
}

void TestEgmExport::rowsAreTypedAsSelectTypesThem()
{
    DemoFixture demo;
    auto db = demo.company();
    insertSampleEgms(*db);
    const QList<QPair<RowTable, RowTable>> pairs = {
        {EgmExport::cargoRows(*db, 2024117), db->select(cargoSql, {2024117.0})},
        {EgmExport::fileContainerRows(*db, 2024117), db->select(fileContainerSql, {2024117.0})},
        {EgmExport::containerRows(*db, 2024117), db->select(containerSql, {2024117.0})},
    };
    for (const auto& [mine, select] : pairs) {
        QCOMPARE(mine.columns.size(), select.columns.size());
        for (qsizetype i = 0; i < mine.columns.size(); ++i) {
            QCOMPARE(mine.columns[i].name, select.columns[i].name);
            QCOMPARE(mine.columns[i].type, select.columns[i].type);
            QCOMPARE(mine.columns[i].autoNumber, select.columns[i].autoNumber);
            QCOMPARE(mine.columns[i].baseTable, select.columns[i].baseTable);
        }
        QCOMPARE(mine.rows, select.rows);
        QVERIFY(!mine.rows.isEmpty());
    }
}

void TestEgmExport::readThatFailsHalfWayWritesNothing()
{
    TestHome home;
    ScriptedPrompts prompts;
    const QString path = damagedDatabase(home.path());
    QVERIFY(!path.isEmpty());
    logonState().Conn = Database::open({"SQLITE", path});
    auto& db = *logonState().Conn;

    // The bill is read; the containers stop at the damaged page.
    QCOMPARE(EgmExport::cargoRows(db, 9).rows.size(), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, EgmExport::flatFile(db, 9, QDate(2024, 1, 2)));
    QVERIFY_THROWS_EXCEPTION(DbError, EgmExport::containerRows(db, 9));

    const QString egm = home.file("9.egm");
    QVERIFY(writeBytes(egm, "yesterday's file"));
    QVERIFY(!EgmExport::WriteEgmFile(egm, "9", "02/01/2024"));
    QCOMPARE(prompts.messages().size(), 1);
    QVERIFY2(prompts.messages().first().startsWith(
                 "The shipping bills of ROT No. 9 could not be read from the database:"),
             qPrintable(prompts.messages().first()));
    QCOMPARE(fileBytes(egm), QByteArray("yesterday's file"));

    prompts.clear();
    QVERIFY(!EgmExport::SaveXmlPair(home.file("egmcargo.xml"), home.file("egmcontain.xml"), "9"));
    QCOMPARE(prompts.messages().size(), 1);
    QVERIFY(!QFile::exists(home.file("egmcargo.xml")));
    QVERIFY(!QFile::exists(home.file("egmcontain.xml")));
    logonState() = LogonState();
}

QTEST_GUILESS_MAIN(TestEgmExport)
#include "tst_egmexport.moc"
