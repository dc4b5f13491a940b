#include "AppPaths.h"
#include "Settings.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
