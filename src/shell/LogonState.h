#pragma once

#include <QString>
#include <memory>

class CompanyInUse;
class Database;

/// What a successful logon established, read by every screen. A later logon
/// replaces all of it.
struct LogonState
{
    QString SysPath;                ///< the system database file (SYSTEM/SYSPATH)
    QString DataSource;             ///< the company's connection text, "DSN=" + name
    std::shared_ptr<Database> Conn; ///< the open company connection
    /// This logon's claim on a company database file (none on a server).
    std::shared_ptr<CompanyInUse> InUse;
    QString CompanyName;
    QString UserId;  ///< trimmed
    QString URights; ///< record rights, exactly as stored
    QString MRights; ///< menu rights, exactly as stored
};

/// The one logon state of the program.
LogonState& logonState();
