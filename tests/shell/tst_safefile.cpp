#include "SafeFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {} // namespace

class tst_SafeFile : public QObject
{
    Q_OBJECT

private slots:
    void writesInBlocksAndReplacesTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("small") << 10;
        QTest::newRow("one block") << 64 * 1024;
        QTest::newRow("several blocks") << 300 * 1024 + 7;
    }
    void writesInBlocksAndReplacesTheOldFile()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.egm");
        QVERIFY(SafeFile::save(path, "old", nullptr));
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char('a' + i % 26);
        SafeFile f(path);
        QVERIFY(f.open());
        // Pieces of every size, as a streaming writer hands them.
        for (qsizetype at = 0, n = 1; at < bytes.size(); at += n, n = n * 3 % 70001 + 1)
            QVERIFY(
                f.write(QByteArrayView(bytes.constData() + at, std::min(n, bytes.size() - at))));
        QCOMPARE(fileBytes(path), QByteArray("old")); // nothing replaced before commit
        QVERIFY(f.commit());
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.egm"});
    }

    void cancelledOrAbandonedKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Tarvex.ini");
        QVERIFY(SafeFile::save(path, "old", nullptr));
        {
            SafeFile f(path);
            QVERIFY(f.open());
            QVERIFY(f.write("new"));
        } // never committed
        QCOMPARE(fileBytes(path), QByteArray("old"));
        SafeFile g(path);
        QVERIFY(g.open());
        QVERIFY(g.write("new"));
        g.cancel();
        QVERIFY(!g.commit());
        QCOMPARE(fileBytes(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Tarvex.ini"});
    }

    void aFolderThatIsMissingSaysSo()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!SafeFile::save(dir.filePath("no/such/folder/x.egm"), "x", &error));
        QVERIFY2(!error.isEmpty(), qPrintable(error));
    }

    void filesCommittedTogetherReplaceTheirOldOnes()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("egmcargo.xml"), b = dir.filePath("egmcontain.xml");
        QVERIFY(SafeFile::save(a, "old a", nullptr));
        SafeFile fa(a), fb(b);
        QVERIFY(fa.open() && fb.open());
        QVERIFY(fa.write("new a") && fb.write("new b"));
        SafeFile* failed = &fa;
        QVERIFY(SafeFile::commitAll({&fa, &fb}, &failed));
        QCOMPARE(fileBytes(a), QByteArray("new a"));
        QCOMPARE(fileBytes(b), QByteArray("new b"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"egmcargo.xml", "egmcontain.xml"}));
    }

    // The second file cannot take its place (a folder of its name appeared)
    // after the first took its own: the first old file is put back, and a
    // first file that had no old one is removed again.
    void aFileThatCannotTakeItsPlacePutsTheOthersBack_data()
    {
        QTest::addColumn<bool>("firstHadOld");
        QTest::newRow("old file put back") << true;
        QTest::newRow("new file removed") << false;
    }
    void aFileThatCannotTakeItsPlacePutsTheOthersBack()
    {
        QFETCH(bool, firstHadOld);
        QTemporaryDir dir;
        const QString a = dir.filePath("egmcargo.xml"), b = dir.filePath("egmcontain.xml");
        if (firstHadOld)
            QVERIFY(SafeFile::save(a, "old a", nullptr));
        SafeFile fa(a), fb(b);
        QVERIFY(fa.open() && fb.open());
        QVERIFY(fa.write("new a") && fb.write("new b"));
        QVERIFY(QDir().mkpath(b + "/in the way"));
        SafeFile* failed = nullptr;
        QVERIFY(!SafeFile::commitAll({&fa, &fb}, &failed));
        QCOMPARE(failed, &fb);
        QVERIFY2(!fb.errorString().isEmpty(), "the cause is given");
        if (firstHadOld)
            QCOMPARE(fileBytes(a), QByteArray("old a"));
        else
            QVERIFY(!QFile::exists(a));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 firstHadOld ? QStringList{"egmcargo.xml"} : QStringList{});
    }

    // A real full disk: a 64 KiB tmpfs in a mount namespace of this process's
    // child. The child writes through SafeFile and reports what it saw.
    void aFullDiskFailsAndKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one block more than fits") << 200 * 1024;
        QTest::newRow("the last block does not fit") << 60 * 1024;
    }
    void aFullDiskFailsAndKeepsTheOldFile()
    {
        QFETCH(int, size);
        QProcess child;
        child.setProgram(QStringLiteral("unshare"));
        const QString self = QCoreApplication::applicationFilePath();
        // As root a mount namespace is enough; otherwise a user namespace maps us to root.
        child.setArguments({::getuid() == 0 ? "-m" : "-rm", "sh", "-c",
                            "d=$(mktemp -d) && mount -t tmpfs -o size=64k tmpfs \"$d\" && "
                            "printf old > \"$d/f\" && head -c 40000 /dev/zero > \"$d/filler\" && "
                            "TARVEX_SAFEFILE_CHILD=\"$d/f\" TARVEX_SAFEFILE_SIZE=" +
                                QString::number(size) + " \"$0\"; echo \"old=$(cat \"$d/f\")\"",
                            self});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const QByteArray out = child.readAllStandardOutput();
        if (out.isEmpty())
            QFAIL(qPrintable("no mount namespace: " + child.readAllStandardError()));
        QVERIFY2(out.contains("commit=0"), out.constData());
        QVERIFY2(out.contains("error=No space left on device"), out.constData());
        QVERIFY2(out.contains("old=old"), out.constData());
        QVERIFY2(out.contains("files=f,filler\n"), out.constData()); // no temporary file left
    }
};

static int childWrite(const QString& path, int size)
{
    SafeFile f(path);
    bool ok = f.open();
    const QByteArray block(1000, 'x');
    for (int done = 0; ok && done < size; done += block.size())
        ok = f.write(block);
    const bool committed = ok && f.commit();
    QTextStream out(stdout);
    out << "commit=" << int(committed) << "\nerror=" << f.errorString() << "\nfiles="
        << QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden).join(u',') << "\n";
    return 0;
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("TARVEX_SAFEFILE_CHILD")) {
        QCoreApplication app(argc, argv);
        return childWrite(qEnvironmentVariable("TARVEX_SAFEFILE_CHILD"),
                          qEnvironmentVariableIntValue("TARVEX_SAFEFILE_SIZE"));
    }
    QCoreApplication app(argc, argv);
    tst_SafeFile t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_safefile.moc"
