#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QString>

/// ADO's XML persistence format (a recordset saved with adPersistXML): a
/// schema part naming each column with its type and size, then one z:row
/// element per row whose attributes carry the non-null values.
///
/// The writer produces the bytes ADO itself writes for a rowset read from one
/// Access table (UTF-8 without declaration, CRLF, tabs, single quotes, ADO's
/// escaping and line wrapping), so that the receiving installation, or ADO,
/// opens the file unchanged.
///
/// The reader accepts what ADO and other writers produce. It does its own
/// tokenizing because ADO writes TAB, CR and LF raw inside attribute values and
/// means them literally, where a conforming XML parser would turn them into
/// blanks.
namespace AdoXml {

struct Error
{
    QString message; ///< a sentence for the user
    int line = 0;    ///< 1-based; 0 when no position applies
    int column = 0;  ///< 1-based, in characters
};

/// The file content for table. Columns without a base table of their own are
/// described as columns of baseTable (no base table information when both are
/// empty). A column that is declared not nullable but holds a null is written
/// as nullable: ADO refuses to open a file whose row lacks a non-nullable
/// column.
QByteArray write(const RowTable& table, const QString& baseTable = {});

/// Reads a saved rowset into table (replaced only on success). Pending changes
/// are resolved to the current values: rows of rs:insert are taken, rs:update
/// gives the changed row, rs:delete rows are skipped. A hierarchical (shaped)
/// rowset is refused.
bool read(const QByteArray& data, RowTable* table, Error* error);

/// read() on the content of the file at path; the error message names the
/// file.
bool readFile(const QString& path, RowTable* table, Error* error);

} // namespace AdoXml
