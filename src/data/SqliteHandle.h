#pragma once

#include <QMetaType>
#include <QVariant>

class Database;
class QSqlError;
struct sqlite3;
struct sqlite3_stmt;

/// The SQLite engine under Qt's driver, for the readers and writers that
/// run their statements on it directly (RowCursor, RowInserter).
namespace SqliteHandle {

/// The connection's engine handle; nullptr when db is not on SQLite.
sqlite3* of(Database& db);

/// Replaces the whole of db's database (SQLite) by the database in file, in
/// one step: other connections see it as it was or as the file holds it.
/// db keeps its journal mode. Throws DbError naming the file; db is then as
/// it was.
void replaceWith(Database& db, const QString& file);

/// Copies db's whole database (SQLite) into a new file, page by page in one
/// read of it at one moment, while other connections go on saving (in
/// write-ahead-log mode they do not wait for it). Throws DbError; a part of
/// the file may then be left, for the caller to remove.
void copyTo(Database& db, const QString& file);

/// Binds a value at position (from 1) as Qt's driver binds it.
int bind(sqlite3_stmt* statement, int position, const QVariant& value);

/// The type Qt's driver reports for a declared column type.
QMetaType declaredType(const char* declared);

/// The type Qt's driver reports for a column without a declared type, by
/// the storage class of its first value.
QMetaType storedType(int storageClass);

/// Whether a failed statement failed for what its values hold, not for
/// the state of the database or the disk (busy, read-only, full, damaged).
bool isRowsFault(int resultCode);

/// The primary result code of a statement that failed under Qt's driver;
/// -1 when the error carries none.
int resultCode(const QSqlError& error);

} // namespace SqliteHandle
