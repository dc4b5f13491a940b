#include "AdoXmlReader.h"
#include "AdoXmlWriter.h"
#include "SampleTables.h"

#include <QFile>
#include <QTest>

Q_DECLARE_METATYPE(RowTable)

class TestAdoXmlWriter : public QObject
{
    Q_OBJECT

private slots:
    void writeMatchesHandWrittenFile_data();
    void writeMatchesHandWrittenFile();
    void emptyTableWritesSchemaOnly();
    void namesThatAreNotXmlNamesGetAliases();
    void lineBreaksAndTabsAreReferences();
    void aliasesNeverTakeAnotherColumnsName();
    void nullInNonNullableColumnIsWrittenNullable();
};

void TestAdoXmlWriter::writeMatchesHandWrittenFile_data()
{
    QTest::addColumn<RowTable>("table");
    QTest::addColumn<QString>("baseTable");
    QTest::addColumn<QString>("expectedFile");

    QTest::newRow("egmcargo") << egmcargoTable() << "egmcargo"
                              << "expected/egmcargo_small.xml";
    QTest::newRow("egmcontain") << egmcontainTable() << "egmcontain"
                                << "expected/egmcontain_small.xml";
}

void TestAdoXmlWriter::writeMatchesHandWrittenFile()
{
    QFETCH(RowTable, table);
    QFETCH(QString, baseTable);
    QFETCH(QString, expectedFile);

    const QString path = QFINDTESTDATA(expectedFile);
    QVERIFY2(!path.isEmpty(), qPrintable(expectedFile));
    const QByteArray expected = fileBytes(path);
    const QByteArray actual = AdoXml::write(table, baseTable);
    if (actual != expected) {
        qsizetype i = 0;
        while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
            ++i;
        QFAIL(qPrintable(
            QStringLiteral("first difference at byte %1:\n got: %2\nwant: %3")
                .arg(i)
                .arg(QString::fromUtf8(actual.mid(std::max<qsizetype>(0, i - 40), 80)),
                     QString::fromUtf8(expected.mid(std::max<qsizetype>(0, i - 40), 80)))));
    }
}

void TestAdoXmlWriter::emptyTableWritesSchemaOnly()
{
    RowTable table = egmcontainTable();
    table.rows.clear();
    const QByteArray bytes = AdoXml::write(table, QStringLiteral("egmcontain"));
    QVERIFY(bytes.endsWith("</s:Schema>\r\n<rs:data>\r\n</rs:data>\r\n</xml>"));
    QVERIFY(bytes.contains("<s:AttributeType name='containno'"));

    RowTable back;
    back.rows = {{1}};
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(bytes, &back, &error), qPrintable(error.message));
    QCOMPARE(back.columns.size(), 5);
    QCOMPARE(back.rows.size(), 0);
}

void TestAdoXmlWriter::namesThatAreNotXmlNamesGetAliases()
{
    // As ADO does it: cN, N the column's position from 0, real name in rs:name.
    RowTable table;
    table.columns = {column("ID", ColumnType::Long), column("Field Space", ColumnType::Text, 5),
                     column("Name-With-Dash", ColumnType::Text, 5), column("ID", ColumnType::Long)};
    table.rows = {{1, QStringLiteral("a"), QStringLiteral("b"), 2}};
    const QByteArray bytes = AdoXml::write(table);
    QVERIFY(bytes.contains("<s:AttributeType name='c1' rs:name='Field Space' rs:number='2'"));
    QVERIFY(bytes.contains("<s:AttributeType name='c2' rs:name='Name-With-Dash' rs:number='3'"));
    QVERIFY(bytes.contains("<s:AttributeType name='c3' rs:name='ID' rs:number='4'"));
    QVERIFY(bytes.contains("<z:row ID='1' c1='a' c2='b' c3='2'/>"));
}

void TestAdoXmlWriter::lineBreaksAndTabsAreReferences()
{
    // Written raw, any XML reader would read them back as blanks.
    RowTable table;
    table.columns = {column("ID", ColumnType::Long), column("T", ColumnType::Text, 20)};
    table.rows = {{1, QStringLiteral("a\tb\r\nc\nd\re")}};
    const QByteArray bytes = AdoXml::write(table);
    QVERIFY2(bytes.contains("<z:row ID='1' T='a&#9;b&#13;&#10;c&#10;d&#13;e'/>"),
             bytes.constData());
    RowTable again;
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(bytes, &again, &error), qPrintable(error.message));
    QCOMPARE(again.rows, table.rows);
}

void TestAdoXmlWriter::aliasesNeverTakeAnotherColumnsName()
{
    // Found by fuzzing: a column really named c3 beside the fourth column,
    // whose name needs an alias. Two columns named c3 make a file that no
    // reader takes.
    RowTable table;
    table.columns = {column("c1_1", ColumnType::Long),     column("x y", ColumnType::Long),
                     column("c1", ColumnType::Long),       column("c3", ColumnType::Text, 6),
                     column("note", ColumnType::Text, 20), column("c3", ColumnType::Text, 6)};
    table.rows = {{1, 2, 3, QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}};
    const QByteArray bytes = AdoXml::write(table);
    QVERIFY(bytes.contains("<s:AttributeType name='c1_2' rs:name='x y' rs:number='2'"));
    QVERIFY(bytes.contains("<s:AttributeType name='c5' rs:name='c3' rs:number='6'"));
    RowTable back;
    AdoXml::Error error;
    QVERIFY2(AdoXml::read(bytes, &back, &error), qPrintable(error.message));
    QCOMPARE(back.rows, table.rows);
    QStringList names;
    for (const ColumnInfo& c : back.columns)
        names << c.name;
    QCOMPARE(names, (QStringList{"c1_1", "x y", "c1", "c3", "note", "c3"}));
}

void TestAdoXmlWriter::nullInNonNullableColumnIsWrittenNullable()
{
    // ADO refuses a row that lacks a column declared not nullable.
    RowTable table;
    table.columns = {column("id", ColumnType::Long, 0, false),
                     column("code", ColumnType::Text, 3, false)};
    table.rows = {{1, QVariant()}};
    const QByteArray bytes = AdoXml::write(table);
    QVERIFY(bytes.contains("<s:AttributeType name='id' rs:number='1' rs:maydefer='true'"));
    QVERIFY(bytes.contains("<s:AttributeType name='code' rs:number='2' rs:nullable='true'"));
    QVERIFY(bytes.contains("<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='3'/>"));
}

QTEST_GUILESS_MAIN(TestAdoXmlWriter)
#include "tst_adoxmlwriter.moc"
