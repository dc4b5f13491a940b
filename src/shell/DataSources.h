#pragma once

#include "Database.h"

#include <QString>
#include <memory>
#include <optional>

/// The installation's named data sources: a name stands for a database, a
/// SQLite file or a database on a PostgreSQL server. A company's connection
/// text is "DSN=" + name. The list lives in DataSources.ini in the program's
/// folder, a section per name (matched without regard to case):
///
///     [demo.mdb]                 [agency]
///     Driver=SQLITE              Driver=PSQL
///     Database=/srv/demo.mdb     Host=db.agency.lan
///                                Port=5432
///                                Database=agency_egm
///                                User=egm
///
/// A PSQL entry names the server by Host (and Port), or by Service (an entry
/// of libpq's service file); User and Password are optional: libpq's
/// password file (~/.pgpass) keeps the password out of Tarvex's files, which
/// is the better choice. Options holds further libpq parameters as
/// "keyword=value" pairs ("sslmode=require connect_timeout=5").
namespace DataSources {

struct Entry
{
    Entry() = default;
    Entry(QString name, QString driver, QString database)
        : name(std::move(name)), driver(std::move(driver)), database(std::move(database))
    {}

    QString name;
    QString driver = QStringLiteral("SQLITE"); ///< SQLITE or PSQL
    QString database;                          ///< the file (SQLITE), the database's name (PSQL)
    // PSQL only:
    QString host;
    QString port;
    QString user;
    QString password;
    QString service;
    QString options;

    /// Where the database lives, for Database::open(). A server entry
    /// without a Password key takes the one the keyring keeps for it, if
    /// any (else libpq looks in its password file).
    Database::Location location() const;
};

/// A PSQL entry named name for the database database on the server that a
/// libpq connection text describes (its own "dbname" is ignored). False with
/// *error set when the text cannot be read.
bool entryForServer(const QString& name, const QString& database, const QString& server,
                    Entry* entry, QString* error);

/// Why a name cannot be a data source's; "" when it can. A section of
/// DataSources.ini and a connection text ("DSN=name;...") must read back
/// the same name: no [ ] ; =, no control character (a line break would end
/// the section's line), no blank at either end (find() trims).
QString nameProblem(const QString& name);

QString registryFile();
std::optional<Entry> find(const QString& name);
/// The names of the registered data sources, in the order they stand.
QStringList names();
/// Adds or replaces the entry; false when the list cannot be written or the
/// name is refused by nameProblem() (the list is then left as it was), with
/// the cause in *error.
bool add(const Entry& entry, QString* error = nullptr);

/// The data source name of a connection text such as "DSN=data.mdb;UID=x"
/// ("" when it names none).
QString nameFromConnection(const QString& connection);

/// Opens the database a connection text names ("DSN=" + name). A name
/// that is not registered fails with DbError::ConnectionFailed, like a
/// database that does not open.
std::shared_ptr<Database> openConnection(const QString& connection);

/// Opens the system database that SYSTEM/SYSPATH names: a file, or a data
/// source ("DSN=" + name) so that every PC shares one company list.
std::shared_ptr<Database> openSystem(const QString& sysPath);

} // namespace DataSources

/// Asks for a database file ("Select Data File Name") and registers it as a
/// data source named after the file (its name without the folder). Reports
/// "DSN Created Successfully" or "DSN Creation Failed ... ". Returns the new
/// data source's name, "" when nothing was chosen or it failed.
QString CreateDataSource();
