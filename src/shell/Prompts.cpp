#include "Prompts.h"

#include <cstdio>

namespace {

/// Used until something else is installed: messages to standard error,
/// every question answered with its negative choice.
class FallbackPrompts final : public Prompts
{
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        switch (buttons) {
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return No;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            return Cancel;
        case Buttons::Ok:
            break;
        }
        return Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QString openFile(const QString&, const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString folder(const QString&, const QString&) override { return QString(); }
    void beep() override {}
};

FallbackPrompts fallback;
Prompts* current = &fallback;

} // namespace

Prompts& prompts()
{
    return *current;
}

Prompts* installPrompts(Prompts* p)
{
    Prompts* old = current;
    current = p ? p : &fallback;
    return old;
}
