#pragma once

#include "TestHome.h"

#include <QString>
#include <memory>

class Database;

/// A test installation: a program folder with Tarvex.ini, the system
/// database with the demo company and its company database (no user table).
class DemoFixture
{
public:
    DemoFixture();
    ~DemoFixture();
    QString path() const { return home_.path(); }
    QString file(const QString& name) const { return home_.file(name); }
    QString sysPath() const { return home_.file(QStringLiteral("system.mdb")); }
    QString companyFile() const { return home_.file(QStringLiteral("demo.mdb")); }
    /// Opens the company database (a new connection).
    std::shared_ptr<Database> company() const;
    std::shared_ptr<Database> system() const;
    /// Creates the user table holding one user.
    void addUser(const QString& uid, const QString& pwd, const QString& urights,
                 const QString& mrights) const;
    /// Logs on directly (no window) as a user added with addUser.
    void logOnAs(const QString& uid, const QString& pwd) const;

private:
    TestHome home_;
};
