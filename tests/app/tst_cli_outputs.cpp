// The egm and xml-export commands on an installation made as "tarvex init"
// makes it, with the sample EGMs of tests/outputs added.

#include "AdoXmlReader.h"
#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "DemoFixture.h"
#include "Installation.h"
#include "LogonState.h"
#include "TestDisk.h"
#include "TestEngine.h"

#include "../outputs/OutputsTesting.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

using namespace OutputsTesting;

namespace {

using Run = CliRun;

QByteArray expected(const char* name)
{
    const QString path =
        QFINDTESTDATA(QStringLiteral("../outputs/expected/") + QLatin1String(name));
    return path.isEmpty() ? QByteArray("<missing expected file>") : fileBytes(path);
}

} // namespace

class TestCliOutputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void egmWritesTheFile_data();
    void egmWritesTheFile();
    void egmIntoAnotherFile();
    void egmStops_data();
    void egmStops();
    void xmlExportWritesThePair();
    void xmlExportIntoAnotherFolder();
    void xmlExportWithoutShippingBills();
    void xmlExportIntoAMissingFolder();
    void egmOnAFullDisk_data();
    void egmOnAFullDisk();
    void xmlExportOnAFullDisk_data();
    void xmlExportOnAFullDisk();
    void readOnlyInstallation();
    void failedEgmKeepsTheFileNamedWithOut_data();
    void failedEgmKeepsTheFileNamedWithOut();
    void wrongUsage_data();
    void wrongUsage();
    void wrongPassword_data();
    void wrongPassword();
    void helpListsTheCommands();

private:
    Run run(const QStringList& commandAndArgs, const QString& password = "KOSRAW");
    /// The program itself, as a script runs it.
    Run runProgram(const QStringList& commandAndArgs);
    QString file(const QString& name) const { return QDir(home_).filePath(name); }

    QTemporaryDir tmp_;
    QString home_;
    std::unique_ptr<InitInstallation> made_;
};

void TestCliOutputs::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    home_ = tmp_.filePath("agency");
    made_ = std::make_unique<InitInstallation>(home_);
    auto company = made_->company();
    insertSampleEgms(*company);
    // The first logon creates the default user and says so; the cases after
    // it see only their own messages.
    const Run first = run({"egm", "2024117", "05/03/2024"});
    QCOMPARE(first.code, int(CommandLine::Done));
    QVERIFY2(first.err.contains("New User File Created"), qPrintable(first.err));
    cleanup();
}

void TestCliOutputs::cleanup()
{
    for (const QString& name : QDir(home_).entryList({"*.egm", "*.xml"}))
        QFile::remove(file(name));
}

Run TestCliOutputs::run(const QStringList& commandAndArgs, const QString& password)
{
    return runCliAs(home_, commandAndArgs, password);
}

Run TestCliOutputs::runProgram(const QStringList& commandAndArgs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARVEX_USER", "TARVEX");
    env.insert("TARVEX_PASSWORD", "KOSRAW");
    p.setProcessEnvironment(env);
    p.start(TARVEX_EXECUTABLE, QStringList{"--home", home_} + commandAndArgs);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

void TestCliOutputs::egmWritesTheFile_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<QString>("err");
    QTest::newRow("containerised") << QStringList{"egm", "2024117", "05/03/2024"} << "2024117.egm"
                                   << "vslrep_2024117.egm"
                                   << "";
    QTest::newRow("bulk cargo: the container message, then done")
        << QStringList{"egm", "2024119", "10/04/2024"} << "2024119.egm"
        << "vslrep_2024119.egm"
        << "No Container information is available Continue with Bulk Cargo only\n";
    QTest::newRow("ROT No. with trailing blanks")
        << QStringList{"egm", "123  ", "07/01/2025"} << "123.egm"
        << "vslrep_123.egm"
        << "";
}

void TestCliOutputs::egmWritesTheFile()
{
    QFETCH(QStringList, args);
    QFETCH(QString, fileName);
    QFETCH(QString, expectedFile);
    QFETCH(QString, err);
    const Run r = run(args);
    QCOMPARE(r.code, int(CommandLine::Done));
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, "Wrote " + QDir::toNativeSeparators(file(fileName)) + "\n");
    COMPARE_BYTES(fileBytes(file(fileName)), expected(qPrintable(expectedFile)));
}

void TestCliOutputs::egmIntoAnotherFile()
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("for customs.txt");
    QVERIFY(writeBytes(target, "older"));
    const Run r = run({"egm", "2024117", "05/03/2024", "--out", target});
    QCOMPARE(r.code, int(CommandLine::Done));
    QCOMPARE(r.err, QString());
    COMPARE_BYTES(fileBytes(target), expected("vslrep_2024117.egm"));
    QVERIFY(!QFile::exists(file("2024117.egm")));
    // --out=FILE does the same.
    const Run again = run({"egm", "--out=" + target, "123", "07/01/2025"});
    QCOMPARE(again.code, int(CommandLine::Done));
    COMPARE_BYTES(fileBytes(target), expected("vslrep_123.egm"));
}

void TestCliOutputs::egmStops_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("invalid date") << QStringList{"egm", "2024117", "2024-13-01"}
                                  << "Invalid EGM Date...\n";
    QTest::newRow("no shipping bill") << QStringList{"egm", "4711", "05/03/2024"}
                                      << "No related cargo information is available \n";
    QTest::newRow("bill without date")
        << QStringList{"egm", "7001", "05/03/2024"}
        << "Shipping Bill No. 7001 has no Shipping Bill Date; no file was written.\n";
    QTest::newRow("ROT No. leaving the folder")
        << QStringList{"egm", "../2024117", "05/03/2024"}
        << "The ROT No. \"../2024117\" cannot name a file: it holds a folder separator (/ or "
           "\\).\n";
}

void TestCliOutputs::egmStops()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = run(args);
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.err, message);
    QCOMPARE(r.out, QString());
    QVERIFY(QDir(home_).entryList({"*.egm"}).isEmpty());
    QVERIFY(!QFile::exists(QDir(tmp_.path()).filePath("2024117.egm")));
}

void TestCliOutputs::xmlExportWritesThePair()
{
    const Run r = run({"xml-export", "2024117"});
    QCOMPARE(r.code, int(CommandLine::Done));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, "Wrote " + QDir::toNativeSeparators(file("egmcargo.xml")) + " and " +
                        QDir::toNativeSeparators(file("egmcontain.xml")) + "\n");
    COMPARE_BYTES(fileBytes(file("egmcontain.xml")), expected("cargorep_egmcontain.xml"));
    RowTable cargo;
    AdoXml::Error error;
    QVERIFY2(AdoXml::readFile(file("egmcargo.xml"), &cargo, &error), qPrintable(error.message));
    QCOMPARE(cargo.rows.size(), 3);
}

void TestCliOutputs::xmlExportIntoAnotherFolder()
{
    QTemporaryDir elsewhere;
    const Run r = run({"xml-export", "123", "--out-dir", elsewhere.path()});
    QCOMPARE(r.code, int(CommandLine::Done));
    QVERIFY(QFile::exists(elsewhere.filePath("egmcargo.xml")));
    QVERIFY(QFile::exists(elsewhere.filePath("egmcontain.xml")));
    QVERIFY(!QFile::exists(file("egmcargo.xml")));
    RowTable containers;
    QVERIFY(AdoXml::readFile(elsewhere.filePath("egmcontain.xml"), &containers, nullptr));
    QCOMPARE(containers.rows.size(), 1);
}

void TestCliOutputs::xmlExportWithoutShippingBills()
{
    const Run r = run({"xml-export", "4711"});
    QCOMPARE(r.code, int(CommandLine::Done));
    QCOMPARE(r.err, QString("No Container information is available Continue with Cargo only\n"));
    QVERIFY(QFile::exists(file("egmcargo.xml")));
    QVERIFY(QFile::exists(file("egmcontain.xml")));
}

void TestCliOutputs::xmlExportIntoAMissingFolder()
{
    const QString missing = QDir(tmp_.path()).filePath("no such folder");
    const Run r = run({"xml-export", "2024117", "--out-dir=" + missing});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(missing)), qPrintable(r.err));
    QVERIFY(!QDir(missing).exists());
}

void TestCliOutputs::egmOnAFullDisk_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expectedFile");
    QTest::newRow("--out") << QStringList{"egm", "1234", "05/12/2026", "--out"} << "F";
    // The program's folder itself on the full disk.
    QTest::newRow("program folder") << QStringList{"egm", "2024117", "05/03/2024"} << "2024117.egm";
}

void TestCliOutputs::egmOnAFullDisk()
{
    TEST_DISK_CHILD(256);
    QFETCH(QStringList, args);
    QFETCH(QString, expectedFile);
    const QString disk = TestDisk::folder();
    const QString target = disk + "/" + expectedFile;
    if (args.last() == "--out") {
        args << target;
        args[1] = "2024117";
        args[2] = "05/03/2024";
    } else {
        // The installation moves onto the full disk; its databases stay.
        QVERIFY(QFile::copy(file("Tarvex.ini"), disk + "/Tarvex.ini"));
        QVERIFY(QFile::copy(file("DataSources.ini"), disk + "/DataSources.ini"));
        home_ = disk;
    }
    QVERIFY(writeBytes(target, "the filed one"));
    TestDisk::fill(0);
    const Run r = runProgram(args);
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, "Cannot write \"" + target + "\": No space left on device\n");
    QCOMPARE(fileBytes(target), QByteArray("the filed one"));
}

void TestCliOutputs::xmlExportOnAFullDisk_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<QString>("failing");
    QTest::newRow("no room") << qint64(0) << "egmcargo.xml";
    QTest::newRow("room for the cargo file") << qint64(12288) << "egmcontain.xml";
}

void TestCliOutputs::xmlExportOnAFullDisk()
{
    TEST_DISK_CHILD(256);
    QFETCH(qint64, free);
    QFETCH(QString, failing);
    // Enough containers that the container file does not fit where the
    // cargo file does.
    {
        auto company = made_->company();
        QList<RowValues> boxes;
        for (int i = 0; i < 300; ++i)
            boxes << RowValues{1, QStringLiteral("TGHU%1").arg(i, 7, 10, QChar(u'0')), "FCL", 0};
        Database::Transaction tx(*company);
        company->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, boxes);
        tx.commit();
    }
    const QString disk = TestDisk::folder();
    QVERIFY(writeBytes(disk + "/egmcargo.xml", "old cargo"));
    QVERIFY(writeBytes(disk + "/egmcontain.xml", "old containers"));
    TestDisk::fill(free);
    const Run r = runProgram({"xml-export", "2024117", "--out-dir", disk});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, "Cannot write \"" + disk + "/" + failing +
                        "\": No space left on device\nNeither file of the pair was replaced.\n");
    QCOMPARE(fileBytes(disk + "/egmcargo.xml"), QByteArray("old cargo"));
    QCOMPARE(fileBytes(disk + "/egmcontain.xml"), QByteArray("old containers"));
    QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{".filler", "egmcargo.xml", "egmcontain.xml"}));
}

void TestCliOutputs::readOnlyInstallation()
{
    if (TestEngine::onServer())
        QSKIP("an installation of SQLite files");
    TEST_DISK_CHILD(2048);
    // An installation on a disk nobody may write, root included, with its
    // databases in write-ahead-log mode, closed cleanly.
    home_ = TestDisk::folder() + "/agency";
    QString error;
    QVERIFY2(Installation::createDemo(home_, &error), qPrintable(error));
    {
        auto company = Database::open({"SQLITE", file("demo.mdb")});
        insertSampleEgms(*company);
        addUser(*company);
    }
    QVERIFY(TestDisk::makeReadOnly(home_));
    QTemporaryDir out;

    // What only reads the database works.
    Run r = runProgram({"egm", "2024117", "05/03/2024", "--out", out.filePath("F")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, int(CommandLine::Done));
    COMPARE_BYTES(fileBytes(out.filePath("F")), expected("vslrep_2024117.egm"));
    r = runProgram({"xml-export", "2024117", "--out-dir", out.path()});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, int(CommandLine::Done));
    COMPARE_BYTES(fileBytes(out.filePath("egmcontain.xml")), expected("cargorep_egmcontain.xml"));

    // What writes says why it cannot.
    r = runProgram({"egm", "2024117", "05/03/2024"});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.err, "Cannot create \"" + file("2024117.egm") + "\": Read-only file system\n");
    r = runProgram({"xml-import", out.filePath("egmcargo.xml"), out.filePath("egmcontain.xml"),
                    "--rot", "2024117", "--again"});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.err, QString::number(DbError::CommandFailed) + "  The database '" +
                        file("demo.mdb") +
                        "' is read-only: it can be read but not changed (attempt to write a "
                        "readonly database).\nNothing was imported.\n");
}

void TestCliOutputs::failedEgmKeepsTheFileNamedWithOut_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("invalid date") << QStringList{"egm", "2024117", "31/02/2024"}
                                  << "Invalid EGM Date...\n";
    QTest::newRow("no shipping bill") << QStringList{"egm", "4711", "05/03/2024"}
                                      << "No related cargo information is available \n";
    QTest::newRow("bill without date")
        << QStringList{"egm", "7001", "05/03/2024"}
        << "Shipping Bill No. 7001 has no Shipping Bill Date; no file was written.\n";
}

void TestCliOutputs::failedEgmKeepsTheFileNamedWithOut()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir elsewhere;
    const QString notes = elsewhere.filePath("notes.txt");
    QVERIFY(writeBytes(notes, "my notes"));
    const Run r = run(args + QStringList{"--out", notes});
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QCOMPARE(r.err, message);
    QCOMPARE(fileBytes(notes), QByteArray("my notes"));
    // Without --out the program folder's file of that ROT No. goes, as on
    // the screen: it must not pass for this EGM's.
    const QString stale = file(args[1] + ".egm");
    QVERIFY(writeBytes(stale, "an older run"));
    QCOMPARE(run(args).code, int(CommandLine::Stopped));
    QVERIFY(!QFile::exists(stale));
}

void TestCliOutputs::wrongUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("usage");
    const QString egm = "usage: tarvex egm ROTNO DATE [--out FILE]";
    const QString xml = "usage: tarvex xml-export ROTNO [--out-dir DIR]";
    QTest::newRow("egm without arguments") << QStringList{"egm"} << egm;
    QTest::newRow("egm without date") << QStringList{"egm", "2024117"} << egm;
    QTest::newRow("egm with a third word") << QStringList{"egm", "1", "05/03/2024", "x"} << egm;
    QTest::newRow("egm --out without file")
        << QStringList{"egm", "1", "05/03/2024", "--out"} << egm;
    QTest::newRow("egm unknown option") << QStringList{"egm", "1", "05/03/2024", "--zip"} << egm;
    QTest::newRow("xml-export without ROT No.") << QStringList{"xml-export"} << xml;
    QTest::newRow("xml-export two ROT Nos.") << QStringList{"xml-export", "1", "2"} << xml;
    QTest::newRow("xml-export --out-dir without folder")
        << QStringList{"xml-export", "1", "--out-dir"} << xml;
    QTest::newRow("xml-export takes no --out")
        << QStringList{"xml-export", "1", "--out", "x"} << xml;
}

void TestCliOutputs::wrongUsage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, usage);
    const Run r = run(args);
    QCOMPARE(r.code, int(CommandLine::Usage));
    QVERIFY2(r.err.contains(usage), qPrintable(r.err));
    QVERIFY(QDir(home_).entryList({"*.egm", "*.xml"}).isEmpty());
}

void TestCliOutputs::wrongPassword_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("egm") << QStringList{"egm", "2024117", "05/03/2024"};
    QTest::newRow("xml-export") << QStringList{"xml-export", "2024117"};
}

void TestCliOutputs::wrongPassword()
{
    QFETCH(QStringList, args);
    const Run r = run(args, "guess");
    QCOMPARE(r.code, int(CommandLine::Stopped));
    QVERIFY2(r.err.contains("Access denied Username/Password do not match"), qPrintable(r.err));
    QVERIFY(QDir(home_).entryList({"*.egm", "*.xml"}).isEmpty());
}

void TestCliOutputs::helpListsTheCommands()
{
    const QString usage = CommandLine::usage();
    QVERIFY(usage.contains("egm ROTNO DATE [--out FILE]"));
    QVERIFY(usage.contains("xml-export ROTNO [--out-dir DIR]"));
}

QTEST_GUILESS_MAIN(TestCliOutputs)
#include "tst_cli_outputs.moc"
