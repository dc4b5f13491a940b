#include "DeletedBills.h"

#include "BillHistory.h"
#include "Database.h"
#include "Schema.h"
#include "ValueText.h"

#include <QStringList>

namespace {

QStringList names(const ColumnList& columns)
{
    QStringList out;
    for (const ColumnInfo& c : columns)
        out << c.name;
    return out;
}

/// The containers' columns but their key, which the table gives anew.
QStringList containerValues()
{
    QStringList out = names(Schema::egmcontain());
    out.removeAll(QStringLiteral("autoid"));
    return out;
}

void needTables(Database& db)
{
    if (!db.tableExists(QStringLiteral("egmcargo_deleted")))
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The company database %1 keeps no deleted shipping bills "
                                     "yet, so nothing is deleted: log on again to bring it up "
                                     "to date (the logon says what stands in the way).")
                          .arg(db.location()));
}

QDateTime dateTimeOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    return QDateTime::fromString(v.toString().trimmed(), Qt::ISODate);
}

/// The kept rows of deleted bill number back into table, their key column
/// (id or ref) set to id.
void copyBack(Database& db, const QString& table, const QString& key, QStringList columns,
              const QString& which, qint64 id, qint64 number)
{
    columns.removeAll(key);
    const QString list = columns.join(QStringLiteral(", "));
    db.exec(QStringLiteral("insert into %1 (%2, %3) select ?, %3 from %1_deleted where %4")
                .arg(table, key, list, which),
            {id, number});
}

} // namespace

namespace DeletedBills {

void keep(Database& db, qint64 id, const QString& user)
{
    needTables(db);
    db.lockTable(QStringLiteral("egmcargo_deleted"));
    const qint64 number =
        db.scalar(QStringLiteral("select max(delid) from egmcargo_deleted")).toLongLong() + 1;
    const QString bill = names(Schema::egmcargo()).join(QStringLiteral(", "));
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    db.exec(QStringLiteral("insert into egmcargo_deleted (delid, deletedby, deletedat, %1) "
                           "select ?, ?, ?, %1 from egmcargo where id = ?")
                .arg(bill),
            {number, user, db.dialect().toStorage(ColumnType::Date, now), id});
    const QString contain = names(Schema::egmcontain()).join(QStringLiteral(", "));
    db.exec(QStringLiteral("insert into egmcontain_deleted (delref, %1) select ?, %1 from "
                           "egmcontain where ref = ? order by autoid")
                .arg(contain),
            {number, id});
    BillHistory::write(db, id, BillHistory::Kind::Deleted, user,
                       BillHistory::changes({}, BillHistory::read(db, id, {}),
                                            BillHistory::Bill{true, {}, {}, {}}));
    db.exec(QStringLiteral("delete from egmcontain where ref = ?"), {id});
}

QList<Entry> list(Database& db, const std::optional<QString>& rotNo)
{
    needTables(db);
    QString sql = QStringLiteral(
        "select d.delid, d.id, d.egmno, d.sbno, d.sbdt, d.deletedby, d.deletedat, (select "
        "count(*) from egmcontain_deleted c where c.delref = d.delid) from egmcargo_deleted d");
    QVariantList params;
    if (rotNo) {
        sql += QStringLiteral(" where d.egmno = ?");
        params << ValueText::leadingNumber(*rotNo);
    }
    sql += QStringLiteral(" order by d.delid desc");
    QList<Entry> out;
    for (const RowValues& r : db.select(sql, params).rows) {
        Entry e;
        e.number = r.value(0).toLongLong();
        e.oldId = r.value(1).toLongLong();
        e.rotNo = ValueText::numberText(r.value(2));
        e.sbNo = ValueText::numberText(r.value(3));
        e.sbDate = ValueText::toDate(r.value(4));
        e.deletedBy = r.value(5).toString().trimmed();
        e.deletedAt = dateTimeOf(r.value(6));
        e.containers = r.value(7).toInt();
        out << e;
    }
    return out;
}

int forgetDeletedBefore(Database& db, const QDateTime& before)
{
    if (!db.tableExists(QStringLiteral("egmcargo_deleted")))
        return 0;
    const QVariant cutoff = db.dialect().toStorage(ColumnType::Date, before);
    Database::Transaction tx(db);
    db.exec(QStringLiteral("delete from egmcontain_deleted where delref in (select delid from "
                           "egmcargo_deleted where deletedat < ?)"),
            {cutoff});
    const int n =
        db.exec(QStringLiteral("delete from egmcargo_deleted where deletedat < ?"), {cutoff})
            .numRowsAffected();
    tx.commit();
    return n;
}

qint64 restore(Database& db, qint64 number, const QString& user)
{
    needTables(db);
    Database::Transaction tx(db);
    const QVariant oldId =
        db.scalar(QStringLiteral("select id from egmcargo_deleted where delid = ?"), {number});
    if (db.scalar(QStringLiteral("select count(*) from egmcargo_deleted where delid = ?"), {number})
            .toInt() == 0)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("There is no deleted shipping bill %1.").arg(number));
    const qint64 highest = qint64(db.lockedMaxId(QStringLiteral("egmcargo")));
    qint64 id = oldId.toLongLong();
    if (oldId.isNull() ||
        db.scalar(QStringLiteral("select count(*) from egmcargo where id = ?"), {oldId}).toInt() >
            0)
        id = highest + 1;
    copyBack(db, QStringLiteral("egmcargo"), QStringLiteral("id"), names(Schema::egmcargo()),
             QStringLiteral("delid = ?"), id, number);
    copyBack(db, QStringLiteral("egmcontain"), QStringLiteral("ref"), containerValues(),
             QStringLiteral("delref = ? order by autoid"), id, number);
    db.exec(QStringLiteral("delete from egmcontain_deleted where delref = ?"), {number});
    db.exec(QStringLiteral("delete from egmcargo_deleted where delid = ?"), {number});
    QString changes = BillHistory::changes({}, BillHistory::Bill{true, {}, {}, {}},
                                           BillHistory::read(db, id, {}));
    if (!oldId.isNull() && id != oldId.toLongLong())
        changes.prepend(QStringLiteral("Id: %1 → %2\n").arg(oldId.toLongLong()).arg(id));
    BillHistory::write(db, id, BillHistory::Kind::Restored, user, changes.trimmed());
    tx.commit();
    return id;
}

} // namespace DeletedBills
