#include "SqliteHandle.h"

#include "Database.h"
#include "DbError.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

namespace SqliteHandle {

sqlite3* of(Database& db)
{
    QSqlDriver* driver = db.qt().driver();
    if (!driver || db.qt().driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant handle = driver->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

namespace {

/// Every page of from's main database into to's, in one step (one write
/// transaction on to, one read of from); "" when done, else why not.
QString copyPages(sqlite3* from, sqlite3* to)
{
    sqlite3_backup* copy = sqlite3_backup_init(to, "main", from, "main");
    if (!copy)
        return QString::fromUtf8(sqlite3_errmsg(to));
    const int rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    return rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errstr(rc));
}

/// A connection of SQLite's own to a file, closed with the object.
struct Handle
{
    sqlite3* db = nullptr;
    int rc = SQLITE_OK;
    Handle(const QString& file, int flags)
    {
        rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, flags, nullptr);
    }
    ~Handle() { sqlite3_close(db); }
    QString error() const
    {
        return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    }
};

} // namespace

void copyTo(Database& db, const QString& file)
{
    sqlite3* from = of(db);
    if (!from)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Only a database file is copied page by page."));
    Handle to(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    QString why = to.rc == SQLITE_OK ? copyPages(from, to.db) : to.error();
    // The pages carry the source's write-ahead-log mode: the copy is one
    // file, with nothing beside it.
    if (why.isEmpty() &&
        sqlite3_exec(to.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        why = to.error();
    if (!why.isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The copy '%1' could not be written: %2").arg(file, why));
}

void replaceWith(Database& db, const QString& file)
{
    sqlite3* to = of(db);
    if (!to)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Only a database file can be replaced by another."));
    const Handle from(file, SQLITE_OPEN_READONLY);
    const QString why = from.rc == SQLITE_OK ? copyPages(from.db, to) : from.error();
    db.clearLayoutCache();
    if (!why.isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The database was not replaced by '%1': %2").arg(file, why));
}

int bind(sqlite3_stmt* statement, int position, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, position);
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(statement, position, bytes.constData(),
                                   sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::Int:
    case QMetaType::Bool:
        return sqlite3_bind_int(statement, position, value.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, position, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(statement, position, value.toDouble());
    case QMetaType::QDateTime: {
        const QByteArray text = value.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
        return sqlite3_bind_text64(statement, position, text.constData(),
                                   sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text64(statement, position, text.constData(),
                                   sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

QMetaType declaredType(const char* declared)
{
    const QString type = QString::fromUtf8(declared ? declared : "").toLower();
    if (type == QLatin1String("integer") || type == QLatin1String("int"))
        return QMetaType::fromType<int>();
    if (type == QLatin1String("double") || type == QLatin1String("float") ||
        type == QLatin1String("real") || type.startsWith(QLatin1String("numeric")))
        return QMetaType::fromType<double>();
    if (type == QLatin1String("blob"))
        return QMetaType::fromType<QByteArray>();
    if (type == QLatin1String("boolean") || type == QLatin1String("bool"))
        return QMetaType::fromType<bool>();
    return QMetaType::fromType<QString>();
}

QMetaType storedType(int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        return QMetaType::fromType<int>();
    case SQLITE_FLOAT:
        return QMetaType::fromType<double>();
    case SQLITE_BLOB:
        return QMetaType::fromType<QByteArray>();
    case SQLITE_TEXT:
        return QMetaType::fromType<QString>();
    default:
        return QMetaType();
    }
}

bool isRowsFault(int resultCode)
{
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
        return false;
    default:
        return true;
    }
}

int resultCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1; // an extended code holds its primary code in its low byte
}

} // namespace SqliteHandle
