#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QPushButton;

/// What the output screens share: the heading, ROT No. (txtFields_4) and
/// the screen's own fields above the four mail fields (txtFields_0 to 3:
/// Email Addresses, CC To., Subject, Message, filled from the settings'
/// Email section), the buttons cmdPreview, cmdEmail and cmdExit, Enter as
/// Tab, Esc closes, overtype, and the focus on ROT No. whenever the screen
/// becomes the active one. A screen adds what it generates and mails.
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

    OutputForm(const QString& name, const QString& title, const QString& heading,
               const QList<Field>& ownFields, const QString& previewCaption, QWidget* parent);

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    /// Generates the screen's file(s) into the program's folder.
    virtual void cmdPreview_Click() = 0;
    /// Generates the screen's file(s) and mails them.
    virtual void cmdEmail_Click() = 0;

    /// Mails the files to the typed addresses with the typed subject and
    /// message. "CC To." stays unused: the mail goes to the addresses typed
    /// above it.
    void mailFiles(const QStringList& attachments);
    void focusRotNo();

    /// The fields by their number: 0 to 3 the mail fields, 4 ROT No., 5 a
    /// field of the screen's own (none where the screen has none).
    QLineEdit* txtFields[6] = {};
    QPushButton* cmdPreview;
    QPushButton* cmdEmail;
    QPushButton* cmdExit;

private:
    bool watchingSubWindow_ = false;
};
