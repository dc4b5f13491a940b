#pragma once

#include "Database.h"
#include "LogonState.h"

#include <QString>
#include <functional>

/// The import of an XML pair written by another installation's "Generate XML
/// File": the shipping bills of one EGM (egmcargo.xml) and their containers
/// (egmcontain.xml) are appended to the company database, the bills under new
/// ids and the containers pointed at them.
///
/// No window is involved: the import screen and the command line both call
/// importPair() and show the message it returns.
namespace XmlImport {

/// What the clerk gave: the two files and the ROT No. the pair should carry.
struct Request
{
    QString cargoPath;     ///< trailing blanks are ignored
    QString containerPath; ///< trailing blanks are ignored
    QString rotNo;         ///< compared as typed
    /// How long to wait for another import or save to let go of the
    /// shipping bills' table before giving up with a message.
    int lockWaitSeconds = Database::importLockWaitSeconds;
    /// Asked before anything is written when the EGM already holds shipping
    /// bills (a pair imported twice would give it every bill twice): stored
    /// is how many it holds, incoming how many the cargo file brings. False
    /// imports nothing. Unset, the pair is added without asking.
    std::function<bool(int stored, int incoming)> confirmAgain = {};
    /// Who imports: each bill's history entry names them (the logged-on
    /// user unless the caller says otherwise).
    QString user = logonState().UserId;
};

struct Outcome
{
    bool imported = false;
    /// What to tell the clerk: "Data Imported Sucessfully" or why nothing
    /// was imported.
    QString message;
    int shippingBills = 0; ///< rows added to egmcargo
    int containers = 0;    ///< rows added to egmcontain
    int firstId = 0;       ///< new id of the first shipping bill
    /// Nothing was imported because confirmAgain said no.
    bool declined = false;
};

/// "ROT No. 1234 already holds 3 shipping bills. Import 3 more?"
QString importAgainQuestion(const QString& rotNo, int stored, int incoming);

/// "Imported 3 shipping bills (ids 1 to 3) and 3 containers."
QString importedCounts(const Outcome& outcome);

/// The message of a successful import.
inline QString successMessage()
{
    return QStringLiteral("Data Imported Sucessfully");
}

/// Reads both files, checks that the cargo file carries the EGM number
/// typed as ROT No., renumbers the shipping bills from max(id) + 1 and writes
/// everything in one transaction. The rows go from the files to the database
/// one at a time, in that transaction: only the files' bytes are held, and a
/// fault found on the way (a damaged row, a container of no shipping bill)
/// takes back what was written before it.
///
/// The columns of each file are copied by position, so they must stand in
/// the table's own order; a file with more columns than its table is
/// refused. Every bill gets an "imported" history entry naming the cargo
/// file, in the same transaction. Either every row is written or none is: a
/// file that cannot be read, a wrong EGM number, an empty cargo file or a
/// value the database refuses leaves the database as it was, with the reason
/// in the message (database errors as "number  description").
Outcome importPair(Database& db, const Request& request);

} // namespace XmlImport
