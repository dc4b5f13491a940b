#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Database;

/// Shipping bills that were deleted, kept with their containers so that a
/// bill deleted by mistake can be put back. A deleted bill is known by its
/// number in the deleted rows (not its old id, which a new bill may take).
namespace DeletedBills {

struct Entry
{
    qint64 number = 0; ///< what restore() takes
    qint64 oldId = 0;
    QString rotNo;
    QString sbNo;
    QDate sbDate;
    int containers = 0;
    QString deletedBy;
    QDateTime deletedAt;
};

/// Inside the delete's own transaction, before the bill's row goes: copies
/// the bill id and its containers into the deleted rows, writes the bill's
/// history entry (deleted by user, its containers removed), then deletes the
/// containers (the caller deletes the bill's row). Throws DbError; a company
/// database that has no deleted rows yet refuses, saying why.
void keep(Database& db, qint64 id, const QString& user);

/// The deleted bills, newest first; those of one EGM when rotNo is given.
QList<Entry> list(Database& db, const std::optional<QString>& rotNo = std::nullopt);

/// Forgets the deleted bills deleted before the time given, with their
/// containers, in one transaction; returns how many. A database without
/// deleted rows has none to forget.
int forgetDeletedBefore(Database& db, const QDateTime& before);

/// Puts a deleted bill back with its containers in one transaction, under
/// its old id when that is free, else the next id, with its history entry
/// (restored by user). Returns the id it got; throws DbError (nothing
/// changed) when there is no such deleted bill.
qint64 restore(Database& db, qint64 number, const QString& user = QString());

} // namespace DeletedBills
