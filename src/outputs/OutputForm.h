#pragma once

#include "MailDispatch.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

/// What the output screens share: the heading, ROT No. (txtFields_4) and
/// the screen's own fields above the four mail fields (txtFields_0 to 3:
/// Email Addresses, CC To., Subject, Message, filled from the settings'
/// Email section), the screen's check boxes under them, its buttons and
/// cmdExit, Enter as Tab, Esc closes, overtype, and the focus on ROT No.
/// whenever the screen becomes the active one. A screen adds what its
/// buttons do.
class OutputForm : public QWidget
{
    Q_OBJECT

protected:
    /// A field of the screen's own, shown narrow below ROT No.
    struct Field
    {
        int index; ///< its number in txtFields and in its name
        const char* caption;
    };

    /// A button before Close, or a check box under the fields.
    struct Control
    {
        const char* name; ///< its objectName
        const char* caption;
    };

    OutputForm(const QString& name, const QString& title, const QString& heading,
               const QList<Field>& ownFields, const QList<Control>& checkBoxes,
               const QList<Control>& buttons, QWidget* parent);

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    QPushButton* button(const char* name) const;
    QCheckBox* checkBox(const char* name) const;

    /// The mail as typed: to the addresses of "Email Addresses" with the
    /// subject and the message; "CC To." is the caller's to add.
    MailMessage typedMail(const QStringList& attachments) const;
    /// Mails the files as typedMail() has it (without copies).
    void mailFiles(const QStringList& attachments);
    void focusRotNo();

    /// The fields by their number: 0 to 3 the mail fields, 4 ROT No., 5 a
    /// field of the screen's own (none where the screen has none).
    QLineEdit* txtFields[6] = {};
    QPushButton* cmdExit;

private:
    bool watchingSubWindow_ = false;
};
