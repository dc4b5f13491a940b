#pragma once

#include <QString>

/// The program's folder: where Tarvex.ini, the data source list and every
/// file the program writes "in the program's folder" live. It is chosen in
/// this order: --home, TARVEX_HOME, the folder of the executable when that
/// holds an installation or is a writable folder of the program's own (a
/// build folder, a portable copy), else the user's data folder
/// (~/.local/share/Tarvex): where an installed program keeps its data.
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

/// What decided the program's folder.
enum class Source
{
    Option,        ///< --home (setHome)
    Environment,   ///< TARVEX_HOME
    ProgramFolder, ///< the folder of the executable
    UserData       ///< QStandardPaths::AppDataLocation
};

/// What the choice needs to know of the executable's folder.
struct ProgramFolder
{
    QString dir;
    bool holdsIni = false; ///< a Tarvex.ini is there
    bool writable = false;
    /// The executable sits in a bin folder beside share/tarvex: a package
    /// installed it, so its folder is nobody's to write in, root's neither.
    bool installed = false;
};

struct Choice
{
    QString dir;
    Source source = Source::ProgramFolder;
};

/// The rule, apart from the file system: option, then environment, then
/// the program folder when it holds Tarvex.ini or is writable and not an
/// installed one, else userData.
Choice choose(const QString& option, const QString& environment, const ProgramFolder& program,
              const QString& userData);
/// Looks at a folder on disk for choose().
ProgramFolder inspect(const QString& dir);
/// Why the folder is the installation, in the user's words ("named by
/// --home", ...), for --help and Help > About.
QString sourceText(Source source);
/// The choice for this process (home() is its dir).
Choice current();
/// The user's data folder that an installed program uses.
QString userDataFolder();

/// Where the shipped skins and look-up lists (folders "skins" and
/// "lookups") are found on disk: beside the executable, else in
/// ../share/tarvex (an installed program); "" when neither holds them, and
/// the copies compiled into the program serve.
QString sharedDataFolder();

} // namespace AppPaths
