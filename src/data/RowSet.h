#pragma once

#include "ColumnInfo.h"
#include "Criteria.h"
#include "DbError.h"

#include <QObject>
#include <QVariantList>
#include <memory>

class Database;

/// A scrollable, updatable set of rows held in memory, read by one select.
/// Changes are written through to the one table the select reads (the
/// source table) when update() runs, or all together by updateBatch() in
/// batch mode. Values are checked against their column when they are set.
///
/// Positions: bof() before the first row, eof() after the last; an empty set
/// is at both. Bookmarks are whole numbers greater than 0 that stay with a
/// row until it is deleted or the set is re-read.
///
/// A keyed set (openKeyed) holds only the keys of its table in key order and
/// reads a row's values by its key when the row becomes current, keeping the
/// last few read; it costs what the screen shows, not what the table holds.
/// Its find and its filter run in the database (a filter reads the keys that
/// match, by the table's indexes); sort is not offered.
class RowSet : public QObject
{
    Q_OBJECT

public:
    enum class EditMode
    {
        None,
        Editing,
        Adding
    };

    explicit RowSet(QObject* parent = nullptr);
    ~RowSet() override;

    /// Runs the select; the source table is the first table it names unless
    /// given. Throws DbError; on failure the set stays closed.
    void open(std::shared_ptr<Database> db, const QString& sql, const QVariantList& params = {},
              const QString& sourceTable = QString());
    /// All rows of a table in the table's order.
    void openTable(std::shared_ptr<Database> db, const QString& table);
    /// The rows of table in the order of its whole-number key column, read
    /// by key as they are shown (see the class notes). Throws DbError.
    void openKeyed(std::shared_ptr<Database> db, const QString& table, const QString& keyColumn);
    bool isKeyed() const { return keyed_; }
    /// Closes the set; filter and sort go with it.
    void close();
    bool isOpen() const { return open_; }
    std::shared_ptr<Database> database() const { return db_; }
    QString sourceTable() const { return source_; }

    // --- position
    int recordCount() const { return int(view_.size()); }
    bool bof() const { return pos_ < 0 || view_.isEmpty(); }
    bool eof() const { return pos_ >= view_.size() || view_.isEmpty(); }
    /// 1-based position of the current row; PosBof/PosEof/PosUnknown otherwise.
    int absolutePosition() const;
    void setAbsolutePosition(int position);
    static constexpr int PosUnknown = -1;
    static constexpr int PosBof = -2;
    static constexpr int PosEof = -3;

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    /// The current row's bookmark; throws without a current row.
    int bookmark() const;
    /// Makes the row of that bookmark current; throws when it is gone or
    /// filtered out.
    void setBookmark(int bookmark);

    // --- fields
    const ColumnList& columns() const { return columns_; }
    /// Position of a column by name, without regard to case; -1 if none.
    int columnIndex(const QString& name) const;
    QVariant value(int column) const;
    QVariant value(const QString& column) const;
    /// Sets a value of the current row after checking it against its column
    /// (throws DbError naming the column). Starts an edit if none is open.
    void setValue(int column, const QVariant& value);
    void setValue(const QString& column, const QVariant& value);

    // --- changes
    EditMode editMode() const { return edit_; }
    /// Appends an empty row and makes it current.
    void addNew();
    /// Puts the current row into edit state.
    void edit();
    /// Writes the added or edited row (in batch mode: marks it pending).
    /// The same as writeCurrent() followed by written().
    void update();
    /// Writes the added or edited row to the table and nothing else: the set
    /// still holds the change as pending, so that a caller writing more in
    /// the same transaction can roll it all back and keep the typed values.
    void writeCurrent();
    /// After writeCurrent() and the caller's commit: the row is stored. A
    /// keyed set reads it again from the table when it is next shown.
    void written();
    /// Abandons the pending change: a new row is removed, an edited row gets
    /// its stored values back.
    void cancelUpdate();
    /// Deletes the current row (in batch mode: marks it pending). The row is
    /// gone at once; the next move starts from where it stood.
    void deleteCurrent();
    /// Re-runs the select; filter and sort stay; the first row is current.
    void requery();

    /// Batch mode: update() and deleteCurrent() only mark rows; updateBatch()
    /// writes them all (inside the caller's transaction, if any).
    void setBatchMode(bool on) { batch_ = on; }
    bool batchMode() const { return batch_; }
    void updateBatch();
    int pendingCount() const;

    // --- views
    void setFilter(const Criteria& criteria);
    void setFilter(const QString& text) { setFilter(Criteria::parse(text)); }
    void clearFilter() { setFilter(Criteria()); }
    const Criteria& filter() const { return filter_; }
    /// Sorts by "column [asc|desc][, column ...]"; "" restores fetch order.
    void setSort(const QString& sort);
    /// Looks for the first row from the current one (moved by skip) that
    /// matches, forward or backward. Not found: eof() (or bof()) and false.
    bool find(const Criteria& criteria, int skip = 0, bool forward = true);

signals:
    /// After every completed move (first, last, next, previous, bookmark,
    /// position, re-read, filter, sort). Not sent by addNew().
    void moveComplete();
    /// Before a change is written to the table.
    void willChangeRecord();

private:
    struct Row
    {
        RowValues values;
        RowValues original; ///< as stored in the table
        RowValues backup;   ///< values before the open edit
        int bookmark = 0;
        qint64 key = 0;     ///< keyed sets: the row's key
        bool loaded = true; ///< keyed sets: values read from the table
        enum State
        {
            Unchanged,
            Modified,
            New,
            Deleted
        } state = Unchanged;
    };

    void load();
    void loadKeys();
    void ensureLoaded(int rowIndex) const;
    bool findKeyed(const Criteria& criteria, int from, bool forward);
    void requireUnkeyed(const char* what) const;
    void rebuildView(bool keepCurrent);
    Row& current();
    const Row& current() const;
    void requireCurrent() const;
    void finishPendingEdit();
    void writeRow(Row& row);
    void settle(Row& row);
    void deleteRow(const Row& row);
    QString whereFor(const Row& row, QVariantList& params) const;
    QList<int> sourceColumns() const;
    int keyColumn() const;
    void moved();

    std::shared_ptr<Database> db_;
    QString sql_;
    QVariantList params_;
    QString source_;
    bool open_ = false;
    bool batch_ = false;
    ColumnList columns_;
    QList<Row> rows_;
    QList<int> view_; ///< indexes into rows_ of the visible rows, in order
    int pos_ = -1;    ///< index into view_
    bool currentDeleted_ = false;
    EditMode edit_ = EditMode::None;
    int posBeforeAdd_ = -1;
    int nextBookmark_ = 1;
    Criteria filter_;
    QList<QPair<int, bool>> sort_; ///< column, ascending
    QList<Row> deletedPending_;
    bool keyed_ = false;
    int keyCol_ = -1;           ///< keyed sets: position of the key column
    QVariant insertedId_;       ///< the number the table gave the row writeCurrent() inserted
    mutable QList<int> cached_; ///< keyed sets: rows holding values, oldest first
};
