#pragma once

#include "Prompts.h"

#include <QList>
#include <QQueue>
#include <QString>

/// A Prompts double for tests: every call is recorded, and answers are taken
/// from queues filled by the test. An unscripted question gets the negative
/// answer (No, Cancel, "" for dialogs) and is recorded like any other.
/// Installs itself on construction and restores the previous prompts when
/// destroyed.
class ScriptedPrompts final : public Prompts
{
public:
    struct Call
    {
        QString kind; ///< "message", "input", "openFile", "saveFile", "folder", "beep", "status"
        QString text; ///< message text, input prompt or dialog title
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString filter; ///< file dialogs: the filter; input: the default text
        QString initial;
        QString directory; ///< file and folder dialogs: the directory asked for
        Answer defaultButton =
            Answer(0); ///< questions: the button Enter presses (0: the box's own)
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    QQueue<Answer> answers;                ///< for message()
    QQueue<std::optional<QString>> inputs; ///< for input()
    QQueue<QString> files;                 ///< for openFile(), saveFile() and folder()
    QList<Call> calls;

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    Answer question(const QString& text, Buttons buttons, Answer defaultButton, Icon icon,
                    const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString openFile(const QString& title, const QString& filter, const QString& initialName,
                     const QString& directory) override;
    QString saveFile(const QString& title, const QString& filter,
                     const QString& initialPath) override;
    QString folder(const QString& title, const QString& directory) override;
    void beep() override;
    void status(const QString& text) override;

    /// Texts of the messages shown, in order.
    QStringList messages() const;
    int beeps() const;
    void clear() { calls.clear(); }

private:
    Prompts* previous_ = nullptr;
};
