#include "HeadFont.h"

#include "Settings.h"
#include "ValueText.h"

HeadFont ApplyHeadFont(const QString& companyName)
{
    HeadFont h;
    const QString name = ReadIni(QStringLiteral("Options"), QStringLiteral("Font"));
    const double size =
        ValueText::leadingNumber(ReadIni(QStringLiteral("Options"), QStringLiteral("FontSize")));
    if (size != 0 && !name.isEmpty()) {
        h.changeFont = true;
        h.family = name;
        h.size = size;
    }
    h.text = companyName;
    return h;
}
