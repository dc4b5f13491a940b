#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// Generate XML File: writes the shipping bills and containers of the typed
/// ROT No. as the XML pair for an agent into the program's folder, and mails
/// the pair.
class frmCargoRep : public QWidget
{
    Q_OBJECT

public:
    explicit frmCargoRep(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdPreview_Click();
    void cmdEmail_Click();
    /// Writes the pair; false when it stopped with a message.
    bool writePair();
    void focusRotNo();

    QLineEdit* txtFields[5];
    QPushButton* cmdPreview;
    QPushButton* cmdEmail;
    QPushButton* cmdExit;
    bool watchingSubWindow_ = false;
};
