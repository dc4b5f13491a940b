// tarvex igm-import FILE on an installation made as "tarvex init" makes it.

#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "DemoFixture.h"
#include "Installation.h"
#include "LogonState.h"

#include "../imports/IgmTesting.h"
#include "../imports/ImportsTesting.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

using namespace IgmTesting;

namespace {

const QString kNewUser = "New User File Created with Default User ID TARVEX Password KOSRAW";
const QByteArray kVessel = fields({{3, "MSC ANNA"}, {4, "V123"}}, 29);

struct Run
{
    int code = -1;
    QString out;
    QStringList err; ///< lines, without the first logon's note
};

struct Installed
{
    QTemporaryDir tmp;
    QString dir = tmp.filePath("agency");
    QString path = QDir::toNativeSeparators(tmp.filePath("manifest.egm"));
    InitInstallation made{dir};

    Installed()
    {
        ImportsTesting::writeOrFail(
            path, file(kVessel, {fields({{5, "1"}}), fields({{5, "2"}})},
                       {fields({{5, "K1"}}), fields({{5, "K2"}}), fields({{5, "K3"}})}));
    }

    /// tarvex --home DIR --user TARVEX --password KOSRAW igm-import ARGS...
    Run run(const QStringList& args) const
    {
        const CliRun cli = runCliAs(dir, QStringList{"igm-import"} + args);
        Run r{cli.code, cli.out, cli.err.split('\n', Qt::SkipEmptyParts)};
        r.err.removeAll(kNewUser);
        return r;
    }

    int count(const char* table) const
    {
        auto db = made.company();
        return db->tableExists(QLatin1String(table)) ? ImportsTesting::count(*db, table) : -1;
    }
};

} // namespace

class tst_CliIgmImport : public QObject
{
    Q_OBJECT

private slots:
    void importsTheFile()
    {
        Installed in;
        const Run r = in.run({in.path});
        QCOMPARE(r.code, int(CommandLine::Done));
        QCOMPARE(r.err, (QStringList{QString::fromLatin1(kVessel),
                                     "Imported 1 vessel, 2 cargo lines and 3 containers."}));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(in.count("vesinfo"), 1);
        QCOMPARE(in.count("cargo"), 2);
        QCOMPARE(in.count("contain"), 3);
    }

    void stoppedWithTheScreensMessage()
    {
        Installed in;
        ImportsTesting::writeOrFail(
            in.path, file(kVessel, {fields({{5, "1"}})}).replace("<END-contain>", ""));
        const Run r = in.run({in.path});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QCOMPARE(r.err, (QStringList{QString::fromLatin1(kVessel),
                                     "The IGM file \"" + in.path + "\" cannot be imported.",
                                     "The file ends before the line \"<END-contain>\".",
                                     "Nothing was imported."}));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(in.count("vesinfo"), 0);
        QCOMPARE(in.count("cargo"), 0);
    }

    void wrongUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no file") << QStringList() << "give the one file to import";
        QTest::newRow("two files") << QStringList{"FILE", "FILE"} << "give the one file to import";
        QTest::newRow("an option") << QStringList{"--rot"} << "unknown option --rot";
    }

    void wrongUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        Installed in;
        const Run r = in.run(args.replaceInStrings("FILE", in.path));
        QCOMPARE(r.code, int(CommandLine::Usage));
        QCOMPARE(r.err,
                 (QStringList{"tarvex igm-import: " + problem, "usage: tarvex igm-import FILE"}));
        // Usage is checked before anything else: not even a logon happened.
        QCOMPARE(in.count("loguser"), -1);
        QCOMPARE(in.count("vesinfo"), 0);
    }

    void helpListsTheCommand()
    {
        const QString usage = CommandLine::usage();
        QVERIFY(usage.contains("  igm-import FILE               import an import manifest's "
                               "cargo file"));
    }
};

QTEST_GUILESS_MAIN(tst_CliIgmImport)
#include "tst_cli_igmimport.moc"
