#include "Database.h"

#include "PostgresDialect.h"
#include "SqliteHandle.h"
#include "StoredOrder.h"
#include "ValueText.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QUrl>
#include <QUuid>
#include <cmath>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool canWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

/// A disk with less room than SQLite needs for a page, its journal and the
/// index of its write-ahead log.
bool diskFull(const QString& folder)
{
    struct statvfs fs;
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    const auto blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail; // root may use the reserve
    return double(blocks) * double(fs.f_frsize) < 128.0 * 1024;
}

/// The file's header says write-ahead logging (versions 2 at bytes 18 and 19).
bool isWalDatabase(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = f.read(20);
    return header.size() == 20 && header[18] == 2 && header[19] == 2;
}

QString newConnectionName()
{
    return QStringLiteral("tarvex-") + QUuid::createUuid().toString(QUuid::Id128);
}

bool isSelect(const QString& sql)
{
    static const QRegularExpression select(QStringLiteral("^\\s*select\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return select.match(sql).hasMatch();
}

bool isRollback(const QString& sql)
{
    return sql.trimmed().compare(QLatin1String("ROLLBACK"), Qt::CaseInsensitive) == 0;
}

/// The table a statement changes or locks, else the first it reads; "" when
/// it names none.
QString tableOfStatement(const QString& sql)
{
    static const QRegularExpression target(
        QStringLiteral("^\\s*(?:update|delete\\s+from|insert\\s+into|lock\\s+table)\\s+"
                       "([A-Za-z_][A-Za-z0-9_$]*)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = target.match(sql);
    if (m.hasMatch())
        return m.captured(1);
    return Database::tablesOf(sql).value(0);
}

QString quotedIdentifier(QString name)
{
    name.replace(u'"', QLatin1String("\"\""));
    return u'"' + name + u'"';
}

} // namespace

bool Database::Location::isServer() const
{
    return driver.compare(QLatin1String("PSQL"), Qt::CaseInsensitive) == 0 ||
           driver.compare(QLatin1String("POSTGRESQL"), Qt::CaseInsensitive) == 0;
}

Database::Database(std::unique_ptr<SqlDialect> dialect, const QString& connectionName,
                   Location location)
    : dialect_(std::move(dialect)), connectionName_(connectionName), location_(std::move(location))
{}

Database::~Database()
{
    if (db_.isValid()) {
        if (inTransaction_ && !lost_)
            db_.exec(QStringLiteral("ROLLBACK"));
        db_.close();
    }
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

std::shared_ptr<Database> Database::open(const Location& location)
{
    return openAs(location, false);
}

std::shared_ptr<Database> Database::openToRead(const QString& file)
{
    return openAs({QStringLiteral("SQLITE"), file}, true);
}

std::shared_ptr<Database> Database::openAs(const Location& location, bool toRead)
{
    if (location.isServer()) {
        std::shared_ptr<Database> db(
            new Database(std::make_unique<PostgresDialect>(), newConnectionName(), location));
        db->openServer();
        return db;
    }
    if (location.driver.compare(QLatin1String("SQLITE"), Qt::CaseInsensitive) != 0)
        throw DbError(
            DbError::ConnectionFailed,
            QStringLiteral("The database engine '%1' is not supported.").arg(location.driver));
    const QFileInfo fi(location.database);
    if (location.database.isEmpty() || !fi.exists() || !fi.isFile())
        throw DbError(
            DbError::ConnectionFailed,
            QStringLiteral("The database file '%1' does not exist.").arg(location.database));
    if (fi.size() == 0)
        // SQLite would take an empty file for a new database and write to it.
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The file '%1' is not a database (it is empty).")
                          .arg(location.database));
    const QString name = newConnectionName();
    std::shared_ptr<Database> db(new Database(std::make_unique<SqliteDialect>(), name, location));
    db->db_ = QSqlDatabase::addDatabase(db->dialect_->driver(), name);
    const QString path = fi.absoluteFilePath();
    const QString folder = fi.absolutePath();
    QString options =
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqlDialect::lockWaitSeconds * 1000);
    QString databaseName = path;
    db->readOnly_ = toRead || !canWrite(path) || !canWrite(folder);
    if (db->readOnly_) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        // SQLite reads a database in write-ahead-log mode through its -wal and
        // -shm files, which a read-only folder cannot hold when they are not
        // there. Without them every change is in the file itself, which is
        // then read as it stands (immutable); with both, SQLite uses them.
        const bool wal = QFileInfo::exists(path + QStringLiteral("-wal"));
        const bool shm = QFileInfo::exists(path + QStringLiteral("-shm"));
        if (!canWrite(folder) && isWalDatabase(path)) {
            if (!wal && !shm) {
                options += QStringLiteral(";QSQLITE_OPEN_URI");
                databaseName = QStringLiteral("file:") +
                               QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
                               QStringLiteral("?immutable=1");
            } else if (wal && !shm) {
                throw DbError(DbError::ConnectionFailed,
                              QStringLiteral("The database '%1' cannot be read: its folder is "
                                             "read-only and changes saved last are still in "
                                             "'%1-wal'. Open it once where it can be written.")
                                  .arg(location.database));
            }
        }
    }
    db->db_.setDatabaseName(databaseName);
    db->db_.setConnectOptions(options);
    if (!db->db_.open())
        throw DbError(DbError::ConnectionFailed, db->describe(db->db_.lastError()));
    db->configure();
    return db;
}

std::shared_ptr<Database> Database::create(const QString& file)
{
    if (QFileInfo::exists(file))
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The file '%1' exists already.").arg(file));
    const QString name = newConnectionName();
    Location location{QStringLiteral("SQLITE"), file};
    std::shared_ptr<Database> db(new Database(std::make_unique<SqliteDialect>(), name, location));
    db->db_ = QSqlDatabase::addDatabase(db->dialect_->driver(), name);
    db->db_.setDatabaseName(file);
    db->db_.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqlDialect::lockWaitSeconds * 1000));
    if (!db->db_.open())
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The database '%1' cannot be created: %2")
                          .arg(file, db->dialect_->errorText(db->db_.lastError())));
    db->configure();
    return db;
}

std::shared_ptr<Database> Database::create(const Location& location)
{
    if (!location.isServer())
        return create(location.database);
    const QString name = location.database;
    if (name.trimmed().isEmpty() || name.toUtf8().size() > 63)
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("'%1' cannot name a database on the server: a name has 1 to "
                                     "63 characters.")
                          .arg(name));
    PgConninfo::Pairs pairs;
    PgConninfo::parse(location.server, &pairs, nullptr);
    const QString server = PgConninfo::serverName(pairs);
    // CREATE DATABASE runs from another database of the server.
    std::shared_ptr<Database> admin;
    Location maintenance = location;
    maintenance.database = QStringLiteral("postgres");
    try {
        admin = open(maintenance);
    } catch (const DbError& first) {
        maintenance.database = QStringLiteral("template1");
        try {
            admin = open(maintenance);
        } catch (const DbError&) {
            throw first;
        }
    }
    const bool exists =
        !admin
             ->scalar(QStringLiteral("select 1 from pg_catalog.pg_database where datname = ?"),
                      {name})
             .isNull();
    if (!exists) {
        try {
            // Byte order for text, as SQLite compares and sorts it.
            admin->exec(QStringLiteral("create database %1 template template0 encoding 'UTF8' "
                                       "lc_collate 'C' lc_ctype 'C'")
                            .arg(quotedIdentifier(name)));
        } catch (const DbError& e) {
            throw DbError(DbError::ConnectionFailed,
                          QStringLiteral("The database '%1' cannot be created on %2: %3. The "
                                         "server's administrator can create it, empty and owned "
                                         "by the login Tarvex uses; it is then taken as it is.")
                              .arg(name, server, e.description()));
        }
    }
    admin.reset();
    auto db = open(location);
    if (exists && !db->dialect().tables(db->qt()).isEmpty())
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The database '%1' on %2 holds tables already; nothing was "
                                     "changed.")
                          .arg(name, server));
    return db;
}

void Database::openServer()
{
    // The driver reads every timestamp as local time, and without TZ the C
    // library looks at /etc/localtime again for each one (a system call per
    // date read: a third of a large export's time). Named once, the zone is
    // read once; it is the same zone.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");

    PgConninfo::Pairs pairs;
    QString why;
    if (!PgConninfo::parse(location_.server, &pairs, &why))
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The connection text of the database '%1' cannot be read: %2")
                          .arg(location_.database, why));
    const QString server = PgConninfo::serverName(pairs);
    if (!QSqlDatabase::isDriverAvailable(dialect_->driver()))
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The database '%1' on %2 cannot be opened: Qt's PostgreSQL "
                                     "driver (QPSQL, Debian package libqt6sql6-psql) is not "
                                     "installed.")
                          .arg(location_.database, server));
    db_ = QSqlDatabase::addDatabase(dialect_->driver(), connectionName_);
    PgConninfo::Pairs options;
    bool timeout = false;
    bool application = false;
    QString database = location_.database;
    for (const auto& [key, value] : pairs) {
        if (key == QLatin1String("dbname")) {
            if (database.isEmpty())
                database = value;
        } else if (key == QLatin1String("password")) {
            // The driver quotes it; among the options a ';' would split it.
            db_.setPassword(value);
        } else {
            timeout = timeout || key == QLatin1String("connect_timeout");
            application = application || key == QLatin1String("application_name");
            options.append({key, value});
        }
    }
    // A server that does not answer must not hold the clerk without end.
    if (!timeout)
        options.append({QStringLiteral("connect_timeout"), QStringLiteral("10")});
    if (!application)
        options.append({QStringLiteral("application_name"), QStringLiteral("Tarvex")});
    location_.database = database;
    db_.setDatabaseName(database);
    db_.setConnectOptions(PgConninfo::join(options));
    db_.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!db_.open())
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The database '%1' on %2 cannot be opened: %3")
                          .arg(database, server, dialect_->errorText(db_.lastError())));
    configure();
}

void Database::reconnectIfLost()
{
    if (!lost_)
        return;
    db_.close();
    if (!db_.open()) {
        PgConninfo::Pairs pairs;
        PgConninfo::parse(location_.server, &pairs, nullptr);
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("The database '%1' on %2 cannot be reached: %3")
                          .arg(location_.database, PgConninfo::serverName(pairs),
                               dialect_->errorText(db_.lastError())));
    }
    lost_ = false;
    configure();
}

void Database::checkUsable()
{
    reconnectIfLost();
    if (!abortedBy_.isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("An earlier step of this change failed, so it is being "
                                     "undone: %1")
                          .arg(abortedBy_));
}

void Database::checkAnswered(bool empty)
{
    if (empty && dialect_->connectionLost(db_, QSqlError()))
        lostConnection(QStringLiteral("the server does not answer"));
}

void Database::lostConnection(const QString& reason)
{
    lost_ = true;
    inTransaction_ = false;
    abortedBy_.clear();
    PgConninfo::Pairs pairs;
    PgConninfo::parse(location_.server, &pairs, nullptr);
    throw DbError(DbError::ConnectionLost,
                  QStringLiteral("The connection to the database '%1' on %2 was lost (%3). What "
                                 "was saved before is kept; check the last change, it may not "
                                 "have been saved. Tarvex connects again at the next step.")
                      .arg(location_.database, PgConninfo::serverName(pairs), reason));
}

void Database::configure()
{
    if (location_.isServer()) {
        for (const QString& sql : dialect_->sessionSetup())
            exec(sql);
        if (lockWait_ != SqlDialect::lockWaitSeconds) // a connection made again
            exec(dialect_->lockWait(lockWait_));
        if (!readOnlyWhy_.isEmpty())
            exec(dialect_->readOnlySession());
        return;
    }
    // SQLite opens anything lazily; reading the catalogue is what tells a
    // database from, say, a text file picked by mistake.
    QSqlQuery probe(db_);
    if (!probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
        const QSqlError error = probe.lastError();
        probe = QSqlQuery();
        db_.close();
        throw DbError(DbError::ConnectionFailed, describe(error));
    }
    probe.finish();
    if (readOnly_)
        return;
    QSqlQuery wal(db_);
    wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
}

QString Database::describe(const QSqlError& error) const
{
    if (location_.isServer())
        return dialect_->errorText(error);
    const QString text = dialect_->errorText(error);
    const QString& file = location_.database;
    switch (SqliteHandle::resultCode(error)) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Another user is saving to the database just now; try again in a "
                              "moment (%1).")
            .arg(text);
    case SQLITE_READONLY:
        return QStringLiteral("The database '%1' is read-only: it can be read but not changed "
                              "(%2).")
            .arg(file, text);
    case SQLITE_FULL:
        return QStringLiteral("The disk that holds the database '%1' is full (%2).")
            .arg(file, text);
    case SQLITE_IOERR:
        // SQLite says "disk I/O error" when its log index finds no room.
        if (diskFull(QFileInfo(file).absolutePath()))
            return QStringLiteral("The disk that holds the database '%1' is full (%2).")
                .arg(file, text);
        return QStringLiteral("The database '%1' could not be read or written (%2).")
            .arg(file, text);
    case SQLITE_CORRUPT:
        return QStringLiteral("The database '%1' is damaged (%2).").arg(file, text);
    case SQLITE_NOTADB:
        return QStringLiteral("The file '%1' is not a database (%2).").arg(file, text);
    case SQLITE_CANTOPEN:
        return QStringLiteral("The database '%1' cannot be opened (%2).").arg(file, text);
    default:
        break;
    }
    return text;
}

void Database::fail(const QSqlError& error, const QString& sql, int number)
{
    const QString text = dialect_->errorText(error);
    if (dialect_->connectionLost(db_, error))
        lostConnection(text);
    if (inTransaction_ && dialect_->failureAbortsTransaction() && abortedBy_.isEmpty() &&
        !isRollback(sql))
        abortedBy_ = text;
    if (dialect_->isLockTimeout(error)) {
        const QString table = tableOfStatement(sql);
        const QString what = table.isEmpty() ? QStringLiteral("The database")
                                             : QStringLiteral("The table %1").arg(table);
        throw DbError(DbError::Busy,
                      QStringLiteral("%1 is busy: another user has been changing it for over %2 "
                                     "seconds. Nothing was saved; try again in a moment.")
                          .arg(what)
                          .arg(lockWait_));
    }
    if (!location_.isServer()) {
        const int code = SqliteHandle::resultCode(error);
        throw DbError(code == SQLITE_BUSY || code == SQLITE_LOCKED ? DbError::Busy : number,
                      describe(error));
    }
    throw DbError(number, text);
}

void Database::learnLayouts(const QString& sql)
{
    if (!isSelect(sql))
        return;
    for (const QString& table : tablesOf(sql)) {
        const QString key = table.toLower();
        if (layouts_.contains(key))
            continue;
        const ColumnList cols = readLayout(table);
        if (!cols.isEmpty())
            layouts_.insert(key, cols);
    }
}

ColumnList Database::readLayout(const QString& table)
{
    ColumnList cols = dialect_->tableColumns(db_, table);
    const QString hidden = dialect_->rowOrderColumn();
    QString order;
    for (qsizetype i = cols.size() - 1; i >= 0; --i)
        if (!hidden.isEmpty() && cols[i].name.compare(hidden, Qt::CaseInsensitive) == 0) {
            order = cols[i].name;
            cols.removeAt(i);
        }
    if (order.isEmpty())
        for (const ColumnInfo& c : cols)
            if (c.autoNumber)
                order = c.name;
    if (!cols.isEmpty())
        rowOrders_.insert(table.toLower(), order);
    return cols;
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& params)
{
    if (!isRollback(sql))
        checkUsable();
    learnLayouts(sql);
    QString text = dialect_->translate(sql);
    if (!dialect_->rowOrderColumn().isEmpty() && isSelect(sql))
        text = StoredOrder::rewrite(
            text, [this](const QString& table) -> std::optional<StoredOrder::Table> {
                const QString key = table.toLower();
                const auto it = layouts_.constFind(key);
                if (it == layouts_.constEnd())
                    return std::nullopt;
                StoredOrder::Table t;
                for (const ColumnInfo& c : *it)
                    t.columns << c.name;
                t.orderColumn = rowOrders_.value(key);
                return t;
            });
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (params.isEmpty()) {
        if (!q.exec(text))
            fail(q.lastError(), sql);
        return q;
    }
    if (!q.prepare(text))
        fail(q.lastError(), sql);
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, dialect_->bindable(params[i]));
    if (!q.exec())
        fail(q.lastError(), sql);
    return q;
}

QVariant Database::scalar(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = exec(sql, params);
    QVariant v;
    if (q.next())
        v = q.value(0);
    else
        checkRead(q);
    q.finish();
    return v;
}

QStringList Database::tablesOf(const QString& sql)
{
    // Enough of a reader for the program's own selects: the names listed
    // after FROM (comma separated, each with an optional alias) and after JOIN.
    static const QRegularExpression token(
        QStringLiteral("'(?:[^']|'')*'|[A-Za-z_][A-Za-z0-9_$]*|,|\\(|\\)|\\S"));
    static const QStringList stops = {
        QStringLiteral("where"),  QStringLiteral("order"), QStringLiteral("group"),
        QStringLiteral("having"), QStringLiteral("left"),  QStringLiteral("right"),
        QStringLiteral("inner"),  QStringLiteral("outer"), QStringLiteral("join"),
        QStringLiteral("on"),     QStringLiteral("limit"), QStringLiteral("union")};
    QStringList words;
    auto it = token.globalMatch(sql);
    while (it.hasNext())
        words << it.next().captured(0);
    QStringList out;
    for (int i = 0; i < words.size(); ++i) {
        const QString w = words[i].toLower();
        if (w == QLatin1String("join") && i + 1 < words.size()) {
            out << words[i + 1];
        } else if (w == QLatin1String("from")) {
            bool expectName = true;
            for (int j = i + 1; j < words.size(); ++j) {
                const QString x = words[j].toLower();
                if (stops.contains(x) || x == QLatin1String("(") || x == QLatin1String(")"))
                    break;
                if (x == QLatin1String(",")) {
                    expectName = true;
                } else if (expectName) {
                    out << words[j];
                    expectName = false;
                }
            }
        }
    }
    return out;
}

ColumnList Database::resultColumns(const QSqlRecord& rec, const QString& sql)
{
    ColumnList out;
    ColumnList known;
    // exec() has read the layouts before the select ran.
    for (const QString& table : tablesOf(sql)) {
        const auto it = layouts_.constFind(table.toLower());
        if (it != layouts_.constEnd())
            known << *it;
    }
    for (int i = 0; i < rec.count(); ++i) {
        ColumnInfo c;
        c.name = rec.fieldName(i);
        const int k = columnIndex(known, c.name);
        if (k >= 0) {
            c = known[k];
            c.name = rec.fieldName(i);
        } else {
            // A computed or renamed column: typed by what the engine says.
            switch (rec.field(i).metaType().id()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
                c.type = ColumnType::Long;
                break;
            case QMetaType::Double:
                c.type = ColumnType::Double;
                break;
            default:
                c.type = ColumnType::Text;
                c.size = 255;
                break;
            }
            if (c.type != ColumnType::Text)
                c.size = ColumnInfo::naturalSize(c.type);
        }
        out << c;
    }
    return out;
}

RowTable Database::select(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = exec(sql, params);
    RowTable t;
    t.columns = resultColumns(q.record(), sql);
    const int n = int(t.columns.size());
    QList<bool> typed(n);
    for (int i = 0; i < n; ++i)
        typed[i] = !t.columns[i].baseTable.isEmpty();
    while (q.next()) {
        RowValues row;
        row.reserve(n);
        for (int i = 0; i < n; ++i) {
            const QVariant v = q.value(i);
            row << (typed[i] ? dialect_->fromStorage(t.columns[i].type, v) : v);
        }
        t.rows << std::move(row);
    }
    checkRead(q);
    q.finish();
    return t;
}

void Database::checkRead(const QSqlQuery& query)
{
    if (query.lastError().isValid())
        fail(query.lastError(), query.lastQuery());
}

bool Database::tableExists(const QString& table)
{
    return layouts_.contains(table.toLower()) || tables().contains(table, Qt::CaseInsensitive);
}

QStringList Database::tables()
{
    checkUsable();
    const QStringList all = dialect_->tables(db_);
    checkAnswered(all.isEmpty());
    return all;
}

QList<SqlDialect::Index> Database::indexes(const QString& table)
{
    checkUsable();
    const QList<SqlDialect::Index> all = dialect_->indexes(db_, table);
    checkAnswered(all.isEmpty());
    return all;
}

ColumnList Database::tableColumns(const QString& table)
{
    const QString key = table.toLower();
    auto it = layouts_.constFind(key);
    if (it != layouts_.constEnd())
        return *it;
    checkUsable();
    ColumnList cols = readLayout(table);
    checkAnswered(cols.isEmpty());
    if (cols.isEmpty())
        throw DbError(DbError::CommandFailed, QStringLiteral("no such table: %1").arg(table));
    layouts_.insert(key, cols);
    return cols;
}

ColumnList Database::tableColumns(const QString& table, const QStringList& names)
{
    const ColumnList layout = tableColumns(table);
    ColumnList out;
    out.reserve(names.size());
    for (const QString& name : names) {
        const int found = columnIndex(layout, name);
        if (found < 0)
            throw DbError(DbError::CommandFailed,
                          QStringLiteral("no such column: %1.%2").arg(table, name));
        out << layout[found];
    }
    return out;
}

void Database::createTable(const QString& table, const ColumnList& columns)
{
    exec(dialect_->createTable(table, columns));
    layouts_.remove(table.toLower());
    rowOrders_.remove(table.toLower());
}

void Database::insertRows(const QString& table, const QStringList& columns,
                          const QList<RowValues>& rows, qsizetype* failedRow)
{
    if (failedRow)
        *failedRow = -1;
    const ColumnList target = tableColumns(table, columns);
    int autoAt = -1; // position in columns of an auto-number column
    for (int i = 0; i < target.size(); ++i)
        if (target[i].autoNumber)
            autoAt = i;
    checkUsable();
    // A row without its auto-number leaves the column out, so that the
    // table numbers it (not every engine takes a null for "number it").
    const auto omitsKey = [&](qsizetype r) {
        return autoAt >= 0 && (autoAt >= rows[r].size() || rows[r][autoAt].isNull());
    };
    // Statements by how many rows they take and whether they leave the key out.
    QHash<qsizetype, QSqlQuery> statements;
    const auto prepared = [&](bool omitKey, qsizetype count) -> QSqlQuery& {
        const qsizetype key = count * 2 + (omitKey ? 1 : 0);
        auto it = statements.find(key);
        if (it != statements.end())
            return *it;
        QStringList names;
        for (int i = 0; i < target.size(); ++i)
            if (!(omitKey && i == autoAt))
                names << target[i].name;
        const QString marks =
            u'(' + QStringList(names.size(), QStringLiteral("?")).join(u',') + u')';
        const QString sql = QStringLiteral("insert into %1 (%2) values %3")
                                .arg(table, names.join(u','), QStringList(count, marks).join(u','));
        it = statements.insert(key, QSqlQuery(db_));
        if (!it->prepare(sql))
            fail(it->lastError(), sql);
        return *it;
    };
    // A row's values checked and converted for its statement; throws BadValue.
    const auto stored = [&](const RowValues& row, bool omitKey) {
        QVariantList values;
        values.reserve(target.size());
        for (int i = 0; i < target.size(); ++i) {
            if (omitKey && i == autoAt)
                continue;
            const ColumnInfo& col = target[i];
            const QVariant v = i < row.size() ? checkValue(col, row[i]) : QVariant();
            values << dialect_->bindable(dialect_->toStorage(col.type, v));
        }
        return values;
    };
    // Several rows in one statement, one round trip to a server. False when
    // the engine refused them: nothing of them is stored then, and the caller
    // goes through them one by one to find the row at fault.
    const auto insertTogether = [&](qsizetype from, qsizetype to, bool omitKey) {
        QList<QVariantList> values;
        values.reserve(to - from);
        try {
            for (qsizetype r = from; r < to; ++r)
                values << stored(rows[r], omitKey);
        } catch (const DbError&) {
            return false; // named with its row below
        }
        QSqlQuery& q = prepared(omitKey, to - from);
        int bound = 0;
        for (const QVariantList& row : values)
            for (const QVariant& v : row)
                q.bindValue(bound++, v);
        // Inside a transaction a refused statement would spoil the rest of
        // it on a server; a savepoint keeps what came before.
        const bool guarded = inTransaction_ && dialect_->failureAbortsTransaction();
        if (guarded)
            exec(QStringLiteral("SAVEPOINT tarvex_rows"));
        if (q.exec()) {
            if (guarded)
                exec(QStringLiteral("RELEASE SAVEPOINT tarvex_rows"));
            return true;
        }
        const QSqlError error = q.lastError();
        if (dialect_->connectionLost(db_, error) || dialect_->isLockTimeout(error))
            fail(error, q.lastQuery()); // no fault of any row
        if (guarded)
            exec(QStringLiteral("ROLLBACK TO SAVEPOINT tarvex_rows"));
        return false;
    };
    bool keysGiven = false;
    const auto syncKeys = [&] {
        const QString sync = dialect_->syncAutoNumber(table, target[autoAt].name);
        if (!sync.isEmpty())
            exec(sync);
        keysGiven = false;
    };
    const qsizetype perStatement = std::max(1, dialect_->rowsPerInsert(int(target.size())));
    qsizetype r = 0;
    while (r < rows.size()) {
        const bool omitKey = omitsKey(r);
        // A number the table gives comes after those given before it.
        if (omitKey && keysGiven)
            syncKeys();
        qsizetype end = r + 1;
        while (end < rows.size() && end - r < perStatement && omitsKey(end) == omitKey)
            ++end;
        if (end - r > 1 && insertTogether(r, end, omitKey)) {
            r = end;
        } else {
            for (; r < end; ++r) {
                if (failedRow)
                    *failedRow = r;
                const QVariantList values = stored(rows[r], omitKey);
                QSqlQuery& q = prepared(omitKey, 1);
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i]);
                if (!q.exec()) {
                    // A full disk, a read-only file or another writer is no fault of the row.
                    if (failedRow && !dialect_->isRowsFault(q.lastError()))
                        *failedRow = -1;
                    fail(q.lastError(), q.lastQuery());
                }
            }
        }
        keysGiven = keysGiven || (autoAt >= 0 && !omitKey);
    }
    if (failedRow)
        *failedRow = -1;
    if (keysGiven)
        syncKeys();
}

void Database::setReadOnly(const QString& why)
{
    exec(dialect_->readOnlySession());
    readOnly_ = true;
    readOnlyWhy_ = why;
}

void Database::begin()
{
    if (readOnly_ && !readOnlyWhy_.isEmpty())
        throw DbError(DbError::CommandFailed, QStringLiteral("The database '%1' is read-only: %2")
                                                  .arg(location_.database, readOnlyWhy_));
    if (readOnly_)
        // SQLite would start it and refuse the first change; say so at once.
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The database '%1' is read-only: it can be read but not "
                                     "changed (attempt to write a readonly database).")
                          .arg(location_.database));
    exec(dialect_->beginWrite());
    inTransaction_ = true;
    abortedBy_.clear();
}

void Database::beginRead()
{
    exec(dialect_->beginRead());
    inTransaction_ = true;
    abortedBy_.clear();
}

void Database::lockTable(const QString& table)
{
    if (!inTransaction_)
        throw DbError(
            DbError::CommandFailed,
            QStringLiteral("The table %1 can only be locked inside a transaction.").arg(table));
    const QString sql = dialect_->lockTable(table);
    if (!sql.isEmpty())
        exec(sql);
}

double Database::lockedMaxId(const QString& table)
{
    lockTable(table);
    return ValueText::leadingNumber(
        ValueText::numberText(scalar(QStringLiteral("select max(id) from %1").arg(table))));
}

void Database::setLockWait(int seconds)
{
    if (seconds == lockWait_)
        return;
    // On a server a rollback would take the setting back with it.
    if (inTransaction_)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("How long to wait for locks is set outside a transaction."));
    exec(dialect_->lockWait(seconds));
    lockWait_ = seconds;
}

void Database::commit()
{
    if (!abortedBy_.isEmpty()) {
        // PostgreSQL answers COMMIT of such a transaction by rolling it back
        // without an error: that must not pass for a save.
        const QString why = abortedBy_;
        rollback();
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Nothing was saved: an earlier step failed (%1).").arg(why));
    }
    exec(QStringLiteral("COMMIT"));
    inTransaction_ = false;
}

void Database::rollback()
{
    inTransaction_ = false;
    abortedBy_.clear();
    if (lost_)
        return; // the server ended the transaction with the connection
    exec(QStringLiteral("ROLLBACK"));
}

QVariant Database::checkValue(const ColumnInfo& column, const QVariant& value)
{
    if (value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString() : QString();
    switch (column.type) {
    case ColumnType::Text: {
        const QString s = value.typeId() == QMetaType::Double
                              ? ValueText::numberText(value.toDouble())
                          : value.typeId() == QMetaType::QDate ? ValueText::dateText(value.toDate())
                                                               : value.toString();
        if (column.size > 0 && s.size() > column.size)
            throw DbError(DbError::BadValue,
                          QStringLiteral("The value for the field '%1' is too long: it takes at "
                                         "most %2 characters.")
                              .arg(column.name)
                              .arg(column.size));
        return s;
    }
    case ColumnType::Long:
    case ColumnType::Double: {
        double d = 0;
        if (isText) {
            if (text.trimmed().isEmpty())
                return QVariant();
            if (!ValueText::isNumber(text))
                throw DbError(DbError::BadValue,
                              QStringLiteral("'%1' is not a number: the field '%2' takes numbers.")
                                  .arg(text, column.name));
            d = text.trimmed().toDouble();
        } else if (value.typeId() == QMetaType::Bool) {
            d = value.toBool() ? -1 : 0;
        } else {
            bool ok = false;
            d = value.toDouble(&ok);
            if (!ok)
                throw DbError(DbError::BadValue,
                              QStringLiteral("The value for the field '%1' is not a number.")
                                  .arg(column.name));
        }
        if (column.type == ColumnType::Double)
            return d;
        const double r = std::nearbyint(d);
        if (r < -2147483648.0 || r > 2147483647.0)
            throw DbError(DbError::BadValue, QStringLiteral("'%1' is too large for the field '%2'.")
                                                 .arg(ValueText::numberText(d), column.name));
        return qint32(r);
    }
    case ColumnType::Date: {
        if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
            return value;
        const QString s = value.toString();
        if (s.trimmed().isEmpty())
            return QVariant();
        const auto dt = ValueText::parseDateTime(s);
        if (!dt)
            throw DbError(DbError::BadValue,
                          QStringLiteral("'%1' is not a date: the field '%2' takes dates "
                                         "(dd/mm/yyyy).")
                              .arg(s, column.name));
        if (dt->time() == QTime(0, 0))
            return dt->date();
        return *dt;
    }
    case ColumnType::Boolean:
        if (isText) {
            const QString t = text.trimmed().toLower();
            if (t.isEmpty())
                return QVariant();
            return !(t == QLatin1String("0") || t == QLatin1String("false") ||
                     t == QLatin1String("no"));
        }
        return value.toBool();
    }
    return value;
}
