#pragma once

#include "Cell.h"
#include "RowTable.h"

#include <QHash>
#include <QString>
#include <optional>

/// The columns the import relies on: "" when they are all there, otherwise a
/// message naming the first one missing (egmno in the cargo file; ref and
/// subrefno in the container file; a cargo file needs at least its id column).
QString checkImportColumns(const ColumnList& cargo, const ColumnList& containers);
inline QString checkImportColumns(const RowTable& cargo, const RowTable& containers)
{
    return checkImportColumns(cargo.columns, containers.columns);
}

/// The numbering of an import, one row at a time: the shipping bills get new
/// ids from baseId on in file order, and each container the new id of its
/// shipping bill.
///
/// Containers are matched on their refs as the file gives them, against the
/// bills' ids as the file gives them, once every bill is numbered: a new id
/// that equals a later bill's old id never makes a container match twice.
/// Bills sharing an old id: the last one keeps the containers, as when each
/// bill in turn claims every container of its old id. Numbers are compared
/// as numbers (a text value by its leading number), never through text.
class ImportNumbering
{
public:
    explicit ImportNumbering(qint64 baseId) : next_(baseId) {}

    /// The next shipping bill of the file, by the value of its id column:
    /// its new id. 64 bits: the id after the last one may lie beyond the
    /// range of an id.
    qint64 addBill(const Cell& oldId);
    /// A container's new ref; nothing when its ref (or the lack of one)
    /// names no shipping bill of the file.
    std::optional<qint64> refOf(const Cell& oldRef) const;
    /// The id the next bill gets.
    qint64 nextId() const { return next_; }

    /// The numeric value of a cell, as the classic Val() reads a value.
    static double numberOf(const Cell& value);

private:
    QHash<double, qint64> newIds_;
    qint64 next_;
};

/// ImportNumbering on rows held in memory: gives the shipping bills their new
/// ids in their column idColumn and points every container at the new id of
/// its shipping bill; subrefno ends as 0.
///
/// Returns the positions of the containers whose ref (or lack of one)
/// matches no shipping bill of the file: they get the subrefno value they had
/// in the file as their ref, which points them at whatever bill holds that
/// id, so the import refuses a pair that has any. The columns must be there
/// (checkImportColumns).
QList<qsizetype> renumberImport(RowTable& cargo, RowTable& containers, int baseId,
                                int idColumn = 0);
