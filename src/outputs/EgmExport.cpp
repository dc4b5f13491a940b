#include "EgmExport.h"

#include "AdoXml.h"
#include "AppPaths.h"
#include "Database.h"
#include "EgmFile.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Settings.h"
#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace EgmExport {

namespace {

const QString kCargoSql = QStringLiteral("select * from egmcargo where egmcargo.egmno=?");
const QString kFileContainerSql = QStringLiteral(
    "select egmcontain.*,egmcargo.egmno as xegmno,egmcargo.egmdt as xegmdt,egmcargo.sbno as "
    "xsbno,egmcargo.sbdt as xsbdt from egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
    "egmcargo.egmno=?");
const QString kContainerSql = QStringLiteral("select egmcontain.* from egmcontain,egmcargo where "
                                             "egmcontain.ref=egmcargo.id and egmcargo.egmno=?");

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
        if (!db_.inTransaction())
            open_ = db_.qt().transaction();
    }
    ~ReadSnapshot()
    {
        if (open_)
            db_.qt().commit();
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

constexpr char kGroupSeparator = '\x1d';

/// Appends text as single-byte Latin-1, '?' for what Latin-1 lacks (as
/// QString::toLatin1 does), without a temporary per field.
void appendLatin1(QByteArray& out, QStringView text)
{
    for (const QChar c : text)
        out.append(c.unicode() < 0x100 ? char(c.unicode()) : '?');
}

void appendField(QByteArray& out, QStringView text)
{
    appendLatin1(out, text);
    out.append(kGroupSeparator);
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

QString noDateMessage(const QString& sbno)
{
    return QStringLiteral("Shipping Bill No. %1 has no Shipping Bill Date; no file was written.")
        .arg(sbno);
}

QString missingColumnMessage(const char* what, const QString& column)
{
    return QStringLiteral("The %1 rows have no column \"%2\"; no file was written.")
        .arg(QLatin1String(what), column);
}

/// DDMMYYYY of a stored date, remembered for the next row: the rows of one
/// shipping bill, and often of a whole EGM, share their dates.
class DateField
{
public:
    /// false when the value is no date.
    bool format(const QVariant& value, QByteArray* text)
    {
        if (!(value == last_)) {
            last_ = value;
            const QDate date = ValueText::toDate(value);
            valid_ = date.isValid();
            text_ = ValueText::ddmmyyyy(date).toLatin1();
        }
        *text = text_;
        return valid_;
    }

private:
    QVariant last_;
    QByteArray text_;
    bool valid_ = false;
};

/// Database::select, with a read that fails half way reported as a failure.
RowTable readRows(Database& db, const QString& sql, double egmno)
{
    RowReader rows(db, sql, {egmno});
    RowTable table;
    table.columns = rows.columns();
    const qsizetype n = table.columns.size();
    while (rows.next()) {
        RowValues row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << rows.value(i);
        table.rows << std::move(row);
    }
    return table;
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
    return readRows(db, kCargoSql, egmno);
}

RowTable fileContainerRows(Database& db, double egmno)
{
    return readRows(db, kFileContainerSql, egmno);
}

RowTable containerRows(Database& db, double egmno)
{
    return readRows(db, kContainerSql, egmno);
}

FlatFile flatFile(Database& db, double egmno, const QDate& egmDate)
{
    FlatFile f;
    if (!egmDate.isValid()) {
        f.error = QStringLiteral("The EGM date is not a valid date; no file was written.");
        return f;
    }
    const QByteArray date = ValueText::ddmmyyyy(egmDate).toLatin1();
    QByteArray& out = f.bytes;
    out.append("<manifest>\n<egm_master>F\n");
    DateField billDate;
    QByteArray dateText;
    {
        RowReader rows(db, kCargoSql, {egmno});
        const int egmnoCol = rows.column("egmno"), sbno = rows.column("sbno");
        const int sbdt = rows.column("sbdt"), sbport = rows.column("sbport");
        const int destport = rows.column("destport"), gateport = rows.column("gateport");
        const int nature = rows.column("naturecargo"), volume = rows.column("volume");
        const int unitvol = rows.column("unitvol"), pkgs = rows.column("pkgs");
        const auto text = [&rows](int i) {
            const QVariant v = rows.value(i);
            return v.isNull() ? QString() : v.toString(); // exactly as stored
        };
        while (rows.next()) {
            ++f.bills;
            if (!rows.missing().isEmpty()) {
                f.error = missingColumnMessage("cargo", rows.missing());
                break;
            }
            const QString sbnoText = ValueText::numberText(rows.value(sbno));
            if (!billDate.format(rows.value(sbdt), &dateText)) {
                f.error = noDateMessage(sbnoText);
                break;
            }
            appendField(out, ValueText::numberText(rows.value(egmnoCol)));
            out.append(date).append(kGroupSeparator);
            appendField(out, sbnoText);
            out.append(dateText).append(kGroupSeparator);
            appendField(out, text(sbport));
            appendField(out, text(destport));
            appendField(out, text(gateport));
            appendField(out, text(nature));
            // The volume decides for the unit as well: no unit without a volume.
            const QString volumeText = ValueText::numberText(rows.value(volume));
            const bool noVolume = ValueText::leadingNumber(volumeText) == 0;
            appendField(out, noVolume ? QString() : volumeText);
            appendField(out, noVolume ? QString() : text(unitvol));
            const QString pkgsText = ValueText::numberText(rows.value(pkgs));
            appendField(out, ValueText::leadingNumber(pkgsText) == 0 ? QString() : pkgsText);
            out.append('\n');
        }
    }
    if (!f.error.isEmpty() || f.bills == 0) {
        f.bytes.clear();
        return f;
    }

    out.append("<egmcont>F\n");
    {
        RowReader rows(db, kFileContainerSql, {egmno});
        const int egmnoCol = rows.column("xegmno"), sbno = rows.column("xsbno");
        const int sbdt = rows.column("xsbdt"), containno = rows.column("containno");
        const int constatus = rows.column("constatus");
        // The first three fields are the shipping bill's: made once per bill.
        QVariant lastEgmno, lastSbno, lastSbdt;
        QByteArray prefix;
        bool first = true;
        while (rows.next()) {
            ++f.containers;
            if (!rows.missing().isEmpty()) {
                f.error = missingColumnMessage("container", rows.missing());
                break;
            }
            const QVariant egmnoValue = rows.value(egmnoCol);
            const QVariant sbnoValue = rows.value(sbno);
            const QVariant sbdtValue = rows.value(sbdt);
            if (first || !(egmnoValue == lastEgmno) || !(sbnoValue == lastSbno) ||
                !(sbdtValue == lastSbdt)) {
                first = false;
                lastEgmno = egmnoValue;
                lastSbno = sbnoValue;
                lastSbdt = sbdtValue;
                const QString sbnoText = ValueText::numberText(sbnoValue);
                if (!billDate.format(sbdtValue, &dateText)) {
                    f.error = noDateMessage(sbnoText);
                    break;
                }
                prefix.clear();
                appendField(prefix, ValueText::numberText(egmnoValue));
                prefix.append(date).append(kGroupSeparator);
                appendField(prefix, sbnoText);
                prefix.append(dateText).append(kGroupSeparator);
            }
            out.append(prefix);
            QVariant v = rows.value(containno);
            appendField(out, v.isNull() ? QString() : v.toString());
            v = rows.value(constatus);
            appendField(out, v.isNull() ? QString() : v.toString());
            out.append('\n');
        }
    }
    if (!f.error.isEmpty()) {
        f.bytes.clear();
        return f;
    }
    out.append("<END-egmcont>\n<END-egm_master>\n<END-manifest>\n");
    return f;
}

bool WriteEgmFile(const QString& path, const QString& rotText, const QString& dateText)
{
    const std::optional<QDate> date = ValueText::parseDate(dateText);
    if (!date) {
        tell(QStringLiteral("Invalid EGM Date..."));
        removeStale(path);
        return false;
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
        removeStale(path);
        return false;
    }
    if (!file.error.isEmpty()) {
        fail(file.error);
        removeStale(path);
        return false;
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
    QSaveFile cargoFile(cargoPath);
    QSaveFile containFile(containPath);
    const auto writeFailed = [](QSaveFile& file, const QString& path) {
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(path), file.errorString()));
        return false;
    };
    if (!cargoFile.open(QIODevice::WriteOnly) || cargoFile.write(cargoBytes) != cargoBytes.size())
        return writeFailed(cargoFile, cargoPath);
    if (!containFile.open(QIODevice::WriteOnly) ||
        containFile.write(containBytes) != containBytes.size())
        return writeFailed(containFile, containPath);
    if (!cargoFile.commit())
        return writeFailed(cargoFile, cargoPath);
    if (!containFile.commit()) {
        // Rare (the rename failed): no half pair is left to be sent.
        QFile::remove(cargoPath);
        QFile::remove(containPath);
        fail(QStringLiteral("Cannot write \"%1\": %2\nNeither file of the pair was kept.")
                 .arg(shown(containPath), containFile.errorString()));
        return false;
    }
    return true;
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
    return true;
}

} // namespace EgmExport
