#pragma once

#include <QString>

/// Menu and record rights as stored in the user table. " SU" (blank, S, U)
/// anywhere grants everything. Menu rights hold two-digit menu codes,
/// searched without a blank; record rights hold " 01" add, " 02" edit,
/// " 03" delete, " 04" refresh, " 05" search, each with its leading blank.
namespace Rights {

enum class Record
{
    Add = 1,
    Edit = 2,
    Delete = 3,
    Refresh = 4,
    Search = 5
};

bool isSuperuser(const QString& rights);
/// Two digits, "07", "12".
QString menuCode(int code);
bool menuAllowed(const QString& menuRights, int code);
bool recordAllowed(const QString& recordRights, Record right);
/// The button a record right governs: cmdAdd, cmdEdit, cmdDelete, cmdRefresh, cmdSearch.
QString buttonName(Record right);

} // namespace Rights
