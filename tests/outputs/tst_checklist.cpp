// The check-list's rows and the report made of them: rows read from a demo
// installation holding the EGMs of OutputsTesting.h, the report read back
// from its PDF (pdftotext) and its RTF (unrtf).

#include "CheckList.h"
#include "CheckListReport.h"
#include "Database.h"
#include "DemoFixture.h"
#include "HeadFont.h"
#include "LogonState.h"
#include "OutputsTesting.h"
#include "PrinterLand.h"
#include "ReportTesting.h"
#include "RowSet.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "TestHome.h"
#include "ValueText.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace OutputsTesting;
using namespace ReportTesting;

namespace {

/// One printed line of the report: the bill's number and a container's.
using Lines = QList<QPair<QString, QString>>;

Lines linesOf(const CheckList::Rows& rows)
{
    Lines lines;
    for (const CheckList::Bill& b : rows.bills) {
        if (b.containers.isEmpty())
            lines << qMakePair(b.sbNo, QString());
        for (const CheckList::Container& c : b.containers)
            lines << qMakePair(b.sbNo, c.number);
    }
    return lines;
}

/// A logged-on installation with the sample EGMs.
struct Installation
{
    DemoFixture demo;
    ScriptedPrompts prompts;
    Installation()
    {
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.logOnAs("clerk", "harbour");
        insertSampleEgms(*logonState().Conn);
    }
    CheckList::Rows rows(const QString& rotText)
    {
        RowSet set;
        CheckList::readRows(set, logonState().Conn, CheckList::egmNumber(rotText));
        return CheckList::billsOf(set);
    }
};

CheckListReport::Heading headingFor(const QString& rotText)
{
    return {ApplyHeadFont(logonState().CompanyName), CheckList::title(rotText),
            QDateTime(QDate(2024, 3, 6), QTime(9, 30))};
}

QPageLayout a4()
{
    return PrinterLand().pageLayout();
}

/// Bills numbered from 1: bill i gets containers of its own, numbered
/// after it, and every field at its widest.
void insertLongEgm(Database& db, double egmno, int bills, int containersEach)
{
    QList<RowValues> cargo, contain;
    int autoid = 1000;
    for (int i = 1; i <= bills; ++i) {
        cargo << RowValues{100 + i,           egmno,          QDate(2024, 3, 4), 700000 + i,
                           QDate(2024, 3, 1), text("INNSA1"), text("USNYC1"),    text("INNSA1"),
                           text("C"),         1234567.125,    text("CBM"),       99999,
                           text("MAEULINE10")};
        for (int c = 1; c <= containersEach; ++c)
            contain << RowValues{autoid++, 100 + i,
                                 QString("CONT%1").arg(i * 100 + c, 7, 10, QChar('0')), text("FCL"),
                                 0};
    }
    db.insertRows("egmcargo",
                  {"id", "egmno", "egmdt", "sbno", "sbdt", "sbport", "destport", "gateport",
                   "naturecargo", "volume", "unitvol", "pkgs", "linecode"},
                  cargo);
    db.insertRows("egmcontain", {"autoid", "ref", "containno", "constatus", "subrefno"}, contain);
}

/// The words of a PDF that stand outside the page's printable area.
QStringList wordsOutside(const QByteArray& pdf, const QPageLayout& layout)
{
    const QRectF area = layout.paintRectPoints();
    const QString boxes = pdfWordBoxes(pdf);
    QStringList outside;
    static const QRegularExpression word("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                         "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<");
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QRectF box(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                         QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
        if (!area.adjusted(-0.5, -0.5, 0.5, 0.5).contains(box))
            outside << m.captured(5);
    }
    if (boxes.isEmpty())
        outside << "<pdftotext -bbox failed>";
    return outside;
}

} // namespace

class TestCheckList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void rowsInShippingBillOrder_data();
    void rowsInShippingBillOrder();
    void noBillGivesTheCargoColumnsAndNoRow();
    void rowsAreThoseARowSetReads_data();
    void rowsAreThoseARowSetReads();
    void theNumberIsBound();
    void billsSharingANumberKeepTheirContainers();
    void datesReadAsStored();
    void readFailureIsShownAndLeavesNoRows();
    void totalsCountEachBillOnce();

    void pdfReadsBack_data();
    void pdfReadsBack();
    void rtfReadsBack_data();
    void rtfReadsBack();
    void longEgmHasTheHeaderOnEveryPage();
    void nothingStandsOutsideThePage_data();
    void nothingStandsOutsideThePage();
    void headingFont_data();
    void headingFont();
    void paperAndOrientation_data();
    void paperAndOrientation();
    void pickPrinter_data();
    void pickPrinter();
    void setUpIsWrittenAsWholeNumbers();

    void titleCarriesTheEgmDate();
    void volumesHaveOneNumberOfDecimals_data();
    void volumesHaveOneNumberOfDecimals();
    void rtfFooterIsThePdfs();
};

namespace {

/// Bills of bulk cargo with these volumes, in CBM.
CheckList::Rows bulkBills(const QList<double>& volumes)
{
    CheckList::Rows rows;
    int n = 0;
    for (double v : volumes) {
        CheckList::Bill b;
        b.sbNo = QString::number(8000 + ++n);
        b.nature = "P";
        b.volume = ValueText::numberText(v);
        b.volumeValue = v;
        b.unit = "CBM";
        rows.bills << b;
    }
    rows.egmDates << "04/03/2024";
    return rows;
}

} // namespace

void TestCheckList::titleCarriesTheEgmDate()
{
    Installation inst;
    const CheckListReport report(inst.rows("2024117"), headingFor("2024117"), a4());
    const QString title = "Check-List for ROT No. 2024117 EGM Date: 04/03/2024";
    QVERIFY(pdfText(report.pdf()).simplified().contains(title));
    QVERIFY(rtfText(report.rtf()).simplified().contains(title));
}

void TestCheckList::volumesHaveOneNumberOfDecimals_data()
{
    QTest::addColumn<QList<double>>("volumes");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QString>("total");
    QTest::newRow("whole numbers stay whole")
        << QList<double>{7, 12} << QStringList{"7", "12"} << "Volume: 19 CBM";
    QTest::newRow("the most decimals set them all")
        << QList<double>{12.5, 3.125, 7} << QStringList{"12.500", "3.125", "7.000"}
        << "Volume: 22.625 CBM";
}

void TestCheckList::volumesHaveOneNumberOfDecimals()
{
    QFETCH(QList<double>, volumes);
    QFETCH(QStringList, printed);
    QFETCH(QString, total);
    Installation inst;
    const CheckListReport report(bulkBills(volumes), headingFor("8"), a4());
    const QString text = rtfText(report.rtf()).simplified();
    QString missing;
    QVERIFY2(ReportTesting::inOrder(text, printed, &missing) >= 0,
             qPrintable(missing + " missing in " + text));
    QCOMPARE(report.totalsText().last(), total);
}

void TestCheckList::rtfFooterIsThePdfs()
{
    Installation inst;
    const CheckListReport report(inst.rows("2024117"), headingFor("2024117"), a4());
    const QStringList footer{"Printed on 06/03/2024 09:30", "Page 1 of 1"};
    QString missing;
    for (const QString& text :
         {pdfText(report.pdf()).simplified(), rtfText(report.rtf()).simplified()})
        QVERIFY2(ReportTesting::inOrder(text, footer, &missing) >= 0, qPrintable(missing));
}

void TestCheckList::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestCheckList::rowsInShippingBillOrder_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<Lines>("lines");

    QTest::newRow("containers present, another EGM's bill saved in between")
        << "2024117" << 4
        << Lines{{"5001", "MSKU1234567"},
                 {"5001", "TCLU7654321"},
                 {"5002", "GESU0000012"},
                 {"5003", "CAIU5550001"}};
    QTest::newRow("bills without containers: one row each, container columns empty")
        << "2024119" << 2 << Lines{{"6001", ""}, {"6002", ""}};
    QTest::newRow("ROT No. with text after the number")
        << "123 A" << 1 << Lines{{"9001", "HLXU3141592"}};
    QTest::newRow("no bill at all") << "424242" << 0 << Lines{};
    QTest::newRow("empty ROT No.") << "" << 0 << Lines{};
}

void TestCheckList::rowsInShippingBillOrder()
{
    QFETCH(QString, rotNo);
    QFETCH(int, rowCount);
    QFETCH(Lines, lines);

    Installation inst;
    RowSet set;
    QVERIFY(CheckList::LoadCheckListRows(set, rotNo));
    QVERIFY(set.isOpen());
    QCOMPARE(set.recordCount(), rowCount);
    QCOMPARE(linesOf(CheckList::billsOf(set)), lines);
    if (rowCount > 0) {
        // All columns of egmcargo, then all of egmcontain.
        QStringList names;
        for (const ColumnInfo& c : set.columns())
            names << c.name.toLower();
        QCOMPARE(names,
                 QStringList({"id", "egmno", "egmdt", "sbno", "sbdt", "sbport", "destport",
                              "gateport", "naturecargo", "volume", "unitvol", "pkgs", "linecode",
                              "autoid", "ref", "containno", "constatus", "subrefno"}));
    }
    QVERIFY(inst.prompts.calls.isEmpty());
}

void TestCheckList::rowsAreThoseARowSetReads_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::newRow("containers") << "2024117";
    QTest::newRow("bulk cargo") << "2024119";
    QTest::newRow("a bill without a date") << "7001";
    QTest::newRow("no bill") << "424242";
}

void TestCheckList::rowsAreThoseARowSetReads()
{
    // The rows are read forward on the engine's own terms: the set must
    // hold what a row set opened on the same select holds.
    QFETCH(QString, rotNo);
    Installation inst;
    RowSet read;
    CheckList::readRows(read, logonState().Conn, CheckList::egmNumber(rotNo));
    RowSet opened;
    opened.open(logonState().Conn, QString::fromLatin1(CheckList::joinSql),
                {CheckList::egmNumber(rotNo)});
    if (opened.recordCount() == 0)
        opened.open(logonState().Conn, QString::fromLatin1(CheckList::cargoSql),
                    {CheckList::egmNumber(rotNo)});
    QCOMPARE(read.recordCount(), opened.recordCount());
    QCOMPARE(read.columns().size(), opened.columns().size());
    for (qsizetype k = 0; k < opened.columns().size(); ++k) {
        QCOMPARE(read.columns()[k].name, opened.columns()[k].name);
        QCOMPARE(read.columns()[k].baseTable, opened.columns()[k].baseTable);
    }
    read.moveFirst();
    for (opened.moveFirst(); !opened.eof(); opened.moveNext(), read.moveNext())
        for (int k = 0; k < opened.columns().size(); ++k) {
            const QVariant a = read.value(k);
            const QVariant e = opened.value(k);
            QVERIFY2(a.isNull() == e.isNull() &&
                         (a.isNull() || (a.typeId() == e.typeId() && a == e)),
                     qPrintable(QStringLiteral("%1: %2 / %3")
                                    .arg(opened.columns()[k].name, a.toString(), e.toString())));
        }
    // The set is the program's own: it re-reads its select.
    read.requery();
    QCOMPARE(read.recordCount(), opened.recordCount());
}

void TestCheckList::noBillGivesTheCargoColumnsAndNoRow()
{
    Installation inst;
    RowSet set;
    QVERIFY(CheckList::LoadCheckListRows(set, "424242"));
    QCOMPARE(set.recordCount(), 0);
    QCOMPARE(set.columns().size(), 13);
    QCOMPARE(set.columnIndex("autoid"), -1);
    QCOMPARE(set.columnIndex("sbno"), 3);
}

void TestCheckList::theNumberIsBound()
{
    Installation inst;
    RowSet set;
    // Spliced into the text this would select every bill.
    QVERIFY(CheckList::LoadCheckListRows(set, "0 or 1=1"));
    QCOMPARE(set.recordCount(), 0);
    QVERIFY(CheckList::LoadCheckListRows(set, "2024117 or 1=1"));
    QCOMPARE(linesOf(CheckList::billsOf(set)).size(), 4);
}

void TestCheckList::billsSharingANumberKeepTheirContainers()
{
    Installation inst;
    Database& db = *logonState().Conn;
    // Two bills numbered 8100, their containers entered alternately; a bill
    // saved without its number comes first (on a server too, which would
    // sort an empty value last).
    db.insertRows("egmcargo", {"id", "egmno", "sbno", "sbdt", "pkgs"},
                  {{21, 555, 8100, QDate(2024, 3, 1), 1},
                   {20, 555, 8000, QDate(2024, 3, 1), 2},
                   {22, 555, 8100, QDate(2024, 3, 1), 3},
                   {23, 555, QVariant(), QDate(2024, 3, 1), 4}});
    db.insertRows("egmcontain", {"autoid", "ref", "containno", "constatus", "subrefno"},
                  {{301, 22, text("B2-FIRST"), text("FCL"), 0},
                   {302, 21, text("B1-FIRST"), text("FCL"), 0},
                   {303, 22, text("B2-SECOND"), text("FCL"), 0},
                   {304, 21, text("B1-SECOND"), text("FCL"), 0}});
    const CheckList::Rows rows = inst.rows("555");
    QCOMPARE(linesOf(rows), (Lines{{"", ""},
                                   {"8000", ""},
                                   {"8100", "B1-FIRST"},
                                   {"8100", "B1-SECOND"},
                                   {"8100", "B2-FIRST"},
                                   {"8100", "B2-SECOND"}}));
    QCOMPARE(rows.bills.size(), 4);
    QCOMPARE(rows.packages(), 10.0);
}

void TestCheckList::datesReadAsStored()
{
    // Whatever the engine keeps a date-time as: the check-list shows the
    // date as typed, the clock reading too when there is one.
    Installation inst;
    Database& db = *logonState().Conn;
    db.insertRows(
        "egmcargo", {"id", "egmno", "egmdt", "sbno", "sbdt"},
        {{31, 556, QDateTime(QDate(2024, 3, 5), QTime(23, 30, 15)), 8200, QDate(2024, 2, 29)},
         {32, 556, QDateTime(QDate(2024, 3, 6), QTime(0, 0)), 8201,
          QDateTime(QDate(2024, 3, 1), QTime(0, 15))}});
    const CheckList::Rows rows = inst.rows("556");
    QCOMPARE(rows.egmDates, (QStringList{"05/03/2024 23:30:15", "06/03/2024"}));
    QCOMPARE(rows.bills.size(), 2);
    QCOMPARE(rows.bills[0].sbDate, QString("29/02/2024"));
    QCOMPARE(rows.bills[1].sbDate, QString("01/03/2024 00:15:00"));
}

void TestCheckList::readFailureIsShownAndLeavesNoRows()
{
    Installation inst;
    RowSet set;
    QVERIFY(CheckList::LoadCheckListRows(set, "2024117"));
    logonState().Conn->exec("drop table egmcontain");
    QVERIFY(!CheckList::LoadCheckListRows(set, "2024117"));
    QVERIFY(!set.isOpen());
    QCOMPARE(set.recordCount(), 0);
    const QStringList shown = inst.prompts.messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith("The check-list rows could not be read from the database:\n"),
             qPrintable(shown.first()));
    // The number, three blanks, the description.
    QVERIFY2(QRegularExpression("\\n-?\\d+   \\S").match(shown.first()).hasMatch(),
             qPrintable(shown.first()));
}

void TestCheckList::totalsCountEachBillOnce()
{
    Installation inst;
    const CheckListReport report(inst.rows("2024117"), headingFor("2024117"), a4());
    QCOMPARE(report.totalsText(),
             QStringList(
                 {"Shipping bills: 3      Containers: 4      Packages: 155", "Volume: 12.5 CBM"}));
    const CheckListReport bulk(inst.rows("2024119"), headingFor("2024119"), a4());
    QCOMPARE(bulk.totalsText(),
             QStringList(
                 {"Shipping bills: 2      Containers: 0      Packages: 0", "Volume: 250.75 MT"}));
    const CheckListReport none(inst.rows("1"), headingFor("1"), a4());
    QCOMPARE(none.totalsText(),
             QStringList({"Shipping bills: 0      Containers: 0      Packages: 0", "Volume: 0"}));
}

namespace {

void readBackCases()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QStringList>("inOrder");

    QTest::newRow("containerised") << "2024117"
                                   << QStringList{"S/B",
                                                  "Container",
                                                  "No.",
                                                  "Status",
                                                  "5001",
                                                  "01/03/2024",
                                                  "INNSA1",
                                                  "USNYC1",
                                                  "120",
                                                  "MAEU",
                                                  "MSKU1234567",
                                                  "FCL",
                                                  "TCLU7654321",
                                                  "5002",
                                                  "28/02/2024",
                                                  "AEJEA1",
                                                  "35",
                                                  "GESU0000012",
                                                  "LCL",
                                                  "5003",
                                                  "SGSIN1",
                                                  "12.5",
                                                  "CBM",
                                                  "CAIU5550001",
                                                  "Shipping bills: 3",
                                                  "Containers: 4",
                                                  "Packages: 155",
                                                  "Volume: 12.5 CBM",
                                                  "Page 1 of 1"};
    QTest::newRow("bulk cargo") << "2024119"
                                << QStringList{"6001",
                                               "08/04/2024",
                                               "NLRTM1",
                                               "250.75",
                                               "MT",
                                               "6002",
                                               "DEHAM1",
                                               "Shipping bills: 2",
                                               "Containers: 0",
                                               "Volume: 250.75 MT",
                                               "Page 1 of 1"};
    QTest::newRow("no bill: an empty report")
        << "  99 "
        << QStringList{"Container", "No shipping bill is recorded for this ROT No.",
                       "Shipping bills: 0", "Page 1 of 1"};
}

} // namespace

void TestCheckList::pdfReadsBack_data()
{
    readBackCases();
}

void TestCheckList::pdfReadsBack()
{
    QFETCH(QString, rotNo);
    QFETCH(QStringList, inOrder);

    Installation inst;
    const CheckListReport report(inst.rows(rotNo), headingFor(rotNo), a4());
    QCOMPARE(report.pageCount(), 1);
    const QByteArray pdf = report.pdf();
    QCOMPARE(pdfPages(pdf), 1);
    QCOMPARE(report.title(), "Check-List for ROT No. " + rotNo);
    const QString text = pdfText(pdf).simplified();
    QString missing;
    QVERIFY2(ReportTesting::inOrder(text,
                                    QStringList{logonState().CompanyName,
                                                ("Check-List for ROT No. " + rotNo).simplified()} +
                                        inOrder,
                                    &missing) >= 0,
             qPrintable(missing + " not found in order in:\n" + text));
    QVERIFY(inst.prompts.calls.isEmpty());
}

void TestCheckList::rtfReadsBack_data()
{
    readBackCases();
}

void TestCheckList::rtfReadsBack()
{
    QFETCH(QString, rotNo);
    QFETCH(QStringList, inOrder);

    Installation inst;
    const CheckListReport report(inst.rows(rotNo), headingFor(rotNo), a4());
    const QString text = rtfText(report.rtf()).simplified();
    QString missing;
    QVERIFY2(ReportTesting::inOrder(text,
                                    QStringList{logonState().CompanyName,
                                                ("Check-List for ROT No. " + rotNo).simplified()} +
                                        inOrder,
                                    &missing) >= 0,
             qPrintable(missing + " not found in order in:\n" + text));
}

void TestCheckList::longEgmHasTheHeaderOnEveryPage()
{
    Installation inst;
    insertLongEgm(*logonState().Conn, 777, 120, 3);
    const CheckListReport report(inst.rows("777"), headingFor("777"), a4());
    const int pages = report.pageCount();
    QVERIFY2(pages >= 4, qPrintable(QString::number(pages)));
    const QByteArray pdf = report.pdf();
    QCOMPARE(pdfPages(pdf), pages);

    QStringList containers;
    for (int i = 1; i <= 120; ++i)
        for (int c = 1; c <= 3; ++c)
            containers << QString("CONT%1").arg(i * 100 + c, 7, 10, QChar('0'));
    QString all;
    for (int p = 1; p <= pages; ++p) {
        const QString page = pdfText(pdf, p, p);
        QString missing;
        QVERIFY2(ReportTesting::inOrder(page,
                                        {logonState().CompanyName, "Check-List for ROT No. 777",
                                         "EGM Date: 04/03/2024", "Container", "Status",
                                         QString("Page %1 of %2").arg(p).arg(pages)},
                                        &missing) >= 0,
                 qPrintable(QString("page %1: %2 missing in\n%3").arg(p).arg(missing, page)));
        all += page;
    }
    // Every container once, in order; the totals at the end only.
    QString missing;
    QVERIFY2(
        ReportTesting::inOrder(all, containers + QStringList{"Shipping bills: 120"}, &missing) >= 0,
        qPrintable(missing));
    QCOMPARE(all.count("Shipping bills: 120"), 1);
    for (const QString& c : {containers.first(), containers.last()})
        QCOMPARE(all.count(c), 1);
    QVERIFY(!pdfText(pdf, 1, pages - 1).contains("Shipping bills:"));

    // The RTF has the same pages.
    const QString rtf = rtfText(report.rtf());
    QCOMPARE(rtf.count("Check-List for ROT No. 777"), pages);
    QVERIFY(rtf.contains(QString("Page %1 of %1").arg(pages)));
    QVERIFY(ReportTesting::inOrder(rtf, containers, &missing) >= 0);
}

void TestCheckList::nothingStandsOutsideThePage_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<double>("bodyPoints"); ///< the font the columns get

    QTest::newRow("sample, A4 portrait") << "2024117" << 9 << 1 << 8.5;
    QTest::newRow("widest fields, A4 portrait") << "777" << 9 << 1 << -7.5;
    QTest::newRow("widest fields, A5 portrait: a smaller font") << "777" << 11 << 1 << 0.0;
    QTest::newRow("widest fields, A4 landscape") << "777" << 9 << 2 << 8.5;
}

void TestCheckList::nothingStandsOutsideThePage()
{
    QFETCH(QString, rotNo);
    QFETCH(int, paper);
    QFETCH(int, orientation);
    QFETCH(double, bodyPoints);

    Installation inst;
    insertLongEgm(*logonState().Conn, 777, 3, 2);
    PrinterLand printer;
    printer.paper = paper;
    printer.orientation = orientation;
    const CheckListReport report(inst.rows(rotNo), headingFor(rotNo), printer.pageLayout());
    const QStringList outside = wordsOutside(report.pdf(), printer.pageLayout());
    QVERIFY2(outside.isEmpty(),
             qPrintable(outside.join(" | ") + " at " + QString::number(report.bodyPointSize())));
    if (bodyPoints > 0)
        QCOMPARE(report.bodyPointSize(), bodyPoints);
    else if (bodyPoints < 0) // a little smaller, still easy to read
        QVERIFY2(report.bodyPointSize() < 8.5 && report.bodyPointSize() >= -bodyPoints,
                 qPrintable(QString::number(report.bodyPointSize())));
    else
        QVERIFY2(report.bodyPointSize() < 8.5 && report.bodyPointSize() > 4,
                 qPrintable(QString::number(report.bodyPointSize())));
}

void TestCheckList::headingFont_data()
{
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("expectedFont");

    QTest::newRow("font and size set") << "DejaVu Serif"
                                       << "20"
                                       << "DejaVuSerif-Bold";
    QTest::newRow("size 0 keeps the report's font") << "DejaVu Serif"
                                                    << "0"
                                                    << "DejaVuSans-Bold";
    QTest::newRow("no size keeps the report's font") << "DejaVu Serif"
                                                     << ""
                                                     << "DejaVuSans-Bold";
}

void TestCheckList::headingFont()
{
    QFETCH(QString, font);
    QFETCH(QString, size);
    QFETCH(QString, expectedFont);

    Installation inst;
    WriteIni("Options", "Font", font);
    WriteIni("Options", "FontSize", size);
    const CheckListReport report(inst.rows("2024117"), headingFor("2024117"), a4());
    const QByteArray pdf = report.pdf();
    const QString fonts = pdfFonts(pdf);
    QVERIFY2(fonts.contains(expectedFont), qPrintable(fonts));
    if (expectedFont != "DejaVuSerif-Bold")
        QVERIFY2(!fonts.contains("DejaVuSerif"), qPrintable(fonts));
    QVERIFY(pdfText(pdf).contains(logonState().CompanyName));
}

void TestCheckList::paperAndOrientation_data()
{
    QTest::addColumn<QStringList>("keys"); ///< Printer, Paper, Orient; absent when empty list
    QTest::addColumn<QString>("pageSize");

    QTest::newRow("no keys: A4 portrait") << QStringList() << "595 x 842 pts (A4)";
    QTest::newRow("keys present but empty") << QStringList{"", "", ""} << "595 x 842 pts (A4)";
    QTest::newRow("A4 landscape") << QStringList{"", "9", "2"} << "842 x 595 pts (A4)";
    QTest::newRow("Letter portrait") << QStringList{"", "1", "1"} << "612 x 792 pts (letter)";
    QTest::newRow("Legal, orientation empty") << QStringList{"", "5", ""} << "612 x 1008 pts";
    QTest::newRow("codes that are no whole numbers")
        << QStringList{"", "A4", "land"} << "595 x 842 pts (A4)";
    QTest::newRow("unknown paper code") << QStringList{"", "31999", "1"} << "595 x 842 pts (A4)";
}

void TestCheckList::paperAndOrientation()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, pageSize);

    Installation inst;
    if (!keys.isEmpty()) {
        WriteIni("PrinterLand", "Printer", keys[0]);
        WriteIni("PrinterLand", "Paper", keys[1]);
        WriteIni("PrinterLand", "Orient", keys[2]);
    }
    const PrinterLand printer = PrinterLand::fromIni();
    const CheckListReport report(inst.rows("2024117"), headingFor("2024117"), printer.pageLayout());
    QCOMPARE(pdfPageSize(report.pdf()), pageSize);
}

void TestCheckList::pickPrinter_data()
{
    QTest::addColumn<QString>("named");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QString>("systemDefault");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("error");

    const QStringList two{"Front Desk", "Office Laser"};
    QTest::newRow("the one named") << "Office Laser" << two << "Front Desk"
                                   << "Office Laser"
                                   << "";
    QTest::newRow("none named: the system's default") << "" << two << "Office Laser"
                                                      << "Office Laser"
                                                      << "";
    QTest::newRow("none named, no default: the first") << "" << two << ""
                                                       << "Front Desk"
                                                       << "";
    QTest::newRow("the one named is gone")
        << "Upstairs" << two << "Front Desk"
        << ""
        << "The printer \"Upstairs\" chosen in Printer Setup is not available. Choose a printer "
           "in Printer Setup.";
    QTest::newRow("no printer at all")
        << "Office Laser" << QStringList() << ""
        << ""
        << "No printer is set up on this computer, so the check-list cannot be printed. Print "
           "Preview shows it and saves it as PDF.";
}

void TestCheckList::pickPrinter()
{
    QFETCH(QString, named);
    QFETCH(QStringList, available);
    QFETCH(QString, systemDefault);
    QFETCH(QString, printer);
    QFETCH(QString, error);

    QString why;
    QCOMPARE(PrinterLand::pickPrinter(named, available, systemDefault, &why), printer);
    QCOMPARE(why, error);
}

void TestCheckList::setUpIsWrittenAsWholeNumbers()
{
    TestHome home;
    PrinterLand p;
    p.printer = "Office Laser";
    p.paper = PrinterLand::paperCode(QPageSize(QPageSize::A3));
    p.orientation = PrinterLand::orientationCode(QPageLayout::Landscape);
    p.toIni();
    QCOMPARE(ReadIni("PrinterLand", "Printer"), QString("Office Laser"));
    QCOMPARE(ReadIni("PrinterLand", "Paper"), QString("8"));
    QCOMPARE(ReadIni("PrinterLand", "Orient"), QString("2"));
    const PrinterLand back = PrinterLand::fromIni();
    QCOMPARE(back.pageLayout().pageSize().id(), QPageSize::A3);
    QCOMPARE(back.pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(PrinterLand::orientationCode(QPageLayout::Portrait), 1);
    QCOMPARE(PrinterLand::paperCode(QPageSize(QPageSize::A4)), 9);
    QCOMPARE(PrinterLand::paperCode(QPageSize(QPageSize::Letter)), 1);
}

QTEST_MAIN(TestCheckList)
#include "tst_checklist.moc"
