#include "DataSources.h"

#include "AppPaths.h"
#include "Database.h"
#include "Prompts.h"
#include "Settings.h"

#include <QFileInfo>

namespace DataSources {

QString registryFile()
{
    return AppPaths::file(QStringLiteral("DataSources.ini"));
}

std::optional<Entry> find(const QString& name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return std::nullopt;
    Entry e;
    e.name = n;
    e.database = Settings::read(registryFile(), n, QStringLiteral("Database"));
    if (e.database.isEmpty())
        return std::nullopt;
    const QString driver = Settings::read(registryFile(), n, QStringLiteral("Driver"));
    if (!driver.isEmpty())
        e.driver = driver.toUpper();
    return e;
}

bool add(const Entry& entry, QString* error)
{
    // One write: an entry is never left with its driver and without its file.
    return Settings::write(
        registryFile(), entry.name,
        {{QStringLiteral("Driver"), entry.driver}, {QStringLiteral("Database"), entry.database}},
        error);
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
    return Database::open({entry->driver, entry->database});
}

} // namespace DataSources

QString CreateDataSource()
{
    const QString chosen = prompts().openFile(
        QStringLiteral("Select Data File Name"),
        QStringLiteral("Data Files (*.mdb *.db *.sqlite);;All Files (*)"), QStringLiteral("*.mdb"));
    if (chosen.trimmed().isEmpty())
        return QString();
    auto rtrim = [](QString s) {
        while (!s.isEmpty() && s.back().isSpace())
            s.chop(1);
        return s;
    };
    const QString path = rtrim(chosen);
    const QString title = rtrim(QFileInfo(path).fileName());
    QString error;
    if (!title.isEmpty() &&
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
