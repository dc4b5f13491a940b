#pragma once

#include <QString>

/// The program's folder: where Tarvex.ini, the data source list and every
/// file the program writes "in the program's folder" live. It is the folder
/// of the executable unless --home or TARVEX_HOME names another.
namespace AppPaths {

QString home();
/// Overrides the folder (the --home option, tests). An empty text restores
/// the default lookup.
void setHome(const QString& dir);
/// The folder set by setHome(), "" when none is.
QString homeOverride();
/// home() joined with a file name.
QString file(const QString& name);
QString iniFile();

} // namespace AppPaths
