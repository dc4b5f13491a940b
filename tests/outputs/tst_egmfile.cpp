#include "EgmFile.h"
#include "Schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(RowTable)

namespace {

/// The columns of the container query: egmcontain.* and the bill's aliases.
ColumnList containerColumns()
{
    return {ColumnInfo::of("autoid", ColumnType::Long),
            ColumnInfo::of("ref", ColumnType::Long),
            ColumnInfo::of("containno", ColumnType::Text, 11),
            ColumnInfo::of("constatus", ColumnType::Text, 3),
            ColumnInfo::of("subrefno", ColumnType::Long),
            ColumnInfo::of("xegmno", ColumnType::Double),
            ColumnInfo::of("xegmdt", ColumnType::Date),
            ColumnInfo::of("xsbno", ColumnType::Double),
            ColumnInfo::of("xsbdt", ColumnType::Date)};
}

QVariant text(const char* s)
{
    return QString::fromLatin1(s);
}

RowValues bill(int id, double sbno, const QVariant& sbdt, const QVariant& destport,
               const QVariant& nature, const QVariant& volume, const QVariant& unit,
               const QVariant& pkgs)
{
    // The stored EGM date is the 4th on purpose: the file must show the
    // screen's date (the 5th) instead.
    return {id,          1234.0,         QDate(2006, 3, 4),
            sbno,        sbdt,           text("INIXY1"),
            destport,    text("INIXY1"), nature,
            volume,      unit,           pkgs,
            text("MAEU")};
}

RowValues container(int autoid, int ref, const char* number, const char* status, double sbno,
                    const QVariant& sbdt)
{
    return {autoid, ref, text(number), text(status), 0, 1234.0, QDate(2006, 3, 4), sbno, sbdt};
}

RowTable containerisedCargo()
{
    RowTable t;
    t.columns = Schema::egmcargo();
    t.rows = {
        bill(1, 5001, QDate(2006, 3, 1), text("USNYC1"), text("C"), 0.0, text(""), 120),
        bill(2, 5002, QDate(2006, 2, 28), text("AEJEA1"), text("CP"), QVariant(), QVariant(), 35)};
    return t;
}

RowTable containerisedContainers()
{
    RowTable t;
    t.columns = containerColumns();
    t.rows = {container(11, 1, "MSKU1234567", "F", 5001, QDate(2006, 3, 1)),
              container(12, 1, "TCLU7654321", "F", 5001, QDate(2006, 3, 1)),
              container(13, 2, "GESU0000012", "E", 5002, QDate(2006, 2, 28))};
    return t;
}

RowTable bulkCargo()
{
    RowTable t;
    t.columns = Schema::egmcargo();
    t.rows = {
        bill(3, 6001, QDate(2006, 3, 2), text("SGSIN1"), text("P"), 12.5, text("CBM"), 0),
        bill(4, 6002, QDate(2006, 3, 2), text("SGSIN1"), text("P"), 0.0, text("MT"), 40),
        // sbdt with a time of day, as a date/time column may hold it.
        bill(5, 6003, QDateTime(QDate(2006, 3, 3), QTime(10, 30), Qt::UTC), QVariant(), text("P"),
             3.0, text("KGS"), QVariant()),
    };
    return t;
}

RowTable noContainers()
{
    RowTable t;
    t.columns = containerColumns();
    return t;
}

QByteArray expectedFile(const QString& name)
{
    QFile f(QFINDTESTDATA(QStringLiteral("expected/") + name));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("missing expected file ") + name.toUtf8();
    return f.readAll();
}

QByteArray masterLine(const QByteArray& file)
{
    return file.split('\n').value(2);
}

} // namespace

class TestEgmFile : public QObject
{
    Q_OBJECT

private slots:
    void matchesHandWrittenFile_data();
    void matchesHandWrittenFile();
    void zeroRules_data();
    void zeroRules();
    void textIsWrittenInWindows1252_data();
    void textIsWrittenInWindows1252();
    void billWithoutDateWritesNothing_data();
    void billWithoutDateWritesNothing();
    void missingColumnWritesNothing();
    void controlCharacterWritesNothing_data();
    void controlCharacterWritesNothing();
    void saveReplacesTheFile();
    void saveReportsPathAndCause();
};

void TestEgmFile::matchesHandWrittenFile_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<QString>("expected");

    QTest::newRow("two bills, three containers")
        << containerisedCargo() << containerisedContainers() << "containerised.egm";
    QTest::newRow("bulk only: empty container section")
        << bulkCargo() << noContainers() << "bulk.egm";

    // Column names are matched without regard to case.
    RowTable cargo = containerisedCargo();
    RowTable containers = containerisedContainers();
    for (ColumnInfo& c : cargo.columns)
        c.name = c.name.toUpper();
    for (ColumnInfo& c : containers.columns)
        c.name = c.name.at(0).toUpper() + c.name.mid(1);
    QTest::newRow("names in other cases") << cargo << containers << "containerised.egm";
}

void TestEgmFile::matchesHandWrittenFile()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(QString, expected);

    QString error = QStringLiteral("untouched");
    const QByteArray bytes = EgmFile::content(QDate(2006, 3, 5), cargo, containers, &error);
    QCOMPARE(error, QString());
    QCOMPARE(bytes, expectedFile(expected));
}

void TestEgmFile::zeroRules_data()
{
    QTest::addColumn<QVariant>("volume");
    QTest::addColumn<QVariant>("unit");
    QTest::addColumn<QVariant>("pkgs");
    QTest::addColumn<QByteArray>("line");

    // Only the last three fields change: volume, unit of volume, packages.
    const QByteArray head = "1234\x1d"
                            "05032006\x1d"
                            "7001\x1d"
                            "01032006\x1dINIXY1\x1dUSNYC1\x1dINIXY1\x1dP\x1d";
    QTest::newRow("volume and unit written") << QVariant(12.5) << text("CBM") << QVariant(3)
                                             << head + "12.5\x1d"
                                                       "CBM\x1d"
                                                       "3\x1d";
    QTest::newRow("zero volume hides its unit") << QVariant(0.0) << text("CBM") << QVariant(3)
                                                << head + "\x1d\x1d"
                                                          "3\x1d";
    QTest::newRow("null volume hides its unit") << QVariant() << text("MT") << QVariant(3)
                                                << head + "\x1d\x1d"
                                                          "3\x1d";
    QTest::newRow("unit without volume decides nothing")
        << QVariant(2.0) << QVariant() << QVariant(3)
        << head + "2\x1d\x1d"
                  "3\x1d";
    QTest::newRow("zero packages")
        << QVariant(1.25) << text("KGS") << QVariant(0) << head + "1.25\x1dKGS\x1d\x1d";
    QTest::newRow("null packages")
        << QVariant(100.0) << text("KGS") << QVariant() << head + "100\x1dKGS\x1d\x1d";
    QTest::newRow("small fraction is not zero") << QVariant(0.001) << text("MT") << QVariant(1)
                                                << head + "0.001\x1dMT\x1d"
                                                          "1\x1d";
    // Numbers as the classic conversion writes them.
    QTest::newRow("volume of 1E+15") << QVariant(1e15) << text("CBM") << QVariant(2)
                                     << head + "1E+15\x1d"
                                               "CBM\x1d"
                                               "2\x1d";
    QTest::newRow("volume below 1E-04 is not zero")
        << QVariant(0.00005) << text("MT") << QVariant(2)
        << head + "5E-05\x1dMT\x1d"
                  "2\x1d";
    QTest::newRow("volume of sixteen digits")
        << QVariant(1234567890123456.0) << text("MT") << QVariant(2)
        << head + "1.23456789012346E+15\x1dMT\x1d"
                  "2\x1d";
    QTest::newRow("negative counts as a number")
        << QVariant(-2.5) << text("MT") << QVariant(-1) << head + "-2.5\x1dMT\x1d-1\x1d";
}

void TestEgmFile::zeroRules()
{
    QFETCH(QVariant, volume);
    QFETCH(QVariant, unit);
    QFETCH(QVariant, pkgs);
    QFETCH(QByteArray, line);

    RowTable cargo;
    cargo.columns = Schema::egmcargo();
    cargo.rows = {bill(1, 7001, QDate(2006, 3, 1), text("USNYC1"), text("P"), volume, unit, pkgs)};
    QString error;
    const QByteArray bytes = EgmFile::content(QDate(2006, 3, 5), cargo, noContainers(), &error);
    QCOMPARE(error, QString());
    QCOMPARE(masterLine(bytes), line);
    QCOMPARE(line.count('\x1d'), 11);
}

void TestEgmFile::textIsWrittenInWindows1252_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QByteArray>("bytes");

    // Blanks kept, case kept, one byte per character.
    QTest::newRow("Latin-1 letter, blanks") << QStringLiteral(" Bé  ") << QByteArray(" B\xE9  ");
    // The characters Windows-1252 has where Latin-1 has control codes: the
    // byte the original wrote.
    QTest::newRow("euro sign") << QStringLiteral("€5")
                               << QByteArray("\x80"
                                             "5");
    QTest::newRow("curly quotes") << QStringLiteral("‘a’ “b”")
                                  << QByteArray("\x91"
                                                "a\x92 \x93"
                                                "b\x94");
    QTest::newRow("dashes, ellipsis") << QStringLiteral("–—…") << QByteArray("\x96\x97\x85");
    QTest::newRow("letters of 0x80-0x9F")
        << QStringLiteral("ŠšŽžŒœŸƒ") << QByteArray("\x8A\x9A\x8E\x9E\x8C\x9C\x9F\x83");
    QTest::newRow("trade mark, bullet, dagger")
        << QStringLiteral("™•†‰") << QByteArray("\x99\x95\x86\x89");
    QTest::newRow("the five unassigned bytes")
        << QStringLiteral("\u0081\u008D\u008F\u0090\u009D") << QByteArray("\x81\x8D\x8F\x90\x9D");
    // What the code page lacks stays "?": one per UTF-16 unit.
    QTest::newRow("outside the code page") << QStringLiteral("Ωक") << QByteArray("??");
    QTest::newRow("C1 control of no byte") << QStringLiteral("\u0080\u009F") << QByteArray("??");
    QTest::newRow("beyond the BMP") << QStringLiteral("😀") << QByteArray("??");
}

void TestEgmFile::textIsWrittenInWindows1252()
{
    QFETCH(QString, stored);
    QFETCH(QByteArray, bytes);

    RowTable cargo;
    cargo.columns = Schema::egmcargo();
    cargo.rows = {
        bill(1, 7001, QDate(2006, 3, 1), stored, QStringLiteral("c"), 1.0, text("m3 "), 1)};
    QString error;
    const QByteArray file = EgmFile::content(QDate(2006, 3, 5), cargo, noContainers(), &error);
    QCOMPARE(error, QString());
    QCOMPARE(masterLine(file), QByteArray("1234\x1d"
                                          "05032006\x1d"
                                          "7001\x1d"
                                          "01032006\x1dINIXY1\x1d") +
                                   bytes +
                                   QByteArray("\x1dINIXY1\x1d"
                                              "c\x1d"
                                              "1\x1dm3 \x1d"
                                              "1\x1d"));
}

void TestEgmFile::billWithoutDateWritesNothing_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<QString>("message");

    RowTable cargo = containerisedCargo();
    cargo.rows[1][4] = QVariant();
    QTest::newRow("shipping bill") << cargo << containerisedContainers()
                                   << "Shipping Bill No. 5002 has no Shipping Bill Date; no file "
                                      "was written.";

    RowTable containers = containerisedContainers();
    containers.rows[2][8] = QVariant();
    QTest::newRow("container's shipping bill")
        << containerisedCargo() << containers
        << "Shipping Bill No. 5002 has no Shipping Bill Date; no file was written.";
}

void TestEgmFile::billWithoutDateWritesNothing()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(QString, message);

    QString error;
    QCOMPARE(EgmFile::content(QDate(2006, 3, 5), cargo, containers, &error), QByteArray());
    QCOMPARE(error, message);
}

void TestEgmFile::missingColumnWritesNothing()
{
    RowTable cargo = containerisedCargo();
    cargo.columns.removeAt(11); // pkgs
    for (RowValues& row : cargo.rows)
        row.removeAt(11);
    QString error;
    QCOMPARE(EgmFile::content(QDate(2006, 3, 5), cargo, containerisedContainers(), &error),
             QByteArray());
    QCOMPARE(error, QStringLiteral("The cargo rows have no column \"pkgs\"; no file was written."));
}

void TestEgmFile::controlCharacterWritesNothing_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<QString>("message");

    const auto holds = [](const char* field, const char* character) {
        return QStringLiteral("Shipping Bill No. 5002: the field \"%1\" holds %2, which would "
                              "break the line of the flat file; no file was written.")
            .arg(QLatin1String(field), QLatin1String(character));
    };
    RowTable cargo = containerisedCargo();
    cargo.rows[1][6] = text("AE\nJEA1");
    QTest::newRow("line feed in a port")
        << cargo << containerisedContainers() << holds("destport", "a line feed (0x0A)");
    cargo = containerisedCargo();
    cargo.rows[1][8] = text("C\r");
    QTest::newRow("carriage return in the nature")
        << cargo << containerisedContainers() << holds("naturecargo", "a carriage return (0x0D)");
    cargo = containerisedCargo();
    cargo.rows[1][9] = 2.0;
    cargo.rows[1][10] = text("M\x1dT");
    QTest::newRow("group separator in the unit")
        << cargo << containerisedContainers() << holds("unitvol", "the group separator (0x1D)");
    RowTable containers = containerisedContainers();
    containers.rows[2][2] = text("GESU\x01");
    QTest::newRow("control character in a container")
        << containerisedCargo() << containers << holds("containno", "the control character 0x01");
    containers = containerisedContainers();
    containers.rows[2][3] = text("E\x7f");
    QTest::newRow("DEL in a status")
        << containerisedCargo() << containers << holds("constatus", "the control character 0x7F");
}

void TestEgmFile::controlCharacterWritesNothing()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(QString, message);

    QString error;
    QCOMPARE(EgmFile::content(QDate(2006, 3, 5), cargo, containers, &error), QByteArray());
    QCOMPARE(error, message);
}

void TestEgmFile::saveReplacesTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("1234.egm"));
    QString error;
    QVERIFY(EgmFile::save(path, QByteArray("first version, longer than the second\n"), &error));
    QVERIFY2(EgmFile::save(path, QByteArray("<manifest>\n"), &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("<manifest>\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("1234.egm")});
}

void TestEgmFile::saveReportsPathAndCause()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("no such folder/1234.egm"));
    QString error;
    QVERIFY(!EgmFile::save(path, QByteArray("x"), &error));
    const QString prefix =
        QStringLiteral("Cannot create \"%1\": ").arg(QDir::toNativeSeparators(path));
    QVERIFY2(error.startsWith(prefix) && error.size() > prefix.size(), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestEgmFile)
#include "tst_egmfile.moc"
