// Check EGM, typed and clicked as a clerk would, on the sample EGMs and the
// check's own (OutputsTesting.h). The rules themselves are tst_egmcheck's.

#include "OutputsTesting.h"
#include "ReportTesting.h"
#include "frmCheckEgm.h"

#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTreeWidget>

using namespace OutputsTesting;

namespace {

struct Screen : OutputScreen<frmCheckEgm>
{
    Screen() : OutputScreen({"", "", "", ""}) { insertCheckedEgms(*logonState().Conn); }

    QLineEdit* edit(const char* name) const { return form->findChild<QLineEdit*>(name); }
    QTreeWidget* list() const { return form->findChild<QTreeWidget*>("lstFindings"); }
    QString result() const { return form->findChild<QLabel*>("lblResult")->text(); }

    /// ROT No., Enter, the date, Enter: the check runs.
    void check(const QString& rotNo, const QString& date)
    {
        edit("txtRotNo")->setFocus();
        QTest::keyClicks(edit("txtRotNo"), rotNo);
        QTest::keyClick(edit("txtRotNo"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), edit("txtEgmDate"));
        QTest::keyClicks(edit("txtEgmDate"), date);
        QTest::keyClick(edit("txtEgmDate"), Qt::Key_Return);
    }
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list()->topLevelItem(i);
            out << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(
                " | ");
        }
        return out;
    }
};

} // namespace

class TestCheckEgm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void listsTheFindings_data()
    {
        QTest::addColumn<QString>("rotNo");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("clean: one line says so")
            << "9300"
            << "05/03/2024"
            << "ROT No. 9300: no error and no warning, ready to be filed." << QStringList();
        QTest::newRow("an error; no date typed: the bills' own")
            << "9200"
            << ""
            << "ROT No. 9200: 1 error, 0 warnings."
            << QStringList{"error | 92001 | CSQU3054384 | check digit should be 3"};
    }
    void listsTheFindings()
    {
        QFETCH(QString, rotNo);
        QFETCH(QString, date);
        QFETCH(QString, result);
        QFETCH(QStringList, rows);
        Screen s;
        s.check(rotNo, date);
        QCOMPARE(s.result(), result);
        QCOMPARE(s.rows(), rows);
        QCOMPARE(s.prompts.messages(), QStringList());
    }

    void errorsComeFirstOnTheScreen()
    {
        Screen s;
        s.check("2024117", "05/03/2024");
        const QStringList rows = s.rows();
        QVERIFY(rows.size() > 1);
        const qsizetype firstWarning = rows.indexOf(QRegularExpression("^warning.*"));
        QVERIFY(firstWarning > 0);
        for (qsizetype i = firstWarning; i < rows.size(); ++i)
            QVERIFY2(rows[i].startsWith("warning"), qPrintable(rows[i]));
        QVERIFY(s.result().startsWith("ROT No. 2024117: "));
    }

    void stopsWithAMessage_data()
    {
        QTest::addColumn<QString>("rotNo");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such day") << "9200"
                                     << "30/02/2024"
                                     << "Invalid EGM Date...";
        QTest::newRow("no shipping bill") << "31337"
                                          << "05/03/2024"
                                          << "No related cargo information is available ";
    }
    void stopsWithAMessage()
    {
        QFETCH(QString, rotNo);
        QFETCH(QString, date);
        QFETCH(QString, message);
        Screen s;
        s.check(rotNo, date);
        QCOMPARE(s.prompts.messages(), QStringList{message});
        QCOMPARE(s.list()->topLevelItemCount(), 0);
        QVERIFY(!s.form->findChild<QPushButton*>("cmdCsv")->isEnabled());
    }

    void enterOrDoubleClickAsksForTheBill()
    {
        Screen s;
        QSignalSpy asked(s.form.get(), &frmCheckEgm::billRequested);
        s.check("9200", "05/03/2024");
        QCOMPARE(s.rows(), QStringList{"error | 92001 | CSQU3054384 | check digit should be 3"});
        QCOMPARE(QApplication::focusWidget(), s.list());
        QTest::keyClick(s.list(), Qt::Key_Return);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().first().toLongLong(), 93);
        QTreeWidgetItem* item = s.list()->topLevelItem(0);
        const QPoint at = s.list()->visualItemRect(item).center();
        QTest::mouseClick(s.list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(s.list()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.last().first().toLongLong(), 93);
    }

    void exportsCsvAndPdf()
    {
        Screen s;
        s.check("9100", "05/03/2024");
        const QString csv = s.demo.file("check.csv");
        s.prompts.files.enqueue(csv);
        QTest::mouseClick(s.form->findChild<QPushButton*>("cmdCsv"), Qt::LeftButton);
        QCOMPARE(fileBytes(csv), QByteArray("severity,sb_no,container,field,message\r\n"
                                            "warning,5001,,sbno,SB No. 5001 is also entered under "
                                            "ROT No. 2024117\r\n"));
        const QString pdf = s.demo.file("check.pdf");
        s.prompts.files.enqueue(pdf);
        QTest::mouseClick(s.form->findChild<QPushButton*>("cmdPdf"), Qt::LeftButton);
        const QString text = ReportTesting::pdfText(fileBytes(pdf)).simplified();
        QString missing;
        QVERIFY2(ReportTesting::inOrder(
                     text,
                     {"Demo Shipping Agency Pvt Ltd", "Check of ROT No. 9100 (EGM date 05/03/2024)",
                      "ROT No. 9100: 0 errors, 1 warning.", "Severity", "What is wrong", "warning",
                      "5001", "SB No. 5001 is also entered", "Printed on", "Page 1 of 1"},
                     &missing) >= 0,
                 qPrintable(missing + " missing in " + text));
        QCOMPARE(s.prompts.messages(), QStringList());
    }

    void csvQuotesWhatNeedsIt()
    {
        EgmCheck::Finding f{EgmCheck::Severity::Error,
                            1,
                            "5001",
                            "",
                            "destport",
                            "destination port \"A,B\" is not in the port list"};
        QCOMPARE(frmCheckEgm::csv({f}),
                 QByteArray("severity,sb_no,container,field,message\r\n"
                            "error,5001,,destport,\"destination port \"\"A,B\"\" is not in the "
                            "port list\"\r\n"));
    }
};

QTEST_MAIN(TestCheckEgm)
#include "tst_checkegm.moc"
