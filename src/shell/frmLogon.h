#pragma once

#include "Logon.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

/// The logon window: company, user ID and password. Emits loggedOn() once
/// logonState() is filled, cancelled() when the program is to end.
class frmLogon : public QWidget
{
    Q_OBJECT

public:
    explicit frmLogon(QWidget* parent = nullptr);

signals:
    void loggedOn();
    /// Cancel, or an unexpected error: the program ends.
    void cancelled();

protected:
    void showEvent(QShowEvent* event) override;
    /// Closing the window is Cancel: nobody is logged on without OK.
    void closeEvent(QCloseEvent* event) override;

private:
    void fillList();
    void cmdOK_Click();

    QComboBox* cboDSNList;
    QLineEdit* txtUID;
    QLineEdit* txtPWD;
    QCheckBox* Check1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    Logon::Start start_;
    bool listPending_ = true;
    bool loggedOn_ = false;
};
