#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

/// System Parameters: the e-mail format of reports, the bill output and the
/// check-list heading's font. There is no Save: whatever the form shows when
/// it closes, by its door button or by closing its window, is stored.
class frmSyspara : public QWidget
{
    Q_OBJECT

public:
    explicit frmSyspara(QWidget* parent = nullptr);

    /// The position a list's text stands for: its entry, -1 for a typed text
    /// that is none of the entries.
    static int listPosition(const QComboBox* box);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QComboBox* Combo1;
    QComboBox* Combo2;
    QLineEdit* txtFont;
    QLineEdit* txtSize;
    QPushButton* cmdExit;
    bool stored_ = false;
};
