#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <functional>

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

enum class WriteOutcome
{
    Written,
    /// A column the schema declared not nullable holds a null, or a value
    /// its type cannot be written in: the schema already written is wrong.
    /// Nothing more was written; write again, from a fresh sink and cursor,
    /// with the columns of *needNullable among alsoNullable.
    Again,
    SinkFailed,
};

/// Streams the rows of a cursor as the file for table: nothing is held but
/// a block. Columns without a base table of their own are described as
/// columns of baseTable (no base table information when both are empty). A
/// column declared not nullable is written as nullable when it is in
/// alsoNullable: ADO refuses to open a file whose row lacks a non-nullable
/// column. *rows counts the rows written.
WriteOutcome write(RowCursor& cursor, const QString& baseTable, const QSet<int>& alsoNullable,
                   QSet<int>* needNullable, const Sink& sink, qsizetype* rows = nullptr);

/// The whole file for rows held in memory.
QByteArray write(const RowTable& table, const QString& baseTable = {});

} // namespace AdoXml
