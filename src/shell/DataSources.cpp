#include "DataSources.h"

#include "AppPaths.h"
#include "Database.h"
#include "PostgresDialect.h"
#include "Prompts.h"
#include "Secrets.h"
#include "Settings.h"

#include <QFileInfo>
#include <algorithm>

namespace DataSources {

QString nameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("A data source needs a name.");
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("The data source name '%1' starts or ends with a blank.").arg(name);
    for (const QChar c : name) {
        if (c == u'[' || c == u']' || c == u';' || c == u'=')
            return QStringLiteral("The data source name '%1' holds '%2', which a data source name "
                                  "may not hold.")
                .arg(name, c);
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return QStringLiteral("The data source name '%1' holds a control character, which a "
                                  "data source name may not hold.")
                .arg(QString(name).replace(c, u'?'));
    }
    return QString();
}

QString registryFile()
{
    return AppPaths::file(QStringLiteral("DataSources.ini"));
}

namespace {

/// A server entry's keys in DataSources.ini, the fields they fill and
/// their libpq keywords (Options holds the other keywords as they stand).
struct ServerKey
{
    const char* key;
    QString Entry::*field;
    const char* keyword;
};
const ServerKey serverKeys[] = {
    {"Host", &Entry::host, "host"},          {"Port", &Entry::port, "port"},
    {"User", &Entry::user, "user"},          {"Password", &Entry::password, "password"},
    {"Service", &Entry::service, "service"}, {"Options", &Entry::options, nullptr}};

} // namespace

Database::Location Entry::location() const
{
    if (driver.compare(QLatin1String("PSQL"), Qt::CaseInsensitive) != 0)
        return {driver, database};
    Entry e = *this;
    if (e.password.isEmpty())
        e.password = Secrets::serverPassword(name);
    PgConninfo::Pairs pairs;
    for (const ServerKey& k : serverKeys)
        if (k.keyword && !(e.*k.field).isEmpty())
            pairs.append({QString::fromLatin1(k.keyword), e.*k.field});
    QString server = PgConninfo::join(pairs);
    if (!options.trimmed().isEmpty())
        server += u' ' + options.trimmed();
    return {QStringLiteral("PSQL"), database, server.trimmed()};
}

bool entryForServer(const QString& name, const QString& database, const QString& server,
                    Entry* entry, QString* error)
{
    PgConninfo::Pairs pairs;
    if (!PgConninfo::parse(server, &pairs, error))
        return false;
    Entry e;
    e.name = name;
    e.driver = QStringLiteral("PSQL");
    e.database = database;
    PgConninfo::Pairs rest;
    for (const auto& pair : pairs) {
        const QString& key = pair.first;
        const QString& value = pair.second;
        const auto k =
            std::find_if(std::begin(serverKeys), std::end(serverKeys), [&key](const ServerKey& s) {
                return s.keyword && key == QLatin1String(s.keyword);
            });
        if (k != std::end(serverKeys))
            e.*k->field = value;
        else if (key != QLatin1String("dbname"))
            rest.append({key, value});
    }
    e.options = PgConninfo::join(rest);
    *entry = e;
    return true;
}

std::optional<Entry> find(const QString& name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return std::nullopt;
    const QByteArray content = Settings::contentOf(registryFile());
    Entry e;
    e.name = n;
    const QString driver = Settings::valueIn(content, n, QStringLiteral("Driver"));
    if (!driver.isEmpty())
        e.driver = driver.toUpper();
    e.database = Settings::valueIn(content, n, QStringLiteral("Database"));
    const bool server = e.driver == QLatin1String("PSQL");
    if (server) {
        for (const ServerKey& k : serverKeys)
            e.*k.field = Settings::valueIn(content, n, QString::fromLatin1(k.key));
        // A service or libpq's own defaults may name the database.
        if (e.database.isEmpty() && e.service.isEmpty() && e.host.isEmpty() && e.options.isEmpty())
            return std::nullopt;
    } else if (e.database.isEmpty()) {
        return std::nullopt;
    }
    return e;
}

QStringList names()
{
    return Settings::sectionsIn(Settings::contentOf(registryFile()));
}

bool add(const Entry& given, QString* error)
{
    if (const QString problem = nameProblem(given.name); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    // A server's password goes to the keyring (or libpq's password file);
    // only where neither can keep it does the list hold it, readable by
    // its owner alone.
    Entry entry = given;
    if (!entry.password.isEmpty() && Secrets::keepServerPassword(entry, entry.password, error))
        entry.password.clear();
    else if (entry.password.isEmpty() && entry.driver == QLatin1String("PSQL"))
        Secrets::forgetServerPassword(entry.name); // an entry without one keeps none
    // One write: an entry is never left with its driver and without its
    // file. Server keys are written when they hold something, or to clear
    // an old value.
    const QString file = registryFile();
    Settings::Values values{{QStringLiteral("Driver"), entry.driver},
                            {QStringLiteral("Database"), entry.database}};
    const QByteArray content = Settings::contentOf(file);
    for (const ServerKey& k : serverKeys) {
        const QString key = QString::fromLatin1(k.key);
        const QString& value = entry.*k.field;
        if (!value.isEmpty() || !Settings::valueIn(content, entry.name, key).isEmpty())
            values.append({key, value});
    }
    return Settings::write(file, entry.name, values, error);
}

QString nameFromConnection(const QString& connection)
{
    const auto parts = connection.split(u';');
    for (const QString& part : parts) {
        const int eq = int(part.indexOf(u'='));
        if (eq > 0 &&
            part.left(eq).trimmed().compare(QLatin1String("DSN"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}

std::shared_ptr<Database> openConnection(const QString& connection)
{
    const QString name = nameFromConnection(connection);
    const auto entry = find(name);
    if (!entry)
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("Data source name '%1' not found.").arg(name));
    return Database::open(entry->location());
}

std::shared_ptr<Database> openSystem(const QString& sysPath)
{
    if (!nameFromConnection(sysPath).isEmpty())
        return openConnection(sysPath);
    return Database::open({QStringLiteral("SQLITE"), sysPath});
}

} // namespace DataSources

QString CreateDataSource()
{
    const QString chosen =
        prompts().openFile(QStringLiteral("Select Data File Name"),
                           QStringLiteral("Data Files (*.mdb *.db *.sqlite);;All Files (*)"),
                           QStringLiteral("*.mdb"), AppPaths::home());
    if (chosen.trimmed().isEmpty())
        return QString();
    auto rtrim = [](QString s) {
        while (!s.isEmpty() && s.back().isSpace())
            s.chop(1);
        return s;
    };
    const QString path = rtrim(chosen);
    const QString title = rtrim(QFileInfo(path).fileName());
    QString error = DataSources::nameProblem(title);
    if (error.isEmpty() &&
        DataSources::add({title, QStringLiteral("SQLITE"), QFileInfo(path).absoluteFilePath()},
                         &error)) {
        prompts().inform(QStringLiteral("DSN Created Successfully"));
        return title;
    }
    // The cause (a full disk, a folder that cannot be written) on a line of its own.
    prompts().message(
        QStringLiteral("DSN Creation Failed ... ") + (error.isEmpty() ? QString() : u'\n' + error),
        Prompts::Buttons::Ok, Prompts::Icon::Critical, QStringLiteral("DSN Creation"));
    return QString();
}
