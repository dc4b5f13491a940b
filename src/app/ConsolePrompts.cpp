#include "ConsolePrompts.h"

Prompts::Answer ConsolePrompts::message(const QString& text, Buttons buttons, Icon, const QString&)
{
    err_ << text << Qt::endl;
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
