#pragma once

#include "Prompts.h"

#include <QTextStream>

/// Prompts for the command line: messages are printed to standard error;
/// questions take their negative answer and dialogs are cancelled, since
/// nobody is there to answer them.
class ConsolePrompts final : public Prompts
{
public:
    explicit ConsolePrompts(QTextStream& err) : err_(err) {}
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString openFile(const QString& title, const QString& filter, const QString& initialName,
                     const QString& directory) override;
    QString folder(const QString& title, const QString& directory) override;
    void beep() override {}

private:
    QTextStream& err_;
};
