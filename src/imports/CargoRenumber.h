#pragma once

#include "RowTable.h"

#include <QString>

/// The columns the import relies on: "" when they are all there, otherwise a
/// message naming the first one missing (egmno in the cargo file; ref and
/// subrefno in the container file; a cargo file needs at least its id column).
QString checkImportColumns(const RowTable& cargo, const RowTable& containers);

/// Gives the imported shipping bills new ids from baseId on, in file order,
/// in their column idColumn, and points every container at the new id of its
/// shipping bill.
///
/// Containers are matched on their untouched ref values; the new id goes to
/// the scratch column subrefno first and reaches ref only once every shipping
/// bill is done, so a new id that equals a later bill's old id never makes a
/// container match twice. subrefno ends as 0.
///
/// Returns the positions of the containers whose ref (or lack of one)
/// matches no shipping bill of the file: they get the subrefno value they had
/// in the file as their ref, which points them at whatever bill holds that
/// id, so the import refuses a pair that has any. The columns must be there
/// (checkImportColumns).
QList<qsizetype> renumberImport(RowTable& cargo, RowTable& containers, int baseId,
                                int idColumn = 0);
