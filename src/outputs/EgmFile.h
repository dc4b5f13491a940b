#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <functional>

class RowCursor;
struct Cell;

/// The EGM flat file filed with Customs: tag lines, one master line per
/// shipping bill and one container line per container, every field followed
/// by a group separator (0x1D), every line ended by a line feed alone. The
/// text is written in Windows-1252, the code page of the offices that file
/// it.
namespace EgmFile {

/// Where the bytes go, a block at a time; false stops the writing (a full
/// disk).
using Sink = std::function<bool(QByteArrayView)>;

/// Writes the file line by line from the rows of a cursor, in blocks, so that
/// an EGM of any size streams from the database to the disk. The line rules
/// live here alone: numbers in their ordinary text form (ValueText), text
/// exactly as stored, dates as DDMMYYYY, the zero rules for volume, unit and
/// packages, the screen's date on every line.
///
/// Nothing reaches the sink before the first shipping bill: an EGM without
/// one writes no byte.
class Writer
{
public:
    /// An invalid date sets error() at once.
    Writer(const QDate& screenDate, Sink sink);

    /// A master line from a row holding egmno, sbno, sbdt, sbport, destport,
    /// gateport, naturecargo, volume, unitvol and pkgs (found by name without
    /// regard to case). False when the writing stopped (see stopped()).
    bool addBill(const RowCursor& row);
    /// Closes the master lines and opens the container section.
    void beginContainers();
    /// A container line from a row holding its bill's xegmno, xsbno and
    /// xsbdt, and containno and constatus.
    bool addContainer(const RowCursor& row);
    /// The closing lines and the last block. False when the writing stopped.
    bool finish();

    /// What in the rows stopped the writing (a bill without a date, a missing
    /// column, a value with a control character); "" when nothing did.
    const QString& error() const { return error_; }
    /// The sink refused a block.
    bool sinkFailed() const { return sinkFailed_; }
    bool stopped() const { return sinkFailed_ || !error_.isEmpty(); }

    static QString noDateMessage(const QString& sbno);
    static QString missingColumnMessage(const char* what, const QString& column);
    /// A text value holding a line break, the group separator or another
    /// control character but TAB: written, it would split its line or add
    /// a field.
    static QString controlMessage(const QString& sbno, const QString& field, char32_t character);

private:
    bool findColumns(const RowCursor& row, const char* what,
                     std::initializer_list<const char*> names, QList<int>* columns);
    bool billPrefix(const Cell& egmno, const Cell& sbno, const Cell& sbdt);
    bool flushIfFull();
    bool fitsALine(const Cell& c, const char* field, const Cell& sbno);

    Sink sink_;
    QByteArray out_;
    QByteArray date_;
    QString error_;
    bool sinkFailed_ = false;
    bool started_ = false;
    QList<int> billColumns_;
    QList<int> containerColumns_;
    // The first four fields of a line belong to its shipping bill: made once
    // for the run of lines of one bill.
    struct Remembered
    {
        int kind = -1;
        qint64 integer = 0;
        double real = 0;
        QByteArray text;
        int date[6] = {};
    };
    Remembered last_[3];
    QByteArray prefix_;
};

/// The file's bytes for rows held in memory: cargo holds the rows of
/// "select * from egmcargo ..." and containers those of the container query
/// (egmcontain.* with xegmno, xegmdt, xsbno, xsbdt). Returns empty bytes and
/// sets *error when a shipping bill has no date or a column is missing: no
/// partial file is ever produced.
QByteArray content(const QDate& screenDate, const RowTable& cargo, const RowTable& containers,
                   QString* error);

/// Writes bytes to path; an existing file is replaced only once the new one
/// is complete. On failure *error names the path and the cause.
bool save(const QString& path, const QByteArray& bytes, QString* error);

/// The messages save() gives when the file cannot be created or written.
QString cannotCreate(const QString& path, const QString& cause);
QString cannotWrite(const QString& path, const QString& cause);

} // namespace EgmFile
