#pragma once

#include "RecordForm.h"
#include "RightsCodes.h"

#include <QMap>

class QCheckBox;

/// The user master: the users of the company database (loguser), their
/// passwords and their rights. A superuser (" SU" in the menu rights) sees
/// and maintains every user; anyone else sees only their own row and may
/// change only their own password.
///
/// No password is ever shown: the password box takes a new one, typed twice
/// (an empty box keeps the old), and the form stores its hash. The rights
/// show as ticks of the menu entries and record buttons they open; what a
/// change of ticks stores is the code text a supervisor would have typed,
/// kept in the form's (hidden) rights boxes, so an untouched row keeps its
/// text exactly as it was. The (hidden) pwd box holds the stored hash, or a
/// mark while a new password is pending, so that Save and a close with a
/// change pending write it as they write any box.
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
    void showCurrentRow() override;
    bool checkRecord() override;
    /// A new password typed the same in both boxes goes in as its hash.
    void copyFieldsToRow() override;

private:
    using Kind = RightsCodes::Kind;
    struct Ticks
    {
        Kind kind;
        int box;                          ///< the txtFields box that holds the codes
        QMap<QString, QCheckBox*> checks; ///< by code
        QString shown;                    ///< the text the current row holds
    };

    QWidget* makeTicks(Ticks& t, const QString& prefix);
    void showTicks(Ticks& t);
    /// A tick changed: the codes into the box (the stored text itself while
    /// the ticks say what it says).
    void ticksChanged(Ticks& t);
    /// Which ticks can be changed in the mode, for the row shown.
    void lockTicks(Ticks& t);
    bool ownRow() const;
    /// The password boxes changed: whether a new password is pending.
    void passwordsChanged();

    bool superuser_;
    bool browsing_ = true;
    QLineEdit* txtPassword;
    QLineEdit* txtPassword2;
    QString shownHash_; ///< what the current row's (hidden) pwd box holds
    Ticks record_{Kind::Record, 3, {}, {}};
    Ticks menu_{Kind::Menu, 0, {}, {}};
};
