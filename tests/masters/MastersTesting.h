#pragma once

// What the master screen tests share: a fresh installation per test, a
// logged-on user, users in the company database and a way to show a form
// as the active window so that the keys reach it.

#include "DataSources.h"
#include "Database.h"
#include "DemoFixture.h"
#include "Installation.h"
#include "MyFunc.h"
#include "Schema.h"
#include "ScriptedPrompts.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace MastersTesting {

struct User
{
    QString uid, pwd, urights, mrights;
};

/// The demo company's databases in a throw-away program folder (no settings
/// file yet), on the engine under test, with every message, question and
/// beep recorded.
class Installed
{
public:
    Installed() : databases(home.path())
    {
        ok = databases.registerSources();
        LoadSkin(QString());
        LogonState& st = logonState();
        st = LogonState();
        st.SysPath = databases.sysPath();
        st.DataSource = databases.dataSource();
        st.CompanyName = Installation::demoCompanyName();
        if (ok)
            st.Conn = DataSources::openConnection(st.DataSource);
    }
    ~Installed() { logonState() = LogonState(); }

    /// The users table with these rows, in this order.
    void addUsers(const QList<User>& users)
    {
        Database& db = *logonState().Conn;
        if (!db.tableExists(QStringLiteral("loguser")))
            Schema::createUserTable(db); // also when no user is added
        for (const User& u : users)
            addUser(db, u.uid, u.pwd, u.urights, u.mrights);
    }

    static void logOn(const QString& uid, const QString& urights, const QString& mrights)
    {
        LogonState& st = logonState();
        st.UserId = uid;
        st.URights = urights;
        st.MRights = mrights;
    }

    TestHome home;
    DemoDatabases databases;
    ScriptedPrompts prompts;
    bool ok = false;
};

/// Shows a form as the active window: keys go to its focused control.
inline bool showActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

template <typename T = QWidget> T* control(const QWidget* form, const QString& name)
{
    T* w = form->findChild<T*>(name);
    if (!w)
        qWarning("no control %s", qPrintable(name));
    return w;
}

inline QLineEdit* box(const QWidget* form, int index)
{
    return control<QLineEdit>(form, QStringLiteral("txtFields_%1").arg(index));
}

inline QString status(const QWidget* form)
{
    return control<QLabel>(form, QStringLiteral("lblStatus"))->text();
}

inline void click(const QWidget* form, const QString& button)
{
    auto* b = control<QAbstractButton>(form, button);
    QTest::mouseClick(b, Qt::LeftButton);
}

/// The form is in add or edit mode: Save and Cancel stand where Add and Edit were.
inline bool editing(const QWidget* form)
{
    return !control(form, QStringLiteral("cmdUpdate"))->isHidden() &&
           control(form, QStringLiteral("cmdAdd"))->isHidden();
}

/// One column of a table, row by row in table order, as text.
inline QStringList column(Database& db, const QString& table, const QString& name)
{
    QStringList out;
    const RowTable t = db.select(QStringLiteral("select %1 from %2").arg(name, table));
    for (const RowValues& r : t.rows)
        out << r.value(0).toString();
    return out;
}

} // namespace MastersTesting
