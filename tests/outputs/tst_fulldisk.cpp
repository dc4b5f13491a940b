// Every file the outputs write, on a disk that is full: the write fails, the
// message says "No space left on device", the old file stays as it was and
// no scrap is left beside it.

#include "EgmExport.h"
#include "EgmFile.h"
#include "OutputsTesting.h"
#include "TestDisk.h"

#include <QDir>
#include <QTest>

using namespace OutputsTesting;

namespace {

const QString kNoSpace = QStringLiteral("No space left on device");

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

/// The sample EGMs with 600 more containers on ROT No. 2024117: an XML
/// container file of some 60 KB beside a cargo file of 4 KB.
void logOnToSampleEgms(const DemoFixture& demo)
{
    auto db = demo.company();
    insertSampleEgms(*db);
    QList<RowValues> boxes;
    for (int i = 0; i < 600; ++i)
        boxes << RowValues{1 + i % 3, QStringLiteral("MSKU%1").arg(i, 7, 10, QChar(u'0')),
                           text("FCL"), 0};
    Database::Transaction tx(*db);
    db->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, boxes);
    tx.commit();
    logonState().Conn = db;
}

} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void flatFile_data();
    void flatFile();
    void flatFileOfTheScreens();
    void xmlPair_data();
    void xmlPair();
    void copyToRemovableMedia();
};

void TestFullDisk::flatFile_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<int>("size");
    QTest::newRow("no room at all") << qint64(0) << 100;
    // Part of it is written before the disk is full.
    QTest::newRow("room for a part") << qint64(8192) << 200 * 1024;
}

void TestFullDisk::flatFile()
{
    TEST_DISK_CHILD(512);
    QFETCH(qint64, free);
    QFETCH(int, size);
    const QString path = TestDisk::folder() + "/2024117.egm";
    QVERIFY(writeBytes(path, "yesterday's file"));
    TestDisk::fill(free);
    QString error;
    QVERIFY(!EgmFile::save(path, QByteArray(size, 'x'), &error));
    QCOMPARE(error, "Cannot write \"" + path + "\": " + kNoSpace);
    QCOMPARE(fileBytes(path), QByteArray("yesterday's file"));
    QCOMPARE(filesIn(TestDisk::folder()), (QStringList{".filler", "2024117.egm"}));
}

void TestFullDisk::flatFileOfTheScreens()
{
    TEST_DISK_CHILD(256);
    DemoFixture demo;
    ScriptedPrompts prompts;
    logOnToSampleEgms(demo);
    // A small file: Qt's own buffer takes all of it, and only the flush
    // when it is committed meets the full disk.
    const QString path = TestDisk::folder() + "/123.egm";
    QVERIFY(writeBytes(path, "yesterday's file"));
    TestDisk::fill(0);
    QVERIFY(!EgmExport::WriteEgmFile(path, "123", "07/01/2025"));
    QCOMPARE(prompts.messages(), QStringList{"Cannot write \"" + path + "\": " + kNoSpace});
    QCOMPARE(prompts.calls.first().icon, Prompts::Icon::Critical);
    QCOMPARE(fileBytes(path), QByteArray("yesterday's file"));
    QCOMPARE(filesIn(TestDisk::folder()), (QStringList{".filler", "123.egm"}));
    logonState() = LogonState();
}

void TestFullDisk::xmlPair_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<QString>("failing");
    QTest::newRow("no room at all") << qint64(0) << "egmcargo.xml";
    // The cargo file is written in full, the container file is cut: the
    // new cargo file must not stand beside the old container file.
    QTest::newRow("room for the cargo file") << qint64(16384) << "egmcontain.xml";
}

void TestFullDisk::xmlPair()
{
    TEST_DISK_CHILD(512);
    QFETCH(qint64, free);
    QFETCH(QString, failing);
    DemoFixture demo;
    ScriptedPrompts prompts;
    logOnToSampleEgms(demo);
    const QString dir = TestDisk::folder();
    QVERIFY(writeBytes(dir + "/egmcargo.xml", "old cargo"));
    QVERIFY(writeBytes(dir + "/egmcontain.xml", "old containers"));
    TestDisk::fill(free);
    QVERIFY(!EgmExport::SaveXmlPair(dir + "/egmcargo.xml", dir + "/egmcontain.xml", "2024117"));
    QCOMPARE(prompts.messages(),
             QStringList{"Cannot write \"" + dir + "/" + failing + "\": " + kNoSpace +
                         "\nNeither file of the pair was replaced."});
    QCOMPARE(fileBytes(dir + "/egmcargo.xml"), QByteArray("old cargo"));
    QCOMPARE(fileBytes(dir + "/egmcontain.xml"), QByteArray("old containers"));
    QCOMPARE(filesIn(dir), (QStringList{".filler", "egmcargo.xml", "egmcontain.xml"}));
    logonState() = LogonState();
}

void TestFullDisk::copyToRemovableMedia()
{
    TEST_DISK_CHILD(256);
    DemoFixture demo;
    ScriptedPrompts prompts;
    const QString stick = TestDisk::folder();
    WriteIni("Floppy", "Folder", stick);
    const QString written = demo.file("2024117.egm");
    QVERIFY(writeBytes(written, QByteArray(20000, 'n')));
    QVERIFY(writeBytes(stick + "/2024117.egm", "last week's copy"));
    TestDisk::fill(4096);
    QVERIFY(!EgmExport::copyToRemovableMedia(written));
    QCOMPARE(prompts.messages(),
             QStringList{"The file could not be copied to the folder " + stick +
                         ".\nCannot write \"" + stick + "/2024117.egm\": " + kNoSpace});
    QCOMPARE(fileBytes(stick + "/2024117.egm"), QByteArray("last week's copy"));
    QCOMPARE(filesIn(stick), (QStringList{".filler", "2024117.egm"}));
}

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
