#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// The rights strings of loguser as lists of ticks: each menu entry that
/// menu rights govern and each record button, grouped as the menus and the
/// buttons stand, and " SU" for everything. Ticks become the text a
/// supervisor would type ("03 11", " 01 02", " SU"), and a stored text
/// shows as the ticks of what it opens, read as the menus and buttons read
/// it (Rights), so the rules stay where they are.
namespace RightsCodes {

enum class Kind
{
    Menu,  ///< mrights: two-digit menu codes, no blank before them
    Record ///< urights: " 01" to " 05", each with its blank
};

/// The code of everything, " SU", in both kinds.
QString superuser();

struct Entry
{
    QString code;    ///< "08", "02"; superuser() for everything
    QString caption; ///< the menu entry's or the button's caption
    QString group;   ///< "File", "House Keeping", "Reports"; "Buttons"
};

/// Every tick of kind, everything (" SU") first, then in menu (or button)
/// order.
QList<Entry> entries(Kind kind);

/// The codes of kind that stored opens (superuser() alone when it holds
/// " SU"), in the order of entries().
QStringList ticked(Kind kind, const QString& stored);
/// The text that stores ticks as a typed entry would: " SU" when it is
/// ticked, else the codes in entries() order (menu codes separated by a
/// blank, record codes each after its blank); "" for none.
QString text(Kind kind, const QStringList& ticks);

/// Whether the rights after a change still give their holder what before
/// gave of the user master: the menu entry (or " SU", which shows every
/// user), and the Add and Edit buttons. A user may not take these from
/// themselves, so that a supervisor cannot lock everyone out.
bool keepsUserMaster(const QString& menuBefore, const QString& recordBefore,
                     const QString& menuAfter, const QString& recordAfter);
/// The ticks of kind that a user may not take from themselves while stored
/// grants them.
QStringList userMasterTicks(Kind kind, const QString& stored);

} // namespace RightsCodes
