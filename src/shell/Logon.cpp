#include "Logon.h"

#include "AppPaths.h"
#include "Backup.h"
#include "CompanyInUse.h"
#include "DataSources.h"
#include "Database.h"
#include "DeletedBills.h"
#include "Keyring.h"
#include "LogonState.h"
#include "PasswordHash.h"
#include "Prompts.h"
#include "Schema.h"
#include "Secrets.h"
#include "Settings.h"
#include "ValueText.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
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
                                                 "values ('TARVEX',?,' SU', ' SU')"),
                                  {PasswordHash::hash(QStringLiteral("KOSRAW"))});
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

Logon::Wait& currentWait()
{
    static Logon::Wait wait;
    return wait;
}

void waitFor(int seconds)
{
    if (currentWait()) {
        currentWait()(seconds);
        return;
    }
    if (!QCoreApplication::instance()) {
        QThread::sleep(unsigned(seconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString secondsText(int seconds)
{
    return seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
}

/// A user table of an earlier Tarvex gets today's layout, and every
/// password kept as typed (there, or typed into the table by hand) is
/// replaced by its hash, whoever logs on.
void upgradeUsers(Database& db)
{
    // A read-only installation is read as it stands: its users still log on.
    if (db.readOnly())
        return;
    Schema::upgradeUserTable(db);
    const RowTable t = db.select(QStringLiteral("select uid, pwd from loguser"));
    QList<RowValues> plain;
    for (const RowValues& r : t.rows)
        if (!r.value(1).isNull() && !PasswordHash::isHash(r.value(1).toString()))
            plain << r;
    if (plain.isEmpty())
        return;
    Schema::eraseWhatIsDeleted(db);
    Database::Transaction tx(db);
    for (const RowValues& r : plain) {
        const QVariant pwd = r.value(1);
        db.exec(QStringLiteral("update loguser set pwd = ? where uid = ? and pwd = ?"),
                {PasswordHash::hash(pwd.toString()), r.value(0), pwd});
    }
    tx.commit();
    Schema::writeThrough(db);
}

constexpr int keepDeletedDays = 365;

/// A company database of an earlier Tarvex gets today's layout; one whose
/// ids stand in the way of it is left as it is, and one of a newer Tarvex
/// is only read. Either says so, and the logon goes on.
void bringUpToDate(Database& db)
{
    // A read-only installation is read as it stands.
    if (db.readOnly())
        return;
    // The change waits for a checked copy of the database as it was.
    if (Schema::companyDatabaseVersion(db) < Schema::companyVersion &&
        Schema::idCollisions(db).isEmpty()) {
        try {
            Backup::make(db);
        } catch (const DbError& e) {
            prompts().warn(e.description() +
                           QStringLiteral("\nThe company database is left as it is; it is "
                                          "brought up to date at a logon after a backup."));
            return;
        }
    }
    const Schema::Upgrade u = Schema::upgradeCompanyDatabase(db);
    if (u.state == Schema::Upgrade::State::Newer)
        db.setReadOnly(QStringLiteral("a newer Tarvex made it; install that Tarvex to change it."));
    if (!u.message.isEmpty())
        prompts().warn(u.message);
    if (db.readOnly())
        return;
    // Deleted bills are kept so long (the backups keep them longer).
    bool ok = false;
    int days =
        ReadIni(QStringLiteral("Backup"), QStringLiteral("KeepDeletedDays")).trimmed().toInt(&ok);
    if (!ok || days < 1)
        days = keepDeletedDays;
    DeletedBills::forgetDeletedBefore(db, QDateTime::currentDateTime().addDays(-days));
}

/// The user's wrong passwords in a row (the most any of their rows holds).
int failuresOf(const RowTable& user)
{
    const int col = user.columnIndex(QStringLiteral("failures"));
    int n = 0;
    for (const RowValues& r : user.rows)
        n = std::max(n, col >= 0 ? r.value(col).toInt() : 0);
    return n;
}

} // namespace

int Logon::waitSeconds(int failures)
{
    if (failures < freeAttempts)
        return 0;
    const int doublings = failures - freeAttempts;
    return doublings >= 5 ? longestWaitSeconds : std::min(longestWaitSeconds, 1 << doublings);
}

void Logon::setWait(Wait wait)
{
    currentWait() = std::move(wait);
}

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
    // Passwords an earlier Tarvex (or a hand) put into the files go first.
    if (settingsProblem.isEmpty())
        s.notices = Secrets::moveFromFiles();
    s.keyringProblem = keyring().unavailableReason();
    s.savePassword = !s.userId.isEmpty();
    if (s.savePassword && s.keyringProblem.isEmpty())
        s.password = keyring().read(KeyringKeys::logon()).value_or(QString());
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
    st.InUse.reset();
    if (!runStep([&] { st.Conn = DataSources::openConnection(st.DataSource); }, canAsk, &outcome))
        return outcome;
    if (!st.Conn->where().isServer() && !st.Conn->readOnly())
        st.InUse = CompanyInUse::share(st.Conn->location());
    if (!runStep([&] { bringUpToDate(*st.Conn); }, canAsk, &outcome))
        return outcome;

    // 4-6: the user's rows, the typed ID bound as it is; the password is
    // checked against each row's hash. A user table of an earlier Tarvex is
    // brought up to date first.
    RowTable user;
    if (!runStep(
            [&] {
                upgradeUsers(*st.Conn);
                user = st.Conn->select(QStringLiteral("select * from loguser where UID = ?"),
                                       {userId});
            },
            canAsk, &outcome))
        return outcome;
    // Guessing is slowed down: after five wrong passwords in a row every
    // further attempt for the user waits before it is answered.
    const int failures = failuresOf(user);
    if (const int wait = waitSeconds(failures))
        waitFor(wait);
    const int pwdCol = user.columnIndex(QStringLiteral("pwd"));
    const RowValues* found = nullptr;
    for (const RowValues& r : user.rows) {
        const QVariant pwd = pwdCol >= 0 ? r.value(pwdCol) : QVariant();
        if (!pwd.isNull() && PasswordHash::matches(pwd.toString(), password)) {
            found = &r;
            break;
        }
    }
    if (!found) {
        QString text = QStringLiteral("Access denied Username/Password do not match");
        if (!user.rows.isEmpty() && !st.Conn->readOnly()) {
            const bool counted = runStep(
                [&] {
                    st.Conn->exec(QStringLiteral("update loguser set failures = ? where UID = ?"),
                                  {failures + 1, userId});
                },
                canAsk, &outcome);
            if (!counted)
                return outcome;
            if (const int next = waitSeconds(failures + 1))
                text += QStringLiteral("\n%1 wrong passwords in a row: the next logon as %2 "
                                       "waits %3 before it answers.")
                            .arg(failures + 1)
                            .arg(userId.trimmed(), secondsText(next));
        }
        prompts().warn(text);
        return Outcome::Denied;
    }
    const RowValues& u = *found;
    const QVariant stored = u.value(pwdCol);
    // A password still kept as typed is replaced by its hash now, and the
    // count of wrong passwords starts again.
    if (!st.Conn->readOnly() &&
        !runStep(
            [&] {
                if (!PasswordHash::isHash(stored.toString()))
                    Schema::eraseWhatIsDeleted(*st.Conn);
                Database::Transaction tx(*st.Conn);
                if (!PasswordHash::isHash(stored.toString()))
                    st.Conn->exec(
                        QStringLiteral("update loguser set pwd = ? where UID = ? and pwd = ?"),
                        {PasswordHash::hash(password), userId, stored});
                if (failures > 0)
                    st.Conn->exec(QStringLiteral("update loguser set failures = 0 where UID = ?"),
                                  {userId});
                tx.commit();
                if (!PasswordHash::isHash(stored.toString()))
                    Schema::writeThrough(*st.Conn);
            },
            canAsk, &outcome))
        return outcome;
    st.UserId = u.value(user.columnIndex(QStringLiteral("uid"))).toString().trimmed();
    st.URights = u.value(user.columnIndex(QStringLiteral("urights"))).toString();
    st.MRights = u.value(user.columnIndex(QStringLiteral("mrights"))).toString();

    // 7-8: what the next logon offers.
    if (!remember)
        return outcome;
    // The password is kept by the keyring, never in Tarvex.ini.
    if (savePassword && keyring().write(KeyringKeys::logon(), password)) {
        WriteIni(QStringLiteral("User"), QStringLiteral("UsID"), userId);
    } else {
        WriteIni(QStringLiteral("User"), QStringLiteral("UsID"), QStringLiteral(" "));
        keyring().remove(KeyringKeys::logon());
    }
    Settings::remove(AppPaths::iniFile(), QStringLiteral("User"), QStringLiteral("Pwd"));
    WriteIni(QStringLiteral("Database"), QStringLiteral("Company"), QString::number(companyIndex));
    return outcome;
}
