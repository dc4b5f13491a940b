#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class Database;
class RowSet;

/// The check-list of one EGM: its rows read into the program-wide row set,
/// and those rows taken apart into shipping bills and their containers for
/// the report.
namespace CheckList {

/// One row per container, and one with empty container columns for a
/// shipping bill without containers, by shipping bill number. The id and
/// autoid after it keep a bill's containers together, in the order they
/// were entered, even when two bills share a number. A bill saved without a
/// number comes first on every engine (a server would sort it last).
inline constexpr const char* joinSql =
    "select egmcargo.*,egmcontain.* from egmCargo LEFT JOIN egmContain ON egmCargo.ID = "
    "egmContain.Ref where egmcargo.egmno=? order by egmcargo.sbno is not null, egmcargo.sbno, "
    "egmcargo.id, egmcontain.autoid";
/// Asked when the join returns no row: then the EGM has no shipping bill,
/// and the report still knows the columns of one.
inline constexpr const char* cargoSql =
    "select egmcargo.* from egmCargo where egmcargo.egmno=? order by egmcargo.sbno is not null, "
    "egmcargo.sbno, egmcargo.id";

/// The EGM number a typed ROT No. stands for: its leading number, 0 when
/// the text is empty or not numeric.
double egmNumber(const QString& rotText);

/// "Check-List for ROT No. " and the ROT No. exactly as typed.
QString title(const QString& rotText);

/// Reads the rows of the EGM (the leading number of the typed ROT No.) into
/// rows, which is re-opened on db. Throws DbError; rows is then closed.
void readRows(RowSet& rows, std::shared_ptr<Database> db, double egmno);

/// readRows() on the logged-on company's connection. A database failure is
/// shown (the number, three blanks, the description) and leaves rows closed
/// and empty; returns false then.
bool LoadCheckListRows(RowSet& rows, const QString& rotText);

struct Container
{
    QString number;
    QString status;
};

/// A shipping bill's fields as the report shows them (numbers and dates
/// written as on the screens, null as "").
struct Bill
{
    QString sbNo, sbDate, sbPort, destPort, gatePort, nature, packages, volume, unit, lineCode;
    double packageCount = 0;
    double volumeValue = 0;
    QList<Container> containers;
};

struct Volume
{
    QString unit;
    double total = 0;
};

struct Rows
{
    QList<Bill> bills;
    QStringList egmDates; ///< the distinct EGM dates of the bills, in order
    qsizetype containers = 0;

    /// The packages of every bill, each bill counted once however many
    /// containers it has.
    double packages() const;
    /// The volume of the bills, per unit in the order the units come.
    QList<Volume> volumes() const;
};

/// The bills of the rows as the row set holds them (in its order; a bill's
/// rows follow one another). A closed or empty set gives no bill. The set's
/// current row is the same afterwards.
Rows billsOf(RowSet& rows);

} // namespace CheckList
