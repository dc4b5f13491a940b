#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;

/// Copies of a company database kept in the backup folder, the newest few.
/// A copy is made by the engine (SQLite's VACUUM INTO, or on a server the
/// checked table-by-table copy of copy-db into a SQLite file), never by
/// copying the file of a database in use, and is checked before it counts.
namespace Backup {

/// Settings section Backup: Folder (relative to the program's folder;
/// default "backups") and Keep (default 14).
QString folder();
int keep();

struct Result
{
    QString file;        ///< the new copy
    QStringList removed; ///< older copies removed after it was checked
    /// Copies cut short earlier (a program killed while it wrote one, a
    /// full disk), found and removed before this one was written.
    QStringList unfinished;
};

/// Writes a checked copy of db into dir (folder() when ""), named after the
/// database and the time; then removes the oldest copies of that database
/// beyond keep(). Throws DbError when the copy cannot be made or fails its
/// check: the database and the older copies are then as they were, and no
/// part of the new copy is left.
Result make(Database& db, const QString& dir = QString());
/// The same, keeping the newest keep copies: settings read beforehand, for
/// a copy written on a thread of its own.
Result make(Database& db, const QString& dir, int keep);

/// The time a copy's file name carries ("demo-20261209-180000.sqlite",
/// "...-2.sqlite"); invalid when it carries none.
QDateTime timeOf(const QString& fileName);

/// When the newest copy of db in dir (folder() when "") was written, from
/// its name; invalid when there is none.
QDateTime newest(const Database& db, const QString& dir = QString());

/// SQLite's check of a database file, read as it stands: "ok", else the
/// first problems it found. PRAGMA integrity_check, or quick_check for a
/// large file. Throws DbError when the file cannot be read at all.
QString check(const QString& file);

/// Of the copies' file names (each ending in its time), those beyond the
/// newest keep.
QStringList beyondNewest(QStringList names, int keep);

} // namespace Backup
