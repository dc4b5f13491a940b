#include "Installation.h"

#include "Resources.h"

#include "AppPaths.h"
#include "DataSources.h"
#include "Database.h"
#include "SafeFile.h"
#include "Schema.h"
#include "Settings.h"

#include <QDate>
#include <QDir>
#include <QFile>

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
    const QDir source(QStringLiteral(":/skins"));
    for (const QString& name : source.entryList(QDir::Files)) {
        const QString target = d.filePath(QStringLiteral("skins/") + name);
        QFile skin(source.filePath(name));
        if (!QFile::exists(target) && skin.open(QIODevice::ReadOnly))
            SafeFile::save(target, skin.readAll(), nullptr);
    }
}

bool createDemo(const QString& dirPath, QString* error)
{
    QDir dir(dirPath);
    if (!dir.exists() && !QDir().mkpath(dirPath)) {
        *error = QStringLiteral("The folder '%1' cannot be created.").arg(dirPath);
        return false;
    }
    const QString ini = dir.filePath(QStringLiteral("Tarvex.ini"));
    if (QFile::exists(ini)) {
        *error = QStringLiteral("'%1' holds an installation already (Tarvex.ini exists); nothing "
                                "was changed.")
                     .arg(dir.absolutePath());
        return false;
    }
    const QString sysPath = dir.absoluteFilePath(QStringLiteral("system.mdb"));
    const QString companyPath = dir.absoluteFilePath(demoDataSource());
    const QString previousHome = AppPaths::homeOverride();
    try {
        for (const QString& f : {sysPath, companyPath})
            if (QFile::exists(f))
                throw DbError(
                    DbError::ConnectionFailed,
                    QStringLiteral("The file '%1' exists already; nothing was changed.").arg(f));
        {
            auto sys = Database::create(sysPath);
            Schema::createSystemDatabase(*sys);
            sys->insertRows(
                QStringLiteral("DRCOMP"),
                {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("add1"),
                 QStringLiteral("add2"), QStringLiteral("add3"), QStringLiteral("telephone"),
                 QStringLiteral("st_date"), QStringLiteral("ed_date"), QStringLiteral("dirname")},
                {{1, demoCompanyName(), QStringLiteral("12, Harbour View, Ballard Estate"),
                  QStringLiteral("Fort"), QStringLiteral("Mumbai 400001"),
                  QStringLiteral("022 2261 0000"), QDate(2026, 4, 1), QDate(2027, 3, 31),
                  QStringLiteral("DSN=") + demoDataSource()}});
        }
        {
            auto company = Database::create(companyPath);
            Schema::createCompanyDatabase(*company);
        }
    } catch (const DbError& e) {
        *error = e.description();
        return false;
    }
    installSkins(dir.absolutePath());
    AppPaths::setHome(dir.absolutePath());
    bool ok = DataSources::add({demoDataSource(), QStringLiteral("SQLITE"), companyPath});
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

} // namespace Installation
