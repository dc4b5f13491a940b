#pragma once

#include "ColumnInfo.h"

class Database;

/// The tables of the system database (the company list) and of a company
/// database, with the look-up data shipped with the program. The user table
/// is not among them: the logon creates it when it is missing.
namespace Schema {

ColumnList drcomp();
ColumnList egmcargo();
ColumnList egmcontain();
ColumnList dPortCd();
ColumnList nature();
ColumnList constatus();
ColumnList vesinfo();
ColumnList cargo();
ColumnList contain();
/// Deleted shipping bills and their containers: the columns of egmcargo and
/// egmcontain after their own key (delid; delref names the bill's delid),
/// who deleted the bill and when.
ColumnList egmcargoDeleted();
ColumnList egmcontainDeleted();
/// The history of the shipping bills (BillHistory): an entry's own key
/// (histid), the bill's id, ROT No. and SB No., who saved it, when, the kind
/// of save and what changed.
ColumnList billhistory();

/// Creates DRCOMP in an empty database.
void createSystemDatabase(Database& db);
/// Creates every company table but loguser, its indexes and the look-up
/// rows (ports, natures of cargo, container statuses), in one transaction.
void createCompanyDatabase(Database& db);

/// Creates loguser, the table of users, passwords and rights (it must not
/// exist yet). pwd holds a password's hash; failures counts the wrong
/// passwords typed in a row for the user.
void createUserTable(Database& db);
/// The width of loguser.pwd: a whole hash.
constexpr int passwordWidth = 128;
/// Brings a loguser of an earlier Tarvex to today's layout: pwd widened to
/// passwordWidth, the failures column added. The rows, their order and
/// their values stay as they are. True when something was changed; false
/// (and nothing done) for a table of today's layout. Throws DbError.
bool upgradeUserTable(Database& db);
/// From now on, text that db deletes or overwrites is erased from its file
/// too (SQLite keeps it in free space otherwise): for replacing passwords.
void eraseWhatIsDeleted(Database& db);
/// After such a change is committed: the database file itself holds it
/// (SQLite's write-ahead log is emptied into it), so the old text is gone
/// from the file now, not at the next checkpoint.
void writeThrough(Database& db);

/// The layout of a company database that this program makes and works
/// with, kept in the table schemaversion. A database without that table was
/// made by an earlier Tarvex: version 1, without the unique keys on
/// egmcargo.id and cargo.id. Version 3 keeps deleted shipping bills;
/// version 4 the history of the shipping bills; version 5 an index on
/// egmcargo.sbno.
constexpr int companyVersion = 5;
/// The version a company database carries (1 when it carries none).
int companyDatabaseVersion(Database& db);

/// What bringing a company database up to date found.
struct Upgrade
{
    enum class State
    {
        Current,  ///< of this program's version: nothing done
        Upgraded, ///< brought from an earlier version, in one transaction
        Collides, ///< ids that the keys forbid are held twice: nothing changed
        Newer,    ///< made by a newer Tarvex: nothing changed
    };
    State state = State::Current;
    int found = companyVersion; ///< the version the database carried
    /// Collides: which ids, by which rows, and how to mend them. Newer: why
    /// the database is only read.
    QString message;
};
/// What stands in the way of the unique id keys: which ids of which tables
/// more than one row holds, and how to mend them ("" when nothing does).
QString idCollisions(Database& db);
/// Brings a company database of an earlier version to companyVersion in one
/// transaction; a database whose ids already collide, or one of a newer
/// version, is left as it is. Throws DbError when a statement fails (the
/// database then stays as it was).
Upgrade upgradeCompanyDatabase(Database& db);

/// Rows of a shipped look-up list ("ports", "natures", "constatus"), without
/// the header line.
QList<QStringList> lookupRows(const QString& name);
/// A folder whose NAME.csv files are read instead of the lists compiled into
/// the program (an installed program's share/tarvex/lookups, which an office
/// may extend); "" or a missing file means the compiled-in list.
void setLookupFolder(const QString& dir);

} // namespace Schema
