#include "AppPaths.h"
#include "Installation.h"
#include "Schema.h"
#include "TestDisk.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using AppPaths::Source;

Q_DECLARE_METATYPE(AppPaths::Source)

class tst_AppPaths : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void theInstallationIsChosen_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<bool>("holdsIni");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<Source>("source");

        // --home and TARVEX_HOME win over any program folder.
        QTest::newRow("--home") << "/srv/agency"
                                << "/env/home" << true << true << false << Source::Option;
        QTest::newRow("--home, installed") << "/srv/agency"
                                           << "" << false << false << true << Source::Option;
        QTest::newRow("TARVEX_HOME") << ""
                                     << "/env/home" << true << true << false << Source::Environment;
        QTest::newRow("TARVEX_HOME, installed")
            << ""
            << "/env/home" << false << false << true << Source::Environment;
        // A build folder or a portable copy works as it always did.
        QTest::newRow("program folder with Tarvex.ini")
            << ""
            << "" << true << true << false << Source::ProgramFolder;
        QTest::newRow("writable program folder, no Tarvex.ini")
            << ""
            << "" << false << true << false << Source::ProgramFolder;
        QTest::newRow("read-only program folder with Tarvex.ini")
            << ""
            << "" << true << false << false << Source::ProgramFolder;
        QTest::newRow("installed, Tarvex.ini put beside the program")
            << ""
            << "" << true << false << true << Source::ProgramFolder;
        // An installed program keeps its data in the user's folder.
        QTest::newRow("read-only program folder, no Tarvex.ini")
            << ""
            << "" << false << false << false << Source::UserData;
        QTest::newRow("installed, read-only") << ""
                                              << "" << false << false << true << Source::UserData;
        // root may write /usr/bin, but a package's folder is nobody's.
        QTest::newRow("installed, writable (root)")
            << ""
            << "" << false << true << true << Source::UserData;
    }
    void theInstallationIsChosen()
    {
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(bool, holdsIni);
        QFETCH(bool, writable);
        QFETCH(bool, installed);
        QFETCH(Source, source);
        const AppPaths::ProgramFolder program{"/opt/tarvex/bin", holdsIni, writable, installed};
        const AppPaths::Choice c =
            AppPaths::choose(option, environment, program, "/home/clerk/.local/share/Tarvex");
        QCOMPARE(c.source, source);
        const QString expected[] = {option, environment, program.dir,
                                    "/home/clerk/.local/share/Tarvex"};
        QCOMPARE(c.dir, expected[int(source)]);
    }

    void aProgramFolderIsInspected()
    {
        QTemporaryDir root;
        const QString bin = root.filePath("usr/bin");
        QVERIFY(QDir().mkpath(bin));
        AppPaths::ProgramFolder p = AppPaths::inspect(bin);
        QCOMPARE(p.dir, bin);
        QVERIFY(!p.holdsIni);
        QVERIFY(p.writable);
        QVERIFY(!p.installed);
        QVERIFY(QDir().mkpath(root.filePath("usr/share/tarvex")));
        touch(bin + "/Tarvex.ini");
        p = AppPaths::inspect(bin);
        QVERIFY(p.holdsIni);
        QVERIFY(p.installed);
    }

    void aReadOnlyProgramFolderCannotBeWritten()
    {
        TEST_DISK_CHILD(256);
        QVERIFY(TestDisk::makeReadOnly(TestDisk::folder()));
        QVERIFY(!AppPaths::inspect(TestDisk::folder()).writable);
    }

    void theUserDataFolderIsMadeOnFirstStart()
    {
        QTemporaryDir root;
        const AppPaths::Choice user{root.filePath("share/Tarvex"), Source::UserData};
        QString error;
        bool made = false;
        QVERIFY2(Installation::prepareUserData(user, &error, &made), qPrintable(error));
        QVERIFY(made);
        for (const char* f :
             {"Tarvex.ini", "DataSources.ini", "system.mdb", "demo.mdb", "skins/harbour.skn"})
            QVERIFY2(QFile::exists(user.dir + '/' + f), f);
        // The second start finds it.
        QVERIFY(Installation::prepareUserData(user, &error, &made));
        QVERIFY(!made);
    }

    void otherFoldersAreLeftAsTheyAre_data()
    {
        QTest::addColumn<Source>("source");
        QTest::newRow("--home") << Source::Option;
        QTest::newRow("TARVEX_HOME") << Source::Environment;
        QTest::newRow("program folder") << Source::ProgramFolder;
    }
    void otherFoldersAreLeftAsTheyAre()
    {
        QFETCH(Source, source);
        QTemporaryDir root;
        QString error;
        bool made = true;
        QVERIFY(Installation::prepareUserData({root.path(), source}, &error, &made));
        QVERIFY(!made);
        QVERIFY(QDir(root.path()).isEmpty());
    }

    void aFirstStartThatCannotWriteSaysWhy()
    {
        TEST_DISK_CHILD(256);
        QVERIFY(TestDisk::makeReadOnly(TestDisk::folder()));
        QString error;
        QVERIFY(!Installation::prepareUserData(
            {TestDisk::folder() + "/share/Tarvex", Source::UserData}, &error));
        QVERIFY2(error.contains("cannot be created"), qPrintable(error));
    }

    void lookUpListsComeFromTheSharedFolder()
    {
        QTemporaryDir shared;
        QFile f(shared.filePath("ports.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("code,name\nINXYZ,Xyzpur\n");
        f.close();
        Schema::setLookupFolder(shared.path());
        QCOMPARE(Schema::lookupRows("ports").size(), 1);
        QCOMPARE(Schema::lookupRows("ports").first().first(), QString("INXYZ"));
        // A list the folder lacks is the one compiled in.
        QVERIFY(!Schema::lookupRows("natures").isEmpty());
        Schema::setLookupFolder(QString());
        QVERIFY(Schema::lookupRows("ports").size() > 1);
    }
};

QTEST_GUILESS_MAIN(tst_AppPaths)
#include "tst_apppaths.moc"
