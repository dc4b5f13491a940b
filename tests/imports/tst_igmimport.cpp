#include "Database.h"
#include "DemoFixture.h"
#include "IgmImport.h"
#include "IgmTesting.h"
#include "ImportsTesting.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace IgmTesting;

namespace {

/// The import run on bytes written to a file, the vessel lines shown kept.
struct Run
{
    IgmImport::Outcome outcome;
    QStringList shown;
};

struct Scene
{
    DemoFixture demo;
    std::shared_ptr<Database> db = demo.company();
    QTemporaryDir dir;
    QString path = dir.filePath("manifest.egm");

    Run import(const QByteArray& bytes, const QString& as = QString())
    {
        ImportsTesting::writeOrFail(path, bytes);
        return importPath(as.isEmpty() ? path : as);
    }
    Run importPath(const QString& p)
    {
        Run r;
        r.outcome = IgmImport::importFile(*db, {p, [&r](const QString& s) { r.shown << s; }});
        return r;
    }
    int count(const char* table) { return ImportsTesting::count(*db, table); }
    QList<RowValues> rows(const char* sql) { return db->select(QLatin1String(sql)).rows; }
    /// One row in each table, to see that a failed import keeps them.
    void addRows()
    {
        db->exec("insert into vesinfo (vf05) values ('OLD VESSEL')");
        db->exec("insert into cargo (id, cf01) values (5, 'OLD')");
        db->exec("insert into contain (kf01) values ('OLDU0000001')");
    }
    QList<RowValues> everything()
    {
        return rows("select * from vesinfo") + rows("select * from cargo") +
               rows("select * from contain");
    }
};

/// Field i holds prefix + i, for a check of every position.
QByteArray numbered(const char* prefix, int count, const QMap<int, QByteArray>& instead = {})
{
    QMap<int, QByteArray> values;
    for (int i = 0; i < count; ++i)
        values[i] = prefix + QByteArray::number(i);
    for (auto it = instead.begin(); it != instead.end(); ++it)
        values[it.key()] = it.value();
    return fields(values, count);
}

QByteArray cargoLine(const QByteArray& field5, const QMap<int, QByteArray>& more = {})
{
    QMap<int, QByteArray> values = more;
    values[5] = field5;
    return fields(values);
}

const QByteArray kVessel = fields({{3, "MSC ANNA"}, {4, "V123"}}, 29);

} // namespace

class tst_IgmImport : public QObject
{
    Q_OBJECT

private slots:
    void emptySectionsAddTheVesselOnly();
    void columnsByPosition();
    void cargoIdsFromFieldFive_data();
    void cargoIdsFromFieldFive();
    void weightIsStoredAsANumber_data();
    void weightIsStoredAsANumber();
    void monthFirstDate_data();
    void monthFirstDate();
    void vesselLineWithACommaKeepsThePartBefore();
    void vesselLineIsShownBeforeAnythingIsWritten();
    void failureLeavesTheTablesAsTheyWere_data();
    void failureLeavesTheTablesAsTheyWere();
    void cargoIdIsAKey();
    void fileThatCannotBeOpenedIsNamed_data();
    void fileThatCannotBeOpenedIsNamed();
    void pathWithTrailingBlanks();
};

void tst_IgmImport::emptySectionsAddTheVesselOnly()
{
    Scene s;
    const Run r = s.import(file(kVessel));
    QVERIFY2(r.outcome.imported, qPrintable(r.outcome.message));
    QCOMPARE(r.outcome.message, QString("Imported 1 vessel, 0 cargo lines and 0 containers."));
    QCOMPARE(s.count("vesinfo"), 1);
    QCOMPARE(s.count("cargo"), 0);
    QCOMPARE(s.count("contain"), 0);
    QCOMPARE(s.rows("select vf05, vf06 from vesinfo"), (QList<RowValues>{{"MSC ANNA", "V123"}}));
}

void tst_IgmImport::columnsByPosition()
{
    Scene s;
    const Run r = s.import(file(numbered("v", 40),
                                {numbered("c", 40, {{5, "1"}, {8, "25122006"}, {29, "12.5 kg"}})},
                                {numbered("k", 40), numbered("k", 5)}));
    QVERIFY2(r.outcome.imported, qPrintable(r.outcome.message));
    QCOMPARE(r.outcome.message, QString("Imported 1 vessel, 1 cargo line and 2 containers."));
    QCOMPARE(r.outcome.cargoLines, 1);
    QCOMPARE(r.outcome.containers, 2);

    // vesinfo: column = field + 2 for fields 3 to 18 and 21 to 28; the rest default.
    RowValues vessel(31);
    vessel[0] = 1; // the table's own number
    for (int f = 3; f <= 18; ++f)
        vessel[f + 2] = QString("v%1").arg(f);
    for (int f = 21; f <= 28; ++f)
        vessel[f + 2] = QString("v%1").arg(f);
    QCOMPARE(s.rows("select * from vesinfo"), QList<RowValues>{vessel});

    RowValues cargo(33);
    cargo[0] = 2; // base id 1 + field 5
    cargo[1] = "c1";
    cargo[2] = "c2";
    cargo[3] = "1";
    cargo[4] = "c6";
    cargo[5] = "c7";
    cargo[6] = "12/25/2006";
    cargo[9] = "c9";
    cargo[10] = "c10";
    for (int f = 13; f <= 34; ++f)
        cargo[f - 2] = QString("c%1").arg(f);
    cargo[27] = 12.5;
    QCOMPARE(s.rows("select * from cargo"), QList<RowValues>{cargo});

    // contain: column = field - 4 for fields 5 to 34; missing fields are empty.
    RowValues full(31);
    RowValues shortLine(31);
    full[0] = 1;
    shortLine[0] = 2;
    for (int f = 5; f <= 34; ++f) {
        full[f - 4] = QString("k%1").arg(f);
        shortLine[f - 4] = QString("");
    }
    QCOMPARE(s.rows("select * from contain order by autoid"), (QList<RowValues>{full, shortLine}));
}

void tst_IgmImport::cargoIdsFromFieldFive_data()
{
    QTest::addColumn<int>("existingId"); // 0: an empty table
    QTest::addColumn<QList<QByteArray>>("field5");
    QTest::addColumn<QList<RowValues>>("ids"); // every id in the table afterwards
    QTest::newRow("empty table: 1 and 2 give 2 and 3")
        << 0 << QList<QByteArray>{"1", "2"} << QList<RowValues>{{2}, {3}};
    QTest::newRow("max id 100: 1, 2, 3 give 102, 103, 104")
        << 100 << QList<QByteArray>{"1", "2", "3"} << QList<RowValues>{{100}, {102}, {103}, {104}};
    QTest::newRow("numeric value: blanks, text after the number, a fraction")
        << 0 << QList<QByteArray>{" 1 0 ", "3 pkgs", "4.2"} << QList<RowValues>{{4}, {5}, {11}};
    QTest::newRow("no number gives the base id")
        << 10 << QList<QByteArray>{"", "2"} << QList<RowValues>{{10}, {11}, {13}};
    QTest::newRow("text without a leading number gives the base id")
        << 10 << QList<QByteArray>{"A7"} << QList<RowValues>{{10}, {11}};
    QTest::newRow("below the base where no row is")
        << 10 << QList<QByteArray>{"-3", "-2"} << QList<RowValues>{{8}, {9}, {10}};
}

void tst_IgmImport::cargoIdsFromFieldFive()
{
    QFETCH(int, existingId);
    QFETCH(QList<QByteArray>, field5);
    QFETCH(QList<RowValues>, ids);
    Scene s;
    if (existingId > 0)
        s.db->exec("insert into cargo (id) values (?)", {existingId});
    QList<QByteArray> lines;
    for (const QByteArray& f : field5)
        lines << cargoLine(f);
    const Run r = s.import(file(kVessel, lines));
    QVERIFY2(r.outcome.imported, qPrintable(r.outcome.message));
    QCOMPARE(s.rows("select id from cargo order by id"), ids);
}

void tst_IgmImport::weightIsStoredAsANumber_data()
{
    QTest::addColumn<QByteArray>("field29");
    QTest::addColumn<double>("stored");
    QTest::newRow("12.5 kg") << QByteArray("12.5 kg") << 12.5;
    QTest::newRow("blanks inside") << QByteArray(" 1 250.75") << 1250.75;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("no number") << QByteArray("kg 12") << 0.0;
}

void tst_IgmImport::weightIsStoredAsANumber()
{
    QFETCH(QByteArray, field29);
    QFETCH(double, stored);
    Scene s;
    const Run r = s.import(file(kVessel, {cargoLine("1", {{29, field29}})}));
    QVERIFY2(r.outcome.imported, qPrintable(r.outcome.message));
    const QVariant v = s.db->scalar("select cf27 from cargo");
    QCOMPARE(v.typeId(), QMetaType::Double);
    QCOMPARE(v.toDouble(), stored);
}

void tst_IgmImport::monthFirstDate_data()
{
    QTest::addColumn<QString>("ddmmyyyy");
    QTest::addColumn<QString>("text");
    QTest::newRow("25 December 2006") << "25122006"
                                      << "12/25/2006";
    QTest::newRow("5 March 2007") << "05032007"
                                  << "03/05/2007";
    QTest::newRow("empty stays empty") << ""
                                       << "";
    QTest::newRow("character by character, whatever they are") << "1/2/2006"
                                                               << "2//1//2006";
}

void tst_IgmImport::monthFirstDate()
{
    QFETCH(QString, ddmmyyyy);
    QFETCH(QString, text);
    QCOMPARE(IgmImport::monthFirstDate(ddmmyyyy), text);
}

void tst_IgmImport::vesselLineWithACommaKeepsThePartBefore()
{
    Scene s;
    const Run r = s.import(file(fields({{3, "MSC ANNA"}, {4, "GENOA, ITALY"}, {5, "V123"}}, 29)));
    QVERIFY2(r.outcome.imported, qPrintable(r.outcome.message));
    QCOMPARE(r.shown, QStringList{"\x1d\x1d\x1dMSC ANNA\x1dGENOA"});
    QCOMPARE(s.rows("select vf05, vf06, vf07, vf30 from vesinfo"),
             (QList<RowValues>{{"MSC ANNA", "GENOA", "", ""}}));
}

void tst_IgmImport::vesselLineIsShownBeforeAnythingIsWritten()
{
    Scene s;
    ImportsTesting::writeOrFail(s.path, file(kVessel, {cargoLine("1")}));
    int vesselsWhenShown = -1;
    const IgmImport::Outcome o = IgmImport::importFile(
        *s.db, {s.path, [&](const QString&) { vesselsWhenShown = s.count("vesinfo"); }});
    QVERIFY2(o.imported, qPrintable(o.message));
    QCOMPARE(vesselsWhenShown, 0);
    QCOMPARE(s.count("vesinfo"), 1);

    // No vessel line, nothing shown.
    const Run r = s.import("<vesinfo>\r\n");
    QVERIFY(!r.outcome.imported);
    QVERIFY(r.shown.isEmpty());
}

void tst_IgmImport::failureLeavesTheTablesAsTheyWere_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("line");

    // More rows than one block, so that some were already written when the
    // import stops.
    QList<QByteArray> cargo;
    for (int i = 1; i <= 300; ++i)
        cargo << cargoLine(QByteArray::number(i), {{8, "25122006"}});
    QList<QByteArray> containers;
    for (int i = 1; i <= 600; ++i)
        containers << fields({{5, "MSCU" + QByteArray::number(1000000 + i)}});
    const QByteArray good = file(kVessel, cargo, containers);
    // <vesinfo>, the vessel line, <cargo>, 300 cargo lines, <END-cargo>, <contain>
    const int firstContainerLine = 3 + 300 + 2 + 1;

    QTest::newRow("no <END-contain>") << good.chopped(QByteArray("<END-contain>\r\n").size())
                                      << "The file ends before the line \"<END-contain>\"." << 0;
    QTest::newRow("no <END-cargo>") << good.left(good.indexOf("<END-cargo>"))
                                    << "The file ends before the line \"<END-cargo>\"." << 0;
    QTest::newRow("a container line with 102 fields")
        << QByteArray(good).replace(containers.last(), QByteArray(102, '\x1d'))
        << QString("Line %1 has 102 fields; a line holds at most 101.")
               .arg(firstContainerLine + 599)
        << firstContainerLine + 599;
    QTest::newRow("a field too long for its column")
        << QByteArray(good).replace(containers[550],
                                    fields({{5, "MSCU"}, {34, QByteArray(256, 'x')}}))
        << QString("Line %1, field 34: The value for the field 'kf30' is too long: it takes at "
                   "most 255 characters.")
               .arg(firstContainerLine + 550)
        << firstContainerLine + 550;
    QTest::newRow("two cargo lines with the same field 5")
        << QByteArray(good).replace(cargo[280], cargoLine("7.0"))
        << "Line 284: field 5 (\"7.0\") gives the cargo id 13, which line 10 has already; each "
           "cargo line needs a number of its own in field 5."
        << 284;
    QTest::newRow("field 5 giving the id of a row already there")
        << file(kVessel, {cargoLine("1"), cargoLine("-1")})
        << "Line 5: field 5 (\"-1\") gives the cargo id 5, which a cargo row in the table has "
           "already; each cargo line needs a number of its own in field 5."
        << 5;
    QTest::newRow("a control character in a cargo field")
        << QByteArray(good).replace(cargo[100], cargoLine("101", {{13, "A\x01"}}))
        << "Line 104, field 13 holds the control character 0x01; no value of the file may hold "
           "a control character but TAB."
        << 104;
    QTest::newRow("a carriage return inside a container field")
        << QByteArray(good).replace(containers[550], fields({{5, "MSCU"}, {6, "F\rX"}}))
        << QString("Line %1, field 6 holds a carriage return (0x0D); no value of the file may "
                   "hold a control character but TAB.")
               .arg(firstContainerLine + 550)
        << firstContainerLine + 550;
    QTest::newRow("an id too large")
        << file(kVessel, {cargoLine("1"), cargoLine("99999999999")})
        << "Line 5, field 5: '100000000005' is too large for the field 'id'." << 5;
}

void tst_IgmImport::failureLeavesTheTablesAsTheyWere()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QFETCH(int, line);
    Scene s;
    s.addRows();
    const QList<RowValues> before = s.everything();
    const Run r = s.import(bytes);
    QVERIFY(!r.outcome.imported);
    QCOMPARE(r.outcome.message,
             QString("The IGM file \"%1\" cannot be imported.\n%2\nNothing was imported.")
                 .arg(QDir::toNativeSeparators(s.path), reason));
    QCOMPARE(r.outcome.errorLine, line);
    QCOMPARE(s.everything(), before);
    QCOMPARE(r.shown.size(), 1); // the vessel line came first
    // The same database takes a sound file afterwards.
    QVERIFY(s.import(file(kVessel, {cargoLine("1")})).outcome.imported);
}

void tst_IgmImport::cargoIdIsAKey()
{
    Scene s;
    s.db->exec("insert into cargo (id) values (7)");
    QVERIFY_THROWS_EXCEPTION(DbError, s.db->exec("insert into cargo (id) values (7)"));
    QCOMPARE(s.count("cargo"), 1);
}

void tst_IgmImport::fileThatCannotBeOpenedIsNamed_data()
{
    QTest::addColumn<QString>("path"); // DIR stands for a temporary folder
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "DIR/none.egm"
                             << "The IGM file \"DIR/none.egm\" cannot be opened: No such file or "
                                "directory.\nNothing was imported.";
    QTest::newRow("a folder") << "DIR"
                              << "The IGM file \"DIR\" cannot be opened: it is a folder.\nNothing "
                                 "was imported.";
    QTest::newRow("no name") << "   "
                             << "No IGM file was given; nothing was imported.";
}

void tst_IgmImport::fileThatCannotBeOpenedIsNamed()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    Scene s;
    const QString dir = QDir::toNativeSeparators(s.dir.path());
    const Run r = s.importPath(path.replace("DIR", dir));
    QVERIFY(!r.outcome.imported);
    QCOMPARE(r.outcome.message, message.replace("DIR", dir));
    QVERIFY(r.shown.isEmpty());
    QCOMPARE(s.count("vesinfo"), 0);
}

void tst_IgmImport::pathWithTrailingBlanks()
{
    Scene s;
    const Run r = s.import(file(kVessel), QString());
    QVERIFY(r.outcome.imported);
    QVERIFY(s.importPath(s.path + "  ").outcome.imported);
    QCOMPARE(s.count("vesinfo"), 2);
}

QTEST_GUILESS_MAIN(tst_IgmImport)
#include "tst_igmimport.moc"
