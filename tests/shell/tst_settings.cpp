#include "AppPaths.h"
#include "DataSources.h"
#include "Logon.h"
#include "Settings.h"
#include "TestDisk.h"
#include "TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

class tst_Settings : public QObject
{
    Q_OBJECT

private:
    static void writeRaw(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readRaw(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void keysAndSectionsIgnoreCase()
    {
        TestHome home;
        QVERIFY(WriteIni("User", "UsID", "clerk1"));
        QCOMPARE(ReadIni("User", "UsId"), QString("clerk1"));
        QCOMPARE(ReadIni("USER", "usid"), QString("clerk1"));
        // Writing the other spelling replaces the one value.
        QVERIFY(WriteIni("user", "USID", "clerk2"));
        QCOMPARE(ReadIni("User", "UsId"), QString("clerk2"));
        QCOMPARE(readRaw(AppPaths::iniFile()).count("clerk"), 1);
    }

    void missingAndEmptyReadAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("no file") << QByteArray() << "User"
                                 << "Pwd";
        QTest::newRow("no section") << QByteArray("[Other]\nPwd=x\n") << "User"
                                    << "Pwd";
        QTest::newRow("no key") << QByteArray("[User]\nUsId=x\n") << "User"
                                << "Pwd";
        QTest::newRow("empty value") << QByteArray("[User]\nPwd=\n") << "User"
                                     << "Pwd";
        QTest::newRow("blank value") << QByteArray("[User]\nPwd=   \n") << "User"
                                     << "Pwd";
    }
    void missingAndEmptyReadAsEmpty()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        TestHome home;
        if (!file.isNull())
            writeRaw(AppPaths::iniFile(), file);
        QCOMPARE(ReadIni(section, key), QString(""));
    }

    void singleBlankForgetsAValue()
    {
        TestHome home;
        WriteIni("User", "Pwd", "secret");
        WriteIni("User", "Pwd", " ");
        QCOMPARE(ReadIni("User", "Pwd"), QString(""));
    }

    void valuesAreTrimmedAndCut()
    {
        TestHome home;
        writeRaw(AppPaths::iniFile(), "[Email]\nSub =   EGM for  MV Star   \n");
        QCOMPARE(ReadIni("Email", "Sub"), QString("EGM for  MV Star"));
        const QString longValue(300, QChar('x'));
        WriteIni("Email", "Msg", longValue);
        QCOMPARE(ReadIni("Email", "Msg"), longValue.left(254));
    }

    void valuesKeepCommasSemicolonsAndBackslashes()
    {
        TestHome home;
        const QString v = "a@x.com; b@y.com, c:\\path\\to;file";
        WriteIni("Email", "To", v);
        QCOMPARE(ReadIni("Email", "To"), v);
    }

    void writeKeepsOtherSectionsAndComments()
    {
        TestHome home;
        writeRaw(AppPaths::iniFile(), "; installation notes\n[SYSTEM]\nSYSPATH=/data/sys.mdb\n");
        WriteIni("Database", "Company", "2");
        const QByteArray after = readRaw(AppPaths::iniFile());
        QVERIFY(after.contains("; installation notes"));
        QCOMPARE(ReadIni("SYSTEM", "SYSPATH"), QString("/data/sys.mdb"));
        QCOMPARE(ReadIni("Database", "Company"), QString("2"));
    }

    void damagedFilesReadWhatTheyCan()
    {
        TestHome home;
        QByteArray junk("\x00\x01\xff\xfe garbage [[[ =\n", 20);
        junk += QByteArray(100000, 'z') + "\n";
        junk += "[Database]\nCompany=3\n";
        junk += QByteArray("\x1d\x1d\x00\x80=\n", 6);
        writeRaw(AppPaths::iniFile(), junk);
        QCOMPARE(ReadIni("Database", "Company"), QString("3"));
        QCOMPARE(ReadIni("Nothing", "Here"), QString(""));
    }

    void failedWriteLeavesTheFileAsItWas()
    {
        TestHome home;
        WriteIni("Database", "Company", "1");
        const QByteArray before = readRaw(AppPaths::iniFile());
        // A folder in place of the settings file cannot be written.
        const QString blocked = home.file("blocked.ini");
        QVERIFY(QDir().mkpath(blocked));
        QVERIFY(!Settings::write(blocked, "Database", "Company", "2"));
        QCOMPARE(readRaw(AppPaths::iniFile()), before);
    }

    void onlyRegularFilesOfAtMostOneMegabyteAreRead_data();
    void onlyRegularFilesOfAtMostOneMegabyteAreRead();
    void aFileOfExactlyOneMegabyteIsRead();
    void parsedFromBytes();
    void aFullDiskKeepsTheSettingsAndTheDataSources_data();
    void aFullDiskKeepsTheSettingsAndTheDataSources();
};

void tst_Settings::onlyRegularFilesOfAtMostOneMegabyteAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    const QString notRegular = "The settings file %1 is not a regular file; it was not read.";
    QTest::newRow("link to /dev/zero") << "zero" << notRegular;
    QTest::newRow("pipe") << "fifo" << notRegular;
    QTest::newRow("folder") << "folder" << notRegular;
    QTest::newRow("larger than 1 MB")
        << "large"
        << "The settings file %1 is larger than 1024 KB; it was not read.";
}

void tst_Settings::onlyRegularFilesOfAtMostOneMegabyteAreRead()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    TestHome home;
    const QString ini = AppPaths::iniFile();
    if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", ini));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0644), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(ini));
    } else {
        // A valid file, only too large: its values are not taken.
        writeRaw(ini,
                 "[SYSTEM]\nSYSPATH=/data/sys.mdb\n;" + QByteArray(Settings::MaxFileSize, 'x'));
    }
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(ReadIni("SYSTEM", "SYSPATH"), QString());
    QCOMPARE(Settings::problem(ini), problem.arg(ini));
    // The logon says so instead of opening no system database.
    QCOMPARE(Logon::load().error, problem.arg(ini));
    // A write leaves such a file alone.
    QString error;
    QVERIFY(!Settings::write(ini, "User", "UsID", "clerk", &error));
    QCOMPARE(error, problem.arg(ini));
    QVERIFY(QFileInfo(ini).isSymLink() || !QFileInfo(ini).isFile() ||
            QFileInfo(ini).size() > Settings::MaxFileSize);
    QVERIFY2(timer.elapsed() < 5000, "reading must neither block nor read for ever");
}

void tst_Settings::aFileOfExactlyOneMegabyteIsRead()
{
    TestHome home;
    QByteArray bytes = "[SYSTEM]\nSYSPATH=/data/sys.mdb\n;";
    bytes += QByteArray(Settings::MaxFileSize - bytes.size() - 1, 'x') + '\n';
    QCOMPARE(bytes.size(), Settings::MaxFileSize);
    writeRaw(AppPaths::iniFile(), bytes);
    QCOMPARE(ReadIni("SYSTEM", "SYSPATH"), QString("/data/sys.mdb"));
    QCOMPARE(Settings::problem(AppPaths::iniFile()), QString());
}

void tst_Settings::parsedFromBytes()
{
    const QByteArray content = "[User]\nUsId = clerk1 \n[database]\ncompany=2\n";
    QCOMPARE(Settings::valueIn(content, "USER", "usid"), QString("clerk1"));
    QByteArray changed;
    QVERIFY(
        Settings::withValues(content, "Database", {{"Company", "3"}, {"Output", "1"}}, &changed));
    QCOMPARE(Settings::valueIn(changed, "Database", "Company"), QString("3"));
    QCOMPARE(Settings::valueIn(changed, "Database", "Output"), QString("1"));
    QCOMPARE(Settings::valueIn(changed, "User", "UsId"), QString("clerk1"));
}

void tst_Settings::aFullDiskKeepsTheSettingsAndTheDataSources_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("Tarvex.ini") << "Tarvex.ini";
    QTest::newRow("DataSources.ini") << "DataSources.ini";
}

void tst_Settings::aFullDiskKeepsTheSettingsAndTheDataSources()
{
    TEST_DISK_CHILD(128);
    QFETCH(QString, file);
    AppPaths::setHome(TestDisk::folder());
    const QString path = AppPaths::file(file);
    const QByteArray before = "[demo.mdb]\nDriver=SQLITE\nDatabase=/data/demo.mdb\n"
                              "[Database]\nCompany=1\n" +
                              QByteArray(3000, ';') + '\n';
    writeRaw(path, before);
    TestDisk::fill(0);
    QString error;
    if (file == "Tarvex.ini") {
        QVERIFY(!Settings::write(path, "Database", "Company", "2", &error));
        QVERIFY(!WriteIni("Database", "Company", "2"));
    } else {
        QVERIFY(!DataSources::add({"other.mdb", "SQLITE", "/data/other.mdb"}, &error));
    }
    QCOMPARE(error, QString("No space left on device"));
    QCOMPARE(readRaw(path), before);
    QCOMPARE(QDir(TestDisk::folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{".filler", file}));
    AppPaths::setHome(QString());
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
