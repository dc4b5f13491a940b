#include "CommandLine.h"

#include "AppPaths.h"
#include "ConsolePrompts.h"
#include "EgmExport.h"
#include "IgmImport.h"
#include "Installation.h"
#include "Logon.h"
#include "LogonState.h"
#include "XmlImport.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <optional>

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

int cmdXmlImport(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList files;
    std::optional<QString> rotNo;
    QString problem;
    for (qsizetype i = 0; i < o.args.size() && problem.isEmpty(); ++i) {
        const QString& a = o.args[i];
        if (a == QLatin1String("--rot")) {
            if (i + 1 < o.args.size())
                rotNo = o.args[++i];
            else
                problem = QStringLiteral("--rot needs a value");
        } else if (a.startsWith(QLatin1String("--rot="))) {
            rotNo = a.mid(6);
        } else if (a.startsWith(QLatin1String("--"))) {
            problem = QStringLiteral("unknown option ") + a;
        } else {
            files << a;
        }
    }
    if (problem.isEmpty() && files.size() != 2)
        problem = QStringLiteral("give the cargo file and the container file");
    if (problem.isEmpty() && !rotNo)
        problem = QStringLiteral("give the ROT No. the files carry with --rot");
    if (!problem.isEmpty()) {
        err << "tarvex xml-import: " << problem << Qt::endl
            << "usage: tarvex xml-import CARGO.xml CONTAIN.xml --rot ROTNO" << Qt::endl;
        return Usage;
    }
    if (!logOn(o, err))
        return Stopped;
    const XmlImport::Outcome outcome =
        XmlImport::importPair(*logonState().Conn, {files[0], files[1], *rotNo});
    prompts().inform(outcome.message);
    if (!outcome.imported)
        return Stopped;
    // In 64 bits: the last id may be the largest an int holds.
    const qint64 lastId = qint64(outcome.firstId) + outcome.shippingBills - 1;
    out << "Imported " << outcome.shippingBills << " shipping bills (ids " << outcome.firstId
        << " to " << lastId << ") and " << outcome.containers << " containers." << Qt::endl;
    return Done;
}

int cmdIgmImport(const Options& o, QTextStream&, QTextStream& err)
{
    const QString problem = o.args.size() != 1 ? QStringLiteral("give the one file to import")
                            : o.args.first().startsWith(QLatin1String("--"))
                                ? QStringLiteral("unknown option ") + o.args.first()
                                : QString();
    if (!problem.isEmpty()) {
        err << "tarvex igm-import: " << problem << Qt::endl
            << "usage: tarvex igm-import FILE" << Qt::endl;
        return Usage;
    }
    if (!logOn(o, err))
        return Stopped;
    IgmImport::Request request;
    request.path = o.args.first();
    request.showVesselLine = [](const QString& line) { prompts().inform(line); };
    const IgmImport::Outcome outcome = IgmImport::importFile(*logonState().Conn, request);
    prompts().inform(outcome.message);
    return outcome.imported ? Done : Stopped;
}

/// The words of an output command and its one option with a value
/// ("--out FILE" or "--out=FILE"). False with *problem set for an unknown
/// option or a missing value.
bool outputArguments(const QStringList& args, const QString& option, QStringList* words,
                     QString* value, QString* problem)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == option) {
            if (i + 1 >= args.size()) {
                *problem = option + QStringLiteral(" needs a value");
                return false;
            }
            *value = args[++i];
        } else if (a.startsWith(option + u'=')) {
            *value = a.mid(option.size() + 1);
        } else if (a.startsWith(QLatin1String("--"))) {
            *problem = QStringLiteral("unknown option ") + a;
            return false;
        } else {
            *words << a;
        }
    }
    return true;
}

int cmdEgm(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    QString target;
    QString problem;
    if (outputArguments(o.args, QStringLiteral("--out"), &words, &target, &problem) &&
        words.size() != 2)
        problem = QStringLiteral("give the ROT No. and the EGM date");
    if (!problem.isEmpty()) {
        err << "tarvex egm: " << problem << Qt::endl
            << "usage: tarvex egm ROTNO DATE [--out FILE]" << Qt::endl;
        return Usage;
    }
    if (!logOn(o, err))
        return Stopped;
    const QString& rotNo = words[0];
    QString path = target;
    if (path.isEmpty()) {
        path = EgmExport::egmFilePath(rotNo, &problem);
        if (path.isEmpty()) {
            prompts().message(problem, Prompts::Buttons::Ok, Prompts::Icon::Warning);
            return Stopped;
        }
    }
    // A file named with --out may be anything the user keeps: a failed run
    // never removes it.
    if (!EgmExport::WriteEgmFile(path, rotNo, words[1],
                                 target.isEmpty() ? EgmExport::OnStop::RemoveOldFile
                                                  : EgmExport::OnStop::KeepOldFile))
        return Stopped;
    out << "Wrote " << QDir::toNativeSeparators(path) << Qt::endl;
    return Done;
}

int cmdXmlExport(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    QString dir;
    QString problem;
    if (outputArguments(o.args, QStringLiteral("--out-dir"), &words, &dir, &problem) &&
        words.size() != 1)
        problem = QStringLiteral("give the ROT No.");
    if (!problem.isEmpty()) {
        err << "tarvex xml-export: " << problem << Qt::endl
            << "usage: tarvex xml-export ROTNO [--out-dir DIR]" << Qt::endl;
        return Usage;
    }
    if (!logOn(o, err))
        return Stopped;
    const QString cargo = dir.isEmpty() ? EgmExport::cargoXmlPath()
                                        : QDir(dir).filePath(QStringLiteral("egmcargo.xml"));
    const QString contain = dir.isEmpty() ? EgmExport::containXmlPath()
                                          : QDir(dir).filePath(QStringLiteral("egmcontain.xml"));
    if (!EgmExport::SaveXmlPair(cargo, contain, words[0]))
        return Stopped;
    out << "Wrote " << QDir::toNativeSeparators(cargo) << " and "
        << QDir::toNativeSeparators(contain) << Qt::endl;
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
    {"egm", cmdEgm,
     "egm ROTNO DATE [--out FILE]   write the EGM flat file (DATE dd/mm/yyyy); default:\n"
     "                                ROTNO.egm in the program's folder"},
    {"xml-export", cmdXmlExport,
     "xml-export ROTNO [--out-dir DIR]\n"
     "                                write egmcargo.xml and egmcontain.xml for an agent\n"
     "                                (default: into the program's folder)"},
    {"xml-import", cmdXmlImport,
     "xml-import CARGO.xml CONTAIN.xml --rot ROTNO\n"
     "                                import an XML pair written by another installation"},
    {"igm-import", cmdIgmImport,
     "igm-import FILE               import an import manifest's cargo file (vesinfo,\n"
     "                                cargo and contain)"},
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
                        start.savePassword, false, false) == Logon::Outcome::LoggedOn;
}

} // namespace CommandLine
