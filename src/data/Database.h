#pragma once

#include "ColumnInfo.h"
#include "DbError.h"
#include "RowTable.h"
#include "SqlDialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantList>
#include <memory>

/// One open database connection. Every statement goes through here with its
/// values bound as parameters; failures come back as DbError. The engine
/// (SQLite, or PostgreSQL on a server) stays behind SqlDialect.
class Database
{
public:
    /// Where a database lives: the engine (SQLITE or PSQL) and the file or,
    /// on a PostgreSQL server, the database's name and how to reach the
    /// server.
    struct Location
    {
        Location() = default;
        Location(QString driver, QString database, QString server = QString())
            : driver(std::move(driver)), database(std::move(database)), server(std::move(server))
        {}

        QString driver = QStringLiteral("SQLITE");
        QString database; ///< SQLITE: the file; PSQL: the database's name
        /// PSQL: libpq connection parameters but the database
        /// ("host=db port=5432 user=egm", "service=agency"); "" for libpq's
        /// defaults (its environment variables, a local server).
        QString server;

        bool isServer() const;
    };

    /// Opens an existing database. A missing file, a file that is not a
    /// database, a server that is down or refuses the login fail with
    /// DbError::ConnectionFailed and a description that names the file or
    /// the database and gives the reason (not a database, damaged, cannot be
    /// opened, the disk is full).
    ///
    /// A SQLite file that cannot be written, or whose folder cannot be (a
    /// read-only installation), is opened read-only: everything reads, and a
    /// change fails with a message that says the database is read-only.
    static std::shared_ptr<Database> open(const Location& location);
    /// Opens a SQLite file only to read it, as it stands: nothing of it
    /// changes (its journal mode neither), as a backup to check or copy.
    static std::shared_ptr<Database> openToRead(const QString& file);
    /// Creates a new, empty SQLite database file (fails if it exists).
    static std::shared_ptr<Database> create(const QString& file);
    /// Creates a new database: a file as create(file) does, or a database on
    /// the server. A server database that exists already is taken when it
    /// holds no tables (an administrator may make it beforehand) and refused
    /// when it holds any.
    static std::shared_ptr<Database> create(const Location& location);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase& qt() { return db_; }
    const SqlDialect& dialect() const { return *dialect_; }
    /// The file (or database name), for messages.
    QString location() const { return location_.database; }
    const Location& where() const { return location_; }
    /// Opened read-only: the file or its folder cannot be written.
    bool readOnly() const { return readOnly_; }
    /// From now on the connection only reads: a change fails with a message
    /// that gives why.
    void setReadOnly(const QString& why);

    /// Runs one statement with its parameters bound in order; throws DbError.
    QSqlQuery exec(const QString& sql, const QVariantList& params = {});
    /// The first column of the first row, null when there is none.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    /// A select read into memory, each column typed from the table it comes
    /// from (dates come back as dates).
    RowTable select(const QString& sql, const QVariantList& params = {});

    bool tableExists(const QString& table);
    /// The tables of the database (of its schema, on a server).
    QStringList tables();
    /// The indexes of a table that are not its key.
    QList<SqlDialect::Index> indexes(const QString& table);
    /// The columns of a table in order (cached; names matched without regard
    /// to case). Throws when the table does not exist.
    ColumnList tableColumns(const QString& table);
    /// The columns of a table for the names given, in their order. Throws
    /// "no such column" for a name the table does not have.
    ColumnList tableColumns(const QString& table, const QStringList& names);
    /// Forgets cached table layouts (after create table).
    void clearLayoutCache()
    {
        layouts_.clear();
        rowOrders_.clear();
    }

    void createTable(const QString& table, const ColumnList& columns);
    /// Appends rows with one prepared statement; columns by name, values
    /// checked and converted as the row set does. Auto-number columns whose
    /// value is null are left to the table. When a row is refused, *failedRow
    /// (when given) is its index in rows; -1 for a failure of no one row.
    void insertRows(const QString& table, const QStringList& columns, const QList<RowValues>& rows,
                    qsizetype* failedRow = nullptr);

    /// Transactions: begin() takes the write lock at once.
    void begin();
    /// A transaction that only reads, every select seeing the same state of
    /// the database; ended by commit() or rollback().
    void beginRead();
    void commit();
    void rollback();
    bool inTransaction() const { return inTransaction_; }
    /// Inside a write transaction, before reading max(id) of table to number
    /// new rows: no other connection writes table until this transaction
    /// ends. Throws DbError outside a transaction.
    void lockTable(const QString& table);
    /// lockTable(), then the table's highest id (0 when it is empty): what
    /// new rows are numbered from.
    double lockedMaxId(const QString& table);

    /// How long a statement waits for a lock another connection holds
    /// before it fails with DbError::Busy (SqlDialect::lockWaitSeconds
    /// unless a LockWait says otherwise).
    int lockWait() const { return lockWait_; }
    /// How long an import waits for another's: it holds its lock for the
    /// whole import, and a clerk who starts one expects it to take a while.
    static constexpr int importLockWaitSeconds = 60;

    /// While it lives, the connection's statements wait up to seconds for a
    /// lock another connection holds. Made before the transaction begins
    /// (SQLite waits at its start), ended after it ends; made inside a
    /// transaction it leaves the wait as it is.
    class LockWait
    {
    public:
        LockWait(Database& db, int seconds) : db_(db), previous_(db.lockWait())
        {
            if (!db_.inTransaction())
                db_.setLockWait(seconds);
        }
        ~LockWait()
        {
            try {
                if (!db_.inTransaction())
                    db_.setLockWait(previous_);
            } catch (...) {
            }
        }
        LockWait(const LockWait&) = delete;
        LockWait& operator=(const LockWait&) = delete;

    private:
        Database& db_;
        int previous_;
    };

    /// Rolls back on destruction unless commit() ran.
    class Transaction
    {
    public:
        /// Read: a beginRead() transaction, for a snapshot that is never
        /// committed; inside a transaction already open, that one is the
        /// snapshot and stays its owner's to end.
        enum Mode
        {
            Write,
            Read
        };
        explicit Transaction(Database& db, Mode mode = Write) : db_(db)
        {
            if (mode == Write)
                db_.begin();
            else if (!db_.inTransaction())
                db_.beginRead();
            else
                done_ = true;
        }
        ~Transaction()
        {
            if (!done_) {
                try {
                    db_.rollback();
                } catch (...) {
                }
            }
        }
        void commit()
        {
            db_.commit();
            done_ = true;
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

    private:
        Database& db_;
        bool done_ = false;
    };

    /// Types the columns of a result: a column found in one of the tables
    /// the select names takes that column's type and size.
    ColumnList resultColumns(const QSqlRecord& record, const QString& sql);

    /// After reading a select's rows: a read that stopped on an error (a
    /// damaged page, a lost file) throws instead of passing for the end.
    void checkRead(const QSqlQuery& query);

    /// Throws the DbError a failed statement of this connection gives, for
    /// the readers and writers that run statements on the engine's own
    /// handle (RowCursor, RowInserter): the same message and number.
    [[noreturn]] void throwError(const QSqlError& error, const QString& sql) { fail(error, sql); }

    /// The tables named after FROM and JOIN in a select, in order.
    static QStringList tablesOf(const QString& sql);
    /// Reads the layouts of the tables a select names before it runs, so
    /// that its columns are typed from them: on a server, a catalogue read
    /// while a result streams would discard it. Tables it cannot find are
    /// left for the select itself to fail on.
    void learnLayouts(const QString& sql);

    /// A typed value checked against its column: too long a text, a text
    /// that is not a number in a number column or not a date in a date
    /// column is refused with DbError::BadValue naming the column. Empty
    /// text in a non-text column is null.
    static QVariant checkValue(const ColumnInfo& column, const QVariant& value);

private:
    Database(std::unique_ptr<SqlDialect> dialect, const QString& connectionName, Location location);
    static std::shared_ptr<Database> openAs(const Location& location, bool toRead);
    [[noreturn]] void fail(const QSqlError& error, const QString& sql,
                           int number = DbError::CommandFailed);
    /// What the engine's error means for the user: another user saving, a
    /// read-only database, a full disk, a damaged file; otherwise its text.
    QString describe(const QSqlError& error) const;
    void configure();
    void setLockWait(int seconds);
    void openServer();
    /// After a lost connection: connects again before the next statement.
    void reconnectIfLost();
    /// Before a statement: connected, and not in a transaction the engine
    /// refuses to go on with.
    void checkUsable();
    [[noreturn]] void lostConnection(const QString& reason);
    /// After a read of the catalogue: an empty answer from a connection that
    /// is gone is no answer (lostConnection).
    void checkAnswered(bool empty);
    /// A table's columns as the engine reports them, its hidden stored-order
    /// column left out and remembered.
    ColumnList readLayout(const QString& table);

    std::unique_ptr<SqlDialect> dialect_;
    QString connectionName_;
    Location location_;
    QSqlDatabase db_;
    QHash<QString, ColumnList> layouts_;
    QHash<QString, QString> rowOrders_; ///< table -> the column of its stored order
    int lockWait_ = SqlDialect::lockWaitSeconds;
    bool inTransaction_ = false;
    bool readOnly_ = false;
    QString readOnlyWhy_; ///< set by setReadOnly()
    bool lost_ = false;
    /// The first failure of a transaction that the engine will not go on
    /// with ("" while none).
    QString abortedBy_;
};
