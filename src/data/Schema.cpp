#include "Schema.h"

#include "Database.h"

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

} // namespace

namespace Schema {

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
