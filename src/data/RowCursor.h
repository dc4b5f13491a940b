#pragma once

#include "Cell.h"
#include "ColumnInfo.h"

#include <QString>
#include <QVariantList>
#include <memory>
#include <vector>

class Database;
struct RowTable;

/// A select read forward only, one row at a time, each value handed as a
/// Cell: what the file writers read, so that a large EGM is neither held in
/// memory nor turned into a QVariant and a QString per value.
///
/// On SQLite the rows come straight from the engine's statement on the
/// connection's own handle; on other engines through Qt SQL. Either way the
/// columns are typed as Database::select types them, and the values of a
/// column of a named table come as its type gives them (Long as Integer,
/// Double as Real, Date as a Date, or the stored text when that is no date,
/// Boolean as Boolean, Text as Text); other columns come as the engine gives
/// them. No writer needs to know the engine.
///
/// While a cursor is being read, its connection runs no other statement (a
/// server's driver would drop the rows not read yet).
class RowCursor
{
public:
    /// Runs the select with its parameters bound in order. Throws DbError.
    static std::unique_ptr<RowCursor> open(Database& db, const QString& sql,
                                           const QVariantList& params = {});
    /// The rows of a table held in memory, values as they stand.
    static std::unique_ptr<RowCursor> over(const RowTable& table);

    virtual ~RowCursor();
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;

    const ColumnList& columns() const { return columns_; }
    int columnCount() const { return int(columns_.size()); }
    /// Position of a column by name without regard to case; -1 when none.
    int column(QStringView name) const;

    /// Moves to the next row; false after the last. A read that fails on the
    /// way (a damaged file, a lost server) throws DbError: stopping there
    /// would pass for the end of the rows.
    virtual bool next() = 0;

    /// The current row's values, valid until the next call of next().
    const Cell& cell(int column) const { return cells_[size_t(column)]; }
    /// A value as Database::select gives it.
    virtual QVariant value(int column) const;
    /// A value as the engine gives it, before a column's type converts it
    /// (what a row set holds for the columns of a table it does not write).
    virtual QVariant rawValue(int column) const;
    RowValues values() const;

protected:
    RowCursor() = default;

    ColumnList columns_;
    std::vector<Cell> cells_;
};
