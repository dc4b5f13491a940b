#pragma once

#include <QString>
#include <QStringList>
#include <optional>

/// Every message box, input prompt, file dialog and beep of the program goes
/// through the installed Prompts object. The window build installs dialogs,
/// the command line installs a console version and tests install a scripted
/// double, so the texts and answers can be checked without a screen.
class Prompts
{
public:
    enum class Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel,
        RetryCancel
    };
    enum class Icon
    {
        None,
        Information,
        Question,
        Warning,
        Critical
    };
    /// Answer codes keep the classic message box values (Yes = 6, No = 7),
    /// which callers such as ConfirmDeletion hand on.
    enum Answer
    {
        Ok = 1,
        Cancel = 2,
        Abort = 3,
        Retry = 4,
        Ignore = 5,
        Yes = 6,
        No = 7
    };

    virtual ~Prompts() = default;

    /// A message box. An empty title means the program's name; Icon::None
    /// shows the icon the message's kind calls for (iconFor).
    virtual Answer message(const QString& text, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None, const QString& title = QString()) = 0;
    /// A question whose default button (the one Enter or Space presses) is
    /// given: a question that destroys something defaults to No, so that a
    /// key pressed once too often keeps the clerk's work.
    virtual Answer question(const QString& text, Buttons buttons, Answer defaultButton,
                            Icon icon = Icon::Question, const QString& title = QString())
    {
        Q_UNUSED(defaultButton);
        return message(text, buttons, icon, title);
    }
    /// A one-line input prompt; no value when cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title = QString(),
                                         const QString& defaultText = QString()) = 0;
    /// A file-open dialog; "" when cancelled. filter is in Qt's form, e.g.
    /// "Data files (*.mdb)"; initialName is the preset file name. Without a
    /// directory the dialog opens where the last such dialog chose a file
    /// (startFolder).
    virtual QString openFile(const QString& title, const QString& filter,
                             const QString& initialName = QString(),
                             const QString& directory = QString()) = 0;
    /// A file-save dialog; "" when cancelled. initialPath is the preset
    /// name, in the folder to start in. Prompts without dialogs (the
    /// console) answer as cancelled.
    virtual QString saveFile(const QString& title, const QString& filter,
                             const QString& initialPath)
    {
        Q_UNUSED(title);
        Q_UNUSED(filter);
        Q_UNUSED(initialPath);
        return QString();
    }
    /// A folder chooser; "" when cancelled.
    virtual QString folder(const QString& title, const QString& directory = QString()) = 0;
    virtual void beep() = 0;
    /// A line in the main window's status bar (where a file went). Nothing
    /// where there is no main window.
    virtual void status(const QString& text) { Q_UNUSED(text); }

    /// The icon a message shows: the one asked for, else a question mark for
    /// a choice and the information sign for a message with only OK.
    static Icon iconFor(Buttons buttons, Icon icon)
    {
        if (icon != Icon::None)
            return icon;
        return buttons == Buttons::Ok ? Icon::Information : Icon::Question;
    }

    /// Where a file or folder dialog opens: the directory asked for, else
    /// the folder a dialog without one chose from last, else the program's
    /// folder (never the working directory the program was started in).
    static QString startFolder(const QString& directory);
    /// Remembers where a dialog opened without a directory chose path.
    static void chosenFrom(const QString& directory, const QString& path);

    /// The answer of a question nobody answered: No, Cancel, or OK for a
    /// message with only that button.
    static Answer negativeAnswer(Buttons buttons)
    {
        switch (buttons) {
        case Buttons::Ok:
            return Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return No;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            break;
        }
        return Cancel;
    }

    /// Shorthand for an OK-only message.
    void inform(const QString& text, const QString& title = QString())
    {
        message(text, Buttons::Ok, Icon::None, title);
    }
    /// An OK-only message with the warning sign.
    void warn(const QString& text, const QString& title = QString())
    {
        message(text, Buttons::Ok, Icon::Warning, title);
    }
    /// An OK-only message with the error sign.
    void fail(const QString& text, const QString& title = QString())
    {
        message(text, Buttons::Ok, Icon::Critical, title);
    }
};

/// The program's name, the title of its messages.
inline QString appTitle()
{
    return QStringLiteral("Tarvex");
}

/// The installed prompts. Never null once the program or a test installed one.
Prompts& prompts();
/// Installs p (not owned) and returns the previous one.
Prompts* installPrompts(Prompts* p);
