#include "ScriptedPrompts.h"

ScriptedPrompts::ScriptedPrompts()
{
    previous_ = installPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    installPrompts(previous_);
}

Prompts::Answer ScriptedPrompts::message(const QString& text, Buttons buttons, Icon icon,
                                         const QString& title)
{
    calls.append({QStringLiteral("message"), text, title.isEmpty() ? appTitle() : title, buttons,
                  icon, QString(), QString(), QString()});
    if (!answers.isEmpty())
        return answers.dequeue();
    return negativeAnswer(buttons);
}

Prompts::Answer ScriptedPrompts::question(const QString& text, Buttons buttons,
                                          Answer defaultButton, Icon icon, const QString& title)
{
    const Answer answer = message(text, buttons, icon, title);
    calls.last().defaultButton = defaultButton;
    return answer;
}

std::optional<QString> ScriptedPrompts::input(const QString& prompt, const QString& title,
                                              const QString& defaultText)
{
    calls.append({QStringLiteral("input"), prompt, title, Buttons::OkCancel, Icon::None,
                  defaultText, QString(), QString()});
    if (!inputs.isEmpty())
        return inputs.dequeue();
    return std::nullopt;
}

QString ScriptedPrompts::openFile(const QString& title, const QString& filter,
                                  const QString& initialName, const QString& directory)
{
    calls.append({QStringLiteral("openFile"), title, title, Buttons::OkCancel, Icon::None, filter,
                  initialName, directory});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedPrompts::saveFile(const QString& title, const QString& filter,
                                  const QString& initialPath)
{
    calls.append({QStringLiteral("saveFile"), title, title, Buttons::OkCancel, Icon::None, filter,
                  initialPath, QString()});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedPrompts::folder(const QString& title, const QString& directory)
{
    calls.append({QStringLiteral("folder"), title, title, Buttons::OkCancel, Icon::None, QString(),
                  QString(), directory});
    return files.isEmpty() ? QString() : files.dequeue();
}

void ScriptedPrompts::beep()
{
    calls.append({QStringLiteral("beep"), QString(), QString(), Buttons::Ok, Icon::None, QString(),
                  QString(), QString()});
}

void ScriptedPrompts::status(const QString& text)
{
    calls.append({QStringLiteral("status"), text, QString(), Buttons::Ok, Icon::None, QString(),
                  QString(), QString()});
}

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Call& c : calls)
        if (c.kind == QLatin1String("message"))
            out << c.text;
    return out;
}

int ScriptedPrompts::beeps() const
{
    int n = 0;
    for (const Call& c : calls)
        n += c.kind == QLatin1String("beep");
    return n;
}
