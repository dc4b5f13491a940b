// Several clerks on several PCs writing to one company database at once:
// clerks saving bills through the cargo screen (cargo_clerk, one process
// each) and XML imports (tarvex xml-import), on the engine under test. Every
// bill must get an id of its own, every container must stay on its own bill,
// and no clerk may be shown an error: a save that meets another's lock waits
// for it.

#include "Database.h"
#include "DemoFixture.h"
#include "TestEngine.h"

#include "../imports/IgmTesting.h"
#include "../imports/ImportsTesting.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace ImportsTesting;

namespace {

constexpr int kRotNo = 700001;

/// One clerk's work: cargo_clerk saving bills through the screen, or an
/// XML import of a pair of its own.
struct Job
{
    int clerk = 1; ///< 1 to 9: the SB Nos. clerk * 100000 + i
    int bills = 0;
    int containersPerBill = 0;
    bool xmlImport = false;
};

/// The container numbers both kinds of job give: "CL", the bill's SB No. in
/// six digits, the container's number in two.
QString containerNo(double sbno, int c)
{
    return QStringLiteral("CL%1%2")
        .arg(qint64(sbno), 6, 10, QLatin1Char('0'))
        .arg(c, 2, 10, QLatin1Char('0'));
}

/// Starts every command at once and waits for all: each must end well.
void runTogether(const QList<QStringList>& commands)
{
    std::vector<std::unique_ptr<QProcess>> running;
    const auto stopAll = qScopeGuard([&running] {
        for (auto& p : running) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
            }
        }
    });
    for (const QStringList& command : commands) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(command.first(), command.mid(1));
        running.push_back(std::move(p));
    }
    for (qsizetype i = 0; i < qsizetype(running.size()); ++i) {
        QProcess& p = *running[i];
        QVERIFY2(p.waitForFinished(240000), qPrintable(commands[i].join(u' ')));
        const QByteArray output = p.readAll();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, output.constData());
    }
}

/// An installation as "tarvex init" makes it, on the engine under test, with
/// its user table.
struct Installed
{
    QTemporaryDir tmp;
    QString home = tmp.filePath(QStringLiteral("agency"));
    InitInstallation made{home};

    Installed() { addUser(*made.company()); }

    /// tarvex --home HOME --user TARVEX --password KOSRAW ARGS...
    QStringList tarvex(const QStringList& args) const
    {
        return QStringList{TARVEX_EXECUTABLE, "--home",     home,    "--user",
                           "TARVEX",          "--password", "KOSRAW"} +
               args;
    }
};

} // namespace

Q_DECLARE_METATYPE(QList<Job>)

class tst_Concurrency : public QObject
{
    Q_OBJECT

private slots:
    void everyBillGetsItsOwnId_data();
    void everyBillGetsItsOwnId();
    void igmImportsAtOnce();
};

void tst_Concurrency::everyBillGetsItsOwnId_data()
{
    QTest::addColumn<QList<Job>>("jobs");
    QTest::newRow("4 clerks saving 250 bills each") << QList<Job>{
        {1, 250, 3, false}, {2, 250, 3, false}, {3, 250, 3, false}, {4, 250, 3, false}};
    QTest::newRow("2 XML imports of 5,000 bills each")
        << QList<Job>{{5, 5000, 4, true}, {6, 5000, 4, true}};
    QTest::newRow("2 clerks and an XML import")
        << QList<Job>{{1, 150, 2, false}, {2, 150, 2, false}, {7, 5000, 4, true}};
}

void tst_Concurrency::everyBillGetsItsOwnId()
{
    QFETCH(QList<Job>, jobs);
    Installed in;
    // The pairs are written before any job starts, so that all start together.
    QList<QStringList> commands;
    int expectedBills = 0;
    int expectedContainers = 0;
    int clerks = 0;
    for (const Job& job : jobs) {
        expectedBills += job.bills;
        expectedContainers += job.bills * job.containersPerBill;
        if (!job.xmlImport) {
            ++clerks;
            commands << QStringList{TARVEX_CARGO_CLERK,
                                    "--home",
                                    in.home,
                                    "--clerk",
                                    QString::number(job.clerk),
                                    "--bills",
                                    QString::number(job.bills),
                                    "--containers",
                                    QString::number(job.containersPerBill)};
            continue;
        }
        QList<RowValues> bills;
        QList<RowValues> boxes;
        for (int b = 0; b < job.bills; ++b) {
            const double sbno = job.clerk * 100000 + b;
            bills << bill(b + 1, sbno, double(kRotNo));
            for (int c = 0; c < job.containersPerBill; ++c)
                boxes << container(int(boxes.size()) + 1, b + 1, containerNo(sbno, c));
        }
        const QString dir = in.tmp.filePath(QStringLiteral("pair%1").arg(job.clerk));
        QVERIFY(QDir().mkpath(dir));
        const Pair pair = writePair(dir, cargoFile(bills), containerFile(boxes));
        commands << in.tarvex({"xml-import", pair.cargo, pair.containers, "--rot",
                               QString::number(kRotNo), "--again"});
    }

    QElapsedTimer timer;
    timer.start();
    runTogether(commands);
    if (QTest::currentTestFailed())
        return;
    qInfo("%s, %d bills, %d containers: %lld ms", qPrintable(TestEngine::name()), expectedBills,
          expectedContainers, timer.elapsed());

    auto db = in.made.company();
    QCOMPARE(count(*db, "egmcargo"), expectedBills);
    QCOMPARE(db->scalar("select count(distinct id) from egmcargo").toInt(), expectedBills);
    // Numbered on from the highest id: 1 to n without a gap.
    QCOMPARE(db->scalar("select min(id) from egmcargo").toInt(), 1);
    QCOMPARE(db->scalar("select max(id) from egmcargo").toInt(), expectedBills);
    QCOMPARE(db->scalar("select count(distinct sbno) from egmcargo").toInt(), expectedBills);
    QCOMPARE(count(*db, "egmcontain"), expectedContainers);
    // Every container on the bill its number was made for.
    const RowTable placed = db->select("select egmcontain.containno, egmcargo.sbno from "
                                       "egmcontain left join egmcargo on egmcargo.id = "
                                       "egmcontain.ref");
    int misplaced = 0;
    QString first;
    for (const RowValues& row : placed.rows) {
        const QString number = row.value(0).toString();
        if (row.value(1).isNull() ||
            !number.startsWith(containerNo(row.value(1).toDouble(), 0).left(8))) {
            if (!misplaced++)
                first = number + QStringLiteral(" on SB No. ") + row.value(1).toString();
        }
    }
    QVERIFY2(misplaced == 0,
             qPrintable(QStringLiteral("%1 misplaced, the first %2").arg(misplaced).arg(first)));
    if (clerks > 1 && clerks == jobs.size()) {
        // The clerks' saves took turns: the test met the lock, not one clerk
        // after another. Beside an import, which is over in a moment and
        // whose start depends on the machine's load, the order is luck.
        const RowTable order = db->select("select sbno from egmcargo order by id");
        int turns = 0;
        for (qsizetype i = 1; i < order.rows.size(); ++i)
            turns += qint64(order.rows[i].value(0).toDouble()) / 100000 !=
                     qint64(order.rows[i - 1].value(0).toDouble()) / 100000;
        QVERIFY2(turns > clerks, qPrintable(QString::number(turns)));
    }
}

void tst_Concurrency::igmImportsAtOnce()
{
    constexpr int kLines = 3000;
    Installed in;
    QList<QStringList> commands;
    for (const char* tag : {"A", "B"}) {
        QList<QByteArray> cargo;
        QList<QByteArray> boxes;
        for (int i = 1; i <= kLines; ++i) {
            cargo << IgmTesting::fields({{1, tag}, {5, QByteArray::number(i)}});
            boxes << IgmTesting::fields({{5, QByteArray::number(i)}, {6, tag}});
        }
        const QString path = in.tmp.filePath(QStringLiteral("manifest%1.egm").arg(tag));
        writeOrFail(path, IgmTesting::file(IgmTesting::fields({{3, tag}}, 29), cargo, boxes));
        commands << in.tarvex({"igm-import", path});
    }
    runTogether(commands);
    if (QTest::currentTestFailed())
        return;
    auto db = in.made.company();
    QCOMPARE(count(*db, "vesinfo"), 2);
    QCOMPARE(count(*db, "contain"), 2 * kLines);
    QCOMPARE(count(*db, "cargo"), 2 * kLines);
    QCOMPARE(db->scalar("select count(distinct id) from cargo").toInt(), 2 * kLines);
    // Each file's lines numbered on from one base id of its own.
    const RowTable bases = db->select("select cf01, min(id - cast(cf03 as integer)), "
                                      "max(id - cast(cf03 as integer)) from cargo "
                                      "group by cf01 order by cf01");
    QCOMPARE(bases.rows.size(), 2);
    for (const RowValues& row : bases.rows)
        QCOMPARE(row.value(1).toInt(), row.value(2).toInt());
    QCOMPARE(qAbs(bases.rows[0].value(1).toInt() - bases.rows[1].value(1).toInt()), kLines + 1);
}

QTEST_GUILESS_MAIN(tst_Concurrency)
#include "tst_concurrency.moc"
