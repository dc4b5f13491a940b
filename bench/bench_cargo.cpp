// Cargo Information at real sizes: 100,000 shipping bills and 1,000,000
// containers, the screen driven offscreen, on SQLite and on PostgreSQL side
// by side (BenchEngine.h).
//   bench_cargo DIR [RUNS] [--server CONNINFO | --sqlite-only]
// makes DIR/cargo.db once (it is kept for later runs), then measures the
// screen opened on the last bill, moves to the next bill with its grid
// refilled, a Save of a new bill with 80 containers, the Delete of such a
// bill, a Search over all the bills, the filter to one ROT No. and moves
// within it, and the resident memory the open screen adds. The anchor is the
// whole-table row set the screen used to hold (both tables read into
// memory), measured in the same runs, alternating; the engines take turns too.
#include "BenchEngine.h"
#include "BenchSupport.h"
#include "ContainerGrid.h"
#include "Database.h"
#include "LogonState.h"
#include "Prompts.h"
#include "RowSet.h"
#include "Schema.h"
#include "frmCargo.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

constexpr int Bills = 100000;
constexpr int Containers = 1000000;

long residentKb()
{
    malloc_trim(0);
    return BenchSupport::residentKb();
}

/// Answers the search's prompt with a number and every question with No, or
/// Yes while yes_ is set.
class BenchPrompts final : public Prompts
{
public:
    QString input_;
    bool yes_ = false;
    Answer message(const QString&, Buttons b, Icon, const QString&) override
    {
        return yes_ && b == Buttons::YesNo ? Yes : negativeAnswer(b);
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return input_;
    }
    QString openFile(const QString&, const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString folder(const QString&, const QString&) override { return QString(); }
    void beep() override {}
};

void make(const QString& file)
{
    auto db = Database::create(file);
    Schema::createCompanyDatabase(*db);
    Database::Transaction tx(*db);
    QList<RowValues> bills;
    for (int id = 1; id <= Bills; ++id)
        bills << RowValues{id,          2024000 + id / 100, QDate(2024, 1, 1),
                           500000 + id, QDate(2024, 1, 1),  "INIXY1",
                           "SGSIN",     "INIXY1",           "C",
                           QVariant(),  QVariant(),         10,
                           QVariant()};
    db->insertRows("egmcargo",
                   {"id", "egmno", "egmdt", "sbno", "sbdt", "sbport", "destport", "gateport",
                    "naturecargo", "volume", "unitvol", "pkgs", "linecode"},
                   bills);
    QList<RowValues> containers;
    for (int i = 0; i < Containers; ++i)
        containers << RowValues{1 + i % Bills,
                                QStringLiteral("MSKU%1").arg(i, 7, 10, QLatin1Char('0')), "F", 0};
    db->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"}, containers);
    tx.commit();
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    // BENCH_SHOT=DIR (under xvfb-run with a window manager): screenshots of
    // the screen in browse and add mode instead of the figures.
    const QString shots = qEnvironmentVariable("BENCH_SHOT");
    if (shots.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    BenchEngine::Engines engines(args);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_cargo DIR [RUNS] [--server CONNINFO | --sqlite-only]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const QString file = QDir(dir).filePath("cargo.db");
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    if (!QFile::exists(file)) {
        QDir().mkpath(dir);
        QElapsedTimer t;
        t.start();
        make(file);
        std::printf("made %s in %.1f s\n", qPrintable(file), t.elapsed() / 1000.0);
    }
    BenchPrompts prompts;
    installPrompts(&prompts);
    LogonState& st = logonState();
    st.URights = st.MRights = QStringLiteral(" SU");

    if (!shots.isEmpty()) {
        st.Conn = Database::open({QStringLiteral("SQLITE"), file});
        auto* form = new frmCargo;
        form->resize(form->sizeHint());
        form->show();
        const auto settle = [] {
            QElapsedTimer w;
            w.start();
            while (w.elapsed() < 1500)
                QCoreApplication::processEvents();
        };
        const auto shoot = [&](const char* name) {
            settle();
            const QString cmd = QStringLiteral("import -window root %1/%2.png")
                                    .arg(shots, QString::fromLatin1(name));
            return std::system(cmd.toLocal8Bit().constData());
        };
        shoot("cargo_browse");
        form->findChild<QPushButton*>("cmdCarry")->click();
        form->findChild<QLineEdit*>("txtFields_15")->setText("600001");
        form->findChild<QLineEdit*>("txtFields_22")->setText("12");
        ContainerGrid* grid = form->containerGrid();
        grid->ensureRows();
        grid->setText(1, ContainerGrid::ContainerNo, "MSKU1234567");
        grid->setText(1, ContainerGrid::Status, "F");
        shoot("cargo_add");
        delete form;
        st = LogonState();
        return 0;
    }

    struct Figures
    {
        std::shared_ptr<Database> conn;
        QList<double> opens, anchorOpens, nexts, saves, deletes, searches, filters, filteredNexts,
            added, anchorAdded;
        double worstNext = 0;
    };
    const QList<BenchEngine::Engine> list = engines.prepare(file, dir, "tarvex_bench_cargo");
    QList<Figures> figures(list.size());
    for (qsizetype e = 0; e < list.size(); ++e) {
        figures[e].conn = Database::open(list[e].location);
        // A DIR kept from an earlier build is brought up to date, as a logon would.
        Schema::upgradeCompanyDatabase(*figures[e].conn);
    }
    for (int run = 0; run < runs; ++run) {
        for (qsizetype e = 0; e < list.size(); ++e) {
            Figures& f = figures[e];
            st.Conn = f.conn;
            // The anchor: both whole tables in memory, as the screen once held them.
            {
                const long before = residentKb();
                QElapsedTimer t;
                t.start();
                RowSet cargo, contain;
                cargo.open(st.Conn, "select * from egmcargo Order by id");
                contain.open(st.Conn, "select autoid,ref,containno,constatus from egmcontain "
                                      "order by autoid");
                cargo.moveLast();
                f.anchorOpens << t.nsecsElapsed() / 1e6;
                f.anchorAdded << (residentKb() - before) / 1024.0;
            }
            const long before = residentKb();
            QElapsedTimer t;
            t.start();
            auto* form = new frmCargo;
            form->show();
            QCoreApplication::processEvents();
            f.opens << t.nsecsElapsed() / 1e6;
            f.added << (residentKb() - before) / 1024.0;

            auto* first = form->findChild<QPushButton*>("cmdFirst");
            auto* next = form->findChild<QPushButton*>("cmdNext");
            first->click();
            for (int i = 0; i < 500; ++i) {
                t.restart();
                next->click();
                QCoreApplication::processEvents();
                const double ms = t.nsecsElapsed() / 1e6;
                f.nexts << ms;
                if (ms > f.worstNext && std::getenv("BENCH_VERBOSE"))
                    std::printf("%s run %d move %d: %.3f ms\n", qPrintable(list[e].name), run, i,
                                ms);
                f.worstNext = std::max(f.worstNext, ms);
            }

            for (int i = 0; i < 3; ++i) {
                // Carry brings the ROT No., nature, port and date of the bill shown.
                form->findChild<QPushButton*>("cmdCarry")->click();
                form->findChild<QLineEdit*>("txtFields_1")->setText("2025001");
                form->findChild<QLineEdit*>("txtFields_15")
                    ->setText(QString::number(900000 + run * 10 + i));
                form->findChild<QLineEdit*>("txtFields_22")->setText("80");
                ContainerGrid* grid = form->containerGrid();
                grid->setRows(86);
                for (int r = 1; r <= 80; ++r) {
                    grid->setText(r, ContainerGrid::ContainerNo,
                                  QStringLiteral("NEWU%1").arg(run * 1000 + i * 100 + r, 7, 10,
                                                               QLatin1Char('0')));
                    grid->setText(r, ContainerGrid::Status, "E");
                }
                t.restart();
                form->findChild<QPushButton*>("cmdUpdate")->click();
                QCoreApplication::processEvents();
                f.saves << t.nsecsElapsed() / 1e6;
            }
            // The bills just saved go again, the last first, each with its 80 containers.
            prompts.yes_ = true;
            for (int i = 0; i < 3; ++i) {
                t.restart();
                form->findChild<QPushButton*>("cmdDelete")->click();
                QCoreApplication::processEvents();
                f.deletes << t.nsecsElapsed() / 1e6;
            }
            prompts.yes_ = false;

            prompts.input_ = QString::number(500000 + Bills - 10);
            t.restart();
            form->findChild<QPushButton*>("cmdSearch")->click();
            f.searches << t.nsecsElapsed() / 1e6;

            // One EGM at a time: its 100 bills picked by the ROT No. index.
            auto* filter = form->findChild<QLineEdit*>("txtRotFilter");
            filter->setText(QString::number(2024000 + 500 + run));
            t.restart();
            emit filter->editingFinished();
            QCoreApplication::processEvents();
            f.filters << t.nsecsElapsed() / 1e6;
            first->click();
            for (int i = 0; i < 50; ++i) {
                t.restart();
                next->click();
                QCoreApplication::processEvents();
                f.filteredNexts << t.nsecsElapsed() / 1e6;
            }
            filter->clear();
            emit filter->editingFinished();

            delete form;
            // The bills this run saved go, so every run measures the same table.
            st.Conn->exec("delete from egmcontain where ref > ?", {Bills});
            st.Conn->exec("delete from egmcargo where id > ?", {Bills});
            st.Conn->exec("delete from egmcontain_deleted");
            st.Conn->exec("delete from egmcargo_deleted");
            st.Conn->exec("delete from billhistory");
        }
    }
    st.Conn.reset();
    for (qsizetype e = 0; e < list.size(); ++e) {
        const Figures& f = figures[e];
        std::printf("%s (%d runs)\n", qPrintable(list[e].name), runs);
        std::printf("  screen open (last bill and grid shown): median %.1f ms; anchor whole-table "
                    "row sets: median %.1f ms (ratio %.3f)\n",
                    median(f.opens), median(f.anchorOpens),
                    median(f.opens) / median(f.anchorOpens));
        std::printf("  next bill with grid refilled: median %.3f ms, worst %.3f ms (%lld moves)\n",
                    median(f.nexts), f.worstNext, qint64(f.nexts.size()));
        std::printf("  save of a new bill with 80 containers: median %.1f ms\n", median(f.saves));
        std::printf("  delete of a bill with 80 containers: median %.1f ms\n", median(f.deletes));
        std::printf("  search by shipping bill number over all bills: median %.1f ms\n",
                    median(f.searches));
        std::printf("  filter to one ROT No. (100 bills): median %.1f ms; next bill within it: "
                    "median %.3f ms\n",
                    median(f.filters), median(f.filteredNexts));
        std::printf("  resident memory added by the open screen: median %.1f MB; anchor %.1f MB\n",
                    median(f.added), median(f.anchorAdded));
    }
    figures.clear();
    st = LogonState(); // the connections close before Qt's SQL layer goes
    return 0;
}
