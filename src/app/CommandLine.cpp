#include "CommandLine.h"

#include "AppPaths.h"
#include "ConsolePrompts.h"
#include "Installation.h"
#include "Logon.h"

#include <QProcessEnvironment>
#include <QScopeGuard>

namespace CommandLine {

namespace {

using Handler = int (*)(const Options&, QTextStream&, QTextStream&);

int cmdInit(const Options& o, QTextStream& out, QTextStream& err)
{
    if (o.args.size() != 1) {
        err << "usage: tarvex init DIR" << Qt::endl;
        return Usage;
    }
    QString error;
    if (!Installation::createDemo(o.args.first(), &error)) {
        err << error << Qt::endl;
        return Stopped;
    }
    out << "Created a Tarvex installation in " << o.args.first() << Qt::endl
        << "Company: " << Installation::demoCompanyName() << Qt::endl
        << "The first logon creates the user TARVEX with the password KOSRAW." << Qt::endl;
    return Done;
}

struct Command
{
    const char* name;
    Handler handler;
    const char* help;
};

const Command commands[] = {
    {"init", cmdInit, "init DIR                      create a ready installation in DIR"},
};

} // namespace

QString usage()
{
    QString u = QStringLiteral(
        "usage: tarvex [--home DIR] [--company NAME] [--user ID] [--password PWD] [COMMAND ...]\n"
        "\n"
        "Without a command Tarvex starts its window.\n"
        "\n"
        "Options:\n"
        "  --home DIR       the program's folder (Tarvex.ini and the files written);\n"
        "                   default: TARVEX_HOME, else the folder of the program\n"
        "  --company NAME   the company to log on to (default: the one last chosen)\n"
        "  --user ID        user ID (default: TARVEX_USER, else the saved one)\n"
        "  --password PWD   password (default: TARVEX_PASSWORD, else the saved one)\n"
        "  --help           this text\n"
        "\n"
        "Commands:\n");
    for (const Command& c : commands)
        u += QStringLiteral("  ") + QString::fromLatin1(c.help) + u'\n';
    u += QStringLiteral("\nExit status: 0 done, 1 stopped with a message, 2 wrong usage.\n");
    return u;
}

Options parse(const QStringList& arguments)
{
    Options o;
    int i = 0;
    auto value = [&](const QString& name, QString* target) {
        if (i + 1 >= arguments.size()) {
            o.error = name + QStringLiteral(" needs a value");
            return false;
        }
        *target = arguments[++i];
        return true;
    };
    for (; i < arguments.size(); ++i) {
        const QString a = arguments[i];
        if (!o.command.isEmpty()) {
            o.args << a;
            continue;
        }
        if (a == QLatin1String("--home")) {
            if (!value(a, &o.home))
                return o;
        } else if (a == QLatin1String("--company")) {
            if (!value(a, &o.company))
                return o;
        } else if (a == QLatin1String("--user")) {
            if (!value(a, &o.user))
                return o;
            o.userGiven = true;
        } else if (a == QLatin1String("--password")) {
            if (!value(a, &o.password))
                return o;
            o.passwordGiven = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a.startsWith(QLatin1String("-"))) {
            o.error = QStringLiteral("unknown option ") + a;
            return o;
        } else {
            o.command = a;
        }
    }
    return o;
}

int run(const Options& o, QTextStream& out, QTextStream& err)
{
    if (!o.home.isEmpty())
        AppPaths::setHome(o.home);
    ConsolePrompts console(err);
    Prompts* previous = installPrompts(&console);
    int result = Usage;
    bool found = false;
    for (const Command& c : commands) {
        if (o.command == QLatin1String(c.name)) {
            found = true;
            result = c.handler(o, out, err);
            break;
        }
    }
    if (!found)
        err << "tarvex: unknown command '" << o.command << "'\n\n" << usage() << Qt::flush;
    installPrompts(previous);
    return result;
}

bool logOn(const Options& o, QTextStream& err)
{
    ConsolePrompts console(err);
    Prompts* previous = installPrompts(&console);
    const auto restore = qScopeGuard([previous] { installPrompts(previous); });
    const Logon::Start start = Logon::load();
    if (!start.error.isEmpty()) {
        err << start.error << Qt::endl;
        return false;
    }
    int index = start.selected;
    if (!o.company.isEmpty())
        index = int(start.companies.indexOf(o.company));
    if (index < 0 || index >= start.companies.size()) {
        err << "Cannot Load Company Details" << Qt::endl;
        return false;
    }
    const auto env = QProcessEnvironment::systemEnvironment();
    const QString user = o.userGiven ? o.user
                         : env.contains(QStringLiteral("TARVEX_USER"))
                             ? env.value(QStringLiteral("TARVEX_USER"))
                             : start.userId;
    const QString password = o.passwordGiven ? o.password
                             : env.contains(QStringLiteral("TARVEX_PASSWORD"))
                                 ? env.value(QStringLiteral("TARVEX_PASSWORD"))
                                 : start.password;
    return Logon::logOn(start.sysPath, start.companies[index], index, user, password,
                        start.savePassword, false) == Logon::Outcome::LoggedOn;
}

} // namespace CommandLine
