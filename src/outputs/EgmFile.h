#pragma once

#include "RowTable.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

/// The EGM flat file filed with Customs: tag lines, one master line per
/// shipping bill and one container line per container, every field followed
/// by a group separator (0x1D), every line ended by a line feed alone.
namespace EgmFile {

/// Builds the file line by line from column values, so that rows can be
/// streamed from a query. The line rules live here alone: numbers in their
/// ordinary text form, text exactly as stored, dates as DDMMYYYY, the zero
/// rules for volume, unit and packages, the screen's date on every line.
class Writer
{
public:
    /// Starts the file; an invalid date sets error() at once.
    explicit Writer(const QDate& screenDate);

    /// A master line. False (and error() set) when the bill has no date.
    bool addBill(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt,
                 const QVariant& sbport, const QVariant& destport, const QVariant& gateport,
                 const QVariant& naturecargo, const QVariant& volume, const QVariant& unitvol,
                 const QVariant& pkgs);
    /// Closes the master lines and opens the container section.
    void beginContainers();
    /// A container line, with its shipping bill's egmno, sbno and sbdt.
    bool addContainer(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt,
                      const QVariant& containno, const QVariant& constatus);
    /// The whole file; empty when error() is set.
    QByteArray finish();
    const QString& error() const { return error_; }
    void fail(const QString& message) { error_ = message; }

    static QString noDateMessage(const QString& sbno);
    static QString missingColumnMessage(const char* what, const QString& column);

private:
    bool billPrefix(const QVariant& egmno, const QVariant& sbno, const QVariant& sbdt);

    QByteArray out_;
    QByteArray date_;
    QString error_;
    // The first four fields of a line belong to its shipping bill: made once
    // for the run of lines of one bill.
    QVariant lastEgmno_, lastSbno_, lastSbdt_;
    QByteArray prefix_;
    bool havePrefix_ = false;
};

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
