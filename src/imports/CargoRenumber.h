#pragma once

#include "RowTable.h"

#include <QString>

/// The columns the import relies on: "" when they are all there, otherwise a
/// message naming the first one missing (egmno in the cargo file; ref and
/// subrefno in the container file; a cargo file needs at least its id column).
QString checkImportColumns(const RowTable& cargo, const RowTable& containers);

/// Gives the imported shipping bills new ids from baseId on, in file order,
/// and points every container at the new id of its shipping bill.
///
/// Containers are matched on their untouched ref values; the new id goes to
/// the scratch column subrefno first and reaches ref only once every shipping
/// bill is done, so a new id that equals a later bill's old id never makes a
/// container match twice. A container whose ref matches no shipping bill gets
/// the subrefno value it had in the file as its ref. subrefno ends as 0.
/// The columns must be there (checkImportColumns).
void renumberImport(RowTable& cargo, RowTable& containers, int baseId);
