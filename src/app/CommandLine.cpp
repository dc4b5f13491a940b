#include "CommandLine.h"

#include "AppPaths.h"
#include "Backup.h"
#include "CheckList.h"
#include "CheckListReport.h"
#include "ConsolePrompts.h"
#include "DataSources.h"
#include "Database.h"
#include "DatabaseCopy.h"
#include "DbError.h"
#include "DeletedBills.h"
#include "EgmCheck.h"
#include "EgmExport.h"
#include "IgmImport.h"
#include "Installation.h"
#include "Logon.h"
#include "LogonState.h"
#include "PostgresDialect.h"
#include "PrinterLand.h"
#include "Restore.h"
#include "RowSet.h"
#include "Schema.h"
#include "ValueText.h"
#include "XmlImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <optional>

namespace CommandLine {

namespace {

using Handler = int (*)(const Options&, QTextStream&, QTextStream&);

/// An option with a value, "--name VALUE" or "--name=VALUE"; needs is what
/// the message says is missing after a bare --name.
struct ValueOption
{
    QLatin1String name;
    std::optional<QString>* value;
    const char* needs = "a value";
};

/// The words of a command and its options. False with *problem set for an
/// unknown option or a missing value.
bool commandArguments(const QStringList& args, std::initializer_list<ValueOption> options,
                      QStringList* words, QString* problem)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const ValueOption* option = nullptr;
        for (const ValueOption& o : options)
            if (a == o.name || (a.startsWith(o.name) && a.mid(o.name.size()).startsWith(u'=')))
                option = &o;
        if (option && a == option->name) {
            if (i + 1 >= args.size()) {
                *problem = option->name + QStringLiteral(" needs ") + QLatin1String(option->needs);
                return false;
            }
            *option->value = args[++i];
        } else if (option) {
            *option->value = a.mid(option->name.size() + 1);
        } else if (a.startsWith(QLatin1String("--"))) {
            *problem = QStringLiteral("unknown option ") + a;
            return false;
        } else {
            *words << a;
        }
    }
    return true;
}

/// The problem and the command's usage line; the exit code of a misuse.
int usageError(QTextStream& err, const char* command, const QString& problem, const char* usage)
{
    err << "tarvex " << command << ": " << problem << Qt::endl
        << "usage: tarvex " << command << ' ' << usage << Qt::endl;
    return Usage;
}

int cmdInit(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    std::optional<QString> serverOption;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--server"), &serverOption, "a connection text"}},
                         &words, &problem) &&
        words.size() != 1)
        problem = QStringLiteral("give the folder");
    if (!problem.isEmpty())
        return usageError(err, "init", problem, "DIR [--server CONNINFO]");
    const bool onServer = serverOption.has_value();
    const QString server = serverOption.value_or(QString());
    const QString dir = words.first();
    QString error;
    Installation::ServerNames names;
    const bool made = onServer ? Installation::createOnServer(dir, server, &error, &names)
                               : Installation::createDemo(dir, &error);
    if (!made) {
        err << error << Qt::endl;
        return Stopped;
    }
    out << "Created a Tarvex installation in " << dir << Qt::endl
        << "Company: " << Installation::demoCompanyName() << Qt::endl;
    if (onServer) {
        out << "System database: " << names.system << " (data source " << names.system << ")"
            << Qt::endl
            << "Company database: " << names.company << " (data source " << names.company << ")"
            << Qt::endl;
        if (server.contains(QLatin1String("password"), Qt::CaseInsensitive))
            out << "The password is kept by the keyring, or where there is none by libpq's "
                   "password file (~/.pgpass); not in Tarvex's files."
                << Qt::endl;
    }
    out << "The first logon creates the user TARVEX with the password KOSRAW." << Qt::endl;
    return Done;
}

int cmdCopyDb(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    std::optional<QString> serverOption;
    std::optional<QString> fileOption;
    QString problem;
    if (commandArguments(
            o.args,
            {{QLatin1String("--server"), &serverOption}, {QLatin1String("--file"), &fileOption}},
            &words, &problem)) {
        if (words.size() != 2)
            problem = QStringLiteral("give the data source to copy from and the one to copy to");
        else if (!serverOption.value_or(QString()).isEmpty() &&
                 !fileOption.value_or(QString()).isEmpty())
            problem = QStringLiteral("give --server or --file, not both");
    }
    if (!problem.isEmpty())
        return usageError(err, "copy-db", problem, "FROM TO [--server CONNINFO | --file FILE]");
    const QString server = serverOption.value_or(QString());
    const QString file = fileOption.value_or(QString());
    const auto bare = [](const QString& w) {
        const QString n = DataSources::nameFromConnection(w);
        return n.isEmpty() ? w.trimmed() : n;
    };
    const QString fromName = bare(words[0]);
    const QString toName = bare(words[1]);
    std::optional<DataSources::Entry> target = DataSources::find(toName);
    const bool registering = !server.isEmpty() || !file.isEmpty();
    // A name DataSources.ini would read back as another's is refused
    // before anything is copied.
    if (const QString problem = DataSources::nameProblem(
            DataSources::nameFromConnection(words[1]).isEmpty() ? words[1] : toName);
        registering && !problem.isEmpty()) {
        err << problem << " Nothing was copied." << Qt::endl;
        return Stopped;
    }
    if (registering && target) {
        err << "The data source '" << toName
            << "' exists already; copy to it without --server or --file." << Qt::endl;
        return Stopped;
    }
    if (!registering && !target) {
        err << "Data source name '" << toName
            << "' not found: name a registered one, or register it with --server CONNINFO or "
               "--file FILE."
            << Qt::endl;
        return Stopped;
    }
    if (!server.isEmpty()) {
        PgConninfo::Pairs pairs;
        QString why;
        if (!PgConninfo::parse(server, &pairs, &why)) {
            err << "The server's connection text cannot be read: " << why << Qt::endl;
            return Stopped;
        }
        QString database = PgConninfo::value(pairs, QStringLiteral("dbname"));
        if (database.isEmpty())
            database = toName;
        DataSources::Entry e;
        DataSources::entryForServer(toName, database, server, &e, &why);
        target = e;
    } else if (!file.isEmpty()) {
        target = DataSources::Entry(toName, QStringLiteral("SQLITE"),
                                    QFileInfo(file).absoluteFilePath());
    }
    try {
        auto from = DataSources::openConnection(QStringLiteral("DSN=") + fromName);
        const Database::Location where = target->location();
        const bool newFile = !where.isServer() && !QFileInfo::exists(where.database);
        auto to = newFile || where.isServer() ? Database::create(where) : Database::open(where);
        QString why;
        if (newFile && !DatabaseCopy::narrowPermissions(from->where(), where.database, &why)) {
            to.reset();
            QFile::remove(where.database);
            err << "The new database " << where.database
                << " cannot be given the permissions of the one it copies: " << why << Qt::endl;
            return Stopped;
        }
        QElapsedTimer shown;
        shown.start();
        const auto progress = [&](const QString& table, qint64 done, qint64 total) {
            // A line now and then on a long copy, none on a short one.
            if (shown.elapsed() < 2000 || total == 0)
                return;
            shown.restart();
            err << table << ": " << done << " of " << total << " rows copied" << Qt::endl;
        };
        DatabaseCopy::Report report;
        try {
            report = DatabaseCopy::copy(*from, *to, progress);
        } catch (...) {
            to.reset();
            if (newFile)
                QFile::remove(where.database);
            throw;
        }
        if (registering && !DataSources::add(*target)) {
            err << "The copy is made, but the data source '" << toName
                << "' cannot be written to DataSources.ini." << Qt::endl;
            return Stopped;
        }
        for (const DatabaseCopy::Table& t : report.tables)
            out << t.name << ": " << t.rows << " rows, checksum " << t.checksum << Qt::endl;
        out << "Copied " << report.tables.size() << " tables and " << report.rows() << " rows from "
            << fromName << " to " << toName << "; every table's row count and checksum match."
            << Qt::endl;
        return Done;
    } catch (const DbError& e) {
        err << e.description() << Qt::endl;
        return Stopped;
    }
}

int cmdXmlImport(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList files;
    std::optional<QString> rotNo;
    QString problem;
    QStringList args = o.args;
    const bool again = args.removeAll(QStringLiteral("--again")) > 0;
    if (commandArguments(args, {{QLatin1String("--rot"), &rotNo}}, &files, &problem)) {
        if (files.size() != 2)
            problem = QStringLiteral("give the cargo file and the container file");
        else if (!rotNo)
            problem = QStringLiteral("give the ROT No. the files carry with --rot");
    }
    if (!problem.isEmpty())
        return usageError(err, "xml-import", problem,
                          "CARGO.xml CONTAIN.xml --rot ROTNO [--again]");
    if (!logOn(o, err))
        return Stopped;
    XmlImport::Request request;
    request.cargoPath = files[0];
    request.containerPath = files[1];
    request.rotNo = *rotNo;
    // Nobody is there to be asked: a second import of an EGM is said on the line.
    request.confirmAgain = [again](int, int) { return again; };
    const XmlImport::Outcome outcome = XmlImport::importPair(*logonState().Conn, request);
    if (outcome.declined) {
        err << outcome.message << " Give --again to add the file's shipping bills as well."
            << Qt::endl;
        return Stopped;
    }
    prompts().inform(outcome.message);
    if (!outcome.imported)
        return Stopped;
    out << XmlImport::importedCounts(outcome) << Qt::endl;
    return Done;
}

int cmdIgmImport(const Options& o, QTextStream&, QTextStream& err)
{
    QStringList words;
    QString problem;
    if (commandArguments(o.args, {}, &words, &problem) && words.size() != 1)
        problem = QStringLiteral("give the one file to import");
    if (!problem.isEmpty())
        return usageError(err, "igm-import", problem, "FILE");
    if (!logOn(o, err))
        return Stopped;
    IgmImport::Request request;
    request.path = words.first();
    request.showVesselLine = [](const QString& line) { prompts().inform(line); };
    const IgmImport::Outcome outcome = IgmImport::importFile(*logonState().Conn, request);
    prompts().inform(outcome.message);
    return outcome.imported ? Done : Stopped;
}

int cmdEgm(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    std::optional<QString> outOption;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--out"), &outOption}}, &words, &problem) &&
        words.size() != 2)
        problem = QStringLiteral("give the ROT No. and the EGM date");
    if (!problem.isEmpty())
        return usageError(err, "egm", problem, "ROTNO DATE [--out FILE]");
    const QString target = outOption.value_or(QString());
    if (!logOn(o, err))
        return Stopped;
    const QString& rotNo = words[0];
    QString path = target;
    if (path.isEmpty()) {
        path = EgmExport::egmFilePath(rotNo, &problem);
        if (path.isEmpty()) {
            prompts().warn(problem);
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
    std::optional<QString> dirOption;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--out-dir"), &dirOption}}, &words, &problem) &&
        words.size() != 1)
        problem = QStringLiteral("give the ROT No.");
    if (!problem.isEmpty())
        return usageError(err, "xml-export", problem, "ROTNO [--out-dir DIR]");
    const QString dir = dirOption.value_or(QString());
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

int cmdCheckList(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    std::optional<QString> outOption;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--out"), &outOption}}, &words, &problem)) {
        const QString target = outOption.value_or(QString());
        if (words.size() != 1)
            problem = QStringLiteral("give the ROT No.");
        else if (target.isEmpty())
            problem = QStringLiteral("give the file to write with --out FILE");
        else if (!target.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) &&
                 !target.endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive))
            problem = QStringLiteral("the file must end in .pdf or .rtf");
    }
    if (!problem.isEmpty())
        return usageError(err, "checklist", problem, "ROTNO --out FILE.pdf|FILE.rtf");
    const QString target = outOption.value_or(QString());
    if (!logOn(o, err))
        return Stopped;
    RowSet rows;
    if (!CheckList::LoadCheckListRows(rows, words[0]))
        return Stopped;
    const auto report =
        CheckListReport::forRows(rows, words[0], PrinterLand::fromIni().pageLayout());
    const ReportFormat format = target.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                                    ? ReportFormat::Pdf
                                    : ReportFormat::Rtf;
    if (!saveReport(*report, format, target, &problem)) {
        prompts().fail(problem);
        return Stopped;
    }
    out << "Wrote " << QDir::toNativeSeparators(target) << " (" << report->pageCount()
        << (report->pageCount() == 1 ? " page)" : " pages)") << Qt::endl;
    return Done;
}

int cmdCheck(const Options& o, QTextStream& out, QTextStream& err)
{
    // --json is a switch: the other options take values.
    QStringList args = o.args;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    QStringList words;
    std::optional<QString> dateOption;
    QString problem;
    std::optional<QDate> date;
    if (commandArguments(args, {{QLatin1String("--date"), &dateOption, "the EGM date"}}, &words,
                         &problem)) {
        if (words.size() != 1)
            problem = QStringLiteral("give the ROT No.");
        else if (dateOption && !(date = ValueText::parseDate(*dateOption)))
            problem = QStringLiteral("--date needs the EGM date as dd/mm/yyyy, not \"%1\"")
                          .arg(*dateOption);
    }
    if (!problem.isEmpty())
        return usageError(err, "check", problem, "ROTNO [--date DD/MM/YYYY] [--json]");
    if (!logOn(o, err))
        return Stopped;
    const QString& rotNo = words[0];
    QList<EgmCheck::Finding> findings;
    try {
        const EgmCheck::Egm egm = EgmCheck::read(*logonState().Conn, rotNo, date);
        if (egm.bills.empty()) {
            err << "No related cargo information is available for ROT No. " << rotNo.trimmed()
                << Qt::endl;
            return Stopped;
        }
        findings = EgmCheck::check(egm);
    } catch (const DbError& e) {
        err << "The shipping bills of ROT No. " << rotNo.trimmed()
            << " could not be read from the database: " << e.number() << ' ' << e.description()
            << Qt::endl;
        return Stopped;
    }
    bool errors = false;
    if (json) {
        QJsonArray list;
        for (const EgmCheck::Finding& f : findings) {
            list.append(QJsonObject{{"severity", f.severityText()},
                                    {"billId", f.billId},
                                    {"sbNo", f.sbNo},
                                    {"container", f.container},
                                    {"field", f.field},
                                    {"message", f.message}});
            errors = errors || f.isError();
        }
        out << QJsonDocument(list).toJson(QJsonDocument::Indented) << Qt::flush;
    } else {
        for (const EgmCheck::Finding& f : findings) {
            out << EgmCheck::line(f) << '\n';
            errors = errors || f.isError();
        }
        out << EgmCheck::summary(rotNo, findings) << Qt::endl;
    }
    return errors ? Stopped : Done;
}

QString dateTimeText(const QDateTime& t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QString();
}

int cmdBackup(const Options& o, QTextStream& out, QTextStream& err)
{
    std::optional<QString> to;
    QStringList words;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--to"), &to, "a folder"}}, &words, &problem) &&
        !words.isEmpty())
        problem = QStringLiteral("unexpected ") + words[0];
    if (!problem.isEmpty())
        return usageError(err, "backup", problem, "[--to DIR]");
    if (!logOn(o, err))
        return Stopped;
    try {
        const Backup::Result r = Backup::make(*logonState().Conn, to.value_or(QString()));
        for (const QString& part : r.unfinished)
            out << "Removed an unfinished backup (cut short earlier): " << part << Qt::endl;
        out << "Wrote " << QDir::toNativeSeparators(r.file) << " (checked)" << Qt::endl;
        for (const QString& old : r.removed)
            out << "Removed the older backup " << old << Qt::endl;
    } catch (const DbError& e) {
        err << e.description() << Qt::endl;
        return Stopped;
    }
    return Done;
}

int cmdRestore(const Options& o, QTextStream& out, QTextStream& err)
{
    std::optional<QString> into;
    QStringList words;
    QString problem;
    if (commandArguments(o.args, {{QLatin1String("--into"), &into, "a database name"}}, &words,
                         &problem) &&
        words.size() != 1)
        problem = QStringLiteral("give the one backup file to restore");
    if (!problem.isEmpty())
        return usageError(err, "restore", problem, "FILE [--into DATABASE]");
    if (!logOn(o, err))
        return Stopped;
    LogonState& st = logonState();
    Database& db = *st.Conn;
    try {
        if (db.where().isServer()) {
            if (into.value_or(QString()).trimmed().isEmpty()) {
                err << "The company database is on a server: a backup is restored into a new, "
                       "empty database there. Name it with --into DATABASE; the company's own "
                       "database is not changed."
                    << Qt::endl;
                return Usage;
            }
            const QString name = into->trimmed();
            const Restore::Contents c = Restore::intoServer(db, words[0], name);
            out << "Restored " << Restore::describe(c) << " into the new database " << name
                << " on the server." << Qt::endl
                << "To use it, set Database=" << name << " in the section ["
                << DataSources::nameFromConnection(st.DataSource) << "] of "
                << QDir::toNativeSeparators(DataSources::registryFile()) << "; the database "
                << db.location() << " is as it was." << Qt::endl;
            return Done;
        }
        if (into) {
            err << "--into names a new database on a server; the company database is the file "
                << db.location() << "." << Qt::endl;
            return Usage;
        }
        const Restore::Replaced r = Restore::overFile(db, st.InUse.get(), words[0]);
        out << "Wrote " << QDir::toNativeSeparators(r.before.file)
            << " (checked): the company database as it was" << Qt::endl
            << "Restored " << Restore::describe(r.from) << " over " << db.location() << Qt::endl;
        if (r.from.version < Schema::companyVersion)
            out << "An earlier Tarvex wrote it: the next logon brings it up to date." << Qt::endl;
    } catch (const DbError& e) {
        err << e.description() << Qt::endl;
        return Stopped;
    }
    return Done;
}

int cmdDeleted(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    QString problem;
    if (commandArguments(o.args, {}, &words, &problem) && words.size() > 1)
        problem = QStringLiteral("give one ROT No. at most");
    if (!problem.isEmpty())
        return usageError(err, "deleted", problem, "[ROTNO]");
    if (!logOn(o, err))
        return Stopped;
    const std::optional<QString> rotNo =
        words.isEmpty() ? std::nullopt : std::optional<QString>(words[0].trimmed());
    QList<DeletedBills::Entry> entries;
    try {
        entries = DeletedBills::list(*logonState().Conn, rotNo);
    } catch (const DbError& e) {
        err << "The deleted shipping bills could not be read: " << e.description() << Qt::endl;
        return Stopped;
    }
    if (entries.isEmpty()) {
        out << "No deleted shipping bills" << (rotNo ? " of ROT No. " + *rotNo : QString())
            << Qt::endl;
        return Done;
    }
    const auto row = [&out](const QStringList& cells) {
        static const int widths[] = {6, 10, 10, 11, 11, 12};
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i)
            line += i + 1 < cells.size() ? cells[i].leftJustified(widths[i]) + u' ' : cells[i];
        out << line << '\n';
    };
    row({QStringLiteral("ID"), QStringLiteral("ROT No."), QStringLiteral("SB No."),
         QStringLiteral("SB Date"), QStringLiteral("Containers"), QStringLiteral("Deleted by"),
         QStringLiteral("Deleted at")});
    for (const DeletedBills::Entry& e : entries)
        row({QString::number(e.number), e.rotNo, e.sbNo,
             e.sbDate.toString(QStringLiteral("dd/MM/yyyy")), QString::number(e.containers),
             e.deletedBy, dateTimeText(e.deletedAt)});
    out << Qt::flush;
    return Done;
}

int cmdUndelete(const Options& o, QTextStream& out, QTextStream& err)
{
    QStringList words;
    QString problem;
    bool number = false;
    qint64 id = 0;
    if (commandArguments(o.args, {}, &words, &problem)) {
        if (words.size() == 1)
            id = words[0].toLongLong(&number);
        if (!number)
            problem = QStringLiteral("give the ID of one deleted shipping bill, as deleted "
                                     "lists it");
    }
    if (!problem.isEmpty())
        return usageError(err, "undelete", problem, "ID");
    if (!logOn(o, err))
        return Stopped;
    try {
        Database& db = *logonState().Conn;
        DeletedBills::Entry entry;
        for (const DeletedBills::Entry& e : DeletedBills::list(db))
            if (e.number == id)
                entry = e;
        const qint64 got = DeletedBills::restore(db, id, logonState().UserId);
        out << "Restored shipping bill " << entry.sbNo << " of ROT No. " << entry.rotNo << " with "
            << entry.containers << (entry.containers == 1 ? " container" : " containers")
            << (got == entry.oldId ? QStringLiteral(" under its id %1").arg(got)
                                   : QStringLiteral(" under the new id %1 (its id %2 is taken)")
                                         .arg(got)
                                         .arg(entry.oldId))
            << Qt::endl;
    } catch (const DbError& e) {
        err << "The deleted shipping bill " << id << " was not restored: " << e.description()
            << Qt::endl;
        return Stopped;
    }
    return Done;
}

struct Command
{
    const char* name;
    Handler handler;
    const char* help;
};

const Command commands[] = {
    {"init", cmdInit,
     "init DIR [--server CONNINFO]  create a ready installation in DIR; with --server its\n"
     "                                system and company databases are made on a PostgreSQL\n"
     "                                server (libpq connection text; its dbname, default\n"
     "                                tarvex, names the system database)"},
    {"copy-db", cmdCopyDb,
     "copy-db FROM TO [--server CONNINFO | --file FILE]\n"
     "                                copy a company database between data sources (SQLite\n"
     "                                and PostgreSQL either way), checked table by table;\n"
     "                                --server or --file registers TO as a new data source"},
    {"egm", cmdEgm,
     "egm ROTNO DATE [--out FILE]   write the EGM flat file (DATE dd/mm/yyyy); default:\n"
     "                                ROTNO.egm in the program's folder"},
    {"xml-export", cmdXmlExport,
     "xml-export ROTNO [--out-dir DIR]\n"
     "                                write egmcargo.xml and egmcontain.xml for an agent\n"
     "                                (default: into the program's folder)"},
    {"xml-import", cmdXmlImport,
     "xml-import CARGO.xml CONTAIN.xml --rot ROTNO [--again]\n"
     "                                import an XML pair written by another installation;\n"
     "                                --again adds it to an EGM that holds shipping bills"},
    {"igm-import", cmdIgmImport,
     "igm-import FILE               import an import manifest's cargo file (vesinfo,\n"
     "                                cargo and contain)"},
    {"check", cmdCheck,
     "check ROTNO [--date DD/MM/YYYY] [--json]\n"
     "                                check the EGM before it is filed: one line per error or\n"
     "                                warning and a count (--json: a JSON array); exit 1 when\n"
     "                                there is an error. --date: the EGM date the file will\n"
     "                                carry (default: the bills' own)"},
    {"backup", cmdBackup,
     "backup [--to DIR]             write a checked copy of the company database into DIR\n"
     "                                (default: the Backup Folder setting, else backups in\n"
     "                                the program's folder) and keep the newest 14 (Keep)"},
    {"restore", cmdRestore,
     "restore FILE [--into DATABASE]\n"
     "                                put the company database back as a backup holds it,\n"
     "                                after checking it and backing up the database as it is;\n"
     "                                refused while another clerk has the company open. On a\n"
     "                                server: into a new, empty DATABASE there"},
    {"deleted", cmdDeleted,
     "deleted [ROTNO]               list the deleted shipping bills, newest first (of one\n"
     "                                EGM when ROTNO is given)"},
    {"undelete", cmdUndelete,
     "undelete ID                   put a deleted shipping bill back with its containers (ID\n"
     "                                as deleted lists it): under its old id when that is\n"
     "                                free, else the next one"},
    {"checklist", cmdCheckList,
     "checklist ROTNO --out FILE    write the check-list as PDF (FILE.pdf) or RTF (FILE.rtf)"},
};

} // namespace

bool needsGui(const QString& command)
{
    // The check-list is painted: fonts need the GUI side of Qt.
    return command == QLatin1String("checklist");
}

QString usage()
{
    QString u = QStringLiteral(
        "usage: tarvex [--home DIR] [--company NAME] [--user ID] [--password PWD] [COMMAND ...]\n"
        "\n"
        "Without a command Tarvex starts its window.\n"
        "\n"
        "Options:\n"
        "  --home DIR       the program's folder (Tarvex.ini and the files written);\n"
        "                   default: TARVEX_HOME, else the folder of the program, or\n"
        "                   ~/.local/share/Tarvex when that cannot be written (an\n"
        "                   installed program: made there on first start)\n"
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

QString installationText()
{
    const AppPaths::Choice home = AppPaths::current();
    QString text = QStringLiteral("Installation: %1 (%2)")
                       .arg(QDir::toNativeSeparators(home.dir), AppPaths::sourceText(home.source));
    if (!QFileInfo::exists(QDir(home.dir).filePath(QStringLiteral("Tarvex.ini"))))
        text += home.source == AppPaths::Source::UserData
                    ? QStringLiteral("; made on first start")
                    : QStringLiteral("; it holds no Tarvex.ini yet");
    return text + u'\n';
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

namespace {

/// An installed program's first run makes its installation (init makes its
/// own). False after saying why it could not.
bool prepareHome(const QString& command, QTextStream& err)
{
    if (command == QLatin1String("init"))
        return true;
    QString error;
    bool made = false;
    if (!Installation::prepareUserData(AppPaths::current(), &error, &made)) {
        err << error << Qt::endl;
        return false;
    }
    if (made)
        err << "Created a Tarvex installation in " << QDir::toNativeSeparators(AppPaths::home())
            << Qt::endl;
    return true;
}

} // namespace

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
            result = prepareHome(o.command, err) ? c.handler(o, out, err) : Stopped;
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
    for (const QString& notice : start.notices)
        err << notice << Qt::endl;
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
