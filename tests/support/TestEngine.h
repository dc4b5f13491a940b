#pragma once

#include "Database.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

/// The engine the database tests run on: SQLite files by default, or the
/// PostgreSQL server named by TARVEX_TEST_PG when TARVEX_TEST_ENGINE is
/// "psql". ./test starts a throw-away server and runs every database test
/// executable once per engine. A test program asked for PostgreSQL without a
/// server stops with a message that says how to get one; it never passes
/// without having run.
namespace TestEngine {

bool onServer();
/// "SQLite" or "PostgreSQL", for messages.
QString name();
/// The test server's libpq connection text (a login that may create
/// databases, "dbname" a database it may connect to).
QString server();
/// The server's connection text without its database ("dbname" left out).
QString serverWithoutDatabase();
/// The password of server() ("" when it names none).
QString serverPassword();
/// A database name no other test program uses.
QString uniqueName();
/// A connection to the server's maintenance database ("dbname" of
/// TARVEX_TEST_PG), kept for the whole test program.
Database& maintenance();
/// The database this test program keeps its test schemas in, made at the
/// first use and dropped when the program ends, and a connection to it.
QString programDatabase();
Database& admin();
/// A new, empty schema of the program's database, and where it is: a
/// connection to the location works in that schema alone (libpq's
/// "options=-c search_path=..."), so it stands for a database of its own at a
/// fraction of the cost.
Database::Location newSchema();
/// Drops such a schema with everything in it.
void dropSchema(const Database::Location& location);
/// Drops a database of the test server, ending the connections to it.
void dropDatabase(const QString& name);

} // namespace TestEngine

/// A fresh, empty database on the engine under test: a file in a folder of
/// its own, or a schema of its own on the test server. Both go away with
/// the object (its own connection first).
class FreshDatabase
{
public:
    FreshDatabase();
    ~FreshDatabase();
    FreshDatabase(const FreshDatabase&) = delete;
    FreshDatabase& operator=(const FreshDatabase&) = delete;

    Database& db() { return *db_; }
    std::shared_ptr<Database> ptr() { return db_; }
    const Database::Location& location() const { return location_; }
    /// Another connection to the same database.
    std::shared_ptr<Database> open() const { return Database::open(location_); }
    /// A folder that lives as long as the database, for files beside it.
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    Database::Location location_;
    std::shared_ptr<Database> db_;
};
