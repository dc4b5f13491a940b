#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// Import Cargo / Container: reads an XML pair written by another
/// installation into the company database (XmlImport does the work).
class frmXmlImport : public QWidget
{
    Q_OBJECT

public:
    explicit frmXmlImport(QWidget* parent = nullptr);

private:
    void browse(QLineEdit* box);
    void cmdImport_Click();

    QLineEdit* Text1;
    QPushButton* Command1;
    QLineEdit* Text2;
    QPushButton* Command2;
    QLineEdit* txtFields_4;
    QPushButton* cmdImport;
    QPushButton* cmdCancel;
};
