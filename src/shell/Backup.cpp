#include "Backup.h"

#include "AppPaths.h"
#include "Database.h"
#include "DatabaseCopy.h"
#include "Settings.h"
#include "SqliteHandle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cerrno>
#include <signal.h>

namespace {

constexpr int defaultKeep = 14;
/// From this size on a copy gets SQLite's quick check, not the whole one.
constexpr qint64 largeFile = 32LL * 1024 * 1024;

QString baseName(const Database& db)
{
    QString base =
        db.where().isServer() ? db.location() : QFileInfo(db.location()).completeBaseName();
    base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return base.isEmpty() ? QStringLiteral("company") : base;
}

QRegularExpression copyName(const QString& base)
{
    return QRegularExpression(QStringLiteral("^%1-\\d{8}-\\d{6}(-\\d+)?\\.sqlite$")
                                  .arg(QRegularExpression::escape(base)));
}

QRegularExpression unfinishedName(const QString& base)
{
    return QRegularExpression(
        QStringLiteral("^%1-\\d{8}-\\d{6}(-\\d+)?\\.sqlite\\.(\\d+)\\.part(-wal|-shm|-journal)?$")
            .arg(QRegularExpression::escape(base)));
}

bool running(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}

/// Copies that a program which is no longer running left unfinished.
QStringList removeUnfinished(const QDir& dir, const QString& base)
{
    QStringList removed;
    const QRegularExpression name = unfinishedName(base);
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = name.match(file);
        if (m.hasMatch() && !running(m.captured(2).toLongLong()) &&
            QFile::remove(dir.filePath(file)))
            removed << file;
    }
    return removed;
}

void passCheck(const QString& file)
{
    const QString answer = Backup::check(file);
    if (answer != QLatin1String("ok"))
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The copy failed its check: %1").arg(answer));
}

void writeCopy(Database& db, const QString& part)
{
    if (!db.where().isServer()) {
        // One read of the whole database at one moment, while others save.
        SqliteHandle::copyTo(db, part);
        passCheck(part);
        return;
    }
    {
        auto to = Database::create(part);
        QString error;
        if (!DatabaseCopy::narrowPermissions(db.where(), part, &error))
            throw DbError(DbError::CommandFailed, error);
        DatabaseCopy::copy(db, *to);
        // One file, as a copy made by the engine is: nothing beside it.
        to->exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    passCheck(part);
}

} // namespace

namespace Backup {

QString check(const QString& file)
{
    auto db = Database::openToRead(file);
    // Every page of a file of ordinary size; the structure of a large one.
    const bool large = QFileInfo(file).size() >= largeFile;
    QSqlQuery q = db->exec(large ? QStringLiteral("PRAGMA quick_check")
                                 : QStringLiteral("PRAGMA integrity_check"));
    QStringList lines;
    while (q.next() && lines.size() < 5)
        lines << q.value(0).toString();
    return lines.join(u' ');
}

QString folder()
{
    QString f = ReadIni(QStringLiteral("Backup"), QStringLiteral("Folder")).trimmed();
    if (f.isEmpty())
        f = QStringLiteral("backups");
    return QDir(AppPaths::home()).absoluteFilePath(f);
}

int keep()
{
    bool ok = false;
    const int n = ReadIni(QStringLiteral("Backup"), QStringLiteral("Keep")).trimmed().toInt(&ok);
    return ok && n > 0 ? n : defaultKeep;
}

QStringList beyondNewest(QStringList names, int keep)
{
    // The time in each name sorts as text, the newest first ("-2" for a
    // second copy within the same second sorts after the first one).
    const auto key = [](const QString& name) { return name.section(u'.', 0, 0); };
    std::sort(names.begin(), names.end(),
              [&key](const QString& a, const QString& b) { return key(a) > key(b); });
    return names.mid(std::max(keep, 1));
}

Result make(Database& db, const QString& dir)
{
    return make(db, dir, keep());
}

QDateTime newest(const Database& db, const QString& dir)
{
    const QDir target(dir.isEmpty() ? folder() : dir);
    QStringList copies = target.entryList(QDir::Files).filter(copyName(baseName(db)));
    if (copies.isEmpty())
        return {};
    // The time in each name sorts as text.
    std::sort(copies.begin(), copies.end());
    return timeOf(copies.last());
}

QDateTime timeOf(const QString& fileName)
{
    static const QRegularExpression time(QStringLiteral("-(\\d{8}-\\d{6})(-\\d+)?\\.sqlite$"));
    const QRegularExpressionMatch m = time.match(QFileInfo(fileName).fileName());
    return m.hasMatch() ? QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"))
                        : QDateTime();
}

Result make(Database& db, const QString& dir, int keep)
{
    const QString target = dir.isEmpty() ? folder() : QDir(dir).absolutePath();
    if (!QDir().mkpath(target))
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The backup folder '%1' cannot be made.").arg(target));
    const QString base = baseName(db);
    Result result;
    result.unfinished = removeUnfinished(QDir(target), base);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = QStringLiteral("%1-%2.sqlite").arg(base, stamp);
    for (int n = 2; QFileInfo::exists(QDir(target).filePath(name)); ++n)
        name = QStringLiteral("%1-%2-%3.sqlite").arg(base, stamp).arg(n);
    result.file = QDir(target).filePath(name);
    // Written under a name of its own until it is complete and checked: a
    // copy cut short (a full disk, a killed program) never passes for one.
    const QString part =
        result.file + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    const auto removePart = [&part] {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                      QStringLiteral("-journal")})
            QFile::remove(part + suffix);
    };
    try {
        writeCopy(db, part);
    } catch (const DbError& e) {
        removePart();
        throw DbError(e.number(), QStringLiteral("No backup of %1 was made in %2: %3")
                                      .arg(db.location(), target, e.description()));
    }
    if (!QFile::rename(part, result.file)) {
        removePart();
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("No backup of %1 was made: '%2' cannot be written.")
                          .arg(db.location(), result.file));
    }
    const QStringList copies = QDir(target).entryList(QDir::Files).filter(copyName(base));
    for (const QString& old : beyondNewest(copies, keep))
        if (QFile::remove(QDir(target).filePath(old)))
            result.removed << old;
    return result;
}

} // namespace Backup
