#include "Prompts.h"

#include "AppPaths.h"
#include "ConsolePrompts.h"

#include <QFileInfo>

namespace {

// Used until something else is installed: messages go to standard error and
// every question gets its negative answer.
QTextStream standardError(stderr);
ConsolePrompts fallback(standardError);
Prompts* current = &fallback;
QString lastFolder;

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

QString Prompts::startFolder(const QString& directory)
{
    if (!directory.isEmpty())
        return directory;
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    return AppPaths::home();
}

void Prompts::chosenFrom(const QString& directory, const QString& path)
{
    if (!directory.isEmpty() || path.isEmpty())
        return;
    const QFileInfo chosen(path);
    lastFolder = chosen.isDir() ? chosen.absoluteFilePath() : chosen.absolutePath();
}
