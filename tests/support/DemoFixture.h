#pragma once

#include "DataSources.h"
#include "Database.h"
#include "TestHome.h"

#include <QList>
#include <QString>
#include <memory>

/// The demo installation's two databases on the engine under test
/// (TestEngine), filled as "tarvex init" fills them: the company list with
/// the demo company, and its company database (no user table). On SQLite
/// they are files in folder, copied from a pair made once per test program,
/// which is quicker than making them; on PostgreSQL two schemas of their
/// own. They go away with the object.
class DemoDatabases
{
public:
    explicit DemoDatabases(const QString& folder);
    ~DemoDatabases();
    DemoDatabases(const DemoDatabases&) = delete;
    DemoDatabases& operator=(const DemoDatabases&) = delete;

    const Database::Location& system() const { return system_; }
    const Database::Location& company() const { return company_; }
    /// What SYSTEM/SYSPATH holds: the file, or "DSN=" + the system's data source.
    QString sysPath() const { return sysPath_; }
    /// The company's connection text, "DSN=demo.mdb" on both engines.
    QString dataSource() const;
    /// The data sources an installation registers for them.
    const QList<DataSources::Entry>& sources() const { return sources_; }
    /// Registers them in the program folder's DataSources.ini.
    bool registerSources() const;

private:
    Database::Location system_;
    Database::Location company_;
    QString sysPath_;
    QList<DataSources::Entry> sources_;
};

/// Adds a user to db's loguser, creating the table first when db has none.
void addUser(Database& db, const QString& uid = QStringLiteral("TARVEX"),
             const QString& pwd = QStringLiteral("KOSRAW"),
             const QString& urights = QStringLiteral(" SU"),
             const QString& mrights = QStringLiteral(" SU"));

/// A test installation: a program folder with Tarvex.ini, the system
/// database with the demo company and its company database (no user table),
/// on the engine under test.
class DemoFixture
{
public:
    DemoFixture();
    ~DemoFixture();
    QString path() const { return home_.path(); }
    QString file(const QString& name) const { return home_.file(name); }
    /// SYSTEM/SYSPATH: the system database file, or "DSN=" + its data source.
    QString sysPath() const { return databases_->sysPath(); }
    /// The company database's file (SQLite only).
    QString companyFile() const { return home_.file(QStringLiteral("demo.mdb")); }
    QString dataSource() const { return databases_->dataSource(); }
    const DemoDatabases& databases() const { return *databases_; }
    /// Opens the company database (a new connection).
    std::shared_ptr<Database> company() const;
    std::shared_ptr<Database> system() const;
    /// Adds a user to the company database (see the free addUser).
    void addUser(const QString& uid, const QString& pwd, const QString& urights,
                 const QString& mrights) const;
    /// Logs on directly (no window) as a user added with addUser.
    void logOnAs(const QString& uid, const QString& pwd) const;

private:
    TestHome home_;
    std::unique_ptr<DemoDatabases> databases_;
};

/// An installation made in dir the way "tarvex init" makes it on the engine
/// under test: the SQLite files, or ("init DIR --server ...") two databases
/// of its own on the test server, dropped with the object.
class InitInstallation
{
public:
    explicit InitInstallation(const QString& dir);
    ~InitInstallation();
    InitInstallation(const InitInstallation&) = delete;
    InitInstallation& operator=(const InitInstallation&) = delete;

    QString dir() const { return dir_; }
    /// The connection text "init --server" is given ("" on SQLite).
    QString server() const { return server_; }
    /// Opens the demo company's database (a new connection).
    std::shared_ptr<Database> company() const;

private:
    QString dir_;
    QString server_;
    QString systemDatabase_;
};
