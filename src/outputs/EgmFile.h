#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QDate>
#include <QString>

/// The EGM flat file filed with Customs: tag lines, one master line per
/// shipping bill and one container line per container, every field followed
/// by a group separator (0x1D), every line ended by a line feed alone.
namespace EgmFile {

/// The file's bytes (single-byte Latin-1 text). cargo holds the rows of
/// "select * from egmcargo ..." and containers those of the container query
/// (egmcontain.* with xegmno, xegmdt, xsbno, xsbdt); columns are found by name
/// without regard to case. The EGM date written on every line is screenDate,
/// not the stored egmdt. Returns empty bytes and sets *error when a shipping
/// bill has no date or a column is missing: no partial file is ever produced.
QByteArray content(const QDate& screenDate, const RowTable& cargo, const RowTable& containers,
                   QString* error);

/// Writes bytes to path; an existing file is replaced only once the new one
/// is complete. On failure *error names the path and the cause.
bool save(const QString& path, const QByteArray& bytes, QString* error);

} // namespace EgmFile
