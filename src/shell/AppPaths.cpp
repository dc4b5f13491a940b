#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString overrideHome;
}

namespace AppPaths {

QString home()
{
    if (!overrideHome.isEmpty())
        return overrideHome;
    const QString env = qEnvironmentVariable("TARVEX_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
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

} // namespace AppPaths
