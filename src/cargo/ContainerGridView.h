#pragma once

#include <QTableView>
#include <functional>

class ContainerGrid;
class QLineEdit;

/// The container grid on screen, edited cell by cell in place: Enter opens
/// the selected cell with its text, a typed character starts it afresh with
/// that character. In the cell editor (txtGtext) Enter stores the text and
/// moves right (from Status to the next row's Container No.), Esc abandons,
/// and leaving it any other way (a click elsewhere, Ctrl+S) stores what was
/// typed as Enter would, checks included. A cell the end-of-edit check
/// rejects keeps the selection. Tab and Shift+Tab leave the grid.
class ContainerGridView : public QTableView
{
    Q_OBJECT

public:
    ContainerGridView(ContainerGrid* grid, QWidget* parent = nullptr);

    /// Cells can be edited (add and edit mode).
    void setCellsEditable(bool on) { editable_ = on; }
    bool cellsEditable() const { return editable_; }
    /// The check when an edit ends, for (row, column) numbered from 1; false
    /// keeps the selection on the cell.
    void setEndOfEdit(std::function<bool(int, int)> check) { endOfEdit_ = std::move(check); }

    /// Selected cell, numbered from 1 (0 when none).
    int selectedRow() const;
    int selectedColumn() const;
    void selectCell(int row, int column);
    QLineEdit* editor() const { return txtGtext; }
    bool isEditing() const;

signals:
    /// The grid or its cell editor took the focus, or gave it to another control.
    void keysTaken();
    void keysReturned();
    /// The grid itself received the focus (not back from its editor).
    void entered();
    /// Ctrl+S in the grid or its editor (the cell being edited is stored first).
    void saveRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startEdit(const QString& typed);
    void endEdit(bool store, bool backToGrid);

    ContainerGrid* grid_;
    QLineEdit* txtGtext;
    std::function<bool(int, int)> endOfEdit_;
    bool editable_ = false;
    bool ending_ = false;
    bool backFromEditor_ = false;
};
