// kill -9 while Tarvex writes: an XML import of a large pair, saves through
// the cargo screen, a backup and a save of the settings file, each killed at several
// moments. What is left must be whole: the database passes its integrity
// check and holds every row of an import or none, every saved bill has all
// its containers, a settings file is its old or its new self.
//
// A case is a row of killedAtSeveralMoments_data(): how to set it up, the
// program to run (tarvex itself, or this executable in a child mode of
// main()), when to kill it, and what must hold afterwards.

#include "AppPaths.h"
#include "Backup.h"
#include "Database.h"
#include "DemoFixture.h"
#include "Installation.h"
#include "KillTesting.h"
#include "Settings.h"

#include "../imports/ImportsTesting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace ImportsTesting;

namespace {

constexpr int kBills = 3000;
constexpr int kContainersPerBill = 8;

/// An installation as "tarvex init" makes it, with its user table, and a
/// scratch folder beside it.
struct Installed
{
    QTemporaryDir tmp;
    QString home = tmp.filePath("agency");
    QString database() const { return home + "/demo.mdb"; }
    QString ini() const { return home + "/Tarvex.ini"; }
    QByteArray initialIni;
    /// What a case keeps between its runs.
    QList<QByteArray> acceptedFiles;
    /// A backup made before the runs, and its bytes.
    QString olderBackup;
    QByteArray olderBackupBytes;
};

struct Case
{
    std::function<void(Installed&)> prepare;
    /// The program, then its arguments.
    std::function<QStringList(const Installed&)> command;
    /// Moments to kill at, from the length of a run left to its end.
    std::function<QList<int>(qint64 fullRunMs)> moments;
    /// What must hold after any run, killed or not.
    std::function<void(const Installed&)> check;
};

QProcessEnvironment childEnvironment(const Installed& in)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARVEX_HOME", in.home);
    return env;
}

// --- the XML import of a large pair ---------------------------------------

void writeLargePair(Installed& in)
{
    QList<RowValues> bills;
    QList<RowValues> boxes;
    for (int b = 0; b < kBills; ++b) {
        bills << bill(100 + b, 50000 + b);
        for (int c = 0; c < kContainersPerBill; ++c)
            boxes << container(
                b * kContainersPerBill + c, 100 + b,
                QStringLiteral("MSCU%1").arg(b * kContainersPerBill + c, 7, 10, QChar(u'0')));
    }
    writePair(in.tmp.path(), cargoFile(bills), containerFile(boxes));
}

QStringList importCommand(const Installed& in)
{
    return {TARVEX_EXECUTABLE,
            "--user",
            "TARVEX",
            "--password",
            "KOSRAW",
            "xml-import",
            in.tmp.filePath("egmcargo.xml"),
            in.tmp.filePath("egmcontain.xml"),
            "--rot",
            "700001",
            "--again"};
}

void checkImport(const Installed& in)
{
    QCOMPARE(KillTesting::integrityCheck(in.database()), QString("ok"));
    auto db = Database::open({"SQLITE", in.database()});
    const int bills = count(*db, "egmcargo");
    const int boxes = count(*db, "egmcontain");
    // Whole imports only: every one adds all its bills and all its containers.
    QCOMPARE(bills % kBills, 0);
    QCOMPARE(boxes, bills * kContainersPerBill);
    QCOMPARE(db->scalar("select count(*) from egmcontain where ref not in (select id from "
                        "egmcargo)")
                 .toInt(),
             0);
    QCOMPARE(db->scalar("select count(distinct id) from egmcargo").toInt(), bills);
}

// --- saves through the cargo screen ---------------------------------------

constexpr int kContainersPerSave = 5;

/// A clerk saving bills with their containers until killed.
QStringList clerkCommand(const Installed& in)
{
    return {TARVEX_CARGO_CLERK,
            "--home",
            in.home,
            "--clerk",
            "1",
            "--bills",
            "0",
            "--containers",
            QString::number(kContainersPerSave)};
}

void checkSaves(const Installed& in)
{
    QCOMPARE(KillTesting::integrityCheck(in.database()), QString("ok"));
    auto db = Database::open({"SQLITE", in.database()});
    QVERIFY(count(*db, "egmcargo") > 0);
    // A bill lands with all its containers or not at all.
    QCOMPARE(db->scalar("select count(*) from egmcargo where (select count(*) from egmcontain "
                        "where ref = egmcargo.id) <> ?",
                        {kContainersPerSave})
                 .toInt(),
             0);
    QCOMPARE(count(*db, "egmcontain"), count(*db, "egmcargo") * kContainersPerSave);
    // The clerk names a bill's containers after its SB No.
    QCOMPARE(db->scalar("select count(*) from egmcontain join egmcargo on egmcargo.id = "
                        "egmcontain.ref where substr(containno, 3, 6) <> substr('000000' || "
                        "cast(cast(sbno as integer) as text), -6)")
                 .toInt(),
             0);
}

// --- a backup of a large company database ------------------------------------

void prepareBackup(Installed& in)
{
    {
        auto db = Database::open({"SQLITE", in.database()});
        db->exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 80000) "
                 "insert into egmcargo (id, egmno, sbno, sbdt) select i, 800001, i, '2026-01-01' "
                 "from n");
        db->exec("with recursive n(i) as (select 0 union all select i + 1 from n where i < "
                 "639999) insert into egmcontain (ref, containno) select i / 8 + 1, 'MSCU' || "
                 "substr('0000000' || i, -7) from n");
        const Backup::Result older = Backup::make(*db, in.home + "/backups", 100);
        in.olderBackup = older.file;
    }
    QFile f(in.olderBackup);
    QVERIFY(f.open(QIODevice::ReadOnly));
    in.olderBackupBytes = f.readAll();
}

void checkBackup(const Installed& in)
{
    QCOMPARE(KillTesting::integrityCheck(in.database()), QString("ok"));
    {
        auto db = Database::open({"SQLITE", in.database()});
        QCOMPARE(count(*db, "egmcargo"), 80000);
        QCOMPARE(count(*db, "egmcontain"), 640000);
    }
    QFile older(in.olderBackup);
    QVERIFY(older.open(QIODevice::ReadOnly));
    QVERIFY(older.readAll() == in.olderBackupBytes);
    // A copy under a backup's name is whole: one cut short keeps its
    // temporary name, and the next backup removes it.
    for (const QFileInfo& copy :
         QDir(in.home + "/backups").entryInfoList({"*.sqlite"}, QDir::Files))
        QCOMPARE(KillTesting::integrityCheck(copy.filePath()), QString("ok"));
}

// --- a save of the settings file --------------------------------------------

const QString kMessageA = QString(200, u'a');
const QString kMessageB = QString(180, u'b');

/// The child: saves Tarvex.ini over and over, as Colour Options or the
/// logon save it, until it is killed.
int saveSettingsForever()
{
    for (int i = 0;; ++i)
        if (!WriteIni("Email", "Msg", i % 2 ? kMessageB : kMessageA))
            return 3;
}

void prepareSettings(Installed& in)
{
    QFile f(in.ini());
    QVERIFY(f.open(QIODevice::ReadOnly));
    in.initialIni = f.readAll();
    QByteArray a, b;
    QVERIFY(Settings::withValues(in.initialIni, "Email", {{"Msg", kMessageA}}, &a));
    QVERIFY(Settings::withValues(a, "Email", {{"Msg", kMessageB}}, &b));
    in.acceptedFiles = {in.initialIni, a, b};
}

void checkSettings(const Installed& in)
{
    QFile f(in.ini());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray now = f.readAll();
    QVERIFY2(in.acceptedFiles.contains(now), now.constData());
}

} // namespace

Q_DECLARE_METATYPE(Case)

class tst_KillFaults : public QObject
{
    Q_OBJECT

private slots:
    void killedAtSeveralMoments_data();
    void killedAtSeveralMoments();
};

void tst_KillFaults::killedAtSeveralMoments_data()
{
    QTest::addColumn<Case>("kase");
    QTest::newRow("xml-import of 3,000 bills and 24,000 containers")
        << Case{writeLargePair, importCommand,
                [](qint64 fullRunMs) { return KillTesting::moments(fullRunMs, 6); }, checkImport};
    QTest::newRow("saves through the cargo screen")
        << Case{[](Installed&) {}, clerkCommand,
                [](qint64) { return QList<int>{500, 800, 1100, 1500, 2000, 2600}; }, checkSaves};
    QTest::newRow("backup of 80,000 bills and 640,000 containers")
        << Case{prepareBackup,
                [](const Installed&) {
                    return QStringList{TARVEX_EXECUTABLE, "--user", "TARVEX",
                                       "--password",      "KOSRAW", "backup"};
                },
                // Within the copy and its check (a later run reads a warm cache).
                [](qint64 fullRunMs) {
                    QList<int> at;
                    for (int percent : {15, 25, 35, 45, 55, 65})
                        at << int(fullRunMs * percent / 100);
                    return at;
                },
                checkBackup};
    QTest::newRow("save of Tarvex.ini") << Case{
        prepareSettings,
        [](const Installed&) { return QStringList{QCoreApplication::applicationFilePath()}; },
        [](qint64) { return QList<int>{40, 90, 160, 260, 400, 600}; }, checkSettings};
}

void tst_KillFaults::killedAtSeveralMoments()
{
    QFETCH(Case, kase);
    Installed in;
    QString error;
    QVERIFY2(Installation::createDemo(in.home, &error), qPrintable(error));
    {
        addUser(*Database::open({"SQLITE", in.database()}));
    }
    kase.prepare(in);
    if (QTest::currentTestFailed())
        return;
    const QStringList command = kase.command(in);
    QProcessEnvironment env = childEnvironment(in);
    if (command.first() == QCoreApplication::applicationFilePath())
        env.insert("TARVEX_KILL_CHILD", QString::fromLatin1(QTest::currentDataTag()));

    // Left alone, a run that ends must end well (the save loop never ends).
    const KillTesting::Run whole = KillTesting::runAndKill(
        command.first(), command.mid(1), command.first() == TARVEX_EXECUTABLE ? -1 : 1000, env);
    QVERIFY2(whole.killed || whole.exitCode == 0, whole.output.constData());
    kase.check(in);
    if (QTest::currentTestFailed())
        return;

    int killedPartWay = 0;
    for (int at : kase.moments(whole.elapsedMs)) {
        const KillTesting::Run r =
            KillTesting::runAndKill(command.first(), command.mid(1), at, env);
        killedPartWay += r.killed;
        kase.check(in);
        if (QTest::currentTestFailed()) {
            qWarning("after a kill at %d ms", at);
            return;
        }
    }
    qInfo("a whole run: %lld ms; killed part way: %d times", whole.elapsedMs, killedPartWay);
    // Most moments must have caught it at work, or the case tests nothing.
    QVERIFY2(killedPartWay >= 4, qPrintable(QString::number(killedPartWay)));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariable("TARVEX_KILL_CHILD") == QLatin1String("save of Tarvex.ini"))
        return saveSettingsForever();
    tst_KillFaults t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_killfaults.moc"
