#pragma once

// The command line run in the test's own process, as the program runs it.

#include "AppPaths.h"
#include "CommandLine.h"
#include "Database.h"
#include "FakeKeyring.h"
#include "Installation.h"
#include "LogonState.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTextStream>

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

/// tarvex ARGS...; leaves no program folder and nobody logged on behind.
/// A demo installation in home, as "tarvex init" makes it, and its company
/// database opened; null (with the reason as a warning) when it cannot be made.
inline std::shared_ptr<Database> demoCompany(const QString& home)
{
    QString error;
    if (!Installation::createDemo(home, &error)) {
        qWarning("the demo installation was not made: %s", qPrintable(error));
        return nullptr;
    }
    return Database::open(
        {QStringLiteral("SQLITE"), QDir(home).filePath(QStringLiteral("demo.mdb"))});
}

inline CliRun runCli(const QStringList& args)
{
    CliRun r;
    {
        const FakeKeyring noKeyring(false); // never the desktop's
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        const CommandLine::Options o = CommandLine::parse(args);
        r.code = o.error.isEmpty() ? CommandLine::run(o, out, err) : int(CommandLine::Usage);
    }
    AppPaths::setHome(QString());
    logonState() = LogonState();
    return r;
}

/// tarvex --home HOME --user TARVEX --password PASSWORD ARGS...
inline CliRun runCliAs(const QString& home, const QStringList& args,
                       const QString& password = QStringLiteral("KOSRAW"))
{
    return runCli(QStringList{"--home", home, "--user", "TARVEX", "--password", password} + args);
}
