#pragma once

#include <QString>
#include <QStringList>

/// The logon, apart from its window: the company list of the system
/// database, the check of user ID and password against the company's user
/// table, and the recoveries from a missing user table and a missing data
/// source. The logon window and the command line both use it; messages go
/// through prompts().
class Logon
{
public:
    enum class Outcome
    {
        LoggedOn, ///< logonState() is filled
        Denied,   ///< wrong user ID or password; try again
        Stay,     ///< stopped with a message; the form stays
        Fatal,    ///< an unexpected error was shown; the program ends
    };

    /// What the logon form shows when it opens.
    struct Start
    {
        QString sysPath;
        QStringList companies; ///< DRCOMP names in stored order
        int selected = -1;     ///< saved position, or 0, or -1 for an empty list
        QString userId;
        QString password;
        bool savePassword = false;
        QString error; ///< the system database could not be read
    };

    static Start load();
    /// The company names of the system database, in stored order. On failure
    /// an empty list and a message naming the file in *error.
    static QStringList companies(const QString& sysPath, QString* error);

    /// OK: logs on to the company named companyText (at position
    /// companyIndex of the list, -1 for none). With remember false (the
    /// command line) the saved user, password and company stay as they are.
    /// With canAsk false (the command line, which has nobody to pick a
    /// database file) a missing data source is not recovered: the message
    /// says which one is missing and how to register it.
    static Outcome logOn(const QString& sysPath, const QString& companyText, int companyIndex,
                         const QString& userId, const QString& password, bool savePassword,
                         bool remember = true, bool canAsk = true);

    static QString defaultUserMessage()
    {
        return QStringLiteral("New User File Created with Default User ID TARVEX Password KOSRAW");
    }
};
