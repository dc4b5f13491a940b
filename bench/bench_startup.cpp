// Start-up figures: process start to the logon window shown, OK to the main
// window shown, and resident memory after the logon. Run on a display (or
// xvfb-run) against an installation made by "tarvex init":
//   bench_startup DIR [USER PASSWORD]
#include "AppPaths.h"
#include "AppSession.h"
#include "BenchSupport.h"
#include "Prompts.h"
#include "frmLogon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

/// Seconds since this process was started by the system.
double processAge()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double started = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9 - started;
}

void waitShown(QWidget* w)
{
    while (!w->isVisible() || !w->windowHandle() || !w->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup DIR [USER PASSWORD]\n");
        return 2;
    }
    QApplication app(argc, argv);
    AppPaths::setHome(QString::fromLocal8Bit(argv[1]));
    const QString user = argc > 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("TARVEX");
    const QString password = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("KOSRAW");

    AppSession session;
    session.start();
    waitShown(session.logon());
    const double toLogon = processAge();
    const qint64 mainToLogon = sinceMain.elapsed();

    frmLogon* logon = session.logon();
    logon->findChild<QLineEdit*>(QStringLiteral("txtUID"))->setText(user);
    logon->findChild<QLineEdit*>(QStringLiteral("txtPWD"))->setText(password);
    QElapsedTimer ok;
    ok.start();
    logon->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    if (!session.menu()) {
        std::fprintf(stderr, "the logon did not reach the main window\n");
        return 1;
    }
    waitShown(session.menu());
    const qint64 okToMenu = ok.elapsed();
    const long rss = BenchSupport::residentKb();

    std::printf("process start to logon window shown: %.3f s (main() to shown: %lld ms)\n", toLogon,
                mainToLogon);
    std::printf("OK to main window shown:             %lld ms\n", okToMenu);
    std::printf("resident memory after logon:         %.1f MB\n", double(rss) / 1024.0);
    return 0;
}
