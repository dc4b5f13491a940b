#include "Skin.h"

#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

Skin Skin::load(const QString& path)
{
    Skin s;
    s.path = path;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return s;
    const QString section = QStringLiteral("Skin");
    auto colour = [&](const char* key) {
        const QColor c(
            Settings::read(path, section, QString::fromLatin1(key)).section(u';', 0, 0).trimmed());
        return c;
    };
    s.name = Settings::read(path, section, QStringLiteral("Name"));
    s.background = colour("Background");
    s.text = colour("Text");
    s.button = colour("Button");
    s.highlight = colour("Highlight");
    if (!s.background.isValid() || !s.text.isValid())
        return s;
    if (!s.button.isValid())
        s.button = s.background;
    const QString sheet =
        Settings::read(path, section, QStringLiteral("StyleSheet")).section(u';', 0, 0).trimmed();
    if (!sheet.isEmpty()) {
        QFile f(QFileInfo(path).dir().filePath(sheet));
        if (f.open(QIODevice::ReadOnly))
            s.styleSheet = QString::fromUtf8(f.readAll());
    }
    s.valid = true;
    return s;
}
