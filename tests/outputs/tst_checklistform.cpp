// Check-List Printing and the report window, driven by keys and clicks as a
// clerk would, on a demo installation holding the EGMs of OutputsTesting.h.
// What the report holds is tested in tst_checklist; here what the screens
// add: the fields, the box, the buttons, the window and the mail.

#include "AppPaths.h"
#include "CheckListReport.h"
#include "MyFunc.h"
#include "OutputsTesting.h"
#include "ReportTesting.h"
#include "RowSet.h"
#include "frmCheckList.h"
#include "frmPrint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>

using namespace OutputsTesting;

namespace {

/// The check-list screen beside the main window's row set.
struct Screen : OutputScreen<frmCheckList>
{
    RowSet reportRs;
    QList<PrinterLand> dialogShown;          ///< what the printer dialog was opened on
    std::optional<PrinterLand> dialogAnswer; ///< what it answers

    Screen()
        : OutputScreen({"customs@port.example", "accounts@agency.example; ops@agency.example",
                        "Check-list", "Please check the attached list."})
    {
        SetReportRS(&reportRs);
        form->setPrinterDialog([this](QWidget* owner, const PrinterLand& current) {
            dialogShown << current;
            Q_ASSERT(owner == form.get());
            return dialogAnswer;
        });
    }
    ~Screen()
    {
        if (frmPrint* window = report())
            delete window;
        SetReportRS(nullptr);
    }

    QCheckBox* box() const { return form->findChild<QCheckBox*>("Check1"); }
    frmPrint* report() const { return form ? form->findChild<frmPrint*>() : nullptr; }
    const CheckListReport* shown() const
    {
        return report() ? dynamic_cast<const CheckListReport*>(report()->report().get()) : nullptr;
    }
    void type(const QString& rotNo)
    {
        field(4)->selectAll();
        field(4)->del();
        field(4)->setFocus();
        QTest::keyClicks(field(4), rotNo);
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    /// The preview's pages read back as text.
    QString previewText() const
    {
        return shown() ? ReportTesting::pdfText(shown()->pdf()).simplified() : QString();
    }
};

} // namespace

class TestCheckListForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void screenAsLoaded();
    void keys();
    void focusGoesToRotNoWhenActivated();

    void previewShowsTheReportWindow();
    void previewWithoutBills();
    void failedReadShowsNoReport();
    void tickedBoxReusesTheRowsUnderTheNewTitle();
    void tickedBoxBeforeAnyRowsLoadsThem();
    void reportWindowIsAChildOfTheMainWindow();

    void printerSetupIsRemembered();
    void cancelledPrinterSetupChangesNothing();
    void printerSettingsAreReadAtLoad();
    void printWithoutAPrinterSaysSo();

    void reportWindowPages();
    void reportWindowZoom();
    void reportWindowExports_data();
    void reportWindowExports();

    void emailSendsLedgerRtf_data();
    void emailSendsLedgerRtf();

private:
    MailCases mail_;
};

void TestCheckListForm::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    mail_.start(QFINDTESTDATA("smtp_sink.py"));
}

void TestCheckListForm::init()
{
    mail_.clear();
}

void TestCheckListForm::screenAsLoaded()
{
    Screen s;
    QCOMPARE(s.form->objectName(), QString("frmCheckList"));
    QCOMPARE(s.form->windowTitle(), QString("Check-List Printing"));
    QCOMPARE(s.form->findChild<QLabel*>("lblHead")->text(), QString("Check-List Printing"));
    const QList<QPair<int, QString>> captions = {
        {4, "ROT No."}, {0, "Email Addresses"}, {1, "CC To."}, {2, "Subject"}, {3, "Message"}};
    for (const auto& [index, caption] : captions) {
        auto* label = s.form->findChild<QLabel*>(QStringLiteral("lblFields_%1").arg(index));
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->buddy(), s.field(index));
    }
    QCOMPARE(s.field(4)->text(), QString());
    QCOMPARE(s.field(0)->text(), QString("customs@port.example"));
    QCOMPARE(s.field(1)->text(), QString("accounts@agency.example; ops@agency.example"));
    QCOMPARE(s.field(2)->text(), QString("Check-list"));
    QCOMPARE(s.field(3)->text(), QString("Please check the attached list."));
    QCOMPARE(s.box()->text(), QString("Print Previewd Report"));
    QVERIFY(!s.box()->isChecked());
    const QList<QPair<const char*, QString>> buttons = {{"cmdPrint", "Print Preview"},
                                                        {"cmdDprint", "Print Report"},
                                                        {"cmdPsetup", "Printer Setup"},
                                                        {"cmdEmail", "Email Report"},
                                                        {"cmdExit", "Close"}};
    for (const auto& [name, caption] : buttons)
        QCOMPARE(s.button(name)->text(), caption);

    // Tab order: ROT No., the mail fields, the box, the buttons.
    QCOMPARE(QApplication::focusWidget(), s.field(4));
    QList<QWidget*> order = {s.field(0), s.field(1), s.field(2), s.field(3), s.box()};
    for (const auto& b : buttons)
        order << s.button(b.first);
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestCheckListForm::keys()
{
    Screen s;
    QTest::keyClicks(s.field(4), "2024117");
    QTest::keyClick(s.field(4), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), s.field(0));
    QCOMPARE(s.field(4)->text(), QString("2024117"));
    // Overtype.
    s.field(4)->setFocus();
    s.field(4)->setCursorPosition(0);
    QTest::keyClicks(s.field(4), "3");
    QCOMPARE(s.field(4)->text(), QString("3024117"));
    // Enter on the box moves on; it does not tick it.
    s.box()->setFocus();
    QTest::keyClick(s.box(), Qt::Key_Return);
    QVERIFY(!s.box()->isChecked());
    QCOMPARE(QApplication::focusWidget(), s.button("cmdPrint"));
    // Esc closes; nothing was shown.
    QTest::keyClick(s.field(3), Qt::Key_Escape);
    QVERIFY(!s.form->isVisible());
    QVERIFY(!s.report());
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestCheckListForm::focusGoesToRotNoWhenActivated()
{
    Screen s;
    s.form.reset();
    checkFocusReturnsToRotNo<frmCheckList>("txtFields_2");
}

void TestCheckListForm::previewShowsTheReportWindow()
{
    Screen s;
    s.type("2024117");
    s.click("cmdPrint");
    QVERIFY(s.prompts.calls.isEmpty());
    frmPrint* window = s.report();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Check-List"));
    QCOMPARE(s.shown()->title(), QString("Check-List for ROT No. 2024117"));
    QCOMPARE(window->viewer()->pageCount(), 1);
    QCOMPARE(window->findChild<QLabel*>("lblPage")->text(), QString("Page 1 of 1"));
    QCOMPARE(s.reportRs.recordCount(), 4);
    QString missing;
    QVERIFY2(ReportTesting::inOrder(s.previewText(),
                                    {"Check-List for ROT No. 2024117", "MSKU1234567", "TCLU7654321",
                                     "GESU0000012", "CAIU5550001"},
                                    &missing) >= 0,
             qPrintable(missing));

    // A second preview uses the same window.
    s.type("2024119");
    s.click("cmdPrint");
    QCOMPARE(s.form->findChildren<frmPrint*>().size(), 1);
    QCOMPARE(s.shown()->title(), QString("Check-List for ROT No. 2024119"));
    QVERIFY(s.previewText().contains("6001"));
}

void TestCheckListForm::previewWithoutBills()
{
    Screen s;
    s.type("31337");
    s.click("cmdPrint");
    // An empty report, no message.
    QVERIFY(s.prompts.calls.isEmpty());
    QCOMPARE(s.report()->viewer()->pageCount(), 1);
    QVERIFY(s.previewText().contains("No shipping bill is recorded for this ROT No."));
}

void TestCheckListForm::failedReadShowsNoReport()
{
    Screen s;
    s.type("2024117");
    logonState().Conn->exec("drop table egmcontain");
    for (const char* button : {"cmdPrint", "cmdDprint", "cmdEmail"}) {
        s.prompts.clear();
        s.click(button);
        // The failure, and no report that would read as an EGM without bills.
        QCOMPARE(s.prompts.calls.size(), 1);
        QVERIFY2(s.prompts.calls[0].text.startsWith(
                     "The check-list rows could not be read from the database"),
                 qPrintable(s.prompts.calls[0].text));
        QVERIFY(!s.report());
    }
}

void TestCheckListForm::tickedBoxReusesTheRowsUnderTheNewTitle()
{
    Screen s;
    s.type("2024117");
    s.click("cmdPrint");
    QTest::keyClick(s.box(), Qt::Key_Space);
    QVERIFY(s.box()->isChecked());
    // A bill saved meanwhile is not read: the rows are those loaded before.
    logonState().Conn->insertRows("egmcargo", {"id", "egmno", "sbno", "sbdt"},
                                  {{50, 2024117, 4999, QDate(2024, 3, 1)}});
    s.type("2024119");
    s.click("cmdPrint");
    QCOMPARE(s.shown()->title(), QString("Check-List for ROT No. 2024119"));
    const QString text = s.previewText();
    QVERIFY2(text.contains("MSKU1234567") && !text.contains("6001") && !text.contains("4999"),
             qPrintable(text));

    // Unticked, the rows are read again.
    QTest::keyClick(s.box(), Qt::Key_Space);
    s.click("cmdPrint");
    QVERIFY(s.previewText().contains("6001"));
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestCheckListForm::tickedBoxBeforeAnyRowsLoadsThem()
{
    Screen s;
    QTest::keyClick(s.box(), Qt::Key_Space);
    s.type("2024117");
    s.click("cmdPrint");
    QVERIFY(s.prompts.calls.isEmpty());
    QCOMPARE(s.reportRs.recordCount(), 4);
    QVERIFY(s.previewText().contains("CAIU5550001"));
}

void TestCheckListForm::reportWindowIsAChildOfTheMainWindow()
{
    Screen s;
    s.form.reset();
    QMdiArea area;
    area.resize(1000, 700);
    auto* form = new frmCheckList;
    area.addSubWindow(form);
    area.show();
    QApplication::setActiveWindow(&area);
    QTest::keyClicks(form->findChild<QLineEdit*>("txtFields_4"), "2024117");
    QTest::mouseClick(form->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    QList<QMdiSubWindow*> subs = area.subWindowList();
    QCOMPARE(subs.size(), 2);
    auto* window = qobject_cast<frmPrint*>(subs.last()->widget());
    QVERIFY(window);
    QCOMPARE(area.activeSubWindow(), subs.last());
    QCOMPARE(window->windowTitle(), QString("Check-List"));
    // The viewer takes the window under its tool bar.
    const QWidget* bar = window->findChild<QWidget*>("barReport");
    QCOMPARE(window->viewer()->geometry(),
             QRect(0, bar->height(), window->width(), window->height() - bar->height()));
    QTest::mouseClick(form->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    QCOMPARE(area.subWindowList().size(), 2);
}

void TestCheckListForm::printerSetupIsRemembered()
{
    Screen s;
    PrinterLand chosen;
    chosen.printer = "Office Laser";
    chosen.paper = 9;
    chosen.orientation = 2;
    s.dialogAnswer = chosen;
    s.click("cmdPsetup");
    QCOMPARE(s.dialogShown.size(), 1);
    QCOMPARE(ReadIni("PrinterLand", "Printer"), QString("Office Laser"));
    QCOMPARE(ReadIni("PrinterLand", "Paper"), QString("9"));
    QCOMPARE(ReadIni("PrinterLand", "Orient"), QString("2"));
    // The next preview is on that page; the next set-up opens on that choice.
    s.type("2024117");
    s.click("cmdPrint");
    QCOMPARE(s.shown()->pageLayout().orientation(), QPageLayout::Landscape);
    s.click("cmdPsetup");
    QCOMPARE(s.dialogShown.last().printer, QString("Office Laser"));
    QCOMPARE(s.dialogShown.last().orientation, std::optional<int>(2));
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestCheckListForm::cancelledPrinterSetupChangesNothing()
{
    Screen s;
    s.click("cmdPsetup");
    QCOMPARE(s.dialogShown.size(), 1);
    const QString ini = fileBytes(AppPaths::iniFile());
    QVERIFY2(!ini.contains("PrinterLand"), qPrintable(ini));
}

void TestCheckListForm::printerSettingsAreReadAtLoad()
{
    Screen s;
    s.form.reset();
    WriteIni("PrinterLand", "Printer", "");
    WriteIni("PrinterLand", "Paper", "1");
    WriteIni("PrinterLand", "Orient", "");
    frmCheckList form;
    QCOMPARE(form.printer().printer, QString());
    QCOMPARE(form.printer().paper, std::optional<int>(1));
    QCOMPARE(form.printer().orientation, std::optional<int>());
    QCOMPARE(form.printer().pageLayout().pageSize().id(), QPageSize::Letter);
    QCOMPARE(form.printer().pageLayout().orientation(), QPageLayout::Portrait);
}

void TestCheckListForm::printWithoutAPrinterSaysSo()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("This machine has printers; the rule is tested in tst_checklist (pickPrinter).");
    Screen s;
    s.type("2024117");
    s.click("cmdDprint");
    QCOMPARE(s.prompts.messages(),
             QStringList{"No printer is set up on this computer, so the check-list cannot be "
                         "printed. Print Preview shows it and saves it as PDF."});
    // The rows were read all the same.
    QCOMPARE(s.reportRs.recordCount(), 4);
    // The report window's Print says the same.
    s.click("cmdPrint");
    s.prompts.clear();
    QTest::mouseClick(s.report()->findChild<QToolButton*>("cmdPrint"), Qt::LeftButton);
    QCOMPARE(s.prompts.messages().size(), 1);
    QVERIFY(s.prompts.messages().first().startsWith("No printer is set up"));
}

void TestCheckListForm::reportWindowPages()
{
    Screen s;
    QList<RowValues> bills;
    for (int i = 0; i < 200; ++i)
        bills << RowValues{1000 + i, 4242, 80000 + i, QDate(2024, 3, 1), 1};
    logonState().Conn->insertRows("egmcargo", {"id", "egmno", "sbno", "sbdt", "pkgs"}, bills);
    s.type("4242");
    s.click("cmdPrint");
    frmPrint* window = s.report();
    const int pages = s.shown()->pageCount();
    QVERIFY(pages >= 3);
    QCOMPARE(window->viewer()->pageCount(), pages);
    auto* label = window->findChild<QLabel*>("lblPage");
    const auto page = [&](const char* button) {
        QTest::mouseClick(window->findChild<QToolButton*>(button), Qt::LeftButton);
        return label->text();
    };
    QCOMPARE(label->text(), QString("Page 1 of %1").arg(pages));
    QCOMPARE(page("cmdNext"), QString("Page 2 of %1").arg(pages));
    QCOMPARE(page("cmdLast"), QString("Page %1 of %1").arg(pages));
    QCOMPARE(page("cmdNext"), QString("Page %1 of %1").arg(pages));
    QCOMPARE(page("cmdPrevious"), QString("Page %1 of %2").arg(pages - 1).arg(pages));
    QCOMPARE(page("cmdFirst"), QString("Page 1 of %1").arg(pages));
    QCOMPARE(page("cmdPrevious"), QString("Page 1 of %1").arg(pages));
    QCOMPARE(window->viewer()->currentPage(), 1);

    // Esc closes the report window, the check-list stays.
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QVERIFY(s.form->isVisible());
}

void TestCheckListForm::reportWindowZoom()
{
    Screen s;
    s.type("2024117");
    s.click("cmdPrint");
    frmPrint* window = s.report();
    QPrintPreviewWidget* viewer = window->viewer();
    QCOMPARE(viewer->zoomMode(), QPrintPreviewWidget::FitToWidth);
    auto* zoom = window->findChild<QComboBox*>("cboZoom");
    zoom->lineEdit()->selectAll();
    QTest::keyClicks(zoom->lineEdit(), "150%");
    QTest::keyClick(zoom->lineEdit(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(viewer->zoomMode(), QPrintPreviewWidget::CustomZoom);
    QCOMPARE(viewer->zoomFactor(), 1.5);
    QCOMPARE(zoom->currentText(), QString("150%"));
    QTest::mouseClick(window->findChild<QToolButton*>("cmdFitPage"), Qt::LeftButton);
    QCOMPARE(viewer->zoomMode(), QPrintPreviewWidget::FitInView);
    QTest::mouseClick(window->findChild<QToolButton*>("cmdFitWidth"), Qt::LeftButton);
    QCOMPARE(viewer->zoomMode(), QPrintPreviewWidget::FitToWidth);
    // What is no zoom changes nothing.
    zoom->lineEdit()->selectAll();
    QTest::keyClicks(zoom->lineEdit(), "lots");
    QTest::keyClick(zoom->lineEdit(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(zoom->currentText(), QString("%1%").arg(std::lround(viewer->zoomFactor() * 100)));
    QCOMPARE(viewer->zoomMode(), QPrintPreviewWidget::FitToWidth);
}

void TestCheckListForm::reportWindowExports_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QByteArray>("starts");

    QTest::newRow("PDF") << "cmdExportPdf"
                         << "Export to PDF"
                         << "PDF files (*.pdf)" << QByteArray("%PDF-");
    QTest::newRow("RTF") << "cmdExportRtf"
                         << "Export to RTF"
                         << "Rich Text files (*.rtf)" << QByteArray("{\\rtf1");
}

void TestCheckListForm::reportWindowExports()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(QByteArray, starts);

    Screen s;
    s.type("2024117");
    s.click("cmdPrint");
    QToolButton* exportButton = s.report()->findChild<QToolButton*>(button);

    // Cancelled: nothing written.
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(s.prompts.calls.size(), 1);
    const ScriptedPrompts::Call call = s.prompts.calls.first();
    QCOMPARE(call.kind, QString("saveFile"));
    QCOMPARE(call.text, title);
    QCOMPARE(call.filter, filter);
    QVERIFY2(call.initial.startsWith(s.demo.path()), qPrintable(call.initial));

    const QString target = s.demo.file("exported.file");
    s.prompts.files.enqueue(target);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    const QByteArray bytes = fileBytes(target);
    QVERIFY(bytes.startsWith(starts));
    const QString text =
        (starts == "%PDF-" ? ReportTesting::pdfText(bytes) : ReportTesting::rtfText(bytes));
    QVERIFY2(text.contains("CAIU5550001"), qPrintable(text));

    // A folder that cannot be written is named.
    s.prompts.clear();
    const QString nowhere = s.demo.file("missing-folder/report.file");
    s.prompts.files.enqueue(nowhere);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(s.prompts.messages().size(), 1);
    QVERIFY2(s.prompts.messages().first().startsWith("Cannot write \"" +
                                                     QDir::toNativeSeparators(nowhere) + "\""),
             qPrintable(s.prompts.messages().first()));
}

void TestCheckListForm::emailSendsLedgerRtf_data()
{
    QTest::addColumn<QString>("eformat");
    QTest::addColumn<QByteArray>("starts");
    QTest::addColumn<QStringList>("messages");

    const QString asRtf = " (Tarvex.ini, section [Database], key Eformat: 0 for RTF, 1 for PDF). "
                          "The check-list is sent as RTF.";
    QTest::newRow("0: RTF") << "0" << QByteArray("{\\rtf1") << QStringList();
    QTest::newRow("1: PDF under the same name") << "1" << QByteArray("%PDF-") << QStringList();
    QTest::newRow("not set: said, then RTF")
        << "" << QByteArray("{\\rtf1") << QStringList{"The e-mail format is not set" + asRtf};
    QTest::newRow("not a number: said, then RTF")
        << "PDF" << QByteArray("{\\rtf1")
        << QStringList{"The e-mail format \"PDF\" is not a number" + asRtf};
}

void TestCheckListForm::emailSendsLedgerRtf()
{
    QFETCH(QString, eformat);
    QFETCH(QByteArray, starts);
    QFETCH(QStringList, messages);

    if (!mail_.sink)
        QSKIP(qPrintable(mail_.missing));
    Screen s;
    mail_.sendFrom("Tarvex Clerk <clerk@agency.example>");
    WriteIni("Database", "Eformat", eformat);
    s.type("2024117");
    s.click("cmdEmail");
    QCOMPARE(s.prompts.messages(), messages);

    const QString ledger = s.demo.file("Ledger.rtf");
    const QByteArray bytes = fileBytes(ledger);
    QVERIFY(bytes.startsWith(starts));
    const QList<QJsonObject> mails = mail_.sink->received();
    QCOMPARE(mails.size(), 1);
    const QJsonObject mail = mails.first();
    QStringList rcpt;
    for (const QJsonValue& v : mail.value("rcpt_tos").toArray())
        rcpt << v.toString();
    QCOMPARE(rcpt, QStringList(
                       {"customs@port.example", "accounts@agency.example", "ops@agency.example"}));
    const QJsonObject headers = mail.value("headers").toObject();
    QCOMPARE(headers.value("To").toArray().first().toString(), QString("customs@port.example"));
    QCOMPARE(headers.value("Cc").toArray().first().toString(),
             QString("accounts@agency.example, ops@agency.example"));
    QCOMPARE(headers.value("Subject").toArray().first().toString(), QString("Check-list"));
    QCOMPARE(SmtpSink::partBytes(mail, mail.value("body").toObject()).trimmed(),
             QByteArray("Please check the attached list."));
    const QJsonArray attachments = mail.value("attachments").toArray();
    QCOMPARE(attachments.size(), 1);
    QCOMPARE(attachments.first().toObject().value("filename").toString(), QString("Ledger.rtf"));
    QCOMPARE(SmtpSink::partBytes(mail, attachments.first().toObject()), bytes);
    const QString text =
        starts == "%PDF-" ? ReportTesting::pdfText(bytes) : ReportTesting::rtfText(bytes);
    QVERIFY2(text.contains("Check-List for ROT No. 2024117") && text.contains("CAIU5550001"),
             qPrintable(text));
}

QTEST_MAIN(TestCheckListForm)
#include "tst_checklistform.moc"
