#include "Restore.h"

#include "CompanyInUse.h"
#include "Database.h"
#include "DatabaseCopy.h"
#include "Schema.h"
#include "SqliteHandle.h"

#include <QFileInfo>
#include <QLocale>

namespace {

DbError refused(const QString& file, const QString& why)
{
    return DbError(DbError::CommandFailed,
                   QStringLiteral("The backup '%1' cannot be restored: %2").arg(file, why));
}

QString plural(qint64 n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(QLocale::c().toString(n),
                                       QLatin1String(n == 1 ? one : many));
}

} // namespace

namespace Restore {

Contents inspect(const QString& file)
{
    const QFileInfo fi(file);
    if (!fi.isFile())
        throw refused(file, QStringLiteral("there is no such file."));
    Contents c;
    c.file = fi.absoluteFilePath();
    std::shared_ptr<Database> db;
    try {
        if (const QString answer = Backup::check(c.file); answer != QLatin1String("ok"))
            throw refused(c.file, QStringLiteral("it is damaged (%1).").arg(answer));
        db = Database::openToRead(c.file);
        for (const char* table : {"egmcargo", "egmcontain", "loguser"})
            if (!db->tableExists(QString::fromLatin1(table)))
                throw refused(c.file, QStringLiteral("it is not a backup of a company database "
                                                     "(it has no table %1).")
                                          .arg(QLatin1String(table)));
        c.version = Schema::companyDatabaseVersion(*db);
        if (c.version > Schema::companyVersion)
            throw refused(c.file, QStringLiteral("a newer Tarvex made it; restore it with that "
                                                 "Tarvex."));
        c.bills = db->scalar(QStringLiteral("select count(*) from egmcargo")).toLongLong();
        c.containers = db->scalar(QStringLiteral("select count(*) from egmcontain")).toLongLong();
    } catch (const DbError& e) {
        if (e.description().startsWith(QLatin1String("The backup '")))
            throw;
        throw refused(c.file, e.description());
    }
    // From the backup's name, else the file's own time.
    c.made = Backup::timeOf(c.file);
    if (!c.made.isValid())
        c.made = QFileInfo(c.file).lastModified();
    return c;
}

QString describe(const Contents& c)
{
    return QStringLiteral("the backup of %1 (%2, %3)")
        .arg(c.made.toString(QStringLiteral("dd/MM/yyyy HH:mm")),
             plural(c.bills, "shipping bill", "shipping bills"),
             plural(c.containers, "container", "containers"));
}

Replaced overFile(Database& db, CompanyInUse* claim, const QString& file)
{
    if (db.where().isServer())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("A company database on a server is restored into a new "
                                     "database of its own."));
    if (db.readOnly())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The company database '%1' is read-only: nothing was "
                                     "restored.")
                          .arg(db.location()));
    Replaced r;
    r.from = inspect(file);
    if (QFileInfo(r.from.file) == QFileInfo(db.location()))
        throw refused(r.from.file, QStringLiteral("it is the company database itself."));
    std::unique_ptr<CompanyInUse> own;
    if (!claim) {
        own = CompanyInUse::share(db.location());
        claim = own.get();
    }
    if (!claim || !claim->takeAlone())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Another clerk has the company database '%1' open: nothing "
                                     "was restored. Ask every other clerk to log out or close "
                                     "Tarvex, then restore.")
                          .arg(db.location()));
    try {
        r.before = Backup::make(db);
        SqliteHandle::replaceWith(db, r.from.file);
    } catch (...) {
        claim->shareAgain();
        throw;
    }
    claim->shareAgain();
    return r;
}

Contents intoServer(const Database& db, const QString& file, const QString& database)
{
    if (!db.where().isServer())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("A company database file is restored over itself."));
    Contents c = inspect(file);
    Database::Location where = db.where();
    where.database = database;
    auto from = Database::openToRead(c.file);
    auto to = Database::create(where);
    DatabaseCopy::copy(*from, *to);
    return c;
}

} // namespace Restore
