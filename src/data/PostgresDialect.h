#pragma once

#include "SqlDialect.h"

#include <QList>
#include <QPair>
#include <algorithm>

/// PostgreSQL through Qt's QPSQL driver. Names are written unquoted, so the
/// server folds them to lower case and D_PORT_CD, d_port_cd and egmCargo
/// name the tables they name on SQLite. Values come back as the SQLite path
/// gives them: fixed-width char(n) columns are made varchar(n) (no blank
/// padding), date-times keep the time as typed whatever the time zones of
/// client and server.
class PostgresDialect final : public SqlDialect
{
public:
    QString name() const override { return QStringLiteral("PostgreSQL"); }
    QString driver() const override { return QStringLiteral("QPSQL"); }
    QString beginWrite() const override { return QStringLiteral("BEGIN"); }
    QString beginRead() const override
    {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    QString lockTable(const QString& table) const override;
    QString columnType(const ColumnInfo& column) const override;
    QStringList tables(const QSqlDatabase& db) const override;
    ColumnList tableColumns(const QSqlDatabase& db, const QString& table) const override;
    QString singleRow(const QString& table, const QString& where) const override;
    QString nullSafeEquals(const QString& column) const override;
    QVariant toStorage(ColumnType type, const QVariant& value) const override;

    QList<Index> indexes(const QSqlDatabase& db, const QString& table) const override;
    QString rowOrderColumn() const override { return QStringLiteral("tarvex_rowid"); }
    QString translate(const QString& sql) const override;
    QString lockWait(int seconds) const override;
    QStringList sessionSetup() const override;
    QString readOnlySession() const override
    {
        return QStringLiteral("SET default_transaction_read_only = on");
    }
    QVariant bindable(const QVariant& value) const override;
    QString errorText(const QSqlError& error) const override;
    bool connectionLost(const QSqlDatabase& db, const QSqlError& error) const override;
    bool failureAbortsTransaction() const override { return true; }
    bool isLockTimeout(const QSqlError& error) const override;
    /// Up to 1,000 rows, within the server's 65,535 parameters.
    int rowsPerInsert(int columns) const override
    {
        return std::clamp(65535 / std::max(columns, 1), 1, 1000);
    }
    QString syncAutoNumber(const QString& table, const QString& column) const override;

protected:
    QVariant dateFromStorage(const QVariant& value) const override;
};

/// libpq connection texts: "host=db.agency port=5432 user=egm", a
/// "postgresql://" URI, or "service=name" for an entry of the service file.
namespace PgConninfo {

using Pairs = QList<QPair<QString, QString>>;

/// The keywords and values given, in libpq's order. A text libpq cannot read
/// (an unknown keyword, a quote left open) fails with *error set.
bool parse(const QString& text, Pairs* pairs, QString* error);
/// The value of one keyword, "" when it is not given.
QString value(const Pairs& pairs, const QString& keyword);
/// Pairs written back as one text, each value quoted the way libpq reads it.
QString join(const Pairs& pairs);
/// A short name of the server for messages: "host:port", the service, or
/// "the local server".
QString serverName(const Pairs& pairs);

} // namespace PgConninfo
