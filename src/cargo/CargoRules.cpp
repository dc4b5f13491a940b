#include "CargoRules.h"

#include "Database.h"
#include "ValueText.h"

#include <cmath>

namespace CargoRules {

bool isContainerised(const QString& natureCode)
{
    return natureCode == QLatin1String("C") || natureCode == QLatin1String("CP");
}

bool isNumberKey(QChar c)
{
    return c.isDigit() || c == u'.' || c == u'/';
}

bool packagesAcceptable(const QString& text)
{
    return ValueText::leadingNumber(text) != 0;
}

bool billDateAcceptable(const QString& text, const QDate& today)
{
    const auto date = ValueText::parseDate(text);
    return date && date->isValid() && *date <= today;
}

qint64 nextBillId(Database& db)
{
    const QVariant max = db.scalar(QStringLiteral("select max(id) from egmcargo"));
    const double highest = max.isNull() ? 0 : ValueText::leadingNumber(max.toString());
    return qint64(std::llround(highest)) + 1;
}

} // namespace CargoRules
