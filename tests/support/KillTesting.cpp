#include "KillTesting.h"

#include "Database.h"

#include <QElapsedTimer>
#include <QProcess>

namespace KillTesting {

Run runAndKill(const QString& program, const QStringList& args, int delayMs,
               const QProcessEnvironment& environment)
{
    Run r;
    QProcess p;
    p.setProcessEnvironment(environment);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    if (!p.waitForStarted(30000)) {
        r.output = "the program did not start: " + p.errorString().toUtf8();
        return r;
    }
    if (!p.waitForFinished(delayMs < 0 ? 120000 : delayMs)) {
        p.kill(); // SIGKILL: nothing of the program runs after it
        p.waitForFinished(30000);
        r.killed = true;
    }
    r.elapsedMs = timer.elapsed();
    if (!r.killed)
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = p.readAll();
    return r;
}

QList<int> moments(qint64 durationMs, int count)
{
    QList<int> at;
    for (int i = 0; i < count; ++i) {
        const double fraction = count == 1 ? 0.5 : 0.05 + 0.9 * i / (count - 1);
        at << int(double(durationMs) * fraction);
    }
    return at;
}

QString integrityCheck(const QString& file)
{
    try {
        auto db = Database::openToRead(file);
        QStringList lines;
        QSqlQuery q = db->exec(QStringLiteral("PRAGMA integrity_check"));
        while (q.next())
            lines << q.value(0).toString();
        return lines.join(u'\n');
    } catch (const DbError& e) {
        return e.description();
    }
}

} // namespace KillTesting
