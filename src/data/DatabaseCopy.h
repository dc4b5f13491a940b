#pragma once

#include "Database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class Database;

/// A whole database copied into another, from one engine to the other or
/// between two of one engine: what "tarvex copy-db" does when an agency
/// moves its company database to a server, or back to a file.
namespace DatabaseCopy {

struct Table
{
    QString name;
    qint64 rows = 0;
    QByteArray checksum; ///< SHA-1 of the rows in stored order, hex
};

struct Report
{
    QList<Table> tables;
    qint64 rows() const;
};

/// Told now and then during a long copy: the table and its rows so far.
using Progress = std::function<void(const QString& table, qint64 done, qint64 total)>;

/// Copies every table of from into to, which must hold no tables: the
/// columns with their types, sizes and order, auto-numbers and their values,
/// indexes, and every row in stored order. The whole copy is one transaction
/// on to; before it commits, each table's row count and checksum are checked
/// against from. Any failure (a value that does not fit, a mismatch) throws
/// DbError naming the table, and leaves to as it was.
Report copy(Database& from, Database& to, const Progress& progress = {});

/// The checksum of a table's rows, read in stored order, each value in one
/// text form whatever the engine (numbers as the flat file writes them,
/// dates in ISO form), so that a table and its copy on another engine agree.
QByteArray checksum(Database& db, const QString& table, qint64* rows = nullptr);

/// Gives a database file made for a copy no wider permissions than the
/// file it was copied from has (owner only for a copy from a server, whose
/// permissions no file shows). Called before any row is written, so that
/// no one else ever reads the copy. False with *error on failure.
bool narrowPermissions(const Database::Location& from, const QString& file, QString* error);

} // namespace DatabaseCopy
