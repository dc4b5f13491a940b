// Check-list figures for one EGM of 1,000 shipping bills with 9 containers
// each (a second EGM's bills interleaved in the database):
//   pdf      the report of the loaded rows painted into PDF bytes
//   bare     a bare QPainter loop drawing the same texts straight onto the
//            pages of a QPdfWriter: the anchor the report is measured by
//   preview  Print Preview clicked on the check-list screen until the
//            first page is on screen (rows read, report laid out, preview)
//   bench_checklist DIR [RUNS]
// DIR keeps the database between runs. pdf and bare take turns, each run
// in a process of its own so that its peak memory (VmHWM) is its own; the
// figures are medians of RUNS runs (default 5). preview needs a display:
// xvfb-run -a build/bench/bench_checklist DIR
#include "AppPaths.h"
#include "BenchSupport.h"
#include "CheckList.h"
#include "CheckListReport.h"
#include "Database.h"
#include "LogonState.h"
#include "MyFunc.h"
#include "PrinterLand.h"
#include "Prompts.h"
#include "RowSet.h"
#include "Schema.h"
#include "ValueText.h"
#include "frmCheckList.h"
#include "frmPrint.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTargetEgm = 2024500;
constexpr int kBills = 1000;
constexpr int kContainersPerBill = 9;
const char* const kDatabaseName = "checklist.mdb";
const char* const kReadyName = "checklist.ready";

QString databasePath(const QString& dir)
{
    return QDir(dir).filePath(QLatin1String(kDatabaseName));
}

void build(const QString& dir)
{
    if (QFile::exists(QDir(dir).filePath(QLatin1String(kReadyName))))
        return;
    QDir().mkpath(dir);
    QFile::remove(databasePath(dir));
    auto db = Database::create(databasePath(dir));
    Schema::createCompanyDatabase(*db);
    const QStringList cargoCols = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                   "sbport",  "destport", "gateport", "naturecargo", "volume",
                                   "unitvol", "pkgs",     "linecode"};
    const QStringList containCols = {"ref", "containno", "constatus", "subrefno"};
    const QStringList ports = {"USNYC1", "AEJEA1", "SGSIN1", "NLRTM1", "DEHAM1"};
    Database::Transaction tx(*db);
    int id = 0, container = 0;
    QList<RowValues> bills, boxes;
    for (int n = 0; n < kBills; ++n) {
        for (int e = 0; e < 2; ++e) {
            ++id;
            // Numbered against the order of entry, so the sort has work to do.
            bills << RowValues{id,
                               kTargetEgm + e,
                               QDate(2024, 3, 5),
                               5000000 + (n * 7919) % kBills,
                               QDate(2024, 2, 1).addDays(n % 28),
                               QStringLiteral("INNSA1"),
                               ports[n % ports.size()],
                               QStringLiteral("INNSA1"),
                               QStringLiteral("C"),
                               n % 5 ? QVariant(0.0) : QVariant(12.5 + n % 10),
                               QStringLiteral("CBM"),
                               10 + n % 90,
                               QStringLiteral("MAEU")};
            for (int k = 0; k < kContainersPerBill; ++k)
                boxes << RowValues{id, QStringLiteral("MSKU%1").arg(++container, 7, 10, QChar('0')),
                                   k % 3 ? QStringLiteral("FCL") : QStringLiteral("LCL"), 0};
        }
    }
    db->insertRows(QStringLiteral("egmcargo"), cargoCols, bills);
    db->insertRows(QStringLiteral("egmcontain"), containCols, boxes);
    tx.commit();
    db->exec(QStringLiteral("analyze"));
    QFile marker(QDir(dir).filePath(QLatin1String(kReadyName)));
    marker.open(QIODevice::WriteOnly);
}

/// The anchor: the texts the report prints, drawn at fixed places, a page
/// every 66 lines, with nothing laid out.
QByteArray bareLoop(RowSet& rows)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    writer.setPageLayout(PrinterLand().pageLayout());
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(142);
    painter.setFont(font);
    const int id = rows.columnIndex("id");
    const int fields[] = {rows.columnIndex("sbno"),     rows.columnIndex("sbdt"),
                          rows.columnIndex("sbport"),   rows.columnIndex("destport"),
                          rows.columnIndex("gateport"), rows.columnIndex("naturecargo"),
                          rows.columnIndex("pkgs"),     rows.columnIndex("volume"),
                          rows.columnIndex("unitvol"),  rows.columnIndex("linecode")};
    const int containno = rows.columnIndex("containno"), status = rows.columnIndex("constatus");
    QVariant lastId;
    int line = 0, bill = 0;
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        if (line == 66) {
            writer.newPage();
            line = 0;
        }
        const qreal y = 1000 + line * 200;
        if (rows.value(id) != lastId) {
            lastId = rows.value(id);
            painter.drawText(QPointF(0, y), QString::number(++bill));
            for (int i = 0; i < int(std::size(fields)); ++i) {
                const QVariant v = rows.value(fields[i]);
                const QString t = i == 1                         ? ValueText::dateText(v)
                                  : (i == 0 || i == 6 || i == 7) ? ValueText::numberText(v)
                                                                 : v.toString();
                painter.drawText(QPointF(400 + i * 700, y), t);
            }
        }
        painter.drawText(QPointF(7400, y), rows.value(containno).toString());
        painter.drawText(QPointF(8400, y), rows.value(status).toString());
        ++line;
    }
    painter.end();
    return bytes;
}

/// One run in this process; prints "seconds peak-kB pages extra".
int runOne(int argc, char* argv[], const QString& mode, const QString& dir)
{
    QApplication app(argc, argv);
    AppPaths::setHome(dir);
    BenchSupport::QuietPrompts quiet;
    installPrompts(&quiet);
    logonState().Conn = Database::open({QStringLiteral("SQLITE"), databasePath(dir)});
    logonState().CompanyName = QStringLiteral("Demo Shipping Agency Pvt Ltd");
    const QString rot = QString::number(kTargetEgm);
    QElapsedTimer timer;
    double seconds = 0, extra = 0;
    int pages = 0;
    if (mode == QLatin1String("preview")) {
        RowSet reportRs;
        SetReportRS(&reportRs);
        frmCheckList form;
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("txtFields_4"))->setText(rot);
        QApplication::processEvents();
        QWidget* viewport = nullptr;
        bool painted = false;
        struct PaintWatch : QObject
        {
            bool* painted;
            explicit PaintWatch(bool* p) : painted(p) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Paint)
                    *painted = true;
                return false;
            }
        } watch(&painted);
        timer.start();
        form.findChild<QPushButton*>(QStringLiteral("cmdPrint"))->click();
        auto* window = form.findChild<frmPrint*>();
        if (!window)
            return 1;
        if (auto* view = window->viewer()->findChild<QAbstractScrollArea*>())
            viewport = view->viewport();
        if (viewport)
            viewport->installEventFilter(&watch);
        while (!painted && timer.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        seconds = double(timer.nsecsElapsed()) / 1e9;
        pages = window->viewer()->pageCount();
        SetReportRS(nullptr);
    } else {
        RowSet rows;
        timer.start();
        if (!CheckList::LoadCheckListRows(rows, rot))
            return 1;
        extra = double(timer.nsecsElapsed()) / 1e9; // reading the rows
        timer.start();
        QByteArray pdf;
        if (mode == QLatin1String("bare")) {
            pdf = bareLoop(rows);
        } else {
            const auto report = CheckListReport::forRows(rows, rot, PrinterLand().pageLayout());
            pdf = report->pdf();
            pages = report->pageCount();
        }
        seconds = double(timer.nsecsElapsed()) / 1e9;
        QFile out(QDir(dir).filePath(mode + QStringLiteral(".pdf")));
        if (out.open(QIODevice::WriteOnly))
            out.write(pdf);
    }
    logonState() = LogonState();
    std::printf("%.4f %ld %d %.4f\n", seconds, BenchSupport::peakKb(), pages, extra);
    return 0;
}

struct Run
{
    double seconds = 0;
    long peakKb = 0;
    int pages = 0;
    double extra = 0;
};

Run runChild(const QString& self, const QString& mode, const QString& dir)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QStringLiteral("--mode"), mode, dir});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(mode));
        std::exit(1);
    }
    const QList<QByteArray> w = child.readAllStandardOutput().trimmed().split(' ');
    return {w.value(0).toDouble(), w.value(1).toLong(), w.value(2).toInt(), w.value(3).toDouble()};
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 4 && QByteArray(argv[1]) == "--mode")
        return runOne(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_checklist DIR [RUNS]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    build(dir);
    const QString self = QCoreApplication::applicationFilePath();

    QList<double> pdf, bare, ratio, preview, load;
    long pdfPeak = 0, barePeak = 0, previewPeak = 0;
    int pages = 0, previewPages = 0;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so that a busy moment of the machine falls on both.
        const Run b = runChild(self, QStringLiteral("bare"), dir);
        const Run p = runChild(self, QStringLiteral("pdf"), dir);
        bare << b.seconds;
        pdf << p.seconds;
        ratio << p.seconds / b.seconds;
        load << p.extra;
        pdfPeak = std::max(pdfPeak, p.peakKb);
        barePeak = std::max(barePeak, b.peakKb);
        pages = p.pages;
        const Run v = runChild(self, QStringLiteral("preview"), dir);
        preview << v.seconds;
        previewPeak = std::max(previewPeak, v.peakKb);
        previewPages = v.pages;
    }
    std::printf("EGM %d: %d shipping bills, %d containers; %d runs, medians\n", kTargetEgm, kBills,
                kBills * kContainersPerBill, runs);
    std::printf("  reading the rows           %6.3f s\n", median(load));
    std::printf("  report PDF (%d pages)     %6.3f s  peak %6.1f MB\n", pages, median(pdf),
                pdfPeak / 1024.0);
    std::printf("  bare QPainter loop         %6.3f s  peak %6.1f MB\n", median(bare),
                barePeak / 1024.0);
    std::printf("  report / bare loop         %6.2f (median of the runs' ratios)\n", median(ratio));
    std::printf("  preview, first page shown  %6.3f s  peak %6.1f MB (%d pages)\n", median(preview),
                previewPeak / 1024.0, previewPages);
    std::printf("targets: PDF <= 1.3 x bare loop, preview < 0.3 s, memory < 150 MB\n");
    return 0;
}
