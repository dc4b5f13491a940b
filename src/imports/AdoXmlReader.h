#pragma once

#include "Cell.h"
#include "RowTable.h"

#include <QByteArray>
#include <QString>
#include <memory>

/// The reader of ADO's XML persistence format (a recordset saved with
/// adPersistXML), as ADO and other writers produce it. The writer is in
/// src/outputs (AdoXmlWriter.h).
///
/// It does its own tokenizing, on the UTF-8 bytes, because ADO writes TAB,
/// CR and LF raw inside attribute values and means them literally, where a
/// conforming XML parser would turn them into blanks.
namespace AdoXml {

struct Error
{
    QString message; ///< a sentence for the user
    int line = 0;    ///< 1-based; 0 when no position applies
    int column = 0;  ///< 1-based, in characters
};

/// A saved rowset read one row at a time: the schema when it is opened, then
/// each row as it comes, so that a file of any size is never held as values
/// (only its bytes are). Pending changes are resolved to the current values:
/// rows of rs:insert are taken, rs:update gives the changed row, rs:delete
/// rows are skipped. A hierarchical (shaped) rowset is refused.
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
