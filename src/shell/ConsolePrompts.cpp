#include "ConsolePrompts.h"

Prompts::Answer ConsolePrompts::message(const QString& text, Buttons buttons, Icon, const QString&)
{
    err_ << text << Qt::endl;
    return negativeAnswer(buttons);
}

std::optional<QString> ConsolePrompts::input(const QString&, const QString&, const QString&)
{
    return std::nullopt;
}

QString ConsolePrompts::openFile(const QString&, const QString&, const QString&, const QString&)
{
    return QString();
}

QString ConsolePrompts::folder(const QString&, const QString&)
{
    return QString();
}
