#include "DemoFixture.h"

#include "Database.h"
#include "Installation.h"
#include "Logon.h"
#include "LogonState.h"

#include <QTest>

DemoFixture::DemoFixture()
{
    QString error;
    if (!Installation::createDemo(home_.path(), &error))
        qFatal("cannot create the test installation: %s", qPrintable(error));
}

DemoFixture::~DemoFixture()
{
    logonState() = LogonState();
}

std::shared_ptr<Database> DemoFixture::company() const
{
    return Database::open({QStringLiteral("SQLITE"), companyFile()});
}

std::shared_ptr<Database> DemoFixture::system() const
{
    return Database::open({QStringLiteral("SQLITE"), sysPath()});
}

void DemoFixture::addUser(const QString& uid, const QString& pwd, const QString& urights,
                          const QString& mrights) const
{
    auto db = company();
    if (!db->tableExists(QStringLiteral("loguser")))
        db->exec(QStringLiteral("create table loguser(uid char(50), pwd char(50), urights "
                                "char(50), mrights char(150))"));
    db->exec(QStringLiteral("insert into loguser(uid,pwd,urights,mrights) values (?,?,?,?)"),
             {uid, pwd, urights, mrights});
}

void DemoFixture::logOnAs(const QString& uid, const QString& pwd) const
{
    const Logon::Start s = Logon::load();
    if (Logon::logOn(s.sysPath, s.companies.value(0), 0, uid, pwd, false, false) !=
        Logon::Outcome::LoggedOn)
        qFatal("test logon failed for %s", qPrintable(uid));
}
