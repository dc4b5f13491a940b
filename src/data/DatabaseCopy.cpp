#include "DatabaseCopy.h"

#include "Database.h"
#include "ValueText.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlRecord>
#include <cerrno>
#include <sys/stat.h>

namespace DatabaseCopy {

namespace {

constexpr int batchRows = 1000;

/// One text form of a value, the same on every engine.
QByteArray canonical(const ColumnInfo& column, const QVariant& value)
{
    if (value.isNull())
        return QByteArrayLiteral("\x01");
    switch (column.type) {
    case ColumnType::Long:
    case ColumnType::Double:
        return ValueText::numberText(value.toDouble()).toUtf8();
    case ColumnType::Date:
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toUtf8();
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(Qt::ISODate).toUtf8();
        return value.toString().toUtf8();
    case ColumnType::Boolean:
        return value.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case ColumnType::Text:
        break;
    }
    return value.toString().toUtf8();
}

/// The position in layout of each column of a select's record.
QList<int> columnMap(const QSqlRecord& record, const ColumnList& layout)
{
    QList<int> map;
    for (int i = 0; i < record.count(); ++i)
        map << columnIndex(layout, record.fieldName(i));
    return map;
}

/// Reads every row of table in stored order, each value as its column's
/// kind, and hands them on in batches.
void readRows(Database& db, const QString& table, const ColumnList& layout,
              const std::function<void(const QList<RowValues>&)>& take)
{
    QSqlQuery q = db.exec(QStringLiteral("select * from ") + table);
    const QList<int> map = columnMap(q.record(), layout);
    for (int k = 0; k < layout.size(); ++k)
        if (!map.contains(k))
            throw DbError(DbError::CommandFailed,
                          QStringLiteral("The column %1 was not read.").arg(layout[k].name));
    const SqlDialect& dialect = db.dialect();
    QList<RowValues> batch;
    while (q.next()) {
        RowValues row(layout.size());
        for (int i = 0; i < map.size(); ++i)
            if (map[i] >= 0)
                row[map[i]] = dialect.fromStorage(layout[map[i]].type, q.value(i));
        batch << std::move(row);
        if (batch.size() >= batchRows) {
            take(batch);
            batch.clear();
        }
    }
    db.checkRead(q);
    q.finish();
    if (!batch.isEmpty())
        take(batch);
}

/// A lost connection is told as the database tells it, up to the reason
/// in parentheses; the rest of its words are about a change in progress,
/// where a copy is one transaction that never committed.
QString lostText(const QString& description, const QString& outcome)
{
    const qsizetype reasonEnd = description.lastIndexOf(u')');
    return (reasonEnd < 0 ? description : description.left(reasonEnd + 1) + u'.') + u' ' + outcome;
}

DbError inTable(const QString& table, const DbError& e)
{
    if (e.number() == DbError::ConnectionLost)
        return DbError(e.number(),
                       QStringLiteral("Table %1: %2")
                           .arg(table, lostText(e.description(),
                                                QStringLiteral("Nothing was copied; copy again "
                                                               "once the database answers."))));
    return DbError(e.number(), QStringLiteral("Table %1: %2").arg(table, e.description()));
}

} // namespace

qint64 Report::rows() const
{
    qint64 n = 0;
    for (const Table& t : tables)
        n += t.rows;
    return n;
}

QByteArray checksum(Database& db, const QString& table, qint64* rows)
{
    const ColumnList layout = db.tableColumns(table);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    qint64 n = 0;
    readRows(db, table, layout, [&](const QList<RowValues>& batch) {
        for (const RowValues& row : batch) {
            for (int k = 0; k < layout.size(); ++k) {
                hash.addData(canonical(layout[k], row[k]));
                hash.addData(QByteArrayView("\x1f", 1));
            }
            hash.addData(QByteArrayView("\x1e", 1));
        }
        n += batch.size();
    });
    if (rows)
        *rows = n;
    return hash.result().toHex();
}

bool narrowPermissions(const Database::Location& from, const QString& file, QString* error)
{
    struct stat made;
    const QByteArray target = QFile::encodeName(file);
    if (::stat(target.constData(), &made) != 0) {
        *error = qt_error_string(errno);
        return false;
    }
    mode_t allowed = S_IRUSR | S_IWUSR;
    struct stat source;
    if (!from.isServer() && ::stat(QFile::encodeName(from.database).constData(), &source) == 0)
        allowed = source.st_mode & 0666;
    const mode_t mode = made.st_mode & 0777 & allowed;
    if (mode != (made.st_mode & 0777) && ::chmod(target.constData(), mode) != 0) {
        *error = qt_error_string(errno);
        return false;
    }
    return true;
}

Report copy(Database& from, Database& to, const Progress& progress)
{
    if (!to.tables().isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The database '%1' holds tables already; nothing was copied.")
                          .arg(to.location()));
    const QStringList tables = from.tables();
    if (tables.isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The database '%1' holds no tables; nothing was copied.")
                          .arg(from.location()));
    Report report;
    // Every table as it was at one moment, even while clerks go on saving.
    Database::Transaction snapshot(from, Database::Transaction::Read);
    Database::Transaction tx(to);
    for (const QString& table : tables) {
        try {
            const ColumnList layout = from.tableColumns(table);
            to.createTable(table, layout);
            for (const SqlDialect::Index& ix : from.indexes(table))
                to.exec(QStringLiteral("create %1index %2 on %3 (%4)")
                            .arg(ix.unique ? QStringLiteral("unique ") : QString(), ix.name, table,
                                 ix.columns.join(QStringLiteral(", "))));
            const qint64 total =
                from.scalar(QStringLiteral("select count(*) from ") + table).toLongLong();
            QStringList names;
            for (const ColumnInfo& c : layout)
                names << c.name;
            qint64 done = 0;
            if (progress)
                progress(table, 0, total);
            readRows(from, table, layout, [&](const QList<RowValues>& batch) {
                to.insertRows(table, names, batch);
                done += batch.size();
                if (progress)
                    progress(table, done, total);
            });
        } catch (const DbError& e) {
            throw inTable(table, e);
        }
    }
    // Both sides read back the same way: what the copy holds is what the
    // source held, row for row.
    for (const QString& table : tables) {
        Table t;
        t.name = table;
        qint64 copied = 0;
        try {
            t.checksum = checksum(from, table, &t.rows);
            const QByteArray other = checksum(to, table, &copied);
            if (copied != t.rows)
                throw DbError(DbError::CommandFailed,
                              QStringLiteral("the copy holds %1 rows, the source %2; nothing was "
                                             "copied.")
                                  .arg(copied)
                                  .arg(t.rows));
            if (other != t.checksum)
                throw DbError(DbError::CommandFailed,
                              QStringLiteral("the copy's rows differ from the source's; nothing "
                                             "was copied."));
        } catch (const DbError& e) {
            throw inTable(table, e);
        }
        report.tables << t;
    }
    try {
        tx.commit();
    } catch (const DbError& e) {
        if (e.number() != DbError::ConnectionLost)
            throw;
        // The commit may have reached the server before the answer was lost.
        throw DbError(e.number(),
                      lostText(e.description(),
                               QStringLiteral("The copy was being committed: '%1' holds either "
                                              "the whole copy or nothing; look before copying "
                                              "again.")
                                   .arg(to.location())));
    }
    return report;
}

} // namespace DatabaseCopy
