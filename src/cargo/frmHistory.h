#pragma once

#include "BillHistory.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

/// The changes of one shipping bill, newest first: when, who, what kind of
/// save and what changed. It only shows what it is given; Esc or Close
/// closes it.
class frmHistory : public QDialog
{
    Q_OBJECT

public:
    /// title names the bill ("SB No. 5001 of ROT No. 2024117").
    frmHistory(const QString& title, const QList<BillHistory::Entry>& entries,
               QWidget* parent = nullptr);

private:
    QLabel* lblBill;
    QTableWidget* grdHistory;
    QPushButton* cmdClose;
};
