#include "Logon.h"

#include "AppPaths.h"
#include "DataSources.h"
#include "Database.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Schema.h"
#include "Settings.h"
#include "ValueText.h"

#include <QDir>
#include <functional>

namespace {

enum class Step
{
    Done,
    Retry,
    Stop,
    Fatal
};

/// Where nobody can pick the database file: which data source is missing,
/// or why its file does not open, and how to put it right.
QString dataSourceHelp(const DbError& e)
{
    const LogonState& st = logonState();
    const QString name = DataSources::nameFromConnection(st.DataSource);
    const QString registry = QDir::toNativeSeparators(DataSources::registryFile());
    if (name.isEmpty())
        return QStringLiteral("The company \"%1\" names no data source (its connection is "
                              "\"%2\"); correct it in the company master.")
            .arg(st.CompanyName, st.DataSource);
    if (DataSources::find(name))
        return QStringLiteral("%1\nThe data source \"%2\" of the company \"%3\" is registered "
                              "in %4; correct its Database entry there, or log on in the window "
                              "to pick the file.")
            .arg(e.description(), name, st.CompanyName, registry);
    return QStringLiteral("The data source \"%1\" of the company \"%2\" is not registered. "
                          "Log on once in the window, which asks for its database file, or add "
                          "it to %3:\n[%1]\nDriver = SQLITE\nDatabase = <the database file>")
        .arg(name, st.CompanyName, registry);
}

/// Runs one step of OK under the logon's error rule: a missing user table is
/// created, a missing data source is recovered, anything else ends the
/// program after its message.
bool runStep(const std::function<void()>& step, bool canAsk, Logon::Outcome* outcome)
{
    for (;;) {
        try {
            step();
            return true;
        } catch (const DbError& e) {
            LogonState& st = logonState();
            if (e.description().contains(QLatin1String("loguser")) && st.Conn) {
                try {
                    Schema::createUserTable(*st.Conn);
                    st.Conn->exec(QStringLiteral("insert into loguser(uid,pwd,urights,mrights) "
                                                 "values ('TARVEX','KOSRAW',' SU', ' SU')"));
                } catch (const DbError& inner) {
                    prompts().fail(inner.numberAndDescription());
                    *outcome = Logon::Outcome::Fatal;
                    return false;
                }
                prompts().inform(Logon::defaultUserMessage());
                continue;
            }
            if (e.number() == DbError::ConnectionFailed && !canAsk) {
                prompts().inform(dataSourceHelp(e));
                *outcome = Logon::Outcome::Stay;
                return false;
            }
            if (e.number() == DbError::ConnectionFailed) {
                // A registered data source whose file will not open says why
                // first; then the user may pick the right file.
                if (DataSources::find(DataSources::nameFromConnection(st.DataSource)))
                    prompts().warn(e.description());
                prompts().warn(
                    QStringLiteral("Data Source Name does not exist Please Select Data File"));
                if (CreateDataSource().isEmpty()) {
                    // Cancelling the dialog ends this attempt instead of
                    // asking again for ever.
                    *outcome = Logon::Outcome::Stay;
                    return false;
                }
                continue;
            }
            prompts().fail(e.numberAndDescription());
            *outcome = Logon::Outcome::Fatal;
            return false;
        }
    }
}

} // namespace

QStringList Logon::companies(const QString& sysPath, QString* error)
{
    QStringList names;
    try {
        auto db = DataSources::openSystem(sysPath);
        const RowTable t = db->select(QStringLiteral("select name from DRCOMP"));
        for (const RowValues& r : t.rows)
            names << r.value(0).toString();
    } catch (const DbError& e) {
        if (error)
            *error = QStringLiteral("The company list cannot be read from the system database "
                                    "'%1': %2")
                         .arg(sysPath, e.description());
        names.clear();
    }
    return names;
}

Logon::Start Logon::load()
{
    Start s;
    // A settings file that cannot be read has no SYSPATH either: the reason
    // is worth more than "No system database is set".
    const QString settingsProblem = Settings::problem(AppPaths::iniFile());
    s.sysPath = ReadIni(QStringLiteral("SYSTEM"), QStringLiteral("SYSPATH"));
    s.userId = ReadIni(QStringLiteral("User"), QStringLiteral("UsId"));
    s.password = ReadIni(QStringLiteral("User"), QStringLiteral("Pwd"));
    s.savePassword = !s.userId.isEmpty();
    if (!settingsProblem.isEmpty())
        s.error = settingsProblem;
    else if (s.sysPath.isEmpty())
        s.error = QStringLiteral("No system database is set: Tarvex.ini needs SYSPATH in its "
                                 "SYSTEM section.");
    else
        s.companies = companies(s.sysPath, &s.error);
    // Compared as a number before it becomes a position: a value such as
    // 1e20 has no int.
    const double n =
        ValueText::leadingNumber(ReadIni(QStringLiteral("Database"), QStringLiteral("Company")));
    if (s.companies.isEmpty())
        s.selected = -1;
    else
        s.selected = n >= 0 && n < double(s.companies.size()) ? int(n) : 0;
    return s;
}

Logon::Outcome Logon::logOn(const QString& sysPath, const QString& companyText, int companyIndex,
                            const QString& userId, const QString& password, bool savePassword,
                            bool remember, bool canAsk)
{
    LogonState& st = logonState();
    Outcome outcome = Outcome::LoggedOn;

    // 1-2: the company's row in the system database.
    RowTable company;
    try {
        auto sys = DataSources::openSystem(sysPath);
        company = sys->select(QStringLiteral("select * from DRCOMP where Name = ?"), {companyText});
    } catch (const DbError&) {
        // The list could not be read either (its loading said why): there is
        // no company to find.
        company.rows.clear();
    }
    if (company.rows.isEmpty()) {
        prompts().warn(QStringLiteral("Cannot Load Company Details"));
        return Outcome::Stay;
    }
    const RowValues& row = company.rows.first();
    const int dirCol = company.columnIndex(QStringLiteral("dirname"));
    const int nameCol = company.columnIndex(QStringLiteral("name"));
    st.SysPath = sysPath;
    st.DataSource = dirCol >= 0 ? row.value(dirCol).toString() : QString();
    st.CompanyName = nameCol >= 0 ? row.value(nameCol).toString() : QString();

    // 3: the company connection.
    if (!runStep([&] { st.Conn = DataSources::openConnection(st.DataSource); }, canAsk, &outcome))
        return outcome;

    // 4-6: the user, typed values bound as they are.
    RowTable user;
    if (!runStep(
            [&] {
                user = st.Conn->select(
                    QStringLiteral("select * from loguser where UID = ? and PWD = ?"),
                    {userId, password});
            },
            canAsk, &outcome))
        return outcome;
    if (user.rows.isEmpty()) {
        prompts().warn(QStringLiteral("Access denied Username/Password do not match"));
        return Outcome::Denied;
    }
    const RowValues& u = user.rows.first();
    st.UserId = u.value(user.columnIndex(QStringLiteral("uid"))).toString().trimmed();
    st.URights = u.value(user.columnIndex(QStringLiteral("urights"))).toString();
    st.MRights = u.value(user.columnIndex(QStringLiteral("mrights"))).toString();

    // 7-8: what the next logon offers.
    if (!remember)
        return outcome;
    if (savePassword) {
        WriteIni(QStringLiteral("User"), QStringLiteral("UsID"), userId);
        WriteIni(QStringLiteral("User"), QStringLiteral("Pwd"), password);
    } else {
        WriteIni(QStringLiteral("User"), QStringLiteral("UsID"), QStringLiteral(" "));
        WriteIni(QStringLiteral("User"), QStringLiteral("Pwd"), QStringLiteral(" "));
    }
    WriteIni(QStringLiteral("Database"), QStringLiteral("Company"), QString::number(companyIndex));
    return outcome;
}
