#pragma once

#include "ColumnInfo.h"

#include <QSqlDatabase>
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

    virtual QString name() const = 0;
    /// The Qt SQL driver name.
    virtual QString driver() const = 0;
    /// Starts a transaction that will write; with SQLite the write lock is
    /// taken at once so that another clerk's lock shows at the start of a
    /// save, not half way through it.
    virtual QString beginWrite() const = 0;
    /// Inside a write transaction: keeps every other writer of table out
    /// until the transaction ends, so that an id taken as max(id) + 1 stays
    /// this transaction's. Empty where the write transaction already keeps
    /// other writers out (SQLite's BEGIN IMMEDIATE).
    virtual QString lockTable(const QString& table) const
    {
        Q_UNUSED(table);
        return QString();
    }
    virtual QString createTable(const QString& table, const ColumnList& columns) const = 0;
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
    virtual QVariant fromStorage(ColumnType type, const QVariant& value) const = 0;

    /// Maps a declared SQL type ("char(50)", "DOUBLE", "date") to a column
    /// kind and size.
    static void classify(const QString& declared, ColumnInfo& column);
};

class SqliteDialect final : public SqlDialect
{
public:
    QString name() const override { return QStringLiteral("SQLite"); }
    QString driver() const override { return QStringLiteral("QSQLITE"); }
    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString createTable(const QString& table, const ColumnList& columns) const override;
    QStringList tables(const QSqlDatabase& db) const override;
    ColumnList tableColumns(const QSqlDatabase& db, const QString& table) const override;
    QString singleRow(const QString& table, const QString& where) const override;
    QString nullSafeEquals(const QString& column) const override;
    QVariant toStorage(ColumnType type, const QVariant& value) const override;
    QVariant fromStorage(ColumnType type, const QVariant& value) const override;
};
