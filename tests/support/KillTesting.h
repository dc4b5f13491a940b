#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

/// Fault tests: an operation that writes is killed with SIGKILL part way,
/// the way a power cut or a killed session ends it, at several moments.
/// Afterwards the database must pass its integrity check and hold all of
/// the operation or none of it; a file must be its old or its new self.
///
/// A case runs a program (the tarvex binary, or the test executable itself
/// in a child mode of its own) and checks what is left after each kill; see
/// tests/app/tst_killfaults.cpp, where a new case is one more row.
namespace KillTesting {

struct Run
{
    bool killed = false;  ///< SIGKILL came before the program ended
    int exitCode = -1;    ///< when it ended by itself
    QByteArray output;    ///< standard output and error
    qint64 elapsedMs = 0; ///< from the start to the end or the kill
};

/// Starts program and kills it after delayMs unless it ended before.
/// delayMs < 0 lets it run to its end (at most two minutes).
Run runAndKill(const QString& program, const QStringList& args, int delayMs,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

/// count moments spread over a run of durationMs, from early (the files
/// being read) to late (the commit): 5%, ..., 95%.
QList<int> moments(qint64 durationMs, int count);

/// PRAGMA integrity_check of a SQLite file, on a connection of its own:
/// "ok" when the file is whole.
QString integrityCheck(const QString& file);

} // namespace KillTesting
