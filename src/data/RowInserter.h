#pragma once

#include "Cell.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class Database;

/// Appends rows to one table, each value handed as a Cell: what the XML
/// import writes with, so that a large pair is never held as QVariants.
///
/// On SQLite the values are bound to one prepared statement on the engine's
/// own handle; on other engines the rows are gathered and handed to
/// Database::insertRows a batch at a time. Either way every value is checked
/// and converted as Database::insertRows checks it (too long a text, a text
/// that is no number or no date refused with DbError::BadValue naming the
/// column), and no caller needs to know the engine.
class RowInserter
{
public:
    /// Columns by name, as Database::insertRows takes them. Throws DbError.
    static std::unique_ptr<RowInserter> open(Database& db, const QString& table,
                                             const QStringList& columns);
    virtual ~RowInserter();
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;

    /// The values of the next row, by position in the columns given. A text
    /// cell's bytes must stay valid until insert() returns.
    Cell& cell(int column) { return cells_[size_t(column)]; }

    /// Appends the row of the cells. A refused value or row throws DbError;
    /// failedRow() then says which row it was.
    virtual void insert() = 0;
    /// Writes what is still gathered; throws as insert() does. Call before
    /// the transaction is committed.
    virtual void finish() = 0;

    /// After a DbError: the refused row, counted from 0 in the order the
    /// rows were given; -1 for a failure of no one row (a full disk,
    /// another user's lock).
    qsizetype failedRow() const { return failedRow_; }

protected:
    RowInserter() = default;

    std::vector<Cell> cells_;
    qsizetype failedRow_ = -1;
};
