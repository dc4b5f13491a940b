#pragma once

#include "RecordForm.h"

#include <QtGlobal>

class QPushButton;

/// The company master: the company list (DRCOMP) of the system database,
/// with each company's address, accounting period and the connection
/// string of its own database.
class frmCompany : public RecordForm
{
    Q_OBJECT

public:
    explicit frmCompany(QWidget* parent = nullptr);

protected:
    void openRows(RowSet& rs) override;
    void beforeAddNew() override;
    void afterAddNew() override;
    void browseModeChanged(bool browse) override;
    void search() override;
    void unload() override;

private:
    void Create_Click();

    QPushButton* Create;
    qint64 lastCode_ = 0;
};
