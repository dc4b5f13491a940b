#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// Import Igm File: reads an import manifest's cargo file into the tables
/// vesinfo, cargo and contain (IgmImport does the work).
class frmIgmImport : public QWidget
{
    Q_OBJECT

public:
    explicit frmIgmImport(QWidget* parent = nullptr);

private:
    void Command1_Click();
    void cmdImport_Click();

    QLineEdit* Text1;
    QPushButton* Command1;
    QLineEdit* txtFields_4;
    QLineEdit* txtFields_5;
    QPushButton* cmdImport;
    QPushButton* cmdCancel;
};
