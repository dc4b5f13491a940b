#include "RightsCodes.h"

#include "Rights.h"

namespace RightsCodes {

namespace {

constexpr int userMasterMenu = 8;

} // namespace

QString superuser()
{
    return QStringLiteral(" SU");
}

QList<Entry> entries(Kind kind)
{
    if (kind == Kind::Record)
        return {{superuser(), QStringLiteral("Every button (SU)"), QStringLiteral("Buttons")},
                {QStringLiteral("01"), QStringLiteral("Add"), QStringLiteral("Buttons")},
                {QStringLiteral("02"), QStringLiteral("Edit"), QStringLiteral("Buttons")},
                {QStringLiteral("03"), QStringLiteral("Delete"), QStringLiteral("Buttons")},
                {QStringLiteral("04"), QStringLiteral("Refresh"), QStringLiteral("Buttons")},
                {QStringLiteral("05"), QStringLiteral("Search"), QStringLiteral("Buttons")}};
    // The menu entries that rights govern and open something; Port Code
    // Setup is not shown and does nothing.
    const QString file = QStringLiteral("File");
    const QString house = QStringLiteral("House Keeping");
    const QString reports = QStringLiteral("Reports");
    return {{superuser(), QStringLiteral("Every menu entry and every user (SU)"), QString()},
            {QStringLiteral("00"), QStringLiteral("Company Master"), file},
            {QStringLiteral("03"), QStringLiteral("Cargo Information"), file},
            {QStringLiteral("07"), QStringLiteral("Change Colour"), house},
            {QStringLiteral("08"), QStringLiteral("User Master"), house},
            {QStringLiteral("09"), QStringLiteral("System Parameter"), house},
            {QStringLiteral("10"), QStringLiteral("Import XML Files"), house},
            {QStringLiteral("15"), QStringLiteral("Backup Now"), house},
            {QStringLiteral("16"), QStringLiteral("Restore"), house},
            {QStringLiteral("17"), QStringLiteral("Deleted Shipping Bills"), house},
            {QStringLiteral("11"), QStringLiteral("Check-List Printing"), reports},
            {QStringLiteral("12"), QStringLiteral("Generate Flat-File"), reports},
            {QStringLiteral("13"), QStringLiteral("Generate XML File for Agent"), reports},
            {QStringLiteral("14"), QStringLiteral("Check EGM"), reports}};
}

QStringList ticked(Kind kind, const QString& stored)
{
    if (Rights::isSuperuser(stored))
        return {superuser()};
    QStringList out;
    for (const Entry& e : entries(kind)) {
        if (e.code == superuser())
            continue;
        const int code = e.code.toInt();
        const bool open = kind == Kind::Menu ? Rights::menuAllowed(stored, code)
                                             : Rights::recordAllowed(stored, Rights::Record(code));
        if (open)
            out << e.code;
    }
    return out;
}

QString text(Kind kind, const QStringList& ticks)
{
    if (ticks.contains(superuser()))
        return superuser();
    QStringList codes;
    for (const Entry& e : entries(kind))
        if (ticks.contains(e.code))
            codes << e.code;
    if (kind == Kind::Menu)
        return codes.join(u' ');
    QString out;
    for (const QString& c : codes)
        out += u' ' + c;
    return out;
}

bool keepsUserMaster(const QString& menuBefore, const QString& recordBefore,
                     const QString& menuAfter, const QString& recordAfter)
{
    if (Rights::isSuperuser(menuBefore) && !Rights::isSuperuser(menuAfter))
        return false;
    if (Rights::menuAllowed(menuBefore, userMasterMenu) &&
        !Rights::menuAllowed(menuAfter, userMasterMenu))
        return false;
    for (Rights::Record r : {Rights::Record::Add, Rights::Record::Edit})
        if (Rights::recordAllowed(recordBefore, r) && !Rights::recordAllowed(recordAfter, r))
            return false;
    return true;
}

QStringList userMasterTicks(Kind kind, const QString& stored)
{
    const QStringList has = ticked(kind, stored);
    if (has.contains(superuser()))
        return {superuser()};
    const QStringList needed = kind == Kind::Menu
                                   ? QStringList{QStringLiteral("08")}
                                   : QStringList{QStringLiteral("01"), QStringLiteral("02")};
    QStringList out;
    for (const QString& c : needed)
        if (has.contains(c))
            out << c;
    return out;
}

} // namespace RightsCodes
