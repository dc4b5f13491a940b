#include "BillHistory.h"

#include "Database.h"
#include "ValueText.h"

namespace {

const QString table = QStringLiteral("billhistory");

constexpr struct
{
    BillHistory::Kind kind;
    const char* text;
} kinds[] = {
    {BillHistory::Kind::Added, "added"},       {BillHistory::Kind::Changed, "changed"},
    {BillHistory::Kind::Deleted, "deleted"},   {BillHistory::Kind::Imported, "imported"},
    {BillHistory::Kind::Restored, "restored"},
};

BillHistory::Kind kindOf(const QString& text)
{
    for (const auto& k : kinds)
        if (text == QLatin1String(k.text))
            return k.kind;
    return BillHistory::Kind::Changed;
}

QDateTime dateTimeOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    if (const auto dt = ValueText::parseDateTime(v.toString().trimmed()))
        return *dt;
    return QDateTime();
}

/// A stored value as the screen shows it.
QString shown(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return ValueText::dateText(v);
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return ValueText::numberText(v);
    default:
        break;
    }
    return v.toString().trimmed();
}

QString orEmpty(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("(empty)") : value;
}

/// Each of list's values that other does not hold as often (a multiset
/// difference, in list's order).
QStringList beyond(const QStringList& list, QStringList other)
{
    QStringList out;
    for (const QString& v : list)
        if (!other.removeOne(v))
            out << v;
    return out;
}

/// changes cut to what the column keeps, whole lines only.
QString fitted(const QString& changes)
{
    if (changes.size() <= BillHistory::changesWidth)
        return changes;
    const QStringList lines = changes.split(u'\n');
    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString more = QStringLiteral("\nand %1 more").arg(lines.size() - i);
        if (out.size() + 1 + lines[i].size() + more.size() > BillHistory::changesWidth)
            return out.isEmpty() ? more.mid(1) : out + more;
        out += (i > 0 ? QStringLiteral("\n") : QString()) + lines[i];
    }
    return out;
}

void needTable(Database& db)
{
    if (!db.tableExists(table))
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The company database %1 keeps no history of the shipping "
                                     "bills yet, so nothing is saved: log on again to bring it up "
                                     "to date (the logon says what stands in the way).")
                          .arg(db.location()));
}

QVariant now(Database& db)
{
    QDateTime t = QDateTime::currentDateTime();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return db.dialect().toStorage(ColumnType::Date, t);
}

const QString entryColumns = QStringLiteral(
    "histid, billid, egmno, sbno, username, changedat, kind, changes from billhistory");

BillHistory::Entry entryOf(const RowValues& r)
{
    BillHistory::Entry e;
    e.number = r.value(0).toLongLong();
    e.billId = r.value(1).toLongLong();
    e.rotNo = ValueText::numberText(r.value(2));
    e.sbNo = ValueText::numberText(r.value(3));
    e.user = r.value(4).toString().trimmed();
    e.at = dateTimeOf(r.value(5));
    e.kind = kindOf(r.value(6).toString().trimmed());
    e.changes = r.value(7).toString();
    return e;
}

} // namespace

namespace BillHistory {

QString kindText(Kind kind)
{
    for (const auto& k : kinds)
        if (k.kind == kind)
            return QString::fromLatin1(k.text);
    return QString();
}

Bill read(Database& db, qint64 id, const QList<Field>& fields)
{
    Bill bill;
    QStringList columns;
    for (const Field& f : fields)
        columns << f.column;
    if (!columns.isEmpty()) {
        const RowTable row = db.select(
            QStringLiteral("select %1 from egmcargo where id = ?").arg(columns.join(u',')), {id});
        if (row.rows.isEmpty())
            return bill;
        for (const QVariant& v : row.rows.first())
            bill.values << shown(v);
    } else if (db.scalar(QStringLiteral("select count(*) from egmcargo where id = ?"), {id})
                   .toInt() == 0) {
        return bill;
    }
    bill.stored = true;
    for (const RowValues& r :
         db.select(QStringLiteral("select containno, constatus from egmcontain where ref = ? "
                                  "order by autoid"),
                   {id})
             .rows) {
        bill.containers << r.value(0).toString().trimmed();
        bill.statuses << r.value(1).toString().trimmed();
    }
    return bill;
}

QString changes(const QList<Field>& fields, const Bill& before, const Bill& after)
{
    QStringList lines;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString old = before.values.value(i);
        const QString now = after.values.value(i);
        if (!before.stored) {
            if (!now.isEmpty())
                lines << fields[i].caption + QStringLiteral(": ") + now;
        } else if (old != now) {
            lines << fields[i].caption + QStringLiteral(": ") + orEmpty(old) +
                         QStringLiteral(" → ") + orEmpty(now);
        }
    }
    for (const QString& c : beyond(after.containers, before.containers))
        lines << QStringLiteral("Container added: ") + c;
    for (const QString& c : beyond(before.containers, after.containers))
        lines << QStringLiteral("Container removed: ") + c;
    // A container kept (each stored one matched once) whose status changed.
    QList<bool> matched(before.containers.size(), false);
    for (qsizetype a = 0; a < after.containers.size(); ++a)
        for (qsizetype b = 0; b < before.containers.size(); ++b) {
            if (matched[b] || before.containers[b] != after.containers[a])
                continue;
            matched[b] = true;
            const QString old = before.statuses.value(b);
            const QString now = after.statuses.value(a);
            if (old != now)
                lines << QStringLiteral("Container %1 status: %2 → %3")
                             .arg(after.containers[a], orEmpty(old), orEmpty(now));
            break;
        }
    return lines.join(u'\n');
}

namespace {

/// One entry for each stored bill that where (with its value) picks.
void writeWhere(Database& db, const QString& where, qint64 id, Kind kind, const QString& user,
                const QString& changes)
{
    needTable(db);
    db.exec(QStringLiteral("insert into billhistory (billid, egmno, sbno, username, changedat, "
                           "kind, changes) select id, egmno, sbno, ?, ?, ?, ? from egmcargo "
                           "where %1 order by id")
                .arg(where),
            {user, now(db), kindText(kind), fitted(changes), id});
}

} // namespace

void write(Database& db, qint64 id, Kind kind, const QString& user, const QString& changes)
{
    writeWhere(db, QStringLiteral("id = ?"), id, kind, user, changes);
}

void writeFrom(Database& db, qint64 fromId, Kind kind, const QString& user, const QString& changes)
{
    writeWhere(db, QStringLiteral("id >= ?"), fromId, kind, user, changes);
}

QList<Entry> list(Database& db, qint64 id)
{
    QList<Entry> out;
    if (!db.tableExists(table))
        return out;
    const RowTable t = db.select(
        QStringLiteral("select %1 where billid = ? order by histid desc").arg(entryColumns), {id});
    for (const RowValues& r : t.rows) {
        out << entryOf(r);
        if (out.last().kind == Kind::Added || out.last().kind == Kind::Imported)
            break;
    }
    return out;
}

std::optional<Entry> last(Database& db, qint64 id)
{
    if (!db.tableExists(table))
        return std::nullopt;
    const RowTable t = db.select(QStringLiteral("select %1 where histid = (select max(histid) "
                                                "from billhistory where billid = ?)")
                                     .arg(entryColumns),
                                 {id});
    if (t.rows.isEmpty())
        return std::nullopt;
    return entryOf(t.rows.first());
}

QString changedBy(const Entry& entry)
{
    return QStringLiteral("Changed by %1 on %2")
        .arg(entry.user, entry.at.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
}

QDateTime lastChange(Database& db)
{
    if (!db.tableExists(table))
        return QDateTime();
    return dateTimeOf(db.scalar(QStringLiteral("select max(changedat) from billhistory")));
}

} // namespace BillHistory
