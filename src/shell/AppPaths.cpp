#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString overrideHome;

QString executableFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

} // namespace

namespace AppPaths {

Choice choose(const QString& option, const QString& environment, const ProgramFolder& program,
              const QString& userData)
{
    if (!option.isEmpty())
        return {option, Source::Option};
    if (!environment.isEmpty())
        return {QDir(environment).absolutePath(), Source::Environment};
    // An installation in the program's folder is used even when it cannot be
    // written: an office may share a read-only one on purpose.
    if (program.holdsIni || (program.writable && !program.installed))
        return {program.dir, Source::ProgramFolder};
    return {userData, Source::UserData};
}

ProgramFolder inspect(const QString& dir)
{
    ProgramFolder p;
    p.dir = dir;
    const QDir d(dir);
    p.holdsIni = QFileInfo::exists(d.filePath(QStringLiteral("Tarvex.ini")));
    p.writable = QFileInfo(dir).isWritable();
    p.installed = d.dirName() == QLatin1String("bin") &&
                  QFileInfo(d.filePath(QStringLiteral("../share/tarvex"))).isDir();
    return p;
}

QString sourceText(Source source)
{
    switch (source) {
    case Source::Option:
        return QStringLiteral("named by --home");
    case Source::Environment:
        return QStringLiteral("named by TARVEX_HOME");
    case Source::ProgramFolder:
        return QStringLiteral("the folder of the program");
    case Source::UserData:
        return QStringLiteral("the user's data folder: the program is installed");
    }
    return QString();
}

QString userDataFolder()
{
    // main() names the program "Tarvex" before anything asks: the folder is
    // ~/.local/share/Tarvex, not named after the lower-case executable.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

Choice current()
{
    return choose(overrideHome, qEnvironmentVariable("TARVEX_HOME"), inspect(executableFolder()),
                  userDataFolder());
}

QString home()
{
    if (!overrideHome.isEmpty())
        return overrideHome;
    return current().dir;
}

void setHome(const QString& dir)
{
    overrideHome = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
}

QString homeOverride()
{
    return overrideHome;
}

QString file(const QString& name)
{
    return QDir(home()).filePath(name);
}

QString iniFile()
{
    return file(QStringLiteral("Tarvex.ini"));
}

QString sharedDataFolder()
{
    const QDir bin(executableFolder());
    for (const QString& candidate : {QStringLiteral("."), QStringLiteral("../share/tarvex")}) {
        const QDir d(bin.filePath(candidate));
        if (d.exists(QStringLiteral("skins")) && d.exists(QStringLiteral("lookups")))
            return d.absolutePath();
    }
    return QString();
}

} // namespace AppPaths
