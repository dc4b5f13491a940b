#pragma once

#include "AppPaths.h"
#include "DataSources.h"

#include <QList>
#include <QString>

class Database;

/// Sets up a ready installation in a folder: Tarvex.ini, the skins, a system
/// database with one company and that company's database (tables and
/// look-up lists, no user table: the first logon creates the default user).
namespace Installation {

/// The demo company's name and data source.
QString demoCompanyName();
QString demoDataSource();

/// Creates the installation in dir (made if missing). Refuses, with a
/// message in *error, when dir already holds a Tarvex.ini, so nothing that
/// exists is overwritten.
bool createDemo(const QString& dir, QString* error);

/// Run before anything reads the program's folder (home: AppPaths::current()):
/// when it is the user's data folder (an installed program) and holds no
/// Tarvex.ini yet, the installation is made there as createDemo() makes one.
/// *made tells whether it was. Any other folder is left as it is: an empty
/// one named by --home stays empty, as before. False with *error when the
/// installation cannot be made.
bool prepareUserData(const AppPaths::Choice& home, QString* error, bool* made = nullptr);

/// The databases an installation on a server was given.
struct ServerNames
{
    QString system;  ///< the system database, also the name of its data source
    QString company; ///< the demo company's database and data source
};

/// The system database's name when the connection text names none.
QString defaultSystemDatabase();

/// Creates an installation in dir whose databases live on a PostgreSQL
/// server, made there by the program: server is a libpq connection text
/// ("host=db.agency.lan user=egm dbname=agency"); its dbname (default
/// "tarvex") names the system database, and the demo company's database is
/// that name + "_demo". Databases that exist already and hold no tables are
/// taken. DataSources.ini gets one PSQL data source for each, named after its
/// database, with the connection parameters as given (a password among them
/// included); SYSPATH names the system one ("DSN=" + name).
bool createOnServer(const QString& dir, const QString& server, QString* error,
                    ServerNames* names = nullptr);

/// The tables of a new installation in two empty databases: the company
/// list with the demo company, whose connection text names the data source
/// companySource, and the company tables with their look-up lists. Throws
/// DbError.
void fillDatabases(Database& system, Database& company, const QString& companySource);

/// Skins, data sources and Tarvex.ini of a new installation in dir, SYSPATH
/// naming sysPath (a file or "DSN=" + a data source).
bool writeFolder(const QString& dir, const QString& sysPath,
                 const QList<DataSources::Entry>& sources, QString* error);

/// Copies the shipped skins into dir/skins (existing files are kept).
void installSkins(const QString& dir);

} // namespace Installation
