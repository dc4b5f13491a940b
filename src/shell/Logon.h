#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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
        /// Why "Save Password" cannot keep a password ("" when it can).
        QString keyringProblem;
        /// Passwords found in the installation's files and moved or dropped.
        QStringList notices;
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

    /// Wrong passwords in a row after which each further attempt for the
    /// user waits before it is answered: 1 s, doubling, at most 30 s.
    static constexpr int freeAttempts = 5;
    static constexpr int longestWaitSeconds = 30;
    /// How long an attempt waits after failures wrong passwords in a row.
    static int waitSeconds(int failures);
    /// How the logon waits (a test puts in one that only records it).
    /// Without one the wait runs the event loop without user input, so the
    /// window still paints.
    using Wait = std::function<void(int seconds)>;
    static void setWait(Wait wait);

    static QString defaultUserMessage()
    {
        return QStringLiteral("New User File Created with Default User ID TARVEX Password KOSRAW");
    }
};
