#pragma once

#include "Backup.h"

#include <QDateTime>
#include <QString>

class CompanyInUse;
class Database;

/// A company database put back from one of its backups.
namespace Restore {

/// What a backup holds, as a clerk is asked about it.
struct Contents
{
    QString file;
    QDateTime made; ///< from the backup's name, else the file's time
    qint64 bills = 0;
    qint64 containers = 0;
    int version = 1; ///< the schema version it carries
};

/// Checks a backup before anything is done with it: a readable SQLite file
/// that passes its integrity check and holds a company database of this
/// Tarvex or an earlier one. Throws DbError naming the file and why not.
Contents inspect(const QString& file);

/// "the backup of 09/12/2026 08:15 (12 shipping bills, 40 containers)"
QString describe(const Contents& contents);

struct Replaced
{
    Contents from;
    Backup::Result before; ///< the backup of the database as it was
};

/// Replaces db's database file by the backup, in one step, after checking
/// the backup and writing a backup of db as it is. claim is the caller's
/// own claim on the file (its logon's), or null. Refused, with nothing
/// changed, while another logon has the company open, or for a database on
/// a server. Throws DbError.
Replaced overFile(Database& db, CompanyInUse* claim, const QString& file);

/// On a server: the backup into a new, empty database of that name on db's
/// server; db itself is not changed. Throws DbError (the new database is
/// then left empty).
Contents intoServer(const Database& db, const QString& file, const QString& database);

} // namespace Restore
