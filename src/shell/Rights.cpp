#include "Rights.h"

namespace Rights {

bool isSuperuser(const QString& rights)
{
    return rights.contains(QLatin1String(" SU"));
}

QString menuCode(int code)
{
    return QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0'));
}

bool menuAllowed(const QString& menuRights, int code)
{
    return isSuperuser(menuRights) || menuRights.contains(menuCode(code));
}

bool recordAllowed(const QString& recordRights, Record right)
{
    return isSuperuser(recordRights) ||
           recordRights.contains(QLatin1Char(' ') + menuCode(int(right)));
}

QString buttonName(Record right)
{
    switch (right) {
    case Record::Add:
        return QStringLiteral("cmdAdd");
    case Record::Edit:
        return QStringLiteral("cmdEdit");
    case Record::Delete:
        return QStringLiteral("cmdDelete");
    case Record::Refresh:
        return QStringLiteral("cmdRefresh");
    case Record::Search:
        return QStringLiteral("cmdSearch");
    }
    return QString();
}

} // namespace Rights
