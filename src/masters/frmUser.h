#pragma once

#include "RecordForm.h"

/// The user master: the users of the company database (loguser), their
/// passwords and their rights strings. A superuser (" SU" in the menu
/// rights) sees and maintains every user; anyone else sees only their own
/// row and may change only their own password.
class frmUser : public RecordForm
{
    Q_OBJECT

public:
    explicit frmUser(QWidget* parent = nullptr);

protected:
    void openRows(RowSet& rs) override;
    void rowsOpened() override;
    void browseModeChanged(bool browse) override;
    void search() override;

private:
    bool superuser_;
};
