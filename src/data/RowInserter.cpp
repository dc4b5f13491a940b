#include "RowInserter.h"

#include "Database.h"
#include "SqliteHandle.h"
#include "ValueText.h"

#include <QSqlError>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace {

/// Rows gathered and stored by Database::insertRows, a batch at a time.
class BatchInserter final : public RowInserter
{
public:
    BatchInserter(Database& db, const QString& table, const QStringList& columns)
        : db_(db), table_(table), columns_(columns)
    {
        cells_.resize(size_t(columns.size()));
    }

    void insert() override
    {
        RowValues row;
        row.reserve(qsizetype(cells_.size()));
        for (const Cell& c : cells_)
            row << c.toVariant();
        batch_ << std::move(row);
        if (batch_.size() >= kBatchRows)
            flush();
    }

    void finish() override { flush(); }

private:
    static constexpr qsizetype kBatchRows = 2000;

    void flush()
    {
        if (batch_.isEmpty())
            return;
        qsizetype failed = -1;
        try {
            db_.insertRows(table_, columns_, batch_, &failed);
        } catch (const DbError&) {
            failedRow_ = failed < 0 ? -1 : first_ + failed;
            batch_.clear();
            throw;
        }
        first_ += batch_.size();
        batch_.clear();
    }

    Database& db_;
    QString table_;
    QStringList columns_;
    QList<RowValues> batch_;
    qsizetype first_ = 0; ///< the number of the batch's first row
};

/// One prepared statement on SQLite's own handle.
class SqliteInserter final : public RowInserter
{
public:
    SqliteInserter(Database& db, sqlite3* handle, const QString& table, const ColumnList& columns)
        : db_(db), handle_(handle), columns_(columns)
    {
        QStringList names;
        QStringList marks;
        for (const ColumnInfo& c : columns) {
            names << c.name;
            marks << QStringLiteral("?");
        }
        sql_ = QStringLiteral("insert into %1 (%2) values (%3)")
                   .arg(table, names.join(u','), marks.join(u','));
        const QByteArray text = sql_.toUtf8();
        const int rc =
            sqlite3_prepare_v2(handle_, text.constData(), int(text.size()), &stmt_, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            fail(rc);
        }
        cells_.resize(size_t(columns.size()));
    }

    ~SqliteInserter() override { sqlite3_finalize(stmt_); }

    void insert() override
    {
        failedRow_ = row_;
        for (int k = 0; k < int(cells_.size()); ++k) {
            const int rc = bind(k);
            if (rc != SQLITE_OK) {
                sqlite3_reset(stmt_);
                fail(rc);
            }
        }
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_DONE) {
            // A full disk, a read-only file or another writer is no fault of the row.
            if (!SqliteHandle::isRowsFault(rc))
                failedRow_ = -1;
            sqlite3_reset(stmt_);
            fail(rc);
        }
        sqlite3_reset(stmt_);
        failedRow_ = -1;
        ++row_;
    }

    void finish() override {}

private:
    [[noreturn]] void fail(int rc)
    {
        db_.throwError(QSqlError(QStringLiteral("Unable to execute statement"),
                                 QString::fromUtf8(sqlite3_errmsg(handle_)),
                                 QSqlError::StatementError, QString::number(rc)),
                       sql_);
    }

    int bindText(int position, QByteArrayView text)
    {
        return sqlite3_bind_text64(stmt_, position, text.data(), sqlite3_uint64(text.size()),
                                   SQLITE_STATIC, SQLITE_UTF8);
    }

    /// The common values bound as they are; the rest checked and converted
    /// by Database::checkValue and the dialect, as insertRows does.
    int bind(int k)
    {
        const Cell& c = cells_[size_t(k)];
        const ColumnInfo& column = columns_[k];
        const int position = k + 1;
        if (c.isNull())
            return sqlite3_bind_null(stmt_, position);
        switch (column.type) {
        case ColumnType::Text:
            if (c.kind == Cell::Kind::Text && (column.size <= 0 || c.text.size() <= column.size ||
                                               ValueText::utf16Length(c.text) <= column.size))
                return bindText(position, c.text);
            break;
        case ColumnType::Long:
            if (c.kind == Cell::Kind::Integer && c.integer >= -2147483648LL &&
                c.integer <= 2147483647LL)
                return sqlite3_bind_int64(stmt_, position, c.integer);
            if (c.kind == Cell::Kind::Real && std::isfinite(c.real)) {
                const double r = std::nearbyint(c.real);
                if (r >= -2147483648.0 && r <= 2147483647.0)
                    return sqlite3_bind_int64(stmt_, position, qint64(r));
            }
            break;
        case ColumnType::Double:
            if (c.kind == Cell::Kind::Real)
                return sqlite3_bind_double(stmt_, position, c.real);
            if (c.kind == Cell::Kind::Integer)
                return sqlite3_bind_double(stmt_, position, double(c.integer));
            break;
        case ColumnType::Date:
            if (c.kind == Cell::Kind::Date && c.date.isValid() && c.date.year >= 1000 &&
                c.date.year <= 9999) {
                // ISO text, as SqliteDialect::toStorage writes it.
                char text[20];
                const ValueText::DateTime& d = c.date;
                const int n =
                    d.hasTime() ? std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d",
                                                d.year, d.month, d.day, d.hour, d.minute, d.second)
                                : std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year,
                                                d.month, d.day);
                return sqlite3_bind_text(stmt_, position, text, n, SQLITE_TRANSIENT);
            }
            break;
        case ColumnType::Boolean:
            if (c.kind == Cell::Kind::Boolean || c.kind == Cell::Kind::Integer)
                return sqlite3_bind_int(stmt_, position, c.integer != 0 ? 1 : 0);
            break;
        }
        const QVariant checked = Database::checkValue(column, c.toVariant());
        const SqlDialect& dialect = db_.dialect();
        return SqliteHandle::bind(stmt_, position,
                                  dialect.bindable(dialect.toStorage(column.type, checked)));
    }

    Database& db_;
    sqlite3* handle_;
    sqlite3_stmt* stmt_ = nullptr;
    ColumnList columns_;
    QString sql_;
    qsizetype row_ = 0;
};

} // namespace

std::unique_ptr<RowInserter> RowInserter::open(Database& db, const QString& table,
                                               const QStringList& columns)
{
    const ColumnList target = db.tableColumns(table, columns);
    sqlite3* handle = SqliteHandle::of(db);
    // A table's own numbers (an auto-number left out, the next number kept
    // above those given) are insertRows' business.
    const bool autoNumber = std::any_of(target.cbegin(), target.cend(),
                                        [](const ColumnInfo& c) { return c.autoNumber; });
    if (handle && !autoNumber)
        return std::make_unique<SqliteInserter>(db, handle, table, target);
    return std::make_unique<BatchInserter>(db, table, columns);
}

RowInserter::~RowInserter() = default;
