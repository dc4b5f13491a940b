// tarvex checklist on an installation made as "tarvex init" makes it, with
// the sample EGMs of tests/outputs added; the files read back as a reader
// of them would.

#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "Installation.h"
#include "LogonState.h"
#include "Settings.h"

#include "../outputs/OutputsTesting.h"
#include "../outputs/ReportTesting.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

using namespace OutputsTesting;

namespace {

using Run = CliRun;

} // namespace

class TestCliCheckList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void writesTheReport_data();
    void writesTheReport();
    void pageFromThePrinterSettings();
    void wrongUsage_data();
    void wrongUsage();
    void unwritableFileIsNamed();
    void helpListsTheCommand();

private:
    Run run(const QStringList& commandAndArgs);
    QString file(const QString& name) const { return QDir(home_).filePath(name); }

    QTemporaryDir tmp_;
    QString home_;
};

void TestCliCheckList::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    home_ = tmp_.filePath("agency");
    QString error;
    QVERIFY2(Installation::createDemo(home_, &error), qPrintable(error));
    insertSampleEgms(*Database::open({"SQLITE", file("demo.mdb")}));
}

Run TestCliCheckList::run(const QStringList& commandAndArgs)
{
    return runCliAs(home_, commandAndArgs);
}

void TestCliCheckList::writesTheReport_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("starts");
    QTest::addColumn<QStringList>("texts");

    const QStringList bills{"5001", "MSKU1234567", "TCLU7654321", "5002", "5003", "Packages: 155"};
    QTest::newRow("PDF") << "2024117"
                         << "check.pdf" << QByteArray("%PDF-") << bills;
    QTest::newRow("RTF, the extension in capitals")
        << "2024117"
        << "check.RTF" << QByteArray("{\\rtf1") << bills;
    QTest::newRow("no bill: an empty report")
        << "31337"
        << "empty.pdf" << QByteArray("%PDF-")
        << QStringList{"No shipping bill is recorded", "Shipping bills: 0"};
}

void TestCliCheckList::writesTheReport()
{
    QFETCH(QString, rotNo);
    QFETCH(QString, name);
    QFETCH(QByteArray, starts);
    QFETCH(QStringList, texts);

    const QString target = tmp_.filePath(name);
    const Run r = run({"checklist", rotNo, "--out", target});
    QCOMPARE(r.code, int(CommandLine::Done));
    QCOMPARE(r.out, "Wrote " + QDir::toNativeSeparators(target) + " (1 page)\n");
    QVERIFY2(!r.err.contains("message") || r.err.contains("New User File Created"),
             qPrintable(r.err));
    const QByteArray bytes = fileBytes(target);
    QVERIFY(bytes.startsWith(starts));
    const QString text =
        (starts == "%PDF-" ? ReportTesting::pdfText(bytes) : ReportTesting::rtfText(bytes))
            .simplified();
    QString missing;
    QVERIFY2(ReportTesting::inOrder(
                 text,
                 QStringList{"Demo Shipping Agency Pvt Ltd", "Check-List for ROT No. " + rotNo} +
                     texts + QStringList{"Page 1 of 1"},
                 &missing) >= 0,
             qPrintable(missing + " missing in " + text));
}

void TestCliCheckList::pageFromThePrinterSettings()
{
    AppPaths::setHome(home_);
    WriteIni("PrinterLand", "Paper", "9");
    WriteIni("PrinterLand", "Orient", "2");
    AppPaths::setHome(QString());
    const QString target = tmp_.filePath("landscape.pdf");
    QCOMPARE(run({"checklist", "2024117", "--out=" + target}).code, int(CommandLine::Done));
    QCOMPARE(ReportTesting::pdfPageSize(fileBytes(target)), QString("842 x 595 pts (A4)"));
    AppPaths::setHome(home_);
    WriteIni("PrinterLand", "Paper", "");
    WriteIni("PrinterLand", "Orient", "");
    AppPaths::setHome(QString());
}

void TestCliCheckList::wrongUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem");

    QTest::newRow("no file") << QStringList{"checklist", "2024117"}
                             << "give the file to write with --out FILE";
    QTest::newRow("no ROT No.") << QStringList{"checklist", "--out", "x.pdf"} << "give the ROT No.";
    QTest::newRow("two ROT Nos.") << QStringList{"checklist", "1", "2", "--out", "x.pdf"}
                                  << "give the ROT No.";
    QTest::newRow("neither PDF nor RTF")
        << QStringList{"checklist", "1", "--out", "x.txt"} << "the file must end in .pdf or .rtf";
    QTest::newRow("--out without a value")
        << QStringList{"checklist", "1", "--out"} << "--out needs a value";
}

void TestCliCheckList::wrongUsage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, problem);

    const Run r = run(args);
    QCOMPARE(r.code, int(CommandLine::Usage));
    QCOMPARE(r.err, "tarvex checklist: " + problem +
                        "\nusage: tarvex checklist ROTNO --out FILE.pdf|FILE.rtf\n");
    QCOMPARE(r.out, QString());
}

void TestCliCheckList::unwritableFileIsNamed()
{
    const QString target = tmp_.filePath("no-such-folder/check.pdf");
    const Run r = run({"checklist", "2024117", "--out", target});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QVERIFY2(r.err.contains("Cannot write \"" + QDir::toNativeSeparators(target) + "\""),
             qPrintable(r.err));
    QVERIFY(!QFile::exists(target));
}

void TestCliCheckList::helpListsTheCommand()
{
    QVERIFY(CommandLine::usage().contains("checklist ROTNO --out FILE"));
    QVERIFY(CommandLine::needsGui("checklist"));
    QVERIFY(!CommandLine::needsGui("egm"));
}

QTEST_MAIN(TestCliCheckList)
#include "tst_cli_checklist.moc"
