#include "Prompts.h"

#include "ConsolePrompts.h"

namespace {

// Used until something else is installed: messages go to standard error and
// every question gets its negative answer.
QTextStream standardError(stderr);
ConsolePrompts fallback(standardError);
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
