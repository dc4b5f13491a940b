#include "SqlDialect.h"

#include "SqliteHandle.h"
#include "ValueText.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

QString SqlDialect::errorText(const QSqlError& error) const
{
    QString t = error.databaseText().trimmed();
    if (t.isEmpty())
        t = error.text().trimmed();
    return t;
}

void SqlDialect::classify(const QString& declared, ColumnInfo& column)
{
    const QString t = declared.trimmed().toLower();
    static const QRegularExpression sizeRe(QStringLiteral("\\(\\s*(\\d+)"));
    const auto m = sizeRe.match(t);
    const int size = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (t.contains(QLatin1String("char")) || t.contains(QLatin1String("text")) ||
        t.contains(QLatin1String("clob"))) {
        column.type = ColumnType::Text;
        column.size = size > 0 ? size : 255;
    } else if (t.contains(QLatin1String("date")) || t.contains(QLatin1String("time"))) {
        column.type = ColumnType::Date;
    } else if (t.startsWith(QLatin1String("bool")) || t == QLatin1String("bit")) {
        column.type = ColumnType::Boolean;
    } else if (t.contains(QLatin1String("int")) || t == QLatin1String("long") ||
               t.contains(QLatin1String("serial"))) {
        column.type = ColumnType::Long;
    } else if (t.contains(QLatin1String("double")) || t.contains(QLatin1String("real")) ||
               t.contains(QLatin1String("float")) || t.contains(QLatin1String("num")) ||
               t.contains(QLatin1String("dec"))) {
        column.type = ColumnType::Double;
    } else {
        column.type = ColumnType::Text;
        column.size = 255;
    }
    if (column.type != ColumnType::Text)
        column.size = ColumnInfo::naturalSize(column.type);
}

QString SqlDialect::createTable(const QString& table, const ColumnList& columns) const
{
    QStringList defs;
    for (const ColumnInfo& c : columns)
        defs << c.name + u' ' + columnType(c);
    return QStringLiteral("create table %1 (%2)").arg(table, defs.join(QStringLiteral(", ")));
}

QString SqliteDialect::columnType(const ColumnInfo& c) const
{
    if (c.autoNumber)
        return QStringLiteral("integer primary key autoincrement");
    switch (c.type) {
    case ColumnType::Long:
        return QStringLiteral("integer");
    case ColumnType::Double:
        return QStringLiteral("double");
    case ColumnType::Date:
        return QStringLiteral("date");
    case ColumnType::Boolean:
        return QStringLiteral("boolean");
    case ColumnType::Text:
        break;
    }
    return QStringLiteral("varchar(%1)").arg(c.size > 0 ? c.size : 255);
}

QStringList SqliteDialect::tables(const QSqlDatabase& db) const
{
    // sqlite_sequence and the like are the engine's own.
    QStringList out = db.tables(QSql::Tables);
    out.removeIf([](const QString& t) { return t.startsWith(QLatin1String("sqlite_")); });
    return out;
}

ColumnList SqliteDialect::tableColumns(const QSqlDatabase& db, const QString& table) const
{
    ColumnList out;
    QSqlQuery q(db);
    // PRAGMA takes no parameters; the name is quoted as an identifier.
    QString quoted = table;
    quoted.replace(u'"', QLatin1String("\"\""));
    if (!q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(quoted)))
        return out;
    while (q.next()) {
        ColumnInfo c;
        c.name = q.value(1).toString();
        const QString declared = q.value(2).toString();
        classify(declared, c);
        c.nullable = q.value(3).toInt() == 0;
        // An integer primary key is SQLite's auto-number.
        c.autoNumber =
            q.value(5).toInt() > 0 && declared.toLower().startsWith(QLatin1String("int"));
        c.baseTable = table;
        c.baseColumn = c.name;
        out << c;
    }
    return out;
}

QString SqliteDialect::singleRow(const QString& table, const QString& where) const
{
    return QStringLiteral("rowid = (select rowid from %1 where %2 limit 1)").arg(table, where);
}

QString SqliteDialect::nullSafeEquals(const QString& column) const
{
    return column + QStringLiteral(" is ?");
}

QVariant SqliteDialect::toStorage(ColumnType type, const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    if (type == ColumnType::Date) {
        // ISO text keeps dates readable and in order for any SQLite tool.
        if (value.typeId() == QMetaType::QDateTime) {
            const QDateTime dt = value.toDateTime();
            if (dt.time() != QTime(0, 0))
                return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return dt.date().toString(Qt::ISODate);
        }
        const QDate d = ValueText::toDate(value);
        return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : value;
    }
    if (type == ColumnType::Boolean)
        return value.toBool() ? 1 : 0;
    return value;
}

QVariant SqlDialect::fromStorage(ColumnType type, const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    switch (type) {
    case ColumnType::Date:
        return dateFromStorage(value);
    case ColumnType::Long:
        return value.typeId() == QMetaType::QString
                   ? QVariant(qint32(ValueText::leadingNumber(value.toString())))
                   : QVariant(qint32(value.toLongLong()));
    case ColumnType::Double:
        return value.typeId() == QMetaType::QString
                   ? QVariant(ValueText::leadingNumber(value.toString()))
                   : QVariant(value.toDouble());
    case ColumnType::Boolean:
        return value.toBool();
    case ColumnType::Text:
        if (value.typeId() == QMetaType::Double)
            return ValueText::numberText(value.toDouble());
        return value.toString();
    }
    return value;
}

QVariant SqliteDialect::dateFromStorage(const QVariant& value) const
{
    const auto dt = ValueText::parseDateTime(value.toString());
    if (!dt)
        return value;
    if (dt->time() == QTime(0, 0))
        return dt->date();
    return *dt;
}

QList<SqlDialect::Index> SqliteDialect::indexes(const QSqlDatabase& db, const QString& table) const
{
    QList<Index> out;
    QString quoted = table;
    quoted.replace(u'"', QLatin1String("\"\""));
    QSqlQuery list(db);
    if (!list.exec(QStringLiteral("PRAGMA index_list(\"%1\")").arg(quoted)))
        return out;
    while (list.next()) {
        // Origin "c": made by CREATE INDEX (not a key's own index).
        if (list.value(3).toString() != QLatin1String("c"))
            continue;
        Index ix;
        ix.name = list.value(1).toString();
        ix.unique = list.value(2).toInt() != 0;
        out << ix;
    }
    for (Index& ix : out) {
        QString name = ix.name;
        name.replace(u'"', QLatin1String("\"\""));
        QSqlQuery info(db);
        if (info.exec(QStringLiteral("PRAGMA index_info(\"%1\")").arg(name)))
            while (info.next())
                ix.columns << info.value(2).toString();
    }
    return out;
}

bool SqliteDialect::isRowsFault(const QSqlError& error) const
{
    return SqliteHandle::isRowsFault(SqliteHandle::resultCode(error));
}
