#include "RowCursor.h"

#include "Database.h"
#include "RowTable.h"
#include "SqliteHandle.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

namespace {

/// A select on the engine's own statement: no QVariant, no QString per value.
class SqliteCursor final : public RowCursor
{
public:
    SqliteCursor(Database& db, sqlite3* handle, const QString& sql, const QVariantList& params)
        : db_(db), handle_(handle), sql_(sql)
    {
        // The columns are typed from the layouts of the tables the select
        // names, as Database::exec learns them before a select.
        db.learnLayouts(sql);
        const QByteArray text = sql.toUtf8();
        int rc = sqlite3_prepare_v2(handle_, text.constData(), int(text.size()), &stmt_, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
        for (int i = 0; i < params.size(); ++i) {
            rc = SqliteHandle::bind(stmt_, i + 1, db.dialect().bindable(params[i]));
            if (rc != SQLITE_OK)
                fail(rc);
        }
        const int n = sqlite3_column_count(stmt_);
        QStringList names;
        QList<QMetaType> types;
        bool computed = false;
        for (int i = 0; i < n; ++i) {
            names << QString::fromUtf8(sqlite3_column_name(stmt_, i));
            const char* declared = sqlite3_column_decltype(stmt_, i);
            types << (declared ? SqliteHandle::declaredType(declared) : QMetaType());
            computed = computed || !declared;
        }
        if (computed) {
            // A computed column has no declared type: Qt's driver types it
            // by the value of the first row, which is read here for it.
            pending_ = step();
            for (int i = 0; i < n && pending_; ++i)
                if (!types[i].isValid())
                    types[i] = SqliteHandle::storedType(sqlite3_column_type(stmt_, i));
        }
        QSqlRecord record;
        for (int i = 0; i < n; ++i)
            record.append(QSqlField(names[i], types[i]));
        columns_ = db.resultColumns(record, sql);
        cells_.resize(size_t(n));
        storage_.resize(size_t(n));
    }

    ~SqliteCursor() override { sqlite3_finalize(stmt_); }

    bool next() override
    {
        if (pending_)
            pending_ = false;
        else if (!step())
            return false;
        for (int i = 0; i < int(cells_.size()); ++i)
            read(i);
        return true;
    }

    QVariant rawValue(int column) const override { return raw(column); }

private:
    /// False at the end.
    bool step()
    {
        if (!stmt_)
            return false;
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_DONE) {
            // At once, so that the transaction around it can end.
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            return false;
        }
        if (rc != SQLITE_ROW)
            fail(rc);
        return true;
    }

    [[noreturn]] void fail(int rc)
    {
        const QSqlError error(QStringLiteral("Unable to fetch row"),
                              QString::fromUtf8(sqlite3_errmsg(handle_)), QSqlError::StatementError,
                              QString::number(rc));
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        db_.throwError(error, sql_);
    }

    QByteArrayView bytes(int i) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_blob(stmt_, i));
        return QByteArrayView(p, sqlite3_column_bytes(stmt_, i));
    }

    /// The raw value as Qt's driver gives it: the stored form, and what the
    /// few stored forms the fast paths leave to the dialect start from.
    QVariant raw(int i) const
    {
        // Empty text stays empty, not null: bound again, it must find the
        // row it came from.
        const auto nonNull = [](QByteArrayView b) { return b.isNull() ? QByteArrayView("") : b; };
        switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(stmt_, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt_, i);
        case SQLITE_BLOB:
            return nonNull(bytes(i)).toByteArray();
        case SQLITE_TEXT:
            return QString::fromUtf8(nonNull(bytes(i)));
        default:
            return QVariant();
        }
    }

    void viaDialect(int i)
    {
        cells_[size_t(i)].setVariant(db_.dialect().fromStorage(columns_[i].type, raw(i)),
                                     storage_[size_t(i)]);
    }

    void read(int i)
    {
        Cell& c = cells_[size_t(i)];
        const int type = sqlite3_column_type(stmt_, i);
        if (type == SQLITE_NULL) {
            c.setNull();
            return;
        }
        if (columns_[i].baseTable.isEmpty()) {
            switch (type) {
            case SQLITE_INTEGER:
                c.setInteger(sqlite3_column_int64(stmt_, i));
                break;
            case SQLITE_FLOAT:
                c.setReal(sqlite3_column_double(stmt_, i));
                break;
            default:
                c.setText(bytes(i));
                break;
            }
            return;
        }
        // A column of a table: as SqliteDialect::fromStorage types it.
        switch (columns_[i].type) {
        case ColumnType::Text:
            if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
                c.setText(bytes(i));
            } else {
                QByteArray& s = storage_[size_t(i)];
                s.clear();
                if (type == SQLITE_INTEGER)
                    ValueText::appendNumber(s, qint64(sqlite3_column_int64(stmt_, i)));
                else
                    ValueText::appendNumber(s, sqlite3_column_double(stmt_, i));
                c.setText(s);
            }
            return;
        case ColumnType::Long:
            if (type == SQLITE_INTEGER)
                c.setInteger(qint32(sqlite3_column_int64(stmt_, i)));
            else if (type == SQLITE_TEXT)
                c.setInteger(qint32(ValueText::leadingNumber(bytes(i))));
            else
                viaDialect(i);
            return;
        case ColumnType::Double:
            if (type == SQLITE_FLOAT || type == SQLITE_INTEGER)
                c.setReal(sqlite3_column_double(stmt_, i));
            else if (type == SQLITE_TEXT)
                c.setReal(ValueText::leadingNumber(bytes(i)));
            else
                viaDialect(i);
            return;
        case ColumnType::Date:
            if (type == SQLITE_TEXT) {
                const QByteArrayView text = bytes(i);
                const ValueText::DateTime d = ValueText::parseDateTime(text);
                if (d.isValid())
                    c.setDate(d);
                else
                    c.setText(text); // no date: as stored
            } else if (type == SQLITE_INTEGER) {
                c.setInteger(sqlite3_column_int64(stmt_, i));
            } else if (type == SQLITE_FLOAT) {
                c.setReal(sqlite3_column_double(stmt_, i));
            } else {
                viaDialect(i);
            }
            return;
        case ColumnType::Boolean:
            if (type == SQLITE_INTEGER)
                c.setBoolean(sqlite3_column_int64(stmt_, i) != 0);
            else if (type == SQLITE_FLOAT)
                c.setBoolean(sqlite3_column_double(stmt_, i) != 0);
            else
                viaDialect(i);
            return;
        }
    }

    Database& db_;
    sqlite3* handle_;
    sqlite3_stmt* stmt_ = nullptr;
    QString sql_;
    bool pending_ = false;            ///< the first row was read already
    std::vector<QByteArray> storage_; ///< text made of numbers, per column
};

/// A select through Qt SQL, for the engines without a handle of their own here.
class QtCursor final : public RowCursor
{
public:
    QtCursor(Database& db, const QString& sql, const QVariantList& params)
        : db_(db), query_(db.exec(sql, params))
    {
        columns_ = db.resultColumns(query_.record(), sql);
        cells_.resize(size_t(columns_.size()));
        storage_.resize(size_t(columns_.size()));
        values_.resize(size_t(columns_.size()));
        raw_.resize(size_t(columns_.size()));
    }
    ~QtCursor() override { query_.finish(); }

    bool next() override
    {
        if (!query_.next()) {
            db_.checkRead(query_);
            query_.finish();
            return false;
        }
        for (int i = 0; i < int(cells_.size()); ++i) {
            const QVariant& v = raw_[size_t(i)] = query_.value(i);
            const ColumnInfo& c = columns_[i];
            QVariant& typed = values_[size_t(i)];
            typed = c.baseTable.isEmpty() ? v : db_.dialect().fromStorage(c.type, v);
            cells_[size_t(i)].setVariant(typed, storage_[size_t(i)]);
        }
        return true;
    }

    QVariant value(int column) const override { return values_[size_t(column)]; }
    QVariant rawValue(int column) const override { return raw_[size_t(column)]; }

private:
    Database& db_;
    QSqlQuery query_;
    std::vector<QByteArray> storage_;
    std::vector<QVariant> values_;
    std::vector<QVariant> raw_;
};

class TableCursor final : public RowCursor
{
public:
    explicit TableCursor(const RowTable& table) : table_(table)
    {
        columns_ = table.columns;
        cells_.resize(size_t(columns_.size()));
        storage_.resize(size_t(columns_.size()));
    }

    bool next() override
    {
        if (row_ >= table_.rows.size())
            return false;
        const RowValues& values = table_.rows[row_++];
        for (qsizetype i = 0; i < columns_.size(); ++i) {
            if (i < values.size())
                cells_[size_t(i)].setVariant(values[i], storage_[size_t(i)]);
            else
                cells_[size_t(i)].setNull();
        }
        return true;
    }

    QVariant value(int column) const override { return table_.rows[row_ - 1].value(column); }

private:
    const RowTable& table_;
    qsizetype row_ = 0;
    std::vector<QByteArray> storage_;
};

} // namespace

std::unique_ptr<RowCursor> RowCursor::open(Database& db, const QString& sql,
                                           const QVariantList& params)
{
    if (sqlite3* handle = SqliteHandle::of(db))
        return std::make_unique<SqliteCursor>(db, handle, sql, params);
    return std::make_unique<QtCursor>(db, sql, params);
}

std::unique_ptr<RowCursor> RowCursor::over(const RowTable& table)
{
    return std::make_unique<TableCursor>(table);
}

RowCursor::~RowCursor() = default;

int RowCursor::column(QStringView name) const
{
    return columnIndex(columns_, name);
}

QVariant RowCursor::value(int column) const
{
    const Cell& c = cells_[size_t(column)];
    const ColumnInfo& info = columns_[column];
    // A Long column of a table holds 32-bit values, as the dialects give them.
    if (c.kind == Cell::Kind::Integer && !info.baseTable.isEmpty() && info.type == ColumnType::Long)
        return QVariant(qint32(c.integer));
    return c.toVariant();
}

QVariant RowCursor::rawValue(int column) const
{
    return cells_[size_t(column)].toVariant();
}

RowValues RowCursor::values() const
{
    RowValues row;
    row.reserve(columns_.size());
    for (int i = 0; i < columns_.size(); ++i)
        row << value(i);
    return row;
}
