#pragma once

#include "BillHistory.h"

#include <QChar>
#include <QDate>
#include <QList>
#include <QString>

class Database;

/// The entry rules of the shipping-bill screen, apart from the screen.
namespace CargoRules {

/// The gateway and shipping bill port every saved shipping bill gets.
inline QString homePort()
{
    return QStringLiteral("INIXY1");
}

/// "C" and "CP" are containerised cargo; case counts ("c" is not).
bool isContainerised(const QString& natureCode);

/// A character a number field takes: the digits, the full stop and the slash.
bool isNumberKey(QChar c);

/// "Pkgs." may be left when its leading number is not 0.
bool packagesAcceptable(const QString& text);

/// "SB Date" may be left when it is a date, and not later than today.
bool billDateAcceptable(const QString& text, const QDate& today);

/// The fields of a shipping bill the clerk fills in, in the screen's order.
enum class Field
{
    RotNo,
    Nature,
    SbNo,
    SbDate,
    DestPort,
    Pkgs,
    Volume,
    Unit
};

/// The caption the screen shows for field.
QString caption(Field field);
/// Every field, by its column and caption, as a bill's history tells its changes.
QList<BillHistory::Field> historyFields();

/// The fields a bill of this nature must fill, in the screen's order:
/// packages for containerised cargo, volume and unit for any other.
QList<Field> requiredFields(const QString& natureCode);

/// Why text cannot stand in field, in the field's caption and the rule's
/// words ("SB Date: a date not after today, dd/mm/yyyy"); "" when it can.
/// A list's text is the entry it shows.
QString fieldRefusal(Field field, const QString& text, const QDate& today);

/// The id a new shipping bill gets: one more than the highest stored (1 on
/// an empty table). Runs inside the caller's write transaction, after
/// lockTable("egmcargo"), so that no other clerk takes the same number.
qint64 nextBillId(Database& db);

} // namespace CargoRules
