#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// Colour Options: chooses the skin file, stores it and applies it.
class frmColor : public QWidget
{
    Q_OBJECT

public:
    explicit frmColor(QWidget* parent = nullptr);

private:
    void Command1_Click();
    void cmdSave_Click();

    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
};
