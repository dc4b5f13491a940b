#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <array>

class Database;

/// The containers of the current shipping bill as the grid shows them: one
/// row per container, four columns (ref, Container No., Status, Autoid; the
/// first and last hidden), at least 75 rows so there is room to type new
/// ones. Rows and columns are numbered from 1 in the routines named after
/// the screen's own, from 0 in the model interface the view uses.
class ContainerGrid : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Ref = 1,
        ContainerNo = 2,
        Status = 3,
        Autoid = 4
    };
    static constexpr int MinimumRows = 75;
    static constexpr int SpareRows = 6;

    explicit ContainerGrid(QObject* parent = nullptr);

    int rows() const { return int(cells_.size()); }
    /// n empty rows (the typed ones go).
    void setRows(int n);
    /// No rows at all (a new shipping bill's grid until it gets the focus).
    void empty();
    /// 75 empty rows when there are none.
    void ensureRows();
    QString text(int row, int column) const;
    void setText(int row, int column, const QString& text);
    void removeGridRow(int row);
    /// The Autoid cell of a row as a number, 0 when it is empty.
    qint64 autoid(int row) const;

    /// The stored containers of shipping bill ref, in autoid order, found by
    /// the index on ref: 75 rows for fewer than 75 containers, else n + 6.
    /// Throws DbError.
    void FillContainerGrid(Database& db, qint64 ref);

    /// The checks when a cell edit ends, for cell (row, column): false when
    /// the selection is to stay on the cell (a container number not of 10
    /// or 11 characters without its blanks, a status the look-up does not
    /// know). A new container number takes the status of the row above
    /// when its own is empty. why, when given, gets the reason of a refusal
    /// in the column's caption and the rule's words ("" when accepted).
    /// Throws DbError.
    bool endOfEdit(Database& db, int row, int column, QString* why = nullptr);

    /// The rules every container row must meet before a save; the first
    /// failing row's message, naming the row ("Row 3: ..."), is shown (OK)
    /// and false returned.
    bool CheckContainerRows() const;

    /// Writes every container row to egmcontain with ref: a row whose Autoid
    /// names a stored container updates it, any other is inserted. Runs in
    /// the caller's transaction. Returns the number of rows written. Throws
    /// DbError.
    int SaveContainerRows(Database& db, qint64 ref) const;

    // The model the grid view shows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    using Cells = std::array<QString, 4>;
    QList<Cells> cells_;
};
