#pragma once

#include "ColumnInfo.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

/// What differs between database engines. Screens and file formats write
/// plain SQL that every engine takes; whatever is engine-specific (creating
/// tables, starting a write transaction, locating one row, date storage)
/// goes through here.
class SqlDialect
{
public:
    virtual ~SqlDialect() = default;

    /// How long a statement waits for a lock another connection holds
    /// before it fails, unless the connection is told otherwise.
    static constexpr int lockWaitSeconds = 5;

    virtual QString name() const = 0;
    /// The Qt SQL driver name.
    virtual QString driver() const = 0;
    /// Starts a transaction that will write; with SQLite the write lock is
    /// taken at once so that another clerk's lock shows at the start of a
    /// save, not half way through it.
    virtual QString beginWrite() const = 0;
    /// Starts a transaction that only reads: its selects all see the
    /// database as it was when the first one ran.
    virtual QString beginRead() const { return QStringLiteral("BEGIN"); }
    /// Inside a write transaction: keeps every other writer of table out
    /// until the transaction ends, so that an id taken as max(id) + 1 stays
    /// this transaction's. Empty where the write transaction already keeps
    /// other writers out (SQLite's BEGIN IMMEDIATE).
    virtual QString lockTable(const QString& table) const
    {
        Q_UNUSED(table);
        return QString();
    }
    /// "create table" with the columns in their order, each of the type
    /// columnType names.
    QString createTable(const QString& table, const ColumnList& columns) const;
    /// A column's type and constraints in this engine's words.
    virtual QString columnType(const ColumnInfo& column) const = 0;
    virtual QStringList tables(const QSqlDatabase& db) const = 0;
    /// Columns of a table in their order, with types and sizes.
    virtual ColumnList tableColumns(const QSqlDatabase& db, const QString& table) const = 0;
    /// A condition matching exactly one row of table that satisfies where
    /// (the first one, for tables without a key).
    virtual QString singleRow(const QString& table, const QString& where) const = 0;
    /// "column = ?" that also matches two nulls.
    virtual QString nullSafeEquals(const QString& column) const = 0;
    /// A value as the engine stores it, and back.
    virtual QVariant toStorage(ColumnType type, const QVariant& value) const = 0;
    QVariant fromStorage(ColumnType type, const QVariant& value) const;

    /// Where the engine keeps no lasting order of rows: the hidden column
    /// that numbers each table's rows as they are stored (StoredOrder). ""
    /// where the engine has one (SQLite's rowid).
    virtual QString rowOrderColumn() const { return QString(); }
    /// The program's statement as this engine takes it.
    virtual QString translate(const QString& sql) const { return sql; }
    /// A statement that makes the connection's statements wait up to
    /// seconds for a lock another connection holds.
    virtual QString lockWait(int seconds) const
    {
        return QStringLiteral("PRAGMA busy_timeout = %1").arg(seconds * 1000);
    }
    /// Makes the connection refuse every change from now on.
    virtual QString readOnlySession() const { return QStringLiteral("PRAGMA query_only = ON"); }
    /// Statements run on every new connection.
    virtual QStringList sessionSetup() const { return {}; }
    /// A value as it is bound to a statement.
    virtual QVariant bindable(const QVariant& value) const { return value; }
    /// The engine's message for a failed statement, without driver noise.
    virtual QString errorText(const QSqlError& error) const;
    /// After a failure: whether the connection itself is gone (a server
    /// restarted, a network lost).
    virtual bool connectionLost(const QSqlDatabase& db, const QSqlError& error) const
    {
        Q_UNUSED(db);
        Q_UNUSED(error);
        return false;
    }
    /// Whether a failed statement spoils the rest of its transaction, so that
    /// nothing but a rollback runs until it ends.
    virtual bool failureAbortsTransaction() const { return false; }
    /// Whether a failed insert failed for what its values hold, not for the
    /// state of the database or the disk, so that the row is to blame.
    virtual bool isRowsFault(const QSqlError& error) const
    {
        Q_UNUSED(error);
        return true;
    }
    /// Whether a statement failed because a lock stayed taken too long.
    virtual bool isLockTimeout(const QSqlError& error) const
    {
        Q_UNUSED(error);
        return false;
    }
    /// How many rows of columns values one insert statement takes: several
    /// save round trips to a server.
    virtual int rowsPerInsert(int columns) const
    {
        Q_UNUSED(columns);
        return 1;
    }
    /// After rows were stored with their own auto-number values: a statement
    /// that keeps the next number above them ("" where the engine does so
    /// itself).
    virtual QString syncAutoNumber(const QString& table, const QString& column) const
    {
        Q_UNUSED(table);
        Q_UNUSED(column);
        return QString();
    }

    /// The indexes of a table that are not its primary key, each with its
    /// columns in order.
    struct Index
    {
        QString name;
        QStringList columns;
        bool unique = false;
    };
    virtual QList<Index> indexes(const QSqlDatabase& db, const QString& table) const = 0;

    /// Maps a declared SQL type ("char(50)", "DOUBLE", "date") to a column
    /// kind and size.
    static void classify(const QString& declared, ColumnInfo& column);

protected:
    /// A stored date or date and time (not null) as a QDate, or a QDateTime
    /// when it has a time of day; the value as it is when it is no date.
    virtual QVariant dateFromStorage(const QVariant& value) const = 0;
};

class SqliteDialect final : public SqlDialect
{
public:
    QString name() const override { return QStringLiteral("SQLite"); }
    QString driver() const override { return QStringLiteral("QSQLITE"); }
    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString columnType(const ColumnInfo& column) const override;
    QStringList tables(const QSqlDatabase& db) const override;
    ColumnList tableColumns(const QSqlDatabase& db, const QString& table) const override;
    QString singleRow(const QString& table, const QString& where) const override;
    QString nullSafeEquals(const QString& column) const override;
    QVariant toStorage(ColumnType type, const QVariant& value) const override;
    QList<Index> indexes(const QSqlDatabase& db, const QString& table) const override;
    bool isRowsFault(const QSqlError& error) const override;

protected:
    QVariant dateFromStorage(const QVariant& value) const override;
};
