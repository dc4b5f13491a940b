#include "EgmExport.h"

#include "AdoXml.h"
#include "AppPaths.h"
#include "Database.h"
#include "EgmFile.h"
#include "LogonState.h"
#include "Prompts.h"
#include "SafeFile.h"
#include "Settings.h"
#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace EgmExport {

namespace {

const QString kCargoSql = QStringLiteral("select * from egmcargo where egmcargo.egmno=?");
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

void tell(const QString& text)
{
    prompts().message(text, Prompts::Buttons::Ok, Prompts::Icon::None);
}

void fail(const QString& text)
{
    prompts().message(text, Prompts::Buttons::Ok, Prompts::Icon::Critical);
}

/// The two selects of one export see the same state of the database, so a
/// shipping bill saved by another clerk in between cannot bring containers
/// without their bill.
class ReadSnapshot
{
public:
    explicit ReadSnapshot(Database& db) : db_(db)
    {
        if (db_.inTransaction())
            return;
        // On a server a plain transaction lets each select see the latest
        // commit; a read transaction keeps the first one's view.
        db_.beginRead();
        open_ = true;
    }
    ~ReadSnapshot()
    {
        if (!open_)
            return;
        try {
            db_.commit();
        } catch (const DbError&) {
        }
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Database& db_;
    bool open_ = false;
};

Database* connection()
{
    Database* db = logonState().Conn.get();
    if (!db)
        fail(QStringLiteral("There is no open connection to the company database; log on "
                            "first."));
    return db;
}

/// After a stop for what was typed or what the EGM holds, an older file of
/// that name must not pass for this EGM's.
void removeStale(const QString& path)
{
    QFile old(path);
    if (old.exists() && !old.remove())
        fail(QStringLiteral("The old file %1 could not be removed: %2")
                 .arg(shown(path), old.errorString()));
}

void databaseFailed(const DbError& e, const QString& rotText)
{
    fail(QStringLiteral("The shipping bills of ROT No. %1 could not be read from the "
                        "database:\n%2 %3")
             .arg(rotText.trimmed(), QString::number(e.number()), e.description()));
}

/// One select read forward-only, row by row, each value typed as
/// Database::select types it (a column of a named table converted from its
/// stored form, any other column as the engine gives it).
class RowReader
{
public:
    RowReader(Database& db, const QString& sql, const QVariantList& params)
        : db_(db), query_(db.exec(sql, params))
    {
        columns_ = db.resultColumns(query_.record(), sql);
    }
    ~RowReader() { query_.finish(); }
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    /// Column position by name (without regard to case); -1 and the first
    /// missing name kept when there is none.
    int column(const char* name)
    {
        for (int i = 0; i < columns_.size(); ++i)
            if (columns_[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return i;
        if (missing_.isEmpty())
            missing_ = QString::fromLatin1(name);
        return -1;
    }
    const QString& missing() const { return missing_; }

    /// The next row; false at the end. A read that fails on the way (a
    /// damaged file, a network share gone) throws: ending there would pass
    /// for the end of the rows and give a file that lacks the rest.
    bool next()
    {
        if (query_.next())
            return true;
        db_.checkRead(query_);
        return false;
    }
    const ColumnList& columns() const { return columns_; }
    QVariant value(int i) const
    {
        const QVariant v = query_.value(i);
        const ColumnInfo& c = columns_[i];
        return c.baseTable.isEmpty() ? v : db_.dialect().fromStorage(c.type, v);
    }

private:
    Database& db_;
    QSqlQuery query_;
    ColumnList columns_;
    QString missing_;
};

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

FlatFile flatFile(Database& db, double egmno, const QDate& egmDate)
{
    FlatFile f;
    EgmFile::Writer w(egmDate);
    {
        RowReader rows(db, kCargoSql, {egmno});
        const int egmnoCol = rows.column("egmno"), sbno = rows.column("sbno");
        const int sbdt = rows.column("sbdt"), sbport = rows.column("sbport");
        const int destport = rows.column("destport"), gateport = rows.column("gateport");
        const int nature = rows.column("naturecargo"), volume = rows.column("volume");
        const int unitvol = rows.column("unitvol"), pkgs = rows.column("pkgs");
        while (w.error().isEmpty() && rows.next()) {
            ++f.bills;
            if (!rows.missing().isEmpty())
                w.fail(EgmFile::Writer::missingColumnMessage("cargo", rows.missing()));
            else
                w.addBill(rows.value(egmnoCol), rows.value(sbno), rows.value(sbdt),
                          rows.value(sbport), rows.value(destport), rows.value(gateport),
                          rows.value(nature), rows.value(volume), rows.value(unitvol),
                          rows.value(pkgs));
        }
    }
    if (!w.error().isEmpty() || f.bills == 0) {
        f.error = w.error();
        return f;
    }
    w.beginContainers();
    {
        RowReader rows(db, kFileContainerSql, {egmno});
        const int egmnoCol = rows.column("xegmno"), sbno = rows.column("xsbno");
        const int sbdt = rows.column("xsbdt"), containno = rows.column("containno");
        const int constatus = rows.column("constatus");
        while (w.error().isEmpty() && rows.next()) {
            ++f.containers;
            if (!rows.missing().isEmpty())
                w.fail(EgmFile::Writer::missingColumnMessage("container", rows.missing()));
            else
                w.addContainer(rows.value(egmnoCol), rows.value(sbno), rows.value(sbdt),
                               rows.value(containno), rows.value(constatus));
        }
    }
    f.bytes = w.finish();
    f.error = w.error();
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
        tell(QStringLiteral("Invalid EGM Date..."));
        return stopped();
    }
    Database* db = connection();
    if (!db)
        return false;
    FlatFile file;
    try {
        ReadSnapshot snapshot(*db);
        file = flatFile(*db, egmNumber(rotText), *date);
    } catch (const DbError& e) {
        databaseFailed(e, rotText);
        return false;
    }
    if (file.bills == 0) {
        tell(QStringLiteral("No related cargo information is available "));
        return stopped();
    }
    if (!file.error.isEmpty()) {
        fail(file.error);
        return stopped();
    }
    if (file.containers == 0)
        tell(QStringLiteral("No Container information is available Continue with Bulk Cargo only"));
    QString error;
    if (!EgmFile::save(path, file.bytes, &error)) {
        fail(error);
        return false;
    }
    return true;
}

bool SaveXmlPair(const QString& cargoPath, const QString& containPath, const QString& rotText)
{
    Database* db = connection();
    if (!db)
        return false;
    const double egmno = egmNumber(rotText);
    QByteArray cargoBytes;
    RowTable containers;
    try {
        ReadSnapshot snapshot(*db);
        cargoBytes = AdoXml::write(cargoRows(*db, egmno), QStringLiteral("egmcargo"));
        containers = containerRows(*db, egmno);
    } catch (const DbError& e) {
        databaseFailed(e, rotText);
        return false;
    }
    if (containers.rows.isEmpty())
        tell(QStringLiteral("No Container information is available Continue with Cargo only"));
    const QByteArray containBytes = AdoXml::write(containers, QStringLiteral("egmcontain"));
    containers = RowTable();

    // The import links containers to bills by the pair's id and ref: a new
    // cargo file beside an old container file would attach the wrong
    // containers. Both are written in full before either replaces its file.
    SafeFile cargoFile(cargoPath);
    SafeFile containFile(containPath);
    SafeFile* failed = nullptr;
    if (!cargoFile.open())
        failed = &cargoFile;
    else if (!containFile.open())
        failed = &containFile;
    else if (!cargoFile.write(cargoBytes))
        failed = &cargoFile;
    else if (!containFile.write(containBytes))
        failed = &containFile;
    else if (SafeFile::commitAll({&cargoFile, &containFile}, &failed))
        return true;
    cargoFile.cancel();
    containFile.cancel();
    fail(QStringLiteral("Cannot write \"%1\": %2\nNeither file of the pair was replaced.")
             .arg(shown(failed->path()), failed->errorString()));
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
        fail(QStringLiteral("The file %1 could not be read: %2")
                 .arg(shown(path), source.errorString()));
        return false;
    }
    const QByteArray bytes = source.readAll();
    const QString target = QDir(folder).filePath(QFileInfo(path).fileName());
    QString error;
    if (!EgmFile::save(target, bytes, &error)) {
        fail(QStringLiteral("The file could not be copied to the folder %1.\n%2")
                 .arg(shown(folder), error));
        return false;
    }
    prompts().status(QStringLiteral("File copied to ") + shown(target));
    return true;
}

} // namespace EgmExport
