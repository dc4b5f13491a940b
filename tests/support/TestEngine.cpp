#include "TestEngine.h"

#include "FakeKeyring.h"
#include "PostgresDialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <QtGlobal>
#include <cstdlib>

namespace {

QString engineVariable()
{
    return qEnvironmentVariable("TARVEX_TEST_ENGINE").trimmed().toLower();
}

QtMessageHandler previousHandler = nullptr;

/// The driver warns, and goes on, when a statement throws away the rows of
/// a select still being read on the same connection: a test must not pass
/// over that.
void watchDriverWarnings()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    previousHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (previousHandler)
                previousHandler(type, context, message);
            if (message.contains(QLatin1String("Query results lost")))
                qFatal("A select's rows were thrown away by another statement run on the same "
                       "connection while they were read.");
        });
}

} // namespace

/// No test reads or writes the desktop's keyring or the user's ~/.pgpass:
/// the keyring is none (a test that needs one installs a FakeKeyring), and
/// libpq's password file is one of the test program's own.
static void keepTestsOffTheUsersPasswords()
{
    static FakeKeyring none(false);
    static const QString file = QDir::temp().filePath(
        QStringLiteral("tarvex-test-pgpass-%1").arg(QCoreApplication::applicationPid()));
    qputenv("PGPASSFILE", QFile::encodeName(file));
    qAddPostRoutine([] { QFile::remove(file); });
}
Q_COREAPP_STARTUP_FUNCTION(keepTestsOffTheUsersPasswords)

namespace TestEngine {

bool onServer()
{
    const QString e = engineVariable();
    if (e.isEmpty() || e == QLatin1String("sqlite"))
        return false;
    if (e == QLatin1String("psql") || e == QLatin1String("postgresql"))
        return true;
    qFatal("TARVEX_TEST_ENGINE is '%s': it takes sqlite or psql.", qPrintable(e));
    return false;
}

QString name()
{
    return onServer() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

QString server()
{
    static const QString text = [] {
        const QString s = qEnvironmentVariable("TARVEX_TEST_PG").trimmed();
        if (s.isEmpty()) {
            qCritical("These tests run on PostgreSQL (TARVEX_TEST_ENGINE=psql), but TARVEX_TEST_PG "
                      "names no server. ./test starts one for the whole suite; for one test "
                      "program start one by hand:\n"
                      "  export TARVEX_TEST_PG=\"$(scripts/test-server.sh start build/pgtest)\"\n"
                      "and stop it afterwards with: scripts/test-server.sh stop build/pgtest\n"
                      "(or set TARVEX_TEST_PG to a libpq connection text of a login that may "
                      "create databases).");
            // Stop without a crash report: nothing is wrong but the setup.
            std::exit(EXIT_FAILURE);
        }
        return s;
    }();
    return text;
}

QString serverPassword()
{
    PgConninfo::Pairs pairs;
    QString error;
    if (!PgConninfo::parse(server(), &pairs, &error))
        qFatal("TARVEX_TEST_PG cannot be read: %s", qPrintable(error));
    for (const auto& p : pairs)
        if (p.first == QLatin1String("password"))
            return p.second;
    return QString();
}

QString serverWithoutDatabase()
{
    PgConninfo::Pairs pairs;
    QString error;
    if (!PgConninfo::parse(server(), &pairs, &error))
        qFatal("TARVEX_TEST_PG cannot be read: %s", qPrintable(error));
    PgConninfo::Pairs rest;
    for (const auto& p : pairs)
        if (p.first != QLatin1String("dbname"))
            rest << p;
    return PgConninfo::join(rest);
}

QString uniqueName()
{
    return QStringLiteral("tt_") + QUuid::createUuid().toString(QUuid::Id128);
}

namespace {

QString quoted(QString name)
{
    name.replace(u'"', QLatin1String("\"\""));
    return u'"' + name + u'"';
}

std::shared_ptr<Database> connectTo(const QString& database)
{
    watchDriverWarnings();
    try {
        return Database::open({QStringLiteral("PSQL"), database, serverWithoutDatabase()});
    } catch (const DbError& e) {
        qCritical("The PostgreSQL test server (TARVEX_TEST_PG) cannot be reached: %s",
                  qPrintable(e.description()));
        std::exit(EXIT_FAILURE);
    }
}

std::shared_ptr<Database>& maintenanceConnection()
{
    static std::shared_ptr<Database> db;
    return db;
}

std::shared_ptr<Database>& programConnection()
{
    static std::shared_ptr<Database> db;
    return db;
}

QString& programDatabaseName()
{
    static QString name;
    return name;
}

/// When the application object goes: the program's database goes too.
void dropProgramDatabase()
{
    programConnection().reset();
    if (!programDatabaseName().isEmpty() && maintenanceConnection())
        dropDatabase(programDatabaseName());
    maintenanceConnection().reset();
}

} // namespace

Database& maintenance()
{
    if (!maintenanceConnection()) {
        PgConninfo::Pairs pairs;
        PgConninfo::parse(server(), &pairs, nullptr);
        QString database = PgConninfo::value(pairs, QStringLiteral("dbname"));
        if (database.isEmpty())
            database = QStringLiteral("postgres");
        maintenanceConnection() = connectTo(database);
    }
    return *maintenanceConnection();
}

QString programDatabase()
{
    if (programDatabaseName().isEmpty()) {
        const QString name = uniqueName();
        maintenance().exec(QStringLiteral("create database %1 template template0 encoding "
                                          "'UTF8' lc_collate 'C' lc_ctype 'C'")
                               .arg(quoted(name)));
        programDatabaseName() = name;
        qAddPostRoutine(dropProgramDatabase);
    }
    return programDatabaseName();
}

Database& admin()
{
    if (!programConnection())
        programConnection() = connectTo(programDatabase());
    return *programConnection();
}

Database::Location newSchema()
{
    const QString schema = QStringLiteral("s_") + QUuid::createUuid().toString(QUuid::Id128);
    admin().exec(QStringLiteral("create schema %1").arg(schema));
    PgConninfo::Pairs pairs;
    PgConninfo::parse(serverWithoutDatabase(), &pairs, nullptr);
    pairs.append({QStringLiteral("options"), QStringLiteral("-c search_path=") + schema});
    return {QStringLiteral("PSQL"), programDatabase(), PgConninfo::join(pairs)};
}

void dropSchema(const Database::Location& location)
{
    PgConninfo::Pairs pairs;
    PgConninfo::parse(location.server, &pairs, nullptr);
    const QString schema =
        PgConninfo::value(pairs, QStringLiteral("options")).section(u'=', 1).trimmed();
    if (schema.isEmpty())
        return;
    try {
        admin().exec(QStringLiteral("drop schema if exists %1 cascade").arg(quoted(schema)));
    } catch (const DbError& e) {
        qWarning("The test schema %s cannot be dropped: %s", qPrintable(schema),
                 qPrintable(e.description()));
    }
}

void dropDatabase(const QString& name)
{
    try {
        maintenance().exec(
            QStringLiteral("drop database if exists %1 with (force)").arg(quoted(name)));
    } catch (const DbError& e) {
        qWarning("The test database %s cannot be dropped: %s", qPrintable(name),
                 qPrintable(e.description()));
    }
}

} // namespace TestEngine

FreshDatabase::FreshDatabase()
{
    if (TestEngine::onServer()) {
        location_ = TestEngine::newSchema();
        db_ = Database::open(location_);
    } else {
        location_ = {QStringLiteral("SQLITE"), dir_.filePath(QStringLiteral("company.db"))};
        db_ = Database::create(location_.database);
    }
}

FreshDatabase::~FreshDatabase()
{
    db_.reset();
    if (location_.isServer())
        TestEngine::dropSchema(location_);
}
