#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

class RowCursor;

/// The writer of ADO's XML persistence format (a recordset saved with
/// adPersistXML): a schema part naming each column with its type and size,
/// then one z:row element per row whose attributes carry the non-null
/// values.
///
/// It produces the bytes ADO itself writes for a rowset read from one Access
/// table (UTF-8 without declaration, CRLF, tabs, single quotes, ADO's
/// escaping and line wrapping), so that the receiving installation, or ADO,
/// opens the file unchanged. The reader is AdoXml::Reader (src/imports).
namespace AdoXml {

/// Where the bytes go, a block at a time; false stops the writing.
using Sink = std::function<bool(QByteArrayView)>;

/// Starts one writing of the file: sets *sink to where its bytes go and
/// returns the cursor of its rows, or null when the sink cannot be made.
using Begin = std::function<std::unique_ptr<RowCursor>(Sink* sink)>;

/// Streams the rows of a cursor as the file for table: nothing is held but
/// a block. Columns without a base table of their own are described as
/// columns of baseTable (no base table information when both are empty).
/// ADO refuses to open a file whose row lacks a column its schema declares
/// not nullable: when a row does, the file is begun again (a fresh sink and
/// cursor from begin) with those columns declared nullable. False when
/// begin or the sink failed. *rows counts the rows written.
bool write(const Begin& begin, const QString& baseTable, qsizetype* rows = nullptr);

/// The whole file for rows held in memory.
QByteArray write(const RowTable& table, const QString& baseTable = {});

} // namespace AdoXml
