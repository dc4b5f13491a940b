#pragma once

// The engines a benchmark measures side by side in one run: the SQLite file
// it builds, and a copy of that file on a PostgreSQL server.
//   --server CONNINFO   a server of one's own (a libpq connection text of a
//                       login that may create databases); the copy is kept
//                       there for later runs
//   --sqlite-only       SQLite alone
// Without either, a throw-away server is started in DIR/pgserver with
// scripts/test-server.sh (as ./test starts one) and stopped at the end. Its
// settings are the test server's (no syncing to disk), so commits cost less
// than on a real server; the round trips are the same.

#include "Database.h"
#include "DatabaseCopy.h"
#include "PostgresDialect.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace BenchEngine {

struct Engine
{
    QString name; ///< "SQLite" or "PostgreSQL"
    Database::Location location;
};

/// A location as one argument for a child process, and back.
inline QString toArgument(const Database::Location& l)
{
    return QStringList{l.driver, l.database, l.server}.join(u'\x1f');
}

inline Database::Location fromArgument(const QString& argument)
{
    const QStringList parts = argument.split(u'\x1f');
    return {parts.value(0), parts.value(1), parts.value(2)};
}

class Engines
{
public:
    /// Takes its options out of args.
    explicit Engines(QStringList& args)
    {
        for (qsizetype i = 0; i < args.size();) {
            if (args[i] == QLatin1String("--sqlite-only")) {
                sqliteOnly_ = true;
                args.removeAt(i);
            } else if (args[i] == QLatin1String("--server") && i + 1 < args.size()) {
                server_ = args[i + 1];
                args.remove(i, 2);
            } else {
                ++i;
            }
        }
    }
    ~Engines()
    {
        if (!startedIn_.isEmpty())
            QProcess::execute(QStringLiteral(TARVEX_SOURCE_DIR "/scripts/test-server.sh"),
                              {QStringLiteral("stop"), startedIn_});
    }
    Engines(const Engines&) = delete;
    Engines& operator=(const Engines&) = delete;

    /// The engines to measure: the SQLite file, then (unless --sqlite-only)
    /// its copy named database on the server, made by copy-db's routine
    /// when it is not there yet; how long that took is printed.
    QList<Engine> prepare(const QString& sqliteFile, const QString& dir, const QString& database)
    {
        QList<Engine> out{{QStringLiteral("SQLite"), {QStringLiteral("SQLITE"), sqliteFile}}};
        if (sqliteOnly_)
            return out;
        if (server_.isEmpty())
            startServer(dir);
        PgConninfo::Pairs pairs;
        QString error;
        if (!PgConninfo::parse(server_, &pairs, &error))
            fail(QStringLiteral("--server: ") + error);
        PgConninfo::Pairs rest;
        for (const auto& p : pairs)
            if (p.first != QLatin1String("dbname"))
                rest << p;
        const Database::Location where{QStringLiteral("PSQL"), database, PgConninfo::join(rest)};
        try {
            bool ready = false;
            try {
                ready = Database::open(where)->tableExists(QStringLiteral("egmcargo"));
            } catch (const DbError&) {
            }
            if (!ready) {
                std::fprintf(stderr, "copying %s to the server ...\n", qPrintable(sqliteFile));
                auto from = Database::open({QStringLiteral("SQLITE"), sqliteFile});
                auto to = Database::create(where);
                QElapsedTimer t;
                t.start();
                const DatabaseCopy::Report report = DatabaseCopy::copy(*from, *to);
                std::printf("copy-db of %lld rows to PostgreSQL: %.1f s\n", report.rows(),
                            t.elapsed() / 1000.0);
                to->exec(QStringLiteral("analyze"));
            }
        } catch (const DbError& e) {
            fail(e.description());
        }
        out.append({QStringLiteral("PostgreSQL"), where});
        return out;
    }

private:
    [[noreturn]] static void fail(const QString& why)
    {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        std::exit(2);
    }

    void startServer(const QString& dir)
    {
        const QString folder = QDir(dir).filePath(QStringLiteral("pgserver"));
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        script.start(QStringLiteral(TARVEX_SOURCE_DIR "/scripts/test-server.sh"),
                     {QStringLiteral("start"), folder});
        if (!script.waitForFinished(120000) || script.exitCode() != 0)
            fail(QStringLiteral("the PostgreSQL server could not be started; --sqlite-only "
                                "measures SQLite alone"));
        startedIn_ = folder;
        server_ = QString::fromUtf8(script.readAllStandardOutput()).trimmed();
    }

    bool sqliteOnly_ = false;
    QString server_;
    QString startedIn_;
};

} // namespace BenchEngine
