#pragma once

#include "DeletedBills.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

/// House Keeping > Deleted Shipping Bills: the bills deleted from the
/// company, newest first (those of one ROT No. when it is typed), and
/// Restore, which puts the chosen one back with its containers.
class frmDeletedBills : public QWidget
{
    Q_OBJECT

public:
    explicit frmDeletedBills(QWidget* parent = nullptr);

    const QList<DeletedBills::Entry>& entries() const { return entries_; }
    /// Reads the list again.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdRestore_Click();

    QLineEdit* txtRotNo;
    QPushButton* cmdShow;
    QPushButton* cmdRestore;
    QPushButton* cmdExit;
    QLabel* lblCount;
    QTreeWidget* lstDeleted;

    QList<DeletedBills::Entry> entries_;
};
