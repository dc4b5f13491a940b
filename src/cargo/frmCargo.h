#pragma once

#include "BillHistory.h"
#include "CargoRules.h"
#include "RecordForm.h"

class BoundList;
class ContainerGrid;
class ContainerGridView;
class Database;

/// Cargo Information: the shipping bills of the EGMs, one at a time, with
/// the containers of each in a grid under it. A record form whose bills are
/// read by id as they are shown and whose containers come by the index on
/// ref, so it opens and moves as fast on years of bills as on a few.
class QLineEdit;

class frmCargo : public RecordForm
{
    Q_OBJECT

public:
    explicit frmCargo(QWidget* parent = nullptr);
    ~frmCargo() override;

    ContainerGrid* containerGrid() const { return grid_; }
    ContainerGridView* containerView() const { return dataGrid2; }

    /// Save tries this often when the row it writes was changed meanwhile
    /// by another clerk; then it stops with the message.
    static constexpr int SaveTries = 3;

public slots:
    /// Shows the shipping bill of that id (as the check of an EGM asks):
    /// false, with the reason in the status bar, when it is not stored or a
    /// bill is being typed (typing is never thrown away for it).
    bool showBill(qint64 id);

protected:
    void openRows(RowSet& rs) override;
    void layOut(QVBoxLayout* layout) override;
    QList<QWidget*> buttonTabOrder() const override;
    int maxLengthFor(const ColumnInfo& column) const override;
    void showCurrentRow() override;
    void addKeepPosition() override;
    void afterAddNew() override;
    bool checkRecord() override;
    void writeRecord() override;
    void rereadRecord(bool added) override;
    void returnAfterCancel() override {}
    void removeRecord() override;
    void positionChanged() override;
    bool fieldMayLeave(QWidget* field) override;
    void browseModeChanged(bool browse) override;
    void search() override;
    void unload() override;
    bool formKeyDown(QKeyEvent* event) override;

    /// Save's write of the grid's containers of shipping bill id, inside the
    /// save's transaction.
    virtual void writeContainers(Database& db, qint64 id);
    /// Save's last write, in its transaction: the history entry of shipping
    /// bill id, what changed since before (as stored when the save began).
    virtual void writeHistory(Database& db, qint64 id, const BillHistory::Bill& before);

private:
    void cmdCarry_Click();
    void cmdDeleteC_Click();
    void cmdHistory_Click();
    void FillContainerGrid();
    /// The nature rule: the grid, its Delete, Pkgs., Volume and Unit enabled
    /// as the nature code says; emptyOthers also empties the boxes the
    /// nature does not use (when a field is left, and before a save).
    void applyNatureRule(bool emptyOthers);
    QWidget* widgetOf(CargoRules::Field field) const;
    /// Why the field's text cannot stand ("" when it can).
    QString refusalOf(CargoRules::Field field) const;
    /// A refusal's reason in the status bar; "" clears one shown.
    void tellWhy(const QString& why);
    /// "Changed by RAVI on 08/12/2026 14:02" for the bill shown in browse
    /// mode; nothing for a bill without history, or while one is typed.
    void tellLastChange();
    /// A stored bill is the current row.
    bool billShown() const;
    void gridEntered();
    Database& db() const;
    /// One EGM at a time: the ROT No. typed in the filter box, or every
    /// bill when it is empty.
    void applyRotFilter();

    QPushButton* cmdCarry;
    QPushButton* cmdDeleteC;
    QPushButton* cmdHistory;
    QLineEdit* txtRotFilter;
    BoundList* cmbNatCargo;
    BoundList* cmbDestPort;
    ContainerGrid* grid_;
    ContainerGridView* dataGrid2;
    bool gridCursor_ = false;
    bool showingRow_ = false;
    bool toldWhy_ = false;
    bool toldChange_ = false; ///< the status bar shows the bill's last change
    QString filteredRot_;     ///< the ROT No. the rows are filtered by ("" for none)
};
