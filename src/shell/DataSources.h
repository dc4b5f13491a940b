#pragma once

#include <QString>
#include <memory>
#include <optional>

class Database;

/// The installation's named data sources: a name stands for a database (a
/// SQLite file for now). A company's connection text is "DSN=" + name. The
/// list lives in DataSources.ini in the program's folder; names are matched
/// without regard to case.
namespace DataSources {

struct Entry
{
    QString name;
    QString driver = QStringLiteral("SQLITE"); ///< SQLITE (PSQL to come)
    QString database;                          ///< the file, for SQLITE
};

QString registryFile();
std::optional<Entry> find(const QString& name);
/// Adds or replaces the entry; false when the list cannot be written, with
/// the cause in *error.
bool add(const Entry& entry, QString* error = nullptr);

/// The data source name of a connection text such as "DSN=data.mdb;UID=x"
/// ("" when it names none).
QString nameFromConnection(const QString& connection);

/// Opens the database a connection text names ("DSN=" + name). A name
/// that is not registered fails with DbError::ConnectionFailed, like a
/// database that does not open.
std::shared_ptr<Database> openConnection(const QString& connection);

} // namespace DataSources

/// Asks for a database file ("Select Data File Name") and registers it as a
/// data source named after the file (its name without the folder). Reports
/// "DSN Created Successfully" or "DSN Creation Failed ... ". Returns the new
/// data source's name, "" when nothing was chosen or it failed.
QString CreateDataSource();
