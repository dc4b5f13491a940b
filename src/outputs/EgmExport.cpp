#include "EgmExport.h"

#include "AdoXmlWriter.h"
#include "AppPaths.h"
#include "Database.h"
#include "EgmFile.h"
#include "LogonState.h"
#include "Prompts.h"
#include "RowCursor.h"
#include "SafeFile.h"
#include "Settings.h"
#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace EgmExport {

namespace {

const QString kCargoSql = QStringLiteral("select * from egmcargo where egmcargo.egmno=?");
// The flat file reads only the columns it writes, in stored order (which the
// index on egmno gives anyway on SQLite).
const QString kFileBillSql = QStringLiteral(
    "select egmno,sbno,sbdt,sbport,destport,gateport,naturecargo,volume,unitvol,pkgs from "
    "egmcargo where egmcargo.egmno=? order by egmcargo.rowid");
const QString kFileBoxSql = QStringLiteral(
    "select egmcargo.egmno as xegmno,egmcargo.sbno as xsbno,egmcargo.sbdt as xsbdt,"
    "egmcontain.containno,egmcontain.constatus from egmcontain,egmcargo where "
    "egmcontain.ref=egmcargo.id and egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid");
const QString kFileContainerSql = QStringLiteral(
    "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as xegmdt,egmcargo.sbno as "
    "xsbno,egmcargo.sbdt as xsbdt from egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
    "egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid");
// Containers by bill in stored order, then in their own: what SQLite's plan
// gives anyway, and what another engine's plan need not give.
const QString kContainerSql = QStringLiteral(
    "select egmcontain.* from egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
    "egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Database* connection()
{
    Database* db = logonState().Conn.get();
    if (!db)
        prompts().fail(QStringLiteral("There is no open connection to the company database; log on "
                                      "first."));
    return db;
}

/// After a stop for what was typed or what the EGM holds, an older file of
/// that name must not pass for this EGM's.
void removeStale(const QString& path)
{
    QFile old(path);
    if (old.exists() && !old.remove())
        prompts().fail(QStringLiteral("The old file %1 could not be removed: %2")
                           .arg(shown(path), old.errorString()));
}

void databaseFailed(const DbError& e, const QString& rotText)
{
    prompts().fail(QStringLiteral("The shipping bills of ROT No. %1 could not be read from the "
                                  "database:\n%2 %3")
                       .arg(rotText.trimmed(), QString::number(e.number()), e.description()));
}

} // namespace

double egmNumber(const QString& rotText)
{
    return ValueText::leadingNumber(rotText);
}

QString egmFileName(const QString& rotText)
{
    qsizetype end = rotText.size();
    while (end > 0 && rotText[end - 1] == u' ')
        --end;
    const QString name = rotText.left(end);
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        return QString();
    return name + QStringLiteral(".egm");
}

QString egmFilePath(const QString& rotText, QString* error)
{
    const QString name = egmFileName(rotText);
    if (name.isEmpty()) {
        if (error)
            *error = rotText.trimmed().isEmpty()
                         ? QStringLiteral("Type the ROT No. first: the file is named after it.")
                         : QStringLiteral("The ROT No. \"%1\" cannot name a file: it holds a "
                                          "folder separator (/ or \\).")
                               .arg(rotText);
        return QString();
    }
    return AppPaths::file(name);
}

QString cargoXmlPath()
{
    return AppPaths::file(QStringLiteral("egmcargo.xml"));
}

QString containXmlPath()
{
    return AppPaths::file(QStringLiteral("egmcontain.xml"));
}

RowTable cargoRows(Database& db, double egmno)
{
    return db.select(kCargoSql, {egmno});
}

RowTable fileContainerRows(Database& db, double egmno)
{
    return db.select(kFileContainerSql, {egmno});
}

RowTable containerRows(Database& db, double egmno)
{
    return db.select(kContainerSql, {egmno});
}

FlatFile writeFlatFile(Database& db, double egmno, const QDate& egmDate, const EgmFile::Sink& sink)
{
    // The two selects see one state of the database: a bill saved by
    // another clerk in between cannot bring containers without their bill.
    const Database::Transaction snapshot(db, Database::Transaction::Read);
    FlatFile f;
    EgmFile::Writer w(egmDate, sink);
    {
        const auto bills = RowCursor::open(db, kFileBillSql, {egmno});
        while (!w.stopped() && bills->next()) {
            ++f.bills;
            w.addBill(*bills);
        }
    }
    if (!w.stopped() && f.bills > 0) {
        w.beginContainers();
        const auto boxes = RowCursor::open(db, kFileBoxSql, {egmno});
        while (!w.stopped() && boxes->next()) {
            ++f.containers;
            w.addContainer(*boxes);
        }
        w.finish();
    }
    f.error = w.error();
    f.sinkFailed = w.sinkFailed();
    return f;
}

FlatFile flatFile(Database& db, double egmno, const QDate& egmDate)
{
    QByteArray bytes;
    FlatFile f = writeFlatFile(db, egmno, egmDate, [&bytes](QByteArrayView block) {
        bytes.append(block);
        return true;
    });
    if (f.error.isEmpty())
        f.bytes = std::move(bytes);
    return f;
}

bool WriteEgmFile(const QString& path, const QString& rotText, const QString& dateText,
                  OnStop onStop)
{
    const auto stopped = [&] {
        if (onStop == OnStop::RemoveOldFile)
            removeStale(path);
        return false;
    };
    const std::optional<QDate> date = ValueText::parseDate(dateText);
    if (!date) {
        prompts().inform(QStringLiteral("Invalid EGM Date..."));
        return stopped();
    }
    Database* db = connection();
    if (!db)
        return false;
    // The file is made with its first block: an EGM that stops before it
    // leaves no file behind, and an old one stays until the new one is whole.
    std::optional<SafeFile> file;
    bool createFailed = false;
    const auto sink = [&](QByteArrayView block) {
        if (!file) {
            file.emplace(path);
            if (!file->open()) {
                createFailed = true;
                return false;
            }
        }
        return file->write(block);
    };
    FlatFile run;
    try {
        run = writeFlatFile(*db, egmNumber(rotText), *date, sink);
    } catch (const DbError& e) {
        file.reset();
        databaseFailed(e, rotText);
        return false;
    }
    if (run.bills == 0) {
        file.reset();
        prompts().inform(QStringLiteral("No related cargo information is available "));
        return stopped();
    }
    if (!run.error.isEmpty()) {
        file.reset();
        prompts().fail(run.error);
        return stopped();
    }
    if (run.sinkFailed) {
        const QString cause = file->errorString();
        file.reset();
        prompts().fail(createFailed ? EgmFile::cannotCreate(path, cause)
                                    : EgmFile::cannotWrite(path, cause));
        return false;
    }
    if (run.containers == 0)
        prompts().inform(
            QStringLiteral("No Container information is available Continue with Bulk Cargo only"));
    if (!file->commit()) {
        prompts().fail(EgmFile::cannotWrite(path, file->errorString()));
        return false;
    }
    return true;
}

namespace {

/// One file of the pair, streamed from its select into a new file beside the
/// old one. Written a second time when a column declared not nullable turns
/// out to hold a null. False when the file cannot be made or written
/// (*file says why); throws DbError.
bool writeXmlFile(std::optional<SafeFile>& file, const QString& path, Database& db,
                  const QString& sql, double egmno, const QString& table, qsizetype* rows)
{
    return AdoXml::write(
        [&](AdoXml::Sink* sink) -> std::unique_ptr<RowCursor> {
            file.emplace(path);
            if (!file->open())
                return nullptr;
            *sink = [&file](QByteArrayView block) { return file->write(block); };
            return RowCursor::open(db, sql, {egmno});
        },
        table, rows);
}

} // namespace

bool SaveXmlPair(const QString& cargoPath, const QString& containPath, const QString& rotText)
{
    Database* db = connection();
    if (!db)
        return false;
    const double egmno = egmNumber(rotText);
    // The import links containers to bills by the pair's id and ref: a new
    // cargo file beside an old container file would attach the wrong
    // containers. Both are written in full before either replaces its file.
    std::optional<SafeFile> cargoFile;
    std::optional<SafeFile> containFile;
    SafeFile* failed = nullptr;
    qsizetype containers = 0;
    try {
        // Both files from one state of the database, as the flat file.
        const Database::Transaction snapshot(*db, Database::Transaction::Read);
        qsizetype bills = 0;
        if (!writeXmlFile(cargoFile, cargoPath, *db, kCargoSql, egmno, QStringLiteral("egmcargo"),
                          &bills))
            failed = &*cargoFile;
        else if (!writeXmlFile(containFile, containPath, *db, kContainerSql, egmno,
                               QStringLiteral("egmcontain"), &containers))
            failed = &*containFile;
    } catch (const DbError& e) {
        cargoFile.reset();
        containFile.reset();
        databaseFailed(e, rotText);
        return false;
    }
    if (!failed) {
        if (containers == 0)
            prompts().inform(
                QStringLiteral("No Container information is available Continue with Cargo "
                               "only"));
        if (SafeFile::commitAll({&*cargoFile, &*containFile}, &failed))
            return true;
    }
    const QString message =
        QStringLiteral("Cannot write \"%1\": %2\nNeither file of the pair was replaced.")
            .arg(shown(failed->path()), failed->errorString());
    cargoFile.reset();
    containFile.reset();
    prompts().fail(message);
    return false;
}

bool copyToRemovableMedia(const QString& path)
{
    QString folder = ReadIni(QStringLiteral("Floppy"), QStringLiteral("Folder"));
    if (!folder.isEmpty())
        folder = QDir(AppPaths::home()).absoluteFilePath(QDir::fromNativeSeparators(folder));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        const QString chosen =
            prompts().folder(QStringLiteral("Select Removable Media Folder"), folder);
        if (chosen.isEmpty())
            return false;
        folder = chosen;
        WriteIni(QStringLiteral("Floppy"), QStringLiteral("Folder"),
                 QDir::toNativeSeparators(folder));
    }

    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        prompts().fail(QStringLiteral("The file %1 could not be read: %2")
                           .arg(shown(path), source.errorString()));
        return false;
    }
    const QByteArray bytes = source.readAll();
    const QString target = QDir(folder).filePath(QFileInfo(path).fileName());
    QString error;
    if (!EgmFile::save(target, bytes, &error)) {
        prompts().fail(QStringLiteral("The file could not be copied to the folder %1.\n%2")
                           .arg(shown(folder), error));
        return false;
    }
    prompts().status(QStringLiteral("File copied to ") + shown(target));
    return true;
}

} // namespace EgmExport
