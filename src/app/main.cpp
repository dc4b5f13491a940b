#include "AppPaths.h"
#include "AppSession.h"
#include "CommandLine.h"
#include "Installation.h"
#include "QtPrompts.h"
#include "frmCargo.h"
#include "frmCargoRep.h"
#include "frmCheckEgm.h"
#include "frmCheckList.h"
#include "frmCompany.h"
#include "frmDeletedBills.h"
#include "frmIgmImport.h"
#include "frmSyspara.h"
#include "frmUser.h"
#include "frmVslRep.h"
#include "frmXmlImport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

namespace {

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Options options = CommandLine::parse(arguments);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Names the user's data folder (~/.local/share/Tarvex) of every run.
    QCoreApplication::setApplicationName(QStringLiteral("Tarvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    if (!options.error.isEmpty()) {
        err << "tarvex: " << options.error << "\n\n" << CommandLine::usage() << Qt::flush;
        return CommandLine::Usage;
    }
    if (options.help) {
        QCoreApplication app(argc, argv);
        if (!options.home.isEmpty())
            AppPaths::setHome(options.home);
        out << CommandLine::usage() << '\n' << CommandLine::installationText() << Qt::flush;
        return CommandLine::Done;
    }
    if (!options.command.isEmpty()) {
        if (CommandLine::needsGui(options.command)) {
            if (!haveDisplay())
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            return CommandLine::run(options, out, err);
        }
        QCoreApplication app(argc, argv);
        return CommandLine::run(options, out, err);
    }

    if (!haveDisplay()) {
        err << "Tarvex needs a display to show its window, and none is set (DISPLAY is empty).\n"
               "Run it under a virtual display: xvfb-run -a ./run\n"
               "or use a command without a display: tarvex --help\n"
            << Qt::flush;
        return CommandLine::Stopped;
    }
    QApplication app(argc, argv);
    if (!options.home.isEmpty())
        AppPaths::setHome(options.home);
    QtPrompts dialogs;
    installPrompts(&dialogs);
    QString error;
    if (!Installation::prepareUserData(AppPaths::current(), &error)) {
        prompts().fail(error);
        return CommandLine::Stopped;
    }
    AppSession session;
    session.registerForm(QStringLiteral("frmCompany"), [] { return new frmCompany; });
    session.registerForm(QStringLiteral("frmCargo"), [] { return new frmCargo; });
    session.registerForm(QStringLiteral("frmDeletedBills"), [] { return new frmDeletedBills; });
    session.registerForm(QStringLiteral("frmUser"), [] { return new frmUser; });
    session.registerForm(QStringLiteral("frmSyspara"), [] { return new frmSyspara; });
    session.registerForm(QStringLiteral("frmXmlImport"), [] { return new frmXmlImport; });
    session.registerForm(QStringLiteral("frmIgmImport"), [] { return new frmIgmImport; });
    session.registerForm(QStringLiteral("frmVslRep"), [] { return new frmVslRep; });
    session.registerForm(QStringLiteral("frmCargoRep"), [] { return new frmCargoRep; });
    session.registerForm(QStringLiteral("frmCheckList"), [] { return new frmCheckList; });
    session.registerForm(QStringLiteral("frmCheckEgm"), [&session] {
        auto* form = new frmCheckEgm;
        // A finding's bill opens in Cargo Information, through the main window.
        QObject::connect(form, &frmCheckEgm::billRequested, session.menu(), &frmMenu::showBill);
        return form;
    });
    QObject::connect(&session, &AppSession::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    session.start();
    return app.exec();
}
