#pragma once

#include <QStringList>
#include <QTextStream>

/// The command line: global options, then a command. Commands that need a
/// company log on the way the logon window does.
namespace CommandLine {

/// Exit codes: 0 done, 1 stopped with a message, 2 wrong usage.
enum Exit
{
    Done = 0,
    Stopped = 1,
    Usage = 2
};

struct Options
{
    QString home;
    QString company;
    QString user;
    QString password;
    bool userGiven = false;
    bool passwordGiven = false;
    QString command;  ///< "" for the windowed program
    QStringList args; ///< after the command
    bool help = false;
    QString error; ///< a usage error
};

/// Reads the arguments (without the program name).
Options parse(const QStringList& arguments);
/// Runs a command (options.command not empty). Messages go to err.
int run(const Options& options, QTextStream& out, QTextStream& err);
QString usage();
/// Where the installation is and why there, for --help: the program's
/// folder as chosen now.
QString installationText();
/// A command that paints (fonts, pages) and so runs in a QGuiApplication.
bool needsGui(const QString& command);

/// Logs on for a command: company by name (default the saved one), user
/// and password from the options, else TARVEX_USER / TARVEX_PASSWORD, else
/// the saved ones. False after printing the logon's message.
bool logOn(const Options& options, QTextStream& err);

} // namespace CommandLine
