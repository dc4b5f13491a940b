#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

/// Rows read without an ORDER BY come back in the order they were stored:
/// the company list, the users, the bills of a flat file all rely on it.
/// SQLite keeps that order in its rowid. PostgreSQL has none that lasts (an
/// updated row moves to the end of the table), so there every table the
/// program makes carries a hidden column numbering its rows as they are
/// stored, and selects are written out to keep it hidden and to follow it.
namespace StoredOrder {

struct Table
{
    QStringList columns; ///< the columns a "*" stands for, in order
    QString orderColumn; ///< the rows' stored order, "" when the table has none
};
using Lookup = std::function<std::optional<Table>(const QString& table)>;

/// The select with every "*" and "t.*" of its column list written out as the
/// tables' own columns and, when it reads one table in no order of its own
/// (no ORDER BY, grouping, aggregate or DISTINCT), ordered by that table's
/// stored order. "t.rowid", the stored order by SQLite's name, becomes the
/// table's order column, so that the program can ask for it on every
/// engine. Statements it cannot read with certainty, and those naming
/// a table lookup does not know, come back unchanged.
QString rewrite(const QString& sql, const Lookup& lookup);

} // namespace StoredOrder
