#include "Installation.h"

#include "Resources.h"

#include "AppPaths.h"
#include "DataSources.h"
#include "Database.h"
#include "PostgresDialect.h"
#include "SafeFile.h"
#include "Schema.h"
#include "Settings.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Installation {

QString demoCompanyName()
{
    return QStringLiteral("Demo Shipping Agency Pvt Ltd");
}
QString demoDataSource()
{
    return QStringLiteral("demo.mdb");
}

void installSkins(const QString& dir)
{
    InitResources();
    QDir d(dir);
    d.mkpath(QStringLiteral("skins"));
    const QString shared = AppPaths::sharedDataFolder();
    const QDir source(shared.isEmpty() ? QStringLiteral(":/skins")
                                       : shared + QStringLiteral("/skins"));
    for (const QString& name : source.entryList(QDir::Files)) {
        const QString target = d.filePath(QStringLiteral("skins/") + name);
        QFile skin(source.filePath(name));
        if (!QFile::exists(target) && skin.open(QIODevice::ReadOnly))
            SafeFile::save(target, skin.readAll(), nullptr);
    }
}

namespace {

/// The folder made (or found) and free of an installation.
bool prepareFolder(const QString& dirPath, QString* error)
{
    QDir dir(dirPath);
    if (!dir.exists() && !QDir().mkpath(dirPath)) {
        *error = QStringLiteral("The folder '%1' cannot be created.").arg(dirPath);
        return false;
    }
    if (QFile::exists(dir.filePath(QStringLiteral("Tarvex.ini")))) {
        *error = QStringLiteral("'%1' holds an installation already (Tarvex.ini exists); nothing "
                                "was changed.")
                     .arg(dir.absolutePath());
        return false;
    }
    return true;
}

} // namespace

void fillDatabases(Database& sys, Database& company, const QString& companySource)
{
    const QString shared = AppPaths::sharedDataFolder();
    Schema::setLookupFolder(shared.isEmpty() ? QString() : shared + QStringLiteral("/lookups"));
    Schema::createSystemDatabase(sys);
    sys.insertRows(
        QStringLiteral("DRCOMP"),
        {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("add1"),
         QStringLiteral("add2"), QStringLiteral("add3"), QStringLiteral("telephone"),
         QStringLiteral("st_date"), QStringLiteral("ed_date"), QStringLiteral("dirname")},
        {{1, demoCompanyName(), QStringLiteral("12, Harbour View, Ballard Estate"),
          QStringLiteral("Fort"), QStringLiteral("Mumbai 400001"), QStringLiteral("022 2261 0000"),
          QDate(2026, 4, 1), QDate(2027, 3, 31), QStringLiteral("DSN=") + companySource}});
    Schema::createCompanyDatabase(company);
}

bool writeFolder(const QString& dirPath, const QString& sysPath,
                 const QList<DataSources::Entry>& sources, QString* error)
{
    const QDir dir(dirPath);
    installSkins(dir.absolutePath());
    const QString previousHome = AppPaths::homeOverride();
    AppPaths::setHome(dir.absolutePath());
    bool ok = true;
    for (const DataSources::Entry& e : sources)
        ok = DataSources::add(e) && ok;
    const struct
    {
        const char *section, *key;
        QString value;
    } settings[] = {
        {"SYSTEM", "SYSPATH", sysPath},
        {"Skin", "Skin", dir.absoluteFilePath(QStringLiteral("skins/harbour.skn"))},
        {"Database", "Company", QStringLiteral("0")},
        {"Database", "Eformat", QStringLiteral("0")},
        {"Database", "Output", QStringLiteral("0")},
        {"Email", "To", QString()},
        {"Email", "CC", QString()},
        {"Email", "Sub", QStringLiteral("EGM file")},
        {"Email", "Msg", QStringLiteral("Please find the EGM file attached.")},
    };
    for (const auto& s : settings)
        ok = WriteIni(QString::fromLatin1(s.section), QString::fromLatin1(s.key), s.value) && ok;
    AppPaths::setHome(previousHome);
    if (!ok)
        *error = QStringLiteral("The settings of '%1' cannot be written.").arg(dir.absolutePath());
    return ok;
}

bool createDemo(const QString& dirPath, QString* error)
{
    if (!prepareFolder(dirPath, error))
        return false;
    const QDir dir(dirPath);
    const QString sysPath = dir.absoluteFilePath(QStringLiteral("system.mdb"));
    const QString companyPath = dir.absoluteFilePath(demoDataSource());
    try {
        for (const QString& f : {sysPath, companyPath})
            if (QFile::exists(f))
                throw DbError(
                    DbError::ConnectionFailed,
                    QStringLiteral("The file '%1' exists already; nothing was changed.").arg(f));
        auto sys = Database::create(sysPath);
        auto company = Database::create(companyPath);
        fillDatabases(*sys, *company, demoDataSource());
    } catch (const DbError& e) {
        *error = e.description();
        return false;
    }
    DataSources::Entry company;
    company.name = demoDataSource();
    company.database = companyPath;
    return writeFolder(dirPath, sysPath, {company}, error);
}

bool prepareUserData(const AppPaths::Choice& home, QString* error, bool* made)
{
    if (made)
        *made = false;
    if (home.source != AppPaths::Source::UserData ||
        QFileInfo::exists(QDir(home.dir).filePath(QStringLiteral("Tarvex.ini"))))
        return true;
    if (!createDemo(home.dir, error))
        return false;
    if (made)
        *made = true;
    return true;
}

QString defaultSystemDatabase()
{
    return QStringLiteral("tarvex");
}

bool createOnServer(const QString& dirPath, const QString& server, QString* error,
                    ServerNames* names)
{
    PgConninfo::Pairs pairs;
    QString why;
    if (!PgConninfo::parse(server, &pairs, &why)) {
        *error = QStringLiteral("The server's connection text cannot be read: %1").arg(why);
        return false;
    }
    // The names become data sources: one that cannot be one is refused
    // before anything is made.
    QString systemName = PgConninfo::value(pairs, QStringLiteral("dbname"));
    if (systemName.isEmpty())
        systemName = defaultSystemDatabase();
    if (const QString problem = DataSources::nameProblem(systemName); !problem.isEmpty()) {
        *error = QStringLiteral("The database name '%1' cannot name its data source: %2 Nothing "
                                "was created.")
                     .arg(systemName, problem);
        return false;
    }
    if (!prepareFolder(dirPath, error))
        return false;
    ServerNames made;
    made.system = PgConninfo::value(pairs, QStringLiteral("dbname"));
    if (made.system.isEmpty())
        made.system = defaultSystemDatabase();
    made.company = made.system + QStringLiteral("_demo");
    DataSources::Entry system;
    DataSources::Entry company;
    if (!DataSources::entryForServer(made.system, made.system, server, &system, error) ||
        !DataSources::entryForServer(made.company, made.company, server, &company, error))
        return false;
    bool systemMade = false;
    try {
        auto sys = Database::create(system.location());
        systemMade = true;
        auto db = Database::create(company.location());
        fillDatabases(*sys, *db, company.name);
    } catch (const DbError& e) {
        *error = e.description();
        if (systemMade)
            *error += QStringLiteral(" The system database '%1' was made on the server; drop it "
                                     "before trying again.")
                          .arg(made.system);
        return false;
    }
    if (names)
        *names = made;
    return writeFolder(dirPath, QStringLiteral("DSN=") + system.name, {system, company}, error);
}

} // namespace Installation
