#include "Schema.h"

#include "BillHistory.h"
#include "Database.h"
#include "ValueText.h"

#include <QFile>

// The look-up lists are compiled into this static library; naming the
// resource keeps the linker from dropping it.
static void initLookupResources()
{
    Q_INIT_RESOURCE(lookups);
}

namespace {

QString lookupFolder;

ColumnInfo col(const char* name, ColumnType type, int size = 0)
{
    return ColumnInfo::of(QString::fromLatin1(name), type, size);
}

ColumnInfo autoKey(const char* name)
{
    ColumnInfo c = col(name, ColumnType::Long);
    c.autoNumber = true;
    c.nullable = false;
    return c;
}

/// Columns named prefix01.. for the import manifest tables, which the
/// program addresses by position only.
void numbered(ColumnList& cols, const char* prefix, int from, int to)
{
    for (int i = from; i <= to; ++i)
        cols << col(QStringLiteral("%1%2")
                        .arg(QLatin1String(prefix))
                        .arg(i, 2, 10, QLatin1Char('0'))
                        .toLatin1()
                        .constData(),
                    ColumnType::Text, 255);
}

QStringList splitCsvLine(const QString& line)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    out << field;
    return out;
}

const QString versionTable = QStringLiteral("schemaversion");

/// The unique keys of a company database, each a table and the index that
/// keys its id; a database of version 1 may miss them.
const struct
{
    const char* table;
    const char* index;
    const char* what;
} idKeys[] = {
    {"egmcargo", "egmcargo_id", "shipping bill"},
    {"cargo", "cargo_id", "import manifest cargo line"},
};

bool hasUniqueIdKey(Database& db, const QString& table)
{
    for (const SqlDialect::Index& i : db.indexes(table))
        if (i.unique && i.columns.size() == 1 &&
            i.columns.first().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

/// Each id that more than one row of table holds, with what tells the rows
/// apart for a clerk; "" when there is none.
QString collisions(Database& db, const QString& table, const QString& what)
{
    const RowTable dup = db.select(
        QStringLiteral("select id, count(*) from %1 where id is not null group by id having "
                       "count(*) > 1 order by id")
            .arg(table));
    if (dup.rows.isEmpty())
        return QString();
    const bool bills = table == QLatin1String("egmcargo");
    QStringList lines;
    constexpr int shown = 10;
    for (qsizetype i = 0; i < dup.rows.size() && i < shown; ++i) {
        const QVariant id = dup.rows[i].value(0);
        QString line = QStringLiteral("  id %1: %2 rows")
                           .arg(ValueText::numberText(id.toDouble()))
                           .arg(dup.rows[i].value(1).toLongLong());
        if (bills) {
            QStringList which;
            const RowTable r =
                db.select(QStringLiteral(
                              "select egmno, sbno from egmcargo where id = ? order by egmno, sbno"),
                          {id});
            for (const RowValues& v : r.rows)
                which << QStringLiteral("ROT No. %1 SB No. %2")
                             .arg(ValueText::numberText(v.value(0).toDouble()),
                                  ValueText::numberText(v.value(1).toDouble()));
            line += QStringLiteral(" (") + which.join(QStringLiteral(", ")) + u')';
        }
        lines << line;
    }
    if (dup.rows.size() > shown)
        lines << QStringLiteral("  and %1 more ids").arg(dup.rows.size() - shown);
    const double highest =
        db.scalar(QStringLiteral("select max(id) from %1").arg(table)).toDouble();
    return QStringLiteral("These %1 ids of the table %2 are held by more than one row:\n%3\n"
                          "Give every row but one of each id a new id above %4 (the highest "
                          "now), or remove the rows that are there twice, with a database tool; "
                          "then log on again.")
        .arg(what, table, lines.join(u'\n'), ValueText::numberText(highest));
}

void createDeletedTables(Database& db)
{
    if (db.tableExists(QStringLiteral("egmcargo_deleted")))
        return;
    db.createTable(QStringLiteral("egmcargo_deleted"), Schema::egmcargoDeleted());
    db.createTable(QStringLiteral("egmcontain_deleted"), Schema::egmcontainDeleted());
    db.exec(
        QStringLiteral("create unique index egmcargo_deleted_delid on egmcargo_deleted (delid)"));
    db.exec(
        QStringLiteral("create index egmcontain_deleted_delref on egmcontain_deleted (delref)"));
}

void createHistoryTable(Database& db)
{
    if (db.tableExists(QStringLiteral("billhistory")))
        return;
    db.createTable(QStringLiteral("billhistory"), Schema::billhistory());
    db.exec(QStringLiteral("create index billhistory_billid on billhistory (billid)"));
    // For the time of the newest change, which decides whether a backup is due.
    db.exec(QStringLiteral("create index billhistory_changedat on billhistory (changedat)"));
}

/// For the check of an EGM, which looks for its SB Nos. in the other EGMs.
void createSbNoIndex(Database& db)
{
    for (const SqlDialect::Index& i : db.indexes(QStringLiteral("egmcargo")))
        if (i.name.compare(QLatin1String("egmcargo_sbno"), Qt::CaseInsensitive) == 0)
            return;
    db.exec(QStringLiteral("create index egmcargo_sbno on egmcargo (sbno)"));
}

} // namespace

namespace Schema {

int companyDatabaseVersion(Database& db)
{
    if (!db.tableExists(versionTable))
        return 1;
    const QVariant v = db.scalar(QStringLiteral("select max(version) from schemaversion"));
    return v.isNull() ? 1 : v.toInt();
}

QString idCollisions(Database& db)
{
    QStringList found;
    for (const auto& k : idKeys) {
        const QString table = QString::fromLatin1(k.table);
        if (db.tableExists(table) && !hasUniqueIdKey(db, table)) {
            const QString text = collisions(db, table, QString::fromLatin1(k.what));
            if (!text.isEmpty())
                found << text;
        }
    }
    if (found.isEmpty())
        return QString();
    return QStringLiteral("The company database %1 cannot be brought up to date and is left as "
                          "it is.\n")
               .arg(db.location()) +
           found.join(u'\n');
}

Upgrade upgradeCompanyDatabase(Database& db)
{
    Upgrade result;
    auto settled = [&db, &result] {
        if (result.found <= companyVersion)
            return result.found == companyVersion;
        result.state = Upgrade::State::Newer;
        result.message =
            QStringLiteral("The company database %1 was made by a newer Tarvex (its layout is "
                           "version %2; this Tarvex knows version %3 at most). It is opened "
                           "read-only: everything can be read and printed, nothing changed. "
                           "Install the newer Tarvex to work in it.")
                .arg(db.location())
                .arg(result.found)
                .arg(companyVersion);
        return true;
    };
    result.found = companyDatabaseVersion(db);
    if (settled())
        return result;
    Database::Transaction tx(db);
    // Another clerk may have brought it up to date while this one waited
    // for the write lock.
    result.found = companyDatabaseVersion(db);
    if (settled())
        return result;
    const QString found = idCollisions(db);
    if (!found.isEmpty()) {
        result.state = Upgrade::State::Collides;
        result.message = found;
        return result;
    }
    for (const auto& k : idKeys) {
        const QString table = QString::fromLatin1(k.table);
        if (!db.tableExists(table) || hasUniqueIdKey(db, table))
            continue;
        // An index of that name that does not forbid doubles gives way.
        for (const SqlDialect::Index& i : db.indexes(table))
            if (i.name.compare(QLatin1String(k.index), Qt::CaseInsensitive) == 0)
                db.exec(QStringLiteral("drop index %1").arg(i.name));
        db.exec(
            QStringLiteral("create unique index %1 on %2 (id)").arg(QLatin1String(k.index), table));
    }
    createDeletedTables(db);
    createHistoryTable(db);
    createSbNoIndex(db);
    if (!db.tableExists(versionTable))
        db.exec(QStringLiteral("create table schemaversion (version integer)"));
    db.exec(QStringLiteral("delete from schemaversion"));
    db.exec(QStringLiteral("insert into schemaversion (version) values (?)"), {companyVersion});
    tx.commit();
    db.clearLayoutCache();
    result.state = Upgrade::State::Upgraded;
    return result;
}

ColumnList drcomp()
{
    return {col("code", ColumnType::Long),        col("name", ColumnType::Text, 50),
            col("add1", ColumnType::Text, 50),    col("add2", ColumnType::Text, 50),
            col("add3", ColumnType::Text, 50),    col("telephone", ColumnType::Text, 30),
            col("st_date", ColumnType::Date),     col("ed_date", ColumnType::Date),
            col("dirname", ColumnType::Text, 255)};
}

ColumnList egmcargo()
{
    return {col("id", ColumnType::Long),
            col("egmno", ColumnType::Double),
            col("egmdt", ColumnType::Date),
            col("sbno", ColumnType::Double),
            col("sbdt", ColumnType::Date),
            col("sbport", ColumnType::Text, 6),
            col("destport", ColumnType::Text, 6),
            col("gateport", ColumnType::Text, 6),
            col("naturecargo", ColumnType::Text, 2),
            col("volume", ColumnType::Double),
            col("unitvol", ColumnType::Text, 3),
            col("pkgs", ColumnType::Long),
            col("linecode", ColumnType::Text, 10)};
}

ColumnList egmcontain()
{
    return {autoKey("autoid"), col("ref", ColumnType::Long), col("containno", ColumnType::Text, 11),
            col("constatus", ColumnType::Text, 3), col("subrefno", ColumnType::Long)};
}

ColumnList dPortCd()
{
    return {col("port_cd", ColumnType::Text, 6), col("port_nm", ColumnType::Text, 50)};
}

ColumnList nature()
{
    return {col("nat_cd", ColumnType::Text, 2), col("nat_desc", ColumnType::Text, 50)};
}

ColumnList constatus()
{
    return {col("cs_cd", ColumnType::Text, 3), col("cs_desc", ColumnType::Text, 30)};
}

ColumnList vesinfo()
{
    ColumnList c{autoKey("autoid")};
    numbered(c, "vf", 1, 30);
    return c;
}

ColumnList cargo()
{
    ColumnList c{col("id", ColumnType::Long)};
    numbered(c, "cf", 1, 32);
    c[27] = col("cf27", ColumnType::Double); // the one number column of a cargo line
    return c;
}

ColumnList contain()
{
    ColumnList c{autoKey("autoid")};
    numbered(c, "kf", 1, 30);
    return c;
}

ColumnList egmcargoDeleted()
{
    ColumnList c{col("delid", ColumnType::Long), col("deletedby", ColumnType::Text, 50),
                 col("deletedat", ColumnType::Date)};
    return c + egmcargo();
}

ColumnList egmcontainDeleted()
{
    ColumnList c{col("delref", ColumnType::Long)};
    for (ColumnInfo k : egmcontain()) {
        // The container keeps its number while deleted; it gets a new one back.
        k.autoNumber = false;
        k.nullable = true;
        c << k;
    }
    return c;
}

ColumnList billhistory()
{
    return {autoKey("histid"),
            col("billid", ColumnType::Long),
            col("egmno", ColumnType::Double),
            col("sbno", ColumnType::Double),
            col("username", ColumnType::Text, 50),
            col("changedat", ColumnType::Date),
            col("kind", ColumnType::Text, 10),
            col("changes", ColumnType::Text, BillHistory::changesWidth)};
}

void createSystemDatabase(Database& db)
{
    Database::Transaction tx(db);
    db.createTable(QStringLiteral("DRCOMP"), drcomp());
    tx.commit();
}

QList<QStringList> lookupRows(const QString& name)
{
    initLookupResources();
    QList<QStringList> rows;
    QFile f(lookupFolder + u'/' + name + QStringLiteral(".csv"));
    if (lookupFolder.isEmpty() || !f.exists())
        f.setFileName(QStringLiteral(":/lookups/%1.csv").arg(name));
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (!line.isEmpty())
            rows << splitCsvLine(line);
    }
    return rows;
}

void setLookupFolder(const QString& dir)
{
    lookupFolder = dir;
}

void createUserTable(Database& db)
{
    db.exec(QStringLiteral("create table loguser(uid char(50), pwd char(%1), urights char(50), "
                           "mrights char(150), failures integer)")
                .arg(passwordWidth));
    db.clearLayoutCache();
}

void eraseWhatIsDeleted(Database& db)
{
    if (!db.where().isServer())
        db.exec(QStringLiteral("PRAGMA secure_delete = ON"));
}

void writeThrough(Database& db)
{
    if (!db.where().isServer())
        db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

bool upgradeUserTable(Database& db)
{
    const ColumnList layout = db.tableColumns(QStringLiteral("loguser"));
    const int pwd = columnIndex(layout, QStringLiteral("pwd"));
    const bool narrow = pwd >= 0 && layout[pwd].type == ColumnType::Text && layout[pwd].size > 0 &&
                        layout[pwd].size < passwordWidth;
    const bool counts = columnIndex(layout, QStringLiteral("failures")) >= 0;
    if (!narrow && counts)
        return false;
    eraseWhatIsDeleted(db);
    Database::Transaction tx(db);
    if (db.where().isServer()) {
        if (narrow)
            db.exec(QStringLiteral("alter table loguser alter column pwd type varchar(%1)")
                        .arg(passwordWidth));
        if (!counts)
            db.exec(QStringLiteral("alter table loguser add column failures integer"));
    } else if (!narrow) {
        db.exec(QStringLiteral("alter table loguser add column failures integer"));
    } else {
        // SQLite cannot change a column's declared size: the table is made
        // anew with every column it has, in order, and its rows copied in
        // their stored order.
        QStringList defs;
        QStringList names;
        for (const ColumnInfo& c : layout) {
            names << c.name;
            defs << c.name + u' ' +
                        (c.name.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("char(%1)").arg(passwordWidth)
                             : db.dialect().columnType(c));
        }
        if (!counts)
            defs << QStringLiteral("failures integer");
        const QString list = names.join(QStringLiteral(", "));
        db.exec(QStringLiteral("create table loguser_upgrade (%1)").arg(defs.join(u',')));
        db.exec(QStringLiteral("insert into loguser_upgrade (%1) select %1 from loguser order by "
                               "rowid")
                    .arg(list));
        db.exec(QStringLiteral("drop table loguser"));
        db.exec(QStringLiteral("alter table loguser_upgrade rename to loguser"));
    }
    tx.commit();
    db.clearLayoutCache();
    return true;
}

void createCompanyDatabase(Database& db)
{
    Database::Transaction tx(db);
    db.createTable(QStringLiteral("egmcargo"), egmcargo());
    db.createTable(QStringLiteral("egmcontain"), egmcontain());
    db.createTable(QStringLiteral("d_port_cd"), dPortCd());
    db.createTable(QStringLiteral("nature"), nature());
    db.createTable(QStringLiteral("constatus"), constatus());
    db.createTable(QStringLiteral("vesinfo"), vesinfo());
    db.createTable(QStringLiteral("cargo"), cargo());
    db.createTable(QStringLiteral("contain"), contain());
    // Two clerks saving at once can never store one shipping bill id twice.
    db.exec(QStringLiteral("create unique index egmcargo_id on egmcargo (id)"));
    db.exec(QStringLiteral("create index egmcargo_egmno on egmcargo (egmno)"));
    db.exec(QStringLiteral("create index egmcontain_ref on egmcontain (ref)"));
    // An imported cargo line's id comes from its file; the key refuses a clash.
    db.exec(QStringLiteral("create unique index cargo_id on cargo (id)"));
    createDeletedTables(db);
    createHistoryTable(db);
    createSbNoIndex(db);
    db.exec(QStringLiteral("create table schemaversion (version integer)"));
    db.exec(QStringLiteral("insert into schemaversion (version) values (?)"), {companyVersion});
    const struct
    {
        const char* table;
        const char* file;
        QStringList columns;
    } lists[] = {
        {"d_port_cd", "ports", {QStringLiteral("port_cd"), QStringLiteral("port_nm")}},
        {"nature", "natures", {QStringLiteral("nat_cd"), QStringLiteral("nat_desc")}},
        {"constatus", "constatus", {QStringLiteral("cs_cd"), QStringLiteral("cs_desc")}},
    };
    for (const auto& l : lists) {
        QList<RowValues> rows;
        for (const QStringList& r : lookupRows(QString::fromLatin1(l.file)))
            rows << RowValues{r.value(0), r.value(1)};
        db.insertRows(QString::fromLatin1(l.table), l.columns, rows);
    }
    tx.commit();
}

} // namespace Schema
