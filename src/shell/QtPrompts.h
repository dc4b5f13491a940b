#pragma once

#include "Prompts.h"

/// Prompts shown as the platform's dialogs, each owned by the active window
/// (it stands over it and has no buttons of a window of its own).
class QtPrompts final : public Prompts
{
public:
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    Answer question(const QString& text, Buttons buttons, Answer defaultButton, Icon icon,
                    const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString saveFile(const QString& title, const QString& filter,
                     const QString& initialPath) override;
    QString openFile(const QString& title, const QString& filter, const QString& initialName,
                     const QString& directory) override;
    QString folder(const QString& title, const QString& directory) override;
    void beep() override;
    void status(const QString& text) override;
};
