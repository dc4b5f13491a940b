#pragma once

#include "Database.h"

#include <QString>
#include <functional>

/// The import of an import manifest's cargo file (see IgmFile) into the
/// tables vesinfo (the vessel), cargo (its cargo lines) and contain (their
/// containers), whose columns are addressed by position:
///
/// - vesinfo columns 5 to 20 and 23 to 30: vessel fields 3 to 18 and 21 to 28;
/// - cargo column 0: the id, base id + the numeric value of field 5, where the
///   base id is max(id) + 1 taken once per import;
///   columns 1, 2: fields 1, 2; columns 3 to 5: fields 5 to 7; column 6:
///   field 8, ddmmyyyy, as the text mm/dd/yyyy; columns 9, 10: fields 9, 10;
///   columns 11 to 32: fields 13 to 34, field 29 (column 27) as a number;
/// - contain columns 1 to 30: container fields 5 to 34.
///
/// Other columns keep their defaults; missing fields are empty text.
///
/// No window is involved: the import screen and the command line both call
/// importFile() and show the texts it hands back.
namespace IgmImport {

struct Request
{
    QString path; ///< trailing blanks are ignored
    /// Shown the vessel line once it is read, before anything is written.
    std::function<void(const QString&)> showVesselLine;
    /// How long to wait for another import to let go of the cargo table
    /// before giving up with a message.
    int lockWaitSeconds = Database::importLockWaitSeconds;
};

struct Outcome
{
    bool imported = false;
    /// What to tell the clerk: the counts imported, or why nothing was.
    QString message;
    int errorLine = 0; ///< the file's line at fault, 0 when none
    int cargoLines = 0;
    int containers = 0;
};

/// Reads the file and writes the vessel, its cargo lines and containers in
/// one transaction: a file that cannot be opened or read, a value that does
/// not fit its column, or two cargo lines that would share an id leave the
/// three tables as they were, with the reason (and the line) in the message.
Outcome importFile(Database& db, const Request& request);

/// A ddmmyyyy date as the text mm/dd/yyyy, character by character: 3-4,
/// "/", 1-2, "/", the last four ("25122006" is "12/25/2006"). Empty stays
/// empty.
QString monthFirstDate(const QString& ddmmyyyy);

} // namespace IgmImport
