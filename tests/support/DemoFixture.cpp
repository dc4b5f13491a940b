#include "DemoFixture.h"

#include "Database.h"
#include "Installation.h"
#include "Logon.h"
#include "LogonState.h"
#include "Schema.h"
#include "TestEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString systemSource = QStringLiteral("system");

/// The SQLite pair, made once per test program.
const QTemporaryDir& madeFiles()
{
    static QTemporaryDir made;
    static const bool ok = [] {
        QString error;
        const bool done = Installation::createDemo(made.path(), &error);
        if (!done)
            qFatal("cannot create the test installation: %s", qPrintable(error));
        return done;
    }();
    Q_UNUSED(ok);
    return made;
}

} // namespace

DemoDatabases::DemoDatabases(const QString& folder)
{
    const QString companySource = Installation::demoDataSource();
    if (!TestEngine::onServer()) {
        const QDir dir(folder);
        sysPath_ = dir.filePath(QStringLiteral("system.mdb"));
        system_ = {QStringLiteral("SQLITE"), sysPath_};
        company_ = {QStringLiteral("SQLITE"), dir.filePath(companySource)};
        for (const QString& name : {QStringLiteral("system.mdb"), companySource})
            if (!QFile::copy(madeFiles().filePath(name), dir.filePath(name)))
                qFatal("cannot copy the test database %s", qPrintable(name));
        sources_ << DataSources::Entry(companySource, QStringLiteral("SQLITE"), company_.database);
        return;
    }
    system_ = TestEngine::newSchema();
    company_ = TestEngine::newSchema();
    try {
        auto sys = Database::open(system_);
        auto company = Database::open(company_);
        Installation::fillDatabases(*sys, *company, companySource);
    } catch (const DbError& e) {
        qFatal("cannot fill the test databases: %s", qPrintable(e.description()));
    }
    for (const auto& [name, where] :
         {std::pair{systemSource, system_}, std::pair{companySource, company_}}) {
        DataSources::Entry e;
        QString error;
        if (!DataSources::entryForServer(name, where.database, where.server, &e, &error))
            qFatal("%s", qPrintable(error));
        sources_ << e;
    }
    sysPath_ = QStringLiteral("DSN=") + systemSource;
}

DemoDatabases::~DemoDatabases()
{
    if (system_.isServer()) {
        TestEngine::dropSchema(system_);
        TestEngine::dropSchema(company_);
    }
}

QString DemoDatabases::dataSource() const
{
    return QStringLiteral("DSN=") + Installation::demoDataSource();
}

bool DemoDatabases::registerSources() const
{
    bool ok = true;
    for (const DataSources::Entry& e : sources_)
        ok = DataSources::add(e) && ok;
    return ok;
}

DemoFixture::DemoFixture() : databases_(std::make_unique<DemoDatabases>(home_.path()))
{
    QString error;
    if (!Installation::writeFolder(home_.path(), databases_->sysPath(), databases_->sources(),
                                   &error))
        qFatal("cannot create the test installation: %s", qPrintable(error));
}

DemoFixture::~DemoFixture()
{
    logonState() = LogonState();
    databases_.reset();
}

std::shared_ptr<Database> DemoFixture::company() const
{
    return Database::open(databases_->company());
}

std::shared_ptr<Database> DemoFixture::system() const
{
    return Database::open(databases_->system());
}

void addUser(Database& db, const QString& uid, const QString& pwd, const QString& urights,
             const QString& mrights)
{
    if (!db.tableExists(QStringLiteral("loguser")))
        Schema::createUserTable(db);
    db.exec(QStringLiteral("insert into loguser(uid,pwd,urights,mrights) values (?,?,?,?)"),
            {uid, pwd, urights, mrights});
}

void DemoFixture::addUser(const QString& uid, const QString& pwd, const QString& urights,
                          const QString& mrights) const
{
    ::addUser(*company(), uid, pwd, urights, mrights);
}

void DemoFixture::logOnAs(const QString& uid, const QString& pwd) const
{
    const Logon::Start s = Logon::load();
    if (Logon::logOn(s.sysPath, s.companies.value(0), 0, uid, pwd, false, false) !=
        Logon::Outcome::LoggedOn)
        qFatal("test logon failed for %s", qPrintable(uid));
}

InitInstallation::InitInstallation(const QString& dir) : dir_(dir)
{
    QString error;
    bool made = false;
    if (TestEngine::onServer()) {
        systemDatabase_ = TestEngine::uniqueName();
        server_ =
            TestEngine::serverWithoutDatabase() + QStringLiteral(" dbname=") + systemDatabase_;
        made = Installation::createOnServer(dir, server_, &error);
    } else {
        made = Installation::createDemo(dir, &error);
    }
    if (!made)
        qFatal("cannot create the test installation: %s", qPrintable(error));
}

InitInstallation::~InitInstallation()
{
    if (!systemDatabase_.isEmpty()) {
        TestEngine::dropDatabase(systemDatabase_);
        TestEngine::dropDatabase(systemDatabase_ + QStringLiteral("_demo"));
    }
}

std::shared_ptr<Database> InitInstallation::company() const
{
    if (systemDatabase_.isEmpty())
        return Database::open(
            {QStringLiteral("SQLITE"), QDir(dir_).filePath(QStringLiteral("demo.mdb"))});
    Database::Location where{QStringLiteral("PSQL"), systemDatabase_ + QStringLiteral("_demo"),
                             TestEngine::serverWithoutDatabase()};
    return Database::open(where);
}
