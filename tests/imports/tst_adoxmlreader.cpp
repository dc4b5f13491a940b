#include "AdoXmlReader.h"
#include "AdoXmlWriter.h"
#include "SampleTables.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(RowTable)

namespace {

QString sampleDir()
{
    return QStringLiteral(TARVEX_SHARED_DIR "/testdata/ado-samples");
}

QString describe(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("null");
    QString text = v.toString();
    text.replace(u'\t', QStringLiteral("\\t")).replace(u'\r', QStringLiteral("\\r"));
    text.replace(u'\n', QStringLiteral("\\n"));
    return QStringLiteral("%1 \"%2\"").arg(QLatin1String(v.typeName()), text.left(120));
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.typeId() == b.typeId() && a == b;
}

/// Names, types, text sizes and every value, with the value's type.
void verifySameTable(const RowTable& actual, const RowTable& expected, bool fullColumns = false)
{
    QCOMPARE(actual.columns.size(), expected.columns.size());
    for (qsizetype k = 0; k < expected.columns.size(); ++k) {
        const ColumnInfo& a = actual.columns[k];
        const ColumnInfo& e = expected.columns[k];
        QCOMPARE(a.name, e.name);
        QCOMPARE(int(a.type), int(e.type));
        QCOMPARE(a.size, e.size);
        if (fullColumns) {
            QCOMPARE(a.nullable, e.nullable);
            QCOMPARE(a.autoNumber, e.autoNumber);
            QCOMPARE(a.baseTable, e.baseTable);
            QCOMPARE(a.baseColumn, e.baseColumn);
        }
    }
    QCOMPARE(actual.rows.size(), expected.rows.size());
    for (qsizetype r = 0; r < expected.rows.size(); ++r) {
        QCOMPARE(actual.rows[r].size(), expected.columns.size());
        for (qsizetype k = 0; k < expected.columns.size(); ++k) {
            const QVariant& a = actual.rows[r][k];
            const QVariant& e = expected.rows[r].value(k);
            QVERIFY2(sameValue(a, e),
                     qPrintable(QStringLiteral("row %1, column %2: got %3, "
                                               "expected %4")
                                    .arg(r + 1)
                                    .arg(expected.columns[k].name, describe(a), describe(e))));
        }
    }
}

/// A table whose columns carry their base table, so that it reads back whole.
RowTable withBase(RowTable t, const QString& table)
{
    for (ColumnInfo& c : t.columns) {
        c.baseTable = table;
        c.baseColumn = c.name;
    }
    return t;
}

/// A minimal rowset with columns id (int), when (dateTime) and ok (boolean);
/// the rows start on line 6.
QByteArray smallRowset(const QByteArray& rows)
{
    return "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
           "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
           "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n"
           "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>\n"
           "<s:AttributeType name='id' dt:type='int'/><s:AttributeType name='when' "
           "dt:type='dateTime'/><s:AttributeType name='ok' dt:type='boolean'/>\n"
           "</s:ElementType></s:Schema>\n"
           "<rs:data>\n" +
           rows + "</rs:data>\n</xml>\n";
}

/// A rowset of the text columns t and u holding one row with attrs, on
/// line 4 from column 8; prolog stands before the root.
QByteArray oneRow(const QByteArray& attrs, const QByteArray& prolog = QByteArray())
{
    return prolog +
           "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
           "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n"
           "<s:Schema id='RowsetSchema'><s:ElementType name='row'><s:AttributeType name='t'/>"
           "<s:AttributeType name='u'/></s:ElementType></s:Schema>\n"
           "<rs:data>\n"
           "<z:row " +
           attrs + "/>\n</rs:data>\n</xml>\n";
}

} // namespace

class TestAdoXmlReader : public QObject
{
    Q_OBJECT

private slots:
    void samplesWrittenByAdoLoad_data();
    void samplesWrittenByAdoLoad();
    void hierarchicalSampleIsRefused();
    void sampleColumnProperties();
    void roundTrip_data();
    void roundTrip();
    void handComposedFileReads();
    void otherSchemaAndValueForms_data();
    void otherSchemaAndValueForms();
    void encodings_data();
    void encodings();
    void malformedInputs_data();
    void malformedInputs();
    void readAsXmlSays_data();
    void readAsXmlSays();
    void readFileNamesTheFile();
    void truncatedSamplesFailCleanly();
    void garbageNeverCrashes();
    void rowsComeOneAtATime();
    void damageAfterTheRowsFailsAtTheEnd();
    void dataBeforeTheSchemaIsRefused();
};

void TestAdoXmlReader::samplesWrittenByAdoLoad_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<RowTable>("expected");

    RowTable chars;
    chars.columns = {column("ID", ColumnType::Long), column("VALUE_FIELD", ColumnType::Text, 12)};
    chars.rows = {{1, QStringLiteral("            ")}, {2, QStringLiteral("A           ")},
                  {3, QStringLiteral("fixed       ")}, {4, QStringLiteral("twelve-char ")},
                  {5, QStringLiteral("last        ")}, {6, QVariant()}};
    QTest::newRow("blank-padded char, null omitted") << "flat_Char_boundaries.xml" << chars;

    RowTable memo;
    memo.columns = {column("ID", ColumnType::Long), column("BODY", ColumnType::Text, 4000)};
    QString body;
    for (int i = 1; i <= 80; ++i)
        body += QStringLiteral("line-%1 ").arg(i);
    memo.rows = {{1, body}};
    QTest::newRow("long text inside rs:insert") << "long_text.xml" << memo;

    RowTable names;
    names.columns = {
        column("ID", ColumnType::Long), column("Field Space Text", ColumnType::Text, 80),
        column("1LeadingInteger", ColumnType::Long), column("Name-With-Dash", ColumnType::Text, 80),
        column(QStringLiteral("한글 필드"), ColumnType::Text, 80)};
    // Row 1 was updated, row 3 is unchanged, row 4 inserted, row 2 deleted.
    names.rows = {
        {1, QStringLiteral("alpha-updated"), 11, QStringLiteral("dash-one-updated"),
         QStringLiteral("한글_4_값")},
        {3, QStringLiteral("gamma"), 30, QStringLiteral("dash-three"), QStringLiteral("한글_3_값")},
        {4, QStringLiteral("delta"), 40, QStringLiteral("dash-four"), QStringLiteral("한글_5_값")}};
    QTest::newRow("aliased names, update/insert/delete") << "name_mapping.xml" << names;

    RowTable nulls;
    nulls.columns = {column("ID", ColumnType::Long), column("MAYBE_TEXT", ColumnType::Text, 40),
                     column("MAYBE_INT", ColumnType::Long)};
    nulls.rows = {{1, QVariant(), QVariant()}, {2, QString(""), 0}};
    QTest::newRow("forcenull against empty string") << "nulls.xml" << nulls;

    RowTable temporal;
    temporal.columns = {column("ID", ColumnType::Long), column("D", ColumnType::Date),
                        column("DD", ColumnType::Date), column("T", ColumnType::Date),
                        column("TS", ColumnType::Date), column("FT", ColumnType::Date)};
    temporal.rows = {{1, QDate(100, 1, 1), QDate(100, 1, 1), QDate(1899, 12, 30), QDate(100, 1, 1),
                      QDate(1601, 1, 1)},
                     {2, at(9999, 12, 31, 23, 59, 59), QDate(9999, 12, 31),
                      at(1899, 12, 30, 23, 59, 59), at(9999, 12, 31, 23, 59, 59),
                      at(9999, 12, 31, 23, 59, 59)},
                     {3, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}};
    QTest::newRow("date and time types, extreme years") << "temporal_extremes.xml" << temporal;

    auto escapes = [](int row, int phase) {
        const QString head =
            QStringLiteral("row=%1|phase=%2|\"dq\"|'sq'|<&>|tab cr lf end").arg(row).arg(phase);
        const QString wide = head + QStringLiteral("|wide=한글_값_€");
        QString long_;
        for (int part = 1; part <= 18; ++part)
            long_ += wide + QStringLiteral("|part=%1 ").arg(part); // CR LF: one blank
        return RowValues{row, head, wide, long_};
    };
    RowTable text;
    text.columns = {column("ID", ColumnType::Long), column("TXT_VAR", ColumnType::Text, 160),
                    column("TXT_WIDE", ColumnType::Text, 220),
                    column("TXT_LONG", ColumnType::Text, 4000)};
    text.rows = {escapes(1, 1), {3, QVariant(), QVariant(), QVariant()}, escapes(4, 2)};
    QTest::newRow("escapes; raw TAB, CR, LF read as blanks") << "text_escapes.xml" << text;

    RowTable types;
    types.columns = {column("ID", ColumnType::Long), column("FLAG", ColumnType::Boolean),
                     column("AMOUNT", ColumnType::Double), column("RATIO", ColumnType::Double),
                     column("WHEN_AT", ColumnType::Date)};
    types.rows = {{1, true, 1234.56, 3.14159, at(2001, 2, 3, 4, 5, 6)},
                  {-2, false, -7.89, -0.25, at(1999, 12, 31, 23, 59, 58)}};
    QTest::newRow("int, boolean, currency, double, date") << "types_basic.xml" << types;
}

void TestAdoXmlReader::samplesWrittenByAdoLoad()
{
    QFETCH(QString, file);
    QFETCH(RowTable, expected);
    if (!QDir(sampleDir()).exists())
        QSKIP("The ADO sample files are not available.");

    RowTable table;
    AdoXml::Error error;
    QVERIFY2(AdoXml::readFile(sampleDir() + u'/' + file, &table, &error),
             qPrintable(error.message));
    verifySameTable(table, expected);
}

void TestAdoXmlReader::hierarchicalSampleIsRefused()
{
    if (!QDir(sampleDir()).exists())
        QSKIP("The ADO sample files are not available.");
    RowTable table;
    table.columns = {column("untouched", ColumnType::Text, 1)};
    AdoXml::Error error;
    QVERIFY(!AdoXml::readFile(sampleDir() + QStringLiteral("/legacy_rowversion_relation_shape.xml"),
                              &table, &error));
    QVERIFY2(error.message.contains(QStringLiteral("hierarchical (shaped) rowsets are not "
                                                   "supported")),
             qPrintable(error.message));
    QVERIFY(error.message.contains(QStringLiteral("LegacyRows")));
    // The nested s:ElementType that makes it hierarchical.
    QCOMPARE(error.line, 15);
    QCOMPARE(error.column, 3);
    QCOMPARE(table.columns.first().name, QStringLiteral("untouched"));
}

void TestAdoXmlReader::sampleColumnProperties()
{
    if (!QDir(sampleDir()).exists())
        QSKIP("The ADO sample files are not available.");
    RowTable table;
    AdoXml::Error error;
    QVERIFY2(AdoXml::readFile(sampleDir() + QStringLiteral("/nulls.xml"), &table, &error),
             qPrintable(error.message));
    // ID carries rs:maybenull='false' alone; the others add rs:nullable='true'.
    QCOMPARE(table.columns[0].nullable, false);
    QCOMPARE(table.columns[1].nullable, true);
    QCOMPARE(table.columns[2].nullable, true);
}

void TestAdoXmlReader::roundTrip_data()
{
    QTest::addColumn<RowTable>("table");

    QTest::newRow("egmcargo") << withBase(egmcargoTable(), QStringLiteral("egmcargo"));
    QTest::newRow("egmcontain") << withBase(egmcontainTable(), QStringLiteral("egmcontain"));

    RowTable awkward;
    awkward.columns = {
        column("ship port", ColumnType::Text, 20), column("id", ColumnType::Long),
        column("id", ColumnType::Double),          column("1st", ColumnType::Boolean),
        column("when", ColumnType::Date),          column("memo", ColumnType::Text, 4000)};
    awkward.rows = {
        {QStringLiteral("  padded  "), -2147483647 - 1, 1e300, true, QDate(100, 1, 1),
         QStringLiteral("CR\rLF\nCRLF\r\nTAB\t]]> &amp; 한글 €")},
        {QString(), 2147483647, -0.000123456789, false, at(9999, 12, 31, 23, 59, 59),
         QStringLiteral("'\"<>&")},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
    };
    QTest::newRow("awkward names and values") << awkward;
}

void TestAdoXmlReader::roundTrip()
{
    QFETCH(RowTable, table);
    RowTable back;
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(AdoXml::write(table), &back, &error), qPrintable(error.message));
    verifySameTable(back, table, true);
}

void TestAdoXmlReader::handComposedFileReads()
{
    // Another writer in ADO's published style: windows-1252 with a
    // declaration, other prefixes, double quotes, shuffled attributes, columns
    // declared out of rs:number order, dt:type on the AttributeType.
    const QString path = QFINDTESTDATA("data/handmade_cp1252.xml");
    QVERIFY(!path.isEmpty());
    RowTable table;
    AdoXml::Error error;
    QVERIFY2(AdoXml::readFile(path, &table, &error), qPrintable(error.message));

    RowTable expected;
    expected.columns = {column("id", ColumnType::Long, 0, false),
                        column("egmno", ColumnType::Double), column("egmdt", ColumnType::Date),
                        column("ship port", ColumnType::Text, 6),
                        column("note", ColumnType::Text, 20)};
    expected.columns[0].baseTable = QStringLiteral("egmcargo");
    expected.columns[0].baseColumn = QStringLiteral("id");
    expected.rows = {
        {7, 1234.0, QDate(2006, 3, 5), QStringLiteral("INIXY1"),
         QStringLiteral("Café €5 & O'Neil")},
        {9, 1234.5, at(2006, 3, 6, 9, 15, 0), QString(""), QVariant()},
    };
    verifySameTable(table, expected, true);
}

void TestAdoXmlReader::otherSchemaAndValueForms_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<RowTable>("expected");

    const QByteArray root = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
                            "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
                            "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>";

    RowTable refs;
    refs.columns = {column("qty", ColumnType::Long), column("code", ColumnType::Text, 4)};
    refs.rows = {{3, QStringLiteral("AB")}};
    QTest::newRow("columns declared apart, unknown row attribute")
        << root + "<s:Schema id='RowsetSchema'>"
                  "<s:AttributeType name='code' dt:type='string' dt:maxLength='4'/>"
                  "<s:AttributeType name='qty' dt:type='i4'/>"
                  "<s:ElementType name='row' content='eltOnly'><s:attribute type='qty'/>"
                  "<s:attribute type='code'/><s:Extends type='rs:rowbase'/></s:ElementType>"
                  "</s:Schema><rs:data><z:row code='AB' extra='x' qty='3'/></rs:data></xml>"
        << refs;

    RowTable minimal;
    minimal.columns = {column("ShipperID", ColumnType::Text),
                       column("CompanyName", ColumnType::Text)};
    minimal.rows = {{QStringLiteral("1"), QStringLiteral("Speedy Express")},
                    {QStringLiteral("2"), QVariant()}};
    QTest::newRow("minimal schema without types or numbers")
        << QByteArray(
               "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\"\n"
               "  xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\">\n"
               "<s:Schema id=\"RowsetSchema\"><s:ElementType name=\"row\" content=\"eltOnly\">"
               "<s:AttributeType name=\"ShipperID\"/><s:AttributeType name=\"CompanyName\"/>"
               "<s:Extends type=\"rs:rowbase\"/></s:ElementType></s:Schema>\n<rs:data>"
               "<z:row ShipperID=\"1\" CompanyName=\"Speedy Express\"/>"
               "<z:row ShipperID=\"2\"/></rs:data></xml>")
        << minimal;

    RowTable values;
    values.columns = {column("r", ColumnType::Double),  column("n", ColumnType::Double),
                      column("b", ColumnType::Boolean), column("d", ColumnType::Date),
                      column("h", ColumnType::Text, 8), column("u", ColumnType::Text, 16)};
    values.rows = {
        {1.7976931348623157e308, 0.0, true, at(2008, 1, 25, 13, 4, 0), QStringLiteral("000004d2"),
         QStringLiteral("{8AC68D3D-8A09-4403-8860-D0E494BBE894}")},
        {QVariant(), -1.23, false, QDateTime(QDate(2006, 3, 5), QTime(5, 6, 7, 123), Qt::UTC),
         QString(""), QVariant()}};
    QTest::newRow("type aliases and value forms")
        << root + "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
                  "<s:AttributeType name='r' rs:number='1'><s:datatype dt:type='r8'/>"
                  "</s:AttributeType>"
                  "<s:AttributeType name='n' rs:number='2'><s:datatype dt:type='number' "
                  "rs:dbtype='numeric'/></s:AttributeType>"
                  "<s:AttributeType name='b' rs:number='3' dt:type='boolean'/>"
                  "<s:AttributeType name='d' rs:number='4' dt:type='dateTime.tz'/>"
                  "<s:AttributeType name='h' rs:number='5'><s:datatype dt:type='bin.hex' "
                  "dt:maxLength='8'/></s:AttributeType>"
                  "<s:AttributeType name='u' rs:number='6' dt:type='uuid' dt:maxLength='16'/>"
                  "</s:ElementType></s:Schema><rs:data>\r\n"
                  "<z:row r='1.7976931348623157E+308' n='.00' b='1' d='2008-01-25T13:04:00Z' "
                  "h='00 00\r\n\t\t04d2' u='{8AC68D3D-8A09-4403-8860-D0E494BBE894}'/>\r\n"
                  "<z:row n='-1.23' b='0' d='2006-03-05T05:06:07.123000000' h=''/>\r\n"
                  "</rs:data></xml>"
        << values;

    RowTable changes;
    changes.columns = {column("id", ColumnType::Long), column("a", ColumnType::Text, 9),
                       column("b", ColumnType::Long)};
    changes.rows = {{1, QStringLiteral("y"), QVariant()}, {2, QStringLiteral("new"), QVariant()}};
    QTest::newRow("changed row lists only what changed")
        << root + "<s:Schema id='RowsetSchema'><s:ElementType name='row' rs:updatable='true'>"
                  "<s:AttributeType name='id' rs:number='1' dt:type='int'/>"
                  "<s:AttributeType name='a' rs:number='2' dt:type='string' dt:maxLength='9'/>"
                  "<s:AttributeType name='b' rs:number='3' dt:type='int'/>"
                  "</s:ElementType></s:Schema><rs:data>"
                  "<rs:update><rs:original><z:row id='1' a='x' b='5'/></rs:original>"
                  "<z:row a='y' rs:forcenull='b'/></rs:update>"
                  "<rs:insert><z:row id='2' a='new'/></rs:insert>"
                  "<rs:delete><z:row id='3' a='gone' b='1'/></rs:delete></rs:data></xml>"
        << changes;
}

void TestAdoXmlReader::otherSchemaAndValueForms()
{
    QFETCH(QByteArray, bytes);
    QFETCH(RowTable, expected);
    RowTable table;
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(bytes, &table, &error),
             qPrintable(QStringLiteral("%1 (line %2, column %3)")
                            .arg(error.message)
                            .arg(error.line)
                            .arg(error.column)));
    verifySameTable(table, expected);
}

void TestAdoXmlReader::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    auto doc = [](const QByteArray& prolog, const QByteArray& value) {
        return prolog +
               "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
               "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
               "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
               "<s:AttributeType name='t'/></s:ElementType></s:Schema>"
               "<rs:data><z:row t='" +
               value + "'/></rs:data></xml>";
    };
    const QString cafe = QStringLiteral("Café €");
    QTest::newRow("UTF-8, no declaration") << doc("", cafe.toUtf8()) << cafe;
    QTest::newRow("UTF-8 with BOM") << doc("\xEF\xBB\xBF", cafe.toUtf8()) << cafe;
    QTest::newRow("UTF-8 declared")
        << doc("<?xml version='1.0' encoding='UTF-8'?>\r\n", cafe.toUtf8()) << cafe;
    QTest::newRow("windows-1252 declared")
        << doc("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "Caf\xE9 \x80") << cafe;
    QTest::newRow("ISO-8859-1 declared")
        << doc("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>", "Caf\xE9 \xA4")
        << QStringLiteral("Café ¤");
    QTest::newRow("undeclared ANSI") << doc("", "Caf\xE9 \x80") << cafe;
    QTest::newRow("an instruction named xml... declares nothing")
        << doc("<?xmlish encoding=\"ISO-8859-1\"?>", cafe.toUtf8()) << cafe;

    QStringEncoder le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    const QString utf16Doc = QString::fromUtf8(doc("", cafe.toUtf8()));
    QTest::newRow("UTF-16 LE with BOM") << QByteArray(le(utf16Doc)) << cafe;
    QTest::newRow("UTF-16 BE with BOM") << QByteArray(be(utf16Doc)) << cafe;
}

void TestAdoXmlReader::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    RowTable table;
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(bytes, &table, &error), qPrintable(error.message));
    QCOMPARE(table.rows.size(), 1);
    QCOMPARE(table.rows[0][0].toString(), expected);
}

void TestAdoXmlReader::malformedInputs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    QTest::newRow("empty") << QByteArray() << "The file is empty." << 1 << 1;
    QTest::newRow("blanks only") << QByteArray(" \r\n\t") << "The file is empty." << 2 << 2;
    QTest::newRow("text before the root")
        << QByteArray("hello <xml/>") << "Expected the root element here." << 1 << 1;
    QTest::newRow("root not closed")
        << QByteArray("<xml>\r\n  ") << "The file ends before the element <xml> is closed." << 2
        << 3;
    QTest::newRow("cut inside a tag") << QByteArray("<xml>\n<s:Schema id='x'")
                                      << "The file ends inside the tag <s:Schema>." << 2 << 17;
    QTest::newRow("cut inside a value") << QByteArray("<xml>\n<z:row a='1\n2")
                                        << "The file ends inside an attribute value." << 3 << 2;
    QTest::newRow("cut inside a comment")
        << QByteArray("<xml><!-- note") << "The file ends inside a comment." << 1 << 15;
    QTest::newRow("wrong end tag")
        << QByteArray("<xml>\n</xmL>")
        << "The end tag </xmL> does not match the open element <xml>." << 2 << 1;
    QTest::newRow("content after the root")
        << QByteArray("<xml/>\n<xml/>") << "Unexpected content after the end of the root element."
        << 2 << 1;
    QTest::newRow("attribute twice")
        << QByteArray("<xml a='1' a='2'/>") << "The attribute \"a\" appears twice in the tag <xml>."
        << 1 << 12;
    QTest::newRow("value without quotes")
        << QByteArray("<xml a=1/>") << "The value of the attribute \"a\" must be in quotes." << 1
        << 8;
    QTest::newRow("raw < in a value")
        << QByteArray("<xml a='x<y'/>")
        << "A '<' inside an attribute value must be written as a reference (&lt;)." << 1 << 10;
    QTest::newRow("unknown entity")
        << QByteArray("<xml a='&nbsp;'/>") << "The entity \"&nbsp;\" is not declared." << 1 << 9;
    QTest::newRow("undeclared prefix") << QByteArray("<xml>\n  <q:Schema/>\n</xml>")
                                       << "The namespace prefix \"q\" is not declared." << 2 << 3;
    QTest::newRow("unsupported encoding")
        << QByteArray("<?xml version='1.0' encoding='EBCDIC-US'?><xml/>")
        << "The encoding \"EBCDIC-US\" named in the XML declaration is not supported." << 1 << 31;
    QTest::newRow("declared UTF-8 but not")
        << QByteArray("<?xml version='1.0' encoding='utf-8'?>\n<xml a='Caf\xE9'/>")
        << "The file is not valid UTF-8 text." << 2 << 12;
    QTest::newRow("no schema") << QByteArray("<xml xmlns:rs='urn:schemas-microsoft-com:rowset'>\n"
                                             "<rs:data/>\n</xml>")
                               << "The file holds no rowset schema (s:Schema)." << 1 << 1;
    QTest::newRow("schema in another namespace")
        << QByteArray("<xml xmlns:s='urn:something-else'><s:Schema/></xml>")
        << "The file holds no rowset schema (s:Schema)." << 1 << 1;
    QTest::newRow("no columns")
        << QByteArray("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'><s:Schema>\n"
                      "<s:ElementType name='row'/></s:Schema></xml>")
        << "The schema defines no columns." << 2 << 1;
    QTest::newRow("no data part")
        << QByteArray("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'>\n<s:Schema>"
                      "<s:ElementType name='row'><s:AttributeType name='a'/></s:ElementType>"
                      "</s:Schema></xml>")
        << "The file has no data part (rs:data)." << 2 << 1;
    QTest::newRow("not a whole number")
        << smallRowset("<z:row id='1'/>\n<z:row id='abc'/>\n")
        << "Row 2, column \"id\": \"abc\" is not a whole number." << 7 << 8;
    QTest::newRow("whole number too large")
        << smallRowset("<z:row id='2147483648'/>\n")
        << "Row 1, column \"id\": \"2147483648\" is not a whole number." << 6 << 8;
    QTest::newRow("not a date") << smallRowset("<z:row id='1' when='2006-13-01T00:00:00'/>\n")
                                << "Row 1, column \"when\": \"2006-13-01T00:00:00\" is not a date."
                                << 6 << 15;
    QTest::newRow("not a boolean")
        << smallRowset("<z:row ok='maybe'/>\n")
        << "Row 1, column \"ok\": \"maybe\" is not True or False." << 6 << 8;
    QTest::newRow("chaptered row")
        << smallRowset("<z:row id='1'>\n  <child id='2'/>\n</z:row>\n")
        << "Row 1 holds the nested element <child>: hierarchical (shaped) rowsets are not "
           "supported."
        << 7 << 3;
}

void TestAdoXmlReader::malformedInputs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(int, column);

    RowTable table;
    AdoXml::Error error;
    QVERIFY(!AdoXml::read(bytes, &table, &error));
    QCOMPARE(error.message, message);
    QCOMPARE(error.line, line);
    QCOMPARE(error.column, column);
}

void TestAdoXmlReader::readAsXmlSays_data()
{
    // Refused with message, line and column; or read, giving column t the value.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");

    const QString misplaced = "An XML declaration may stand only at the very start of the file.";
    const QString reference =
        "The character reference \"%1\" names a character XML does not allow.";
    const QString character = "The character %1 is not allowed in an XML file.";
    const QString bareAmp = "An '&' must start a reference such as &amp; or &#x26;.";
    QTest::newRow("declaration after a blank")
        << oneRow("t='a'", " <?xml version='1.0'?>") << misplaced << 1 << 2 << "";
    QTest::newRow("declaration after a comment")
        << oneRow("t='a'", "<!-- x --><?xml version='1.0'?>") << misplaced << 1 << 11 << "";
    QTest::newRow("declaration without its version")
        << oneRow("t='a'", "<?xml encoding='utf-8'?>")
        << "The XML declaration must give the version (version=\"1.0\") first." << 1 << 7 << "";
    QTest::newRow("declaration with another version")
        << oneRow("t='a'", "<?xml version='2.0'?>")
        << "\"2.0\" is not a valid version in the XML declaration." << 1 << 16 << "";
    QTest::newRow("declaration's parts out of order")
        << oneRow("t='a'", "<?xml version='1.0' standalone='yes' encoding='utf-8'?>")
        << "\"encoding\" does not belong here in the XML declaration." << 1 << 38 << "";
    QTest::newRow("second DOCTYPE")
        << oneRow("t='a'", "<!DOCTYPE xml><!DOCTYPE xml>")
        << "The file has a second document type declaration." << 1 << 15 << "";
    QTest::newRow("declarations in the DOCTYPE")
        << oneRow("t='&e;'", "<!DOCTYPE xml [<!ENTITY e 'x'>]>")
        << "Declarations inside the document type declaration are not supported." << 1 << 16 << "";
    QTest::newRow("reference to NUL")
        << oneRow("t='&#0;'") << reference.arg("&#0;") << 4 << 11 << "";
    QTest::newRow("reference to 0x01")
        << oneRow("t='&#1;'") << reference.arg("&#1;") << 4 << 11 << "";
    QTest::newRow("reference to 0x1F")
        << oneRow("t='&#x1F;'") << reference.arg("&#x1F;") << 4 << 11 << "";
    QTest::newRow("reference to U+FFFE")
        << oneRow("t='&#xFFFE;'") << reference.arg("&#xFFFE;") << 4 << 11 << "";
    QTest::newRow("reference to a surrogate")
        << oneRow("t='&#xD800;'") << reference.arg("&#xD800;") << 4 << 11 << "";
    QTest::newRow("reference with a capital X") << oneRow("t='&#X41;'") << bareAmp << 4 << 11 << "";
    QTest::newRow("raw NUL") << oneRow(QByteArray("t='a\0'", 6)) << character.arg("U+0000") << 4
                             << 12 << "";
    QTest::newRow("raw 0x01") << oneRow("t='a\x01'") << character.arg("U+0001") << 4 << 12 << "";
    QTest::newRow("raw 0x0B") << oneRow("t='a\x0b'") << character.arg("U+000B") << 4 << 12 << "";
    QTest::newRow("raw U+FFFF") << oneRow("t='a\xEF\xBF\xBF'") << character.arg("U+FFFF") << 4 << 12
                                << "";
    QTest::newRow("bare & in a value") << oneRow("t='a & b'") << bareAmp << 4 << 13 << "";
    QTest::newRow("bare & in text") << QByteArray("<xml>a & b</xml>") << bareAmp << 1 << 8 << "";
    QTest::newRow("]]> in text") << QByteArray("<xml>a ]]> b</xml>")
                                 << "\"]]>\" may not stand in text." << 1 << 8 << "";
    QTest::newRow("undeclared entity in text")
        << QByteArray("<xml>\n&bogus;</xml>") << "The entity \"&bogus;\" is not declared." << 2 << 1
        << "";
    QTest::newRow("element name that is no name")
        << QByteArray("<xml><1a/></xml>") << "Expected an element name after '<'." << 1 << 7 << "";
    QTest::newRow("element name with two colons")
        << QByteArray("<xml xmlns:a='urn:a'><a:b:c/></xml>")
        << "The element name \"a:b:c\" is not a valid qualified name." << 1 << 23 << "";
    QTest::newRow("attribute name ending in a colon")
        << oneRow("t:='1'") << "The attribute name \"t:\" is not a valid qualified name." << 4 << 8
        << "";
    QTest::newRow("comment holding --") << QByteArray("<xml><!-- a -- b --></xml>")
                                        << "A comment may not hold \"--\"." << 1 << 13 << "";
    QTest::newRow("reserved processing instruction")
        << QByteArray("<xml><?XML x?></xml>")
        << "The processing instruction target \"XML\" is reserved." << 1 << 6 << "";
    QTest::newRow("prefix given an empty namespace")
        << oneRow("t='MSK' xmlns:q='' q:t='EVIL'")
        << "The prefix \"q\" cannot be given an empty namespace." << 4 << 16 << "";
    QTest::newRow("one attribute under two prefixes")
        << oneRow("xmlns:p='urn:x' xmlns:q='urn:x' p:t='1' q:t='2'")
        << "The attribute \"q:t\" appears twice in the tag <z:row> (as \"p:t\" before)." << 4 << 48
        << "";
    QTest::newRow("prefix xmlns declared")
        << oneRow("xmlns:xmlns='urn:x'") << "The prefix \"xmlns\" cannot be declared." << 4 << 8
        << "";
    QTest::newRow("UTF-8 byte order mark, ISO-8859-1 declared")
        << QByteArray("\xEF\xBB\xBF<?xml version='1.0' encoding='iso-8859-1'?><xml/>")
        << "The file starts with the byte order mark of UTF-8, but its XML declaration names the "
           "encoding \"iso-8859-1\"."
        << 1 << 31 << "";
    QTest::newRow("US-ASCII declared, another byte")
        << QByteArray("<?xml version='1.0' encoding='us-ascii'?>\n<xml a='\xE9'/>")
        << "The file declares the encoding US-ASCII but holds the byte 0xE9." << 2 << 9 << "";

    // What is read.
    QTest::newRow("TAB, LF, CR LF and CR are blanks")
        << oneRow("t='a\tb\nc\r\nd\re'") << "" << 0 << 0 << "a b c d e";
    QTest::newRow("references stay what they name")
        << oneRow("t='a&#9;b&#10;c&#13;d'") << "" << 0 << 0 << "a\tb\nc\rd";
    QTest::newRow("reference to the group separator")
        << oneRow("t='&#x1D;'") << reference.arg("&#x1D;") << 4 << 11 << "";
    QTest::newRow("undeclared bytes not UTF-8 are Windows-1252")
        << oneRow("t='Caf\xE9 \x80'") << "" << 0 << 0 << "Café €";
    QTest::newRow("a character beyond the BMP")
        << oneRow("t='&#x1F600;'") << "" << 0 << 0 << "\U0001F600";
    QTest::newRow("an attribute in a namespace is no column")
        << oneRow("t='MSK' xmlns:q='urn:x' q:t='EVIL'") << "" << 0 << 0 << "MSK";
    QTest::newRow("full declaration, DOCTYPE, comment, PI")
        << oneRow("t='a'", "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n"
                           "<!DOCTYPE xml SYSTEM 'x.dtd'><!-- c --><?pi data?>")
        << "" << 0 << 0 << "a";
    QTest::newRow("xml prefix bound to its own namespace")
        << oneRow("xmlns:xml='http://www.w3.org/XML/1998/namespace' xml:lang='en' t='a'") << "" << 0
        << 0 << "a";
}

void TestAdoXmlReader::readAsXmlSays()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, value);

    RowTable table;
    AdoXml::Error error;
    const bool read = AdoXml::read(bytes, &table, &error);
    if (!message.isEmpty()) {
        QVERIFY2(!read, qPrintable(describe(table.rows.value(0).value(0))));
        QCOMPARE(error.message, message);
        QCOMPARE(error.line, line);
        QCOMPARE(error.column, column);
        return;
    }
    QVERIFY2(read, qPrintable(error.message));
    QCOMPARE(table.rows.size(), 1);
    QCOMPARE(table.rows[0][0].toString(), value);
}

void TestAdoXmlReader::readFileNamesTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("egmcargo.xml"));
    RowTable table;
    AdoXml::Error error;
    QVERIFY(!AdoXml::readFile(missing, &table, &error));
    QVERIFY2(error.message.startsWith(
                 QStringLiteral("Cannot open \"%1\"").arg(QDir::toNativeSeparators(missing))),
             qPrintable(error.message));

    const QString broken = dir.filePath(QStringLiteral("egmcontain.xml"));
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<xml>\r\n<s:Schema");
    f.close();
    QVERIFY(!AdoXml::readFile(broken, &table, &error));
    QCOMPARE(error.message, QStringLiteral("\"%1\": The file ends inside the tag <s:Schema>.")
                                .arg(QDir::toNativeSeparators(broken)));
    QCOMPARE(error.line, 2);
    QCOMPARE(error.column, 10);
}

void TestAdoXmlReader::truncatedSamplesFailCleanly()
{
    if (!QDir(sampleDir()).exists())
        QSKIP("The ADO sample files are not available.");
    const QStringList files = QDir(sampleDir()).entryList({QStringLiteral("*.xml")}, QDir::Files);
    QVERIFY(!files.isEmpty());
    for (const QString& name : files) {
        const QByteArray full = fileBytes(sampleDir() + u'/' + name);
        QVERIFY(!full.isEmpty());
        // Every cut inside the first and last stretch, every 13th byte between.
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            if (cut > 300 && cut < full.size() - 300 && cut % 13 != 0)
                continue;
            RowTable table;
            AdoXml::Error error;
            const bool ok = AdoXml::read(full.left(cut), &table, &error);
            QVERIFY2(!ok,
                     qPrintable(QStringLiteral("%1 cut at %2 was accepted").arg(name).arg(cut)));
            QVERIFY2(!error.message.isEmpty() && error.line >= 1 && error.column >= 1,
                     qPrintable(QStringLiteral("%1 cut at %2").arg(name).arg(cut)));
        }
    }
}

void TestAdoXmlReader::garbageNeverCrashes()
{
    QRandomGenerator random(20060305);
    QList<QByteArray> seeds = {AdoXml::write(egmcargoTable(), QStringLiteral("egmcargo"))};
    if (QDir(sampleDir()).exists())
        for (const QString& name :
             QDir(sampleDir()).entryList({QStringLiteral("*.xml")}, QDir::Files))
            seeds.append(fileBytes(sampleDir() + u'/' + name));

    auto check = [](const QByteArray& bytes) {
        RowTable table;
        AdoXml::Error error;
        if (AdoXml::read(bytes, &table, &error)) {
            QVERIFY(!table.columns.isEmpty());
            for (const RowValues& row : std::as_const(table.rows))
                QCOMPARE(row.size(), table.columns.size());
        } else {
            QVERIFY(!error.message.isEmpty());
        }
    };

    // Random bytes, random markup characters, and samples with random damage.
    const QByteArray markup("<>/='\"&;#x:? \t\r\nabcz-!");
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes(random.bounded(0, 600), Qt::Uninitialized);
        const bool onlyMarkup = i % 2 == 0;
        for (char& b : bytes)
            b = onlyMarkup ? markup[random.bounded(int(markup.size()))] : char(random.bounded(256));
        check(bytes);
        if (QTest::currentTestFailed())
            return;
    }
    for (int i = 0; i < 600; ++i) {
        QByteArray bytes = seeds[random.bounded(int(seeds.size()))];
        for (int hits = random.bounded(1, 6); hits > 0; --hits) {
            const int pos = random.bounded(int(bytes.size()));
            switch (random.bounded(3)) {
            case 0:
                bytes[pos] = char(random.bounded(256));
                break;
            case 1:
                bytes.remove(pos, random.bounded(1, 40));
                break;
            default:
                bytes.insert(pos, markup[random.bounded(int(markup.size()))]);
                break;
            }
        }
        check(bytes);
        if (QTest::currentTestFailed())
            return;
    }
    // Deep nesting must not exhaust the stack.
    check(QByteArray("<a>").repeated(200000));
}

void TestAdoXmlReader::rowsComeOneAtATime()
{
    const QByteArray bytes = AdoXml::write(egmcargoTable(), QStringLiteral("egmcargo"));
    AdoXml::Reader reader;
    QVERIFY2(reader.open(bytes), qPrintable(reader.error().message));
    QCOMPARE(reader.columns().size(), 13);
    QCOMPARE(reader.columnIndex(QStringLiteral("EGMNO")), 1);
    QVERIFY(reader.next());
    QCOMPARE(reader.rowNumber(), 1);
    QCOMPARE(reader.cell(0).kind, Cell::Kind::Integer);
    QCOMPARE(reader.cell(0).integer, 1);
    QCOMPARE(reader.cell(1).kind, Cell::Kind::Real);
    QCOMPARE(reader.cell(2).kind, Cell::Kind::Date);
    QCOMPARE(reader.cell(5).text, QByteArrayView("INIXY1"));
    QVERIFY(reader.next());
    QCOMPARE(reader.rowNumber(), 2);
    QVERIFY(reader.cell(6).isNull());
    // The escaped value, resolved, as UTF-8 bytes.
    QCOMPARE(reader.cell(12).text, QByteArrayView("a'b\"c&d<e>\tf\ng"));
    QCOMPARE(reader.value(2), QVariant(at(2006, 3, 5, 14, 30, 0)));
    QVERIFY(!reader.next());
    QVERIFY(!reader.failed());
    QVERIFY(!reader.next());
}

void TestAdoXmlReader::damageAfterTheRowsFailsAtTheEnd()
{
    // Every row is handed on; the damage after them still fails the file.
    QByteArray bytes = AdoXml::write(egmcontainTable(), QStringLiteral("egmcontain"));
    bytes.replace("</rs:data>\r\n</xml>", "</rs:data>\r\n</xml><broken");
    AdoXml::Reader reader;
    QVERIFY(reader.open(bytes));
    int rows = 0;
    while (reader.next())
        ++rows;
    QCOMPARE(rows, 3);
    QVERIFY(reader.failed());
    QCOMPARE(reader.error().message,
             QStringLiteral("Unexpected content after the end of the root element."));
    QCOMPARE(reader.error().line, int(bytes.count('\n')) + 1);
    RowTable table;
    AdoXml::Error error;
    QVERIFY(!AdoXml::read(bytes, &table, &error));
    QCOMPARE(error.message, reader.error().message);
}

void TestAdoXmlReader::dataBeforeTheSchemaIsRefused()
{
    // The rows are read as they come, so their columns must be known first:
    // ADO itself writes the schema first.
    const QByteArray bytes = smallRowset("<z:row id='1'/>\n");
    const qsizetype schemaStart = bytes.indexOf("<s:Schema");
    const qsizetype schemaEnd = bytes.indexOf("</s:Schema>") + 11;
    const QByteArray schema = bytes.mid(schemaStart, schemaEnd - schemaStart);
    QByteArray swapped = bytes;
    swapped.remove(schemaStart, schemaEnd - schemaStart);
    swapped.replace("</rs:data>\n", "</rs:data>\n" + schema);
    RowTable table;
    AdoXml::Error error;
    QVERIFY(!AdoXml::read(swapped, &table, &error));
    QCOMPARE(error.message, QStringLiteral("The data part (rs:data) comes before the rowset schema "
                                           "(s:Schema): the schema must come first."));
    QCOMPARE(error.line, 3);
    QCOMPARE(error.column, 1);
}

QTEST_GUILESS_MAIN(TestAdoXmlReader)
#include "tst_adoxmlreader.moc"
