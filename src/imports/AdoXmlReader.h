#pragma once

#include "Cell.h"
#include "RowTable.h"
#include "XmlTokenizer.h"

#include <QByteArray>
#include <QString>
#include <memory>

/// The reader of ADO's XML persistence format (a recordset saved with
/// adPersistXML), as ADO and other writers produce it, on the XML tokenizer
/// of XmlTokenizer.h. The writer is in src/outputs (AdoXmlWriter.h).
///
/// The file must be well-formed XML with namespaces. Attribute values are
/// read as XML says: a TAB, CR or LF written raw (as ADO writes them) is a
/// blank; only a character reference (&#10;) gives the character itself.
namespace AdoXml {

using Error = XmlText::Error;

/// A saved rowset read one row at a time: the schema when it is opened, then
/// each row as it comes, so that a file of any size is never held as values
/// (only its bytes are). Pending changes are resolved to the current values:
/// rows of rs:insert are taken, rs:update gives the changed row, rs:delete
/// rows are skipped. A hierarchical (shaped) rowset is refused. An
/// attribute in a namespace is never a column: a row names each column once
/// (two prefixes of one namespace name one attribute, and are refused).
///
/// Every byte of the file is checked: a file that is cut short or damaged
/// after its last row fails at the end, in next().
class Reader
{
public:
    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    /// Takes the file's content and reads up to its first row. False, with
    /// error() set, when the file cannot be read that far.
    bool open(QByteArray data);
    /// open() on the file at path; every message names the file.
    bool openFile(const QString& path);

    const ColumnList& columns() const;
    /// Position of a column by name, without regard to case; -1 when none.
    int columnIndex(const QString& name) const;

    /// The next row; false after the last one and on an error (failed()).
    bool next();
    bool failed() const;
    const Error& error() const;

    /// The current row's values, valid until next() is called again: Long as
    /// Integer, Double as Real, dates and times as Date, Boolean, text and
    /// bin.hex as Text (UTF-8).
    const Cell& cell(int column) const;
    /// A value as read() gives it (Long as int, Date as QDate at midnight
    /// and as QDateTime otherwise, text as QString).
    QVariant value(int column) const;
    /// The current row's number, from 1.
    int rowNumber() const;
    /// Where the current row gives a column's value (line and column of its
    /// attribute; both 0 when the row gives none).
    Error cellPosition(int column) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// Reads a saved rowset into table (replaced only on success).
bool read(const QByteArray& data, RowTable* table, Error* error);

/// read() on the content of the file at path; the error message names the
/// file.
bool readFile(const QString& path, RowTable* table, Error* error);

} // namespace AdoXml
