#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// Generate Flat-File: writes the EGM flat file for the typed ROT No. and
/// EGM date into the program's folder, offers to copy it to removable media
/// and mails it.
class frmVslRep : public QWidget
{
    Q_OBJECT

public:
    explicit frmVslRep(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdPreview_Click();
    void cmdEmail_Click();
    /// Writes the file; its path, or "" when the write stopped with a message.
    QString writeFile();
    void focusRotNo();

    QLineEdit* txtFields[6];
    QPushButton* cmdPreview;
    QPushButton* cmdEmail;
    QPushButton* cmdExit;
    bool watchingSubWindow_ = false;
};
