#include "RowSet.h"

#include "Database.h"
#include "RowCursor.h"

#include <algorithm>

namespace {

const QString noCurrentRow = QStringLiteral(
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.");

/// Rows a keyed set keeps read: the screen's current row and the ones the
/// clerk moved through a moment ago.
constexpr int keyedCacheSize = 64;

} // namespace

RowSet::RowSet(QObject* parent) : QObject(parent) {}

RowSet::~RowSet() = default;

void RowSet::open(std::shared_ptr<Database> db, const QString& sql, const QVariantList& params,
                  const QString& sourceTable)
{
    close();
    db_ = std::move(db);
    sql_ = sql;
    params_ = params;
    source_ = sourceTable;
    if (source_.isEmpty()) {
        const QStringList tables = Database::tablesOf(sql);
        if (!tables.isEmpty())
            source_ = tables.first();
    }
    try {
        load();
    } catch (...) {
        db_.reset();
        throw;
    }
    open_ = true;
    moved();
}

void RowSet::openTable(std::shared_ptr<Database> db, const QString& table)
{
    open(std::move(db), QStringLiteral("select * from ") + table, {}, table);
}

void RowSet::openKeyed(std::shared_ptr<Database> db, const QString& table, const QString& keyColumn)
{
    close();
    db_ = std::move(db);
    source_ = table;
    try {
        columns_ = db_->tableColumns(table);
        keyCol_ = columnIndex(keyColumn);
        if (keyCol_ < 0)
            throw DbError(
                DbError::CommandFailed,
                QStringLiteral("Item cannot be found: there is no field '%1'.").arg(keyColumn));
        keyed_ = true;
        sql_ = QStringLiteral("select * from %1 where %2 = ?").arg(table, columns_[keyCol_].name);
        loadKeys();
    } catch (...) {
        close();
        throw;
    }
    open_ = true;
    moved();
}

void RowSet::close()
{
    open_ = false;
    rows_.clear();
    view_.clear();
    columns_.clear();
    pos_ = 0;
    edit_ = EditMode::None;
    currentDeleted_ = false;
    // What the next open() shows is its own query's rows, in its own order.
    filter_ = Criteria();
    sort_.clear();
    deletedPending_.clear();
    keyed_ = false;
    keyCol_ = -1;
    cached_.clear();
    db_.reset();
}

void RowSet::loadKeys()
{
    const QString key = columns_[keyCol_].name;
    QVariantList params;
    const QString where =
        filter_.isEmpty() ? QString() : filter_.toSql(columns_, db_->dialect(), params);
    QSqlQuery q = db_->exec(
        QStringLiteral("select %1 from %2%3 order by %1")
            .arg(key, source_, where.isEmpty() ? QString() : QStringLiteral(" where ") + where),
        params);
    rows_.clear();
    cached_.clear();
    while (q.next()) {
        Row r;
        r.key = q.value(0).toLongLong();
        r.loaded = false;
        r.bookmark = nextBookmark_++;
        rows_ << std::move(r);
    }
    db_->checkRead(q);
    q.finish();
    edit_ = EditMode::None;
    currentDeleted_ = false;
    rebuildView(false);
}

void RowSet::ensureLoaded(int rowIndex) const
{
    auto& rows = const_cast<QList<Row>&>(rows_);
    Row& r = rows[rowIndex];
    if (r.loaded)
        return;
    const RowTable t = db_->select(sql_, {r.key});
    const int n = int(columns_.size());
    r.values.clear();
    r.original.clear();
    const SqlDialect& dialect = db_->dialect();
    for (int i = 0; i < n; ++i) {
        // A row deleted elsewhere since the keys were read shows empty.
        const QVariant v = t.rows.isEmpty() ? QVariant() : t.rows.first().value(i);
        r.values << v;
        r.original << dialect.toStorage(columns_[i].type, v);
    }
    if (t.rows.isEmpty())
        r.values[keyCol_] = r.key;
    r.loaded = true;
    cached_ << rowIndex;
    // The oldest rows read give their values back; a row with a change does not.
    for (int k = 0; cached_.size() > keyedCacheSize && k < cached_.size();) {
        Row& old = rows[cached_[k]];
        const bool isCurrent = pos_ >= 0 && pos_ < view_.size() && view_[pos_] == cached_[k];
        if (isCurrent || old.state != Row::Unchanged) {
            ++k;
            continue;
        }
        old.values = RowValues();
        old.original = RowValues();
        old.backup = RowValues();
        old.loaded = false;
        cached_.removeAt(k);
    }
}

void RowSet::requireUnkeyed(const char* what) const
{
    if (keyed_)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("A keyed row set offers no %1.").arg(QLatin1String(what)));
}

void RowSet::load()
{
    const auto cursor = RowCursor::open(*db_, sql_, params_);
    columns_ = cursor->columns();
    for (ColumnInfo& c : columns_) {
        // Only the source table's columns are written back.
        if (c.baseTable.compare(source_, Qt::CaseInsensitive) != 0) {
            c.baseTable.clear();
            c.baseColumn.clear();
        }
    }
    // The cursor types the columns of every table; the set types only those
    // it writes, and holds the others as the engine gives them.
    const int n = int(columns_.size());
    rows_.clear();
    while (cursor->next()) {
        Row r;
        r.values.reserve(n);
        r.original.reserve(n);
        for (int i = 0; i < n; ++i) {
            QVariant raw = cursor->rawValue(i);
            // Stored text is its own value: one string for both.
            const ColumnInfo& c = columns_[i];
            const bool asStored = c.baseTable.isEmpty() || (c.type == ColumnType::Text &&
                                                            raw.typeId() == QMetaType::QString);
            r.values << (asStored ? raw : cursor->value(i));
            r.original << std::move(raw);
        }
        r.bookmark = nextBookmark_++;
        rows_ << std::move(r);
    }
    edit_ = EditMode::None;
    currentDeleted_ = false;
    rebuildView(false);
}

void RowSet::rebuildView(bool keepCurrent)
{
    int currentRow = -1;
    if (keepCurrent && pos_ >= 0 && pos_ < view_.size())
        currentRow = view_[pos_];
    view_.clear();
    for (int i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        if (r.state == Row::Deleted)
            continue;
        if (!keyed_ && !filter_.isEmpty() && !filter_.matches(r.values, columns_))
            continue;
        view_ << i;
    }
    if (!sort_.isEmpty()) {
        std::stable_sort(view_.begin(), view_.end(), [this](int a, int b) {
            for (const auto& [col, asc] : sort_) {
                if (col >= rows_[a].values.size() || col >= rows_[b].values.size())
                    continue;
                const int c = Criteria::compareValues(rows_[a].values[col], rows_[b].values[col]);
                if (c != 0)
                    return asc ? c < 0 : c > 0;
            }
            return false;
        });
    }
    pos_ = 0;
    if (currentRow >= 0) {
        const int at = int(view_.indexOf(currentRow));
        if (at >= 0)
            pos_ = at;
    }
}

int RowSet::absolutePosition() const
{
    if (view_.isEmpty())
        return PosUnknown;
    if (pos_ < 0)
        return PosBof;
    if (pos_ >= view_.size())
        return PosEof;
    return pos_ + 1;
}

void RowSet::setAbsolutePosition(int position)
{
    if (position < 1 || position > view_.size())
        throw DbError(DbError::NoCurrentRow,
                      QStringLiteral("There is no row at position %1.").arg(position));
    finishPendingEdit();
    pos_ = position - 1;
    moved();
}

void RowSet::moved()
{
    currentDeleted_ = false;
    emit moveComplete();
}

void RowSet::finishPendingEdit()
{
    // Moving off a changed row keeps the change, as the classic row sets did.
    if (edit_ != EditMode::None)
        update();
}

void RowSet::moveFirst()
{
    finishPendingEdit();
    pos_ = 0;
    moved();
}

void RowSet::moveLast()
{
    finishPendingEdit();
    pos_ = view_.isEmpty() ? 0 : int(view_.size()) - 1;
    moved();
}

void RowSet::moveNext()
{
    finishPendingEdit();
    // After a delete the row that followed already stands at the position.
    if (!currentDeleted_ && pos_ < view_.size())
        ++pos_;
    moved();
}

void RowSet::movePrevious()
{
    finishPendingEdit();
    if (pos_ >= 0)
        --pos_;
    if (view_.isEmpty())
        pos_ = 0;
    moved();
}

void RowSet::requireCurrent() const
{
    if (!open_ || view_.isEmpty() || pos_ < 0 || pos_ >= view_.size() || currentDeleted_)
        throw DbError(DbError::NoCurrentRow, noCurrentRow);
}

RowSet::Row& RowSet::current()
{
    requireCurrent();
    ensureLoaded(view_[pos_]);
    return rows_[view_[pos_]];
}

const RowSet::Row& RowSet::current() const
{
    requireCurrent();
    ensureLoaded(view_[pos_]);
    return rows_[view_[pos_]];
}

int RowSet::bookmark() const
{
    return current().bookmark;
}

void RowSet::setBookmark(int bookmark)
{
    for (int i = 0; i < view_.size(); ++i) {
        if (rows_[view_[i]].bookmark == bookmark) {
            finishPendingEdit();
            pos_ = i;
            moved();
            return;
        }
    }
    throw DbError(DbError::NoCurrentRow,
                  QStringLiteral("The row of that bookmark is no longer in the set."));
}

int RowSet::columnIndex(const QString& name) const
{
    return ::columnIndex(columns_, name);
}

QVariant RowSet::value(int column) const
{
    const Row& r = current();
    if (column < 0 || column >= r.values.size())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("There is no field number %1.").arg(column));
    return r.values[column];
}

QVariant RowSet::value(const QString& column) const
{
    const int i = columnIndex(column);
    if (i < 0)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Item cannot be found: there is no field '%1'.").arg(column));
    return value(i);
}

void RowSet::setValue(int column, const QVariant& value)
{
    Row& r = current();
    if (column < 0 || column >= r.values.size())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("There is no field number %1.").arg(column));
    const QVariant checked = Database::checkValue(columns_[column], value);
    if (edit_ == EditMode::None)
        edit();
    r.values[column] = checked;
}

void RowSet::setValue(const QString& column, const QVariant& value)
{
    const int i = columnIndex(column);
    if (i < 0)
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("Item cannot be found: there is no field '%1'.").arg(column));
    setValue(i, value);
}

void RowSet::addNew()
{
    if (!open_)
        throw DbError(DbError::NoCurrentRow, QStringLiteral("The row set is not open."));
    finishPendingEdit();
    posBeforeAdd_ = pos_;
    Row r;
    for (int i = 0; i < columns_.size(); ++i) {
        r.values << QVariant();
        r.original << QVariant();
    }
    r.bookmark = nextBookmark_++;
    r.state = Row::New;
    rows_ << r;
    view_ << int(rows_.size()) - 1;
    pos_ = int(view_.size()) - 1;
    currentDeleted_ = false;
    edit_ = EditMode::Adding;
}

void RowSet::edit()
{
    Row& r = current();
    if (edit_ != EditMode::None)
        return;
    r.backup = r.values;
    edit_ = EditMode::Editing;
}

void RowSet::update()
{
    if (edit_ == EditMode::None)
        return;
    Row& r = current();
    emit willChangeRecord();
    if (batch_) {
        if (r.state == Row::Unchanged)
            r.state = Row::Modified;
        edit_ = EditMode::None;
        return;
    }
    writeCurrent(); // throws: the edit stays open so the values can be put right
    written();
}

void RowSet::writeCurrent()
{
    if (edit_ == EditMode::None)
        return;
    Row& r = current();
    insertedId_ = QVariant();
    writeRow(r);
}

void RowSet::written()
{
    if (edit_ == EditMode::None)
        return;
    settle(current());
    if (keyed_) {
        // Shown again as the table keeps it (a date typed short comes back in full).
        Row& r = current();
        r.key = r.values[keyCol_].toLongLong();
        r.loaded = false;
        cached_.removeAll(view_[pos_]);
    }
    edit_ = EditMode::None;
}

void RowSet::settle(Row& r)
{
    const SqlDialect& dialect = db_->dialect();
    const int key = keyColumn();
    if (key >= 0 && r.values[key].isNull() && !insertedId_.isNull())
        r.values[key] = dialect.fromStorage(ColumnType::Long, insertedId_);
    insertedId_ = QVariant();
    for (int i = 0; i < columns_.size(); ++i)
        r.original[i] = columns_[i].baseTable.isEmpty()
                            ? r.values[i]
                            : dialect.toStorage(columns_[i].type, r.values[i]);
    r.state = Row::Unchanged;
}

void RowSet::cancelUpdate()
{
    if (edit_ == EditMode::Adding) {
        // The new row is always the last one stored and the last one shown.
        view_.removeLast();
        rows_.removeLast();
        pos_ = std::min(posBeforeAdd_, int(view_.size()));
    } else if (edit_ == EditMode::Editing) {
        Row& r = rows_[view_[pos_]];
        r.values = r.backup;
    }
    edit_ = EditMode::None;
}

QList<int> RowSet::sourceColumns() const
{
    QList<int> out;
    for (int i = 0; i < columns_.size(); ++i)
        if (!columns_[i].baseTable.isEmpty())
            out << i;
    return out;
}

int RowSet::keyColumn() const
{
    if (keyed_)
        return keyCol_;
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].autoNumber && !columns_[i].baseTable.isEmpty())
            return i;
    return -1;
}

QString RowSet::whereFor(const Row& row, QVariantList& params) const
{
    const int key = keyColumn();
    if (key >= 0 && !row.original[key].isNull()) {
        params << row.original[key];
        return columns_[key].baseColumn + QStringLiteral(" = ?");
    }
    QStringList terms;
    for (int i : sourceColumns()) {
        terms << db_->dialect().nullSafeEquals(columns_[i].baseColumn);
        params << row.original[i];
    }
    return db_->dialect().singleRow(source_, terms.join(QStringLiteral(" and ")));
}

void RowSet::writeRow(Row& row)
{
    if (source_.isEmpty())
        throw DbError(DbError::CommandFailed,
                      QStringLiteral("The rows of this query cannot be changed."));
    const SqlDialect& dialect = db_->dialect();
    const QList<int> cols = sourceColumns();
    if (row.state == Row::New) {
        QStringList names, marks;
        QVariantList params;
        for (int i : cols) {
            if (columns_[i].autoNumber && row.values[i].isNull())
                continue;
            names << columns_[i].baseColumn;
            marks << QStringLiteral("?");
            params << dialect.toStorage(columns_[i].type, row.values[i]);
        }
        QSqlQuery q = db_->exec(QStringLiteral("insert into %1 (%2) values (%3)")
                                    .arg(source_, names.join(u','), marks.join(u',')),
                                params);
        insertedId_ = q.lastInsertId();
    } else {
        QStringList sets;
        QVariantList params;
        for (int i : cols) {
            const QVariant stored = dialect.toStorage(columns_[i].type, row.values[i]);
            if (stored == row.original[i] && stored.isNull() == row.original[i].isNull())
                continue;
            sets << columns_[i].baseColumn + QStringLiteral(" = ?");
            params << stored;
        }
        if (!sets.isEmpty()) {
            const QString where = whereFor(row, params);
            QSqlQuery q = db_->exec(
                QStringLiteral("update %1 set %2 where %3").arg(source_, sets.join(u','), where),
                params);
            if (q.numRowsAffected() == 0)
                throw DbError(DbError::RowNotFound,
                              QStringLiteral("Row cannot be located for updating. Some values may "
                                             "have been changed since it was last read."));
        }
    }
}

void RowSet::deleteRow(const Row& row)
{
    QVariantList params;
    const QString where = whereFor(row, params);
    QSqlQuery q = db_->exec(QStringLiteral("delete from %1 where %2").arg(source_, where), params);
    if (q.numRowsAffected() == 0)
        throw DbError(DbError::RowNotFound,
                      QStringLiteral("Row cannot be located for deleting. Some values may have "
                                     "been changed since it was last read."));
}

void RowSet::deleteCurrent()
{
    if (edit_ == EditMode::Adding) {
        cancelUpdate();
        return;
    }
    Row& r = current();
    if (edit_ == EditMode::Editing) {
        r.values = r.backup;
        edit_ = EditMode::None;
    }
    emit willChangeRecord();
    if (batch_) {
        if (r.state != Row::New) // a row never stored has nothing to delete
            deletedPending_ << r;
        r.state = Row::Deleted;
    } else {
        if (r.state != Row::New)
            deleteRow(r);
        r.state = Row::Deleted;
    }
    view_.removeAt(pos_);
    currentDeleted_ = true;
}

void RowSet::requery()
{
    if (!open_)
        throw DbError(DbError::NoCurrentRow, QStringLiteral("The row set is not open."));
    deletedPending_.clear();
    if (keyed_)
        loadKeys();
    else
        load();
    moved();
}

int RowSet::pendingCount() const
{
    int n = int(deletedPending_.size());
    for (const Row& r : rows_)
        n += r.state == Row::New || r.state == Row::Modified;
    return n;
}

void RowSet::updateBatch()
{
    if (edit_ != EditMode::None)
        update();
    for (const Row& r : deletedPending_)
        deleteRow(r);
    deletedPending_.clear();
    QStringList names;
    QList<int> insertCols;
    for (int i : sourceColumns()) {
        if (columns_[i].autoNumber)
            continue; // the table numbers new rows itself
        names << columns_[i].baseColumn;
        insertCols << i;
    }
    QList<RowValues> inserts;
    QList<int> inserted;
    for (int k = 0; k < rows_.size(); ++k) {
        Row& r = rows_[k];
        if (r.state == Row::Modified || (r.state == Row::New && keyColumn() >= 0)) {
            // New rows of a table that numbers them itself are written one by
            // one, so that each learns its number for later changes.
            insertedId_ = QVariant();
            writeRow(r);
            settle(r);
        } else if (r.state == Row::New) {
            RowValues v;
            v.reserve(insertCols.size());
            for (int i : insertCols)
                v << r.values[i];
            inserts << std::move(v);
            inserted << k;
        }
    }
    if (!inserts.isEmpty())
        db_->insertRows(source_, names, inserts);
    const SqlDialect& dialect = db_->dialect();
    for (int k : inserted) {
        Row& r = rows_[k];
        for (int i = 0; i < columns_.size(); ++i)
            r.original[i] = dialect.toStorage(columns_[i].type, r.values[i]);
        r.state = Row::Unchanged;
    }
}

void RowSet::setFilter(const Criteria& criteria)
{
    finishPendingEdit();
    filter_ = criteria;
    if (keyed_) {
        // The database picks the keys; no row's values are read for it.
        deletedPending_.clear();
        loadKeys();
    } else {
        rebuildView(false);
    }
    moved();
}

void RowSet::setSort(const QString& sort)
{
    requireUnkeyed("sort");
    QList<QPair<int, bool>> keys;
    for (const QString& part : sort.split(u',', Qt::SkipEmptyParts)) {
        const QStringList words = part.simplified().split(u' ');
        const int col = columnIndex(words.value(0));
        if (col < 0)
            throw DbError(
                DbError::CommandFailed,
                QStringLiteral("The sort names the unknown field '%1'.").arg(words.value(0)));
        const bool asc =
            words.size() < 2 || words[1].compare(QLatin1String("desc"), Qt::CaseInsensitive) != 0;
        keys << qMakePair(col, asc);
    }
    finishPendingEdit();
    sort_ = keys;
    rebuildView(true);
    moved();
}

bool RowSet::find(const Criteria& criteria, int skip, bool forward)
{
    finishPendingEdit();
    const int n = int(view_.size());
    int i = pos_ + (forward ? skip : -skip);
    if (currentDeleted_ && !forward)
        --i;
    if (keyed_)
        return findKeyed(criteria, i, forward);
    if (forward) {
        for (i = std::max(i, 0); i < n; ++i)
            if (criteria.matches(rows_[view_[i]].values, columns_)) {
                pos_ = i;
                moved();
                return true;
            }
        pos_ = n;
    } else {
        for (i = std::min(i, n - 1); i >= 0; --i)
            if (criteria.matches(rows_[view_[i]].values, columns_)) {
                pos_ = i;
                moved();
                return true;
            }
        pos_ = -1;
    }
    moved();
    return false;
}

bool RowSet::findKeyed(const Criteria& criteria, int from, bool forward)
{
    // The database looks; the set only learns where the found key stands.
    const int n = int(view_.size());
    from = forward ? std::max(from, 0) : std::min(from, n - 1);
    int found = -1;
    // Rows not stored yet have no key the database knows.
    while (from >= 0 && from < n && rows_[view_[from]].state == Row::New)
        from += forward ? 1 : -1;
    if (from >= 0 && from < n) {
        QVariantList params;
        const QString where = criteria.toSql(columns_, db_->dialect(), params);
        const QString key = columns_[keyCol_].name;
        params << rows_[view_[from]].key;
        QSqlQuery q =
            db_->exec(QStringLiteral("select %1 from %2 where (%3) and %1 %4 ? order by %1%5")
                          .arg(key, source_, where.isEmpty() ? QStringLiteral("1=1") : where,
                               forward ? QStringLiteral(">=") : QStringLiteral("<="),
                               forward ? QString() : QStringLiteral(" desc")),
                      params);
        while (found < 0 && q.next()) {
            const qint64 k = q.value(0).toLongLong();
            // Keys stand in ascending order; a key deleted here is skipped.
            const auto at =
                std::lower_bound(view_.cbegin(), view_.cend(), k, [this](int row, qint64 v) {
                    return rows_[row].state != Row::New && rows_[row].key < v;
                });
            if (at != view_.cend() && rows_[*at].key == k && rows_[*at].state != Row::New)
                found = int(at - view_.cbegin());
        }
        db_->checkRead(q);
    }
    if (found >= 0) {
        pos_ = found;
    } else {
        pos_ = forward ? n : -1;
    }
    moved();
    return found >= 0;
}
