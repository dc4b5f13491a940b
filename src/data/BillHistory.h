#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

/// Who changed a shipping bill, when, and what changed: one entry for every
/// save of a bill (added, changed, deleted, imported, restored), written in
/// the save's own transaction, so a save that fails leaves no entry. An entry
/// keeps the bill's ROT No. and SB No. beside its id, for finding a deleted
/// bill's changes. The flat file and the XML pair never carry it.
namespace BillHistory {

enum class Kind
{
    Added,
    Changed,
    Deleted,
    Imported,
    Restored
};
/// "added", "changed", "deleted", "imported", "restored": as stored and shown.
QString kindText(Kind kind);

struct Entry
{
    qint64 number = 0; ///< the entry's own id
    qint64 billId = 0;
    QString rotNo;
    QString sbNo;
    QString user;
    QDateTime at;
    Kind kind = Kind::Changed;
    /// One line a change: "Caption: old → new", "Container added:
    /// MSKU1234567", "Container removed: ..."; or what the entry says for
    /// itself ("From egmcargo.xml").
    QString changes;
};

/// A field of egmcargo that the history tells of, by the caption the clerk
/// knows it by. Columns that are no field (the id, the home ports set by
/// every save) are not compared.
struct Field
{
    QString column;
    QString caption;
};

/// As much of a stored bill as its history compares.
struct Bill
{
    bool stored = false;
    QStringList values;     ///< each field's value as the screen shows it, in the fields' order
    QStringList containers; ///< the container numbers, in the order they were stored
    QStringList statuses;   ///< each container's status (F, E, ...), beside its number
};

/// Shipping bill id as it is stored now (stored is false when there is no
/// such bill). Read inside the caller's transaction, before and after a
/// save, so that the change is what this save wrote. Throws DbError.
Bill read(Database& db, qint64 id, const QList<Field>& fields);

/// What a save changed, a line each: a new bill's fields that hold a value
/// ("SB No.: 5001"), a stored bill's fields that changed ("Pkgs.: 5 → 6",
/// "(empty)" for no value), then the containers added and those removed
/// (a number stored twice counts twice), then those kept whose status
/// changed ("Container MSKU1234567 status: F → E"). "" when nothing changed.
QString changes(const QList<Field>& fields, const Bill& before, const Bill& after);

/// The most characters an entry's changes keep: past it the last lines give
/// way to a line that says how many more there were.
constexpr int changesWidth = 4000;

/// Writes an entry for shipping bill id, which must still be stored (a
/// delete writes it before the row goes), with its ROT No. and SB No. and the
/// time now, inside the caller's write transaction. Throws DbError; a company
/// database without the history refuses, saying why.
void write(Database& db, qint64 id, Kind kind, const QString& user, const QString& changes);
/// The same entry for every stored bill whose id is fromId or more, in one
/// statement (the bills an import has just numbered from fromId).
void writeFrom(Database& db, qint64 fromId, Kind kind, const QString& user, const QString& changes);

/// The entries of shipping bill id, newest first, back to the one that
/// added or imported it: an id a deleted bill had may be given to a new
/// bill, whose history starts anew. None when the database keeps no history.
QList<Entry> list(Database& db, qint64 id);
/// The newest entry of shipping bill id, for its status line.
std::optional<Entry> last(Database& db, qint64 id);
/// "Changed by RAVI on 08/12/2026 14:02": the entry's user, day and minute.
QString changedBy(const Entry& entry);

/// When the company's bills last changed (the newest entry of all); invalid
/// when there is none, or the database keeps no history.
QDateTime lastChange(Database& db);

} // namespace BillHistory
