// The RTF writer: documents compared byte for byte with one written by hand
// (expected/rtfwriter_table.rtf) and read back by unrtf.

#include "OutputsTesting.h"
#include "ReportTesting.h"
#include "RtfWriter.h"

#include <QTest>

using namespace OutputsTesting;

namespace {

QByteArray sampleDocument()
{
    RtfWriter w(RtfWriter::Page(), {"Arial", "Times New Roman"});
    RtfWriter::Style head;
    head.font = 1;
    head.pointSize = 16;
    head.bold = true;
    head.align = RtfWriter::Align::Centre;
    head.lineHeight = 400;
    head.spaceAfter = 120;
    w.paragraph(QString::fromUtf8("Demo {Agency} \\ Ltd"), head);

    RtfWriter::Style cells;
    cells.pointSize = 9;
    RtfWriter::Row headings;
    headings.height = 240;
    headings.padding = 60;
    headings.header = true;
    headings.ruleBelow = true;
    w.row({{"No.", 1000, RtfWriter::Align::Right, true}, {"Container\nNo.", 3000, {}, true}}, cells,
          headings);

    w.pageBreak();
    cells.pointSize = 8.5;
    RtfWriter::Row line;
    line.height = 240;
    line.ruleAbove = true;
    w.row({{"1", 1000, RtfWriter::Align::Right}, {QString::fromUtf8("Ölhafen – 5€"), 3000}}, cells,
          line);

    w.pageBreak();
    RtfWriter::Style foot;
    foot.pointSize = 7.5;
    foot.align = RtfWriter::Align::Right;
    w.paragraph("Page 2 of 2", foot);
    return w.finish();
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void escaped_data();
    void escaped();
    void documentAsWrittenByHand();
    void readersReadIt();
    void landscapePage();
};

void TestRtfWriter::escaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("rtf");

    QTest::newRow("plain") << "MSKU1234567 FCL" << QByteArray("MSKU1234567 FCL");
    QTest::newRow("backslash and braces") << "a\\b{c}" << QByteArray("a\\\\b\\{c\\}");
    QTest::newRow("tab: the blank ends the control word") << "a\tb" << QByteArray("a\\tab b");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("a\\line b");
    QTest::newRow("tab before a backslash") << "\t\\" << QByteArray("\\tab\\\\");
    QTest::newRow("other control characters left out")
        << QString::fromLatin1("x\x01y\x7f") << QByteArray("xy");
    QTest::newRow("beyond ASCII") << QString::fromUtf8("é") << QByteArray("\\u233?");
    QTest::newRow("above 32767: negative") << QString(QChar(0xFFFD)) << QByteArray("\\u-3?");
    QTest::newRow("beyond the BMP: two surrogates")
        << QString::fromUtf8("😀") << QByteArray("\\u-10179?\\u-8704?");
    QTest::newRow("tab before a letter beyond ASCII")
        << QString::fromUtf8("\té") << QByteArray("\\tab\\u233?");
    QTest::newRow("empty") << "" << QByteArray();
}

void TestRtfWriter::escaped()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, rtf);
    QCOMPARE(RtfWriter::escaped(text), rtf);
}

void TestRtfWriter::documentAsWrittenByHand()
{
    const QString path = QFINDTESTDATA("expected/rtfwriter_table.rtf");
    QVERIFY(!path.isEmpty());
    COMPARE_BYTES(sampleDocument(), fileBytes(path));
}

void TestRtfWriter::readersReadIt()
{
    const QByteArray rtf = sampleDocument();
    const QString text = ReportTesting::rtfText(rtf);
    QString missing;
    QVERIFY2(ReportTesting::inOrder(text,
                                    {"Demo {Agency} \\ Ltd", "No.", "Container", "No.", "1",
                                     "lhafen", "5", "Page 2 of 2"},
                                    &missing) >= 0,
             qPrintable(missing + " missing in " + text));
    const QString html = ReportTesting::readBack("unrtf", {"--html", "%FILE%"}, rtf, "rtf");
    for (const char* entity : {"&Ouml;", "&ndash;", "&euro;", "<table"})
        QVERIFY2(html.contains(entity), qPrintable(html));
}

void TestRtfWriter::landscapePage()
{
    RtfWriter::Page page;
    page.width = 16838;
    page.height = 11906;
    page.landscape = true;
    page.marginLeft = 680;
    RtfWriter w(page, {"DejaVu Sans"});
    const QByteArray rtf = w.finish();
    QVERIFY2(rtf.contains("\n\\paperw16838\\paperh11906\\margl680\\margr720\\margt720\\margb720"
                          "\\landscape\\viewkind1\n}\n"),
             rtf.constData());
}

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
