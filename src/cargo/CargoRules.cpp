#include "CargoRules.h"

#include "Database.h"
#include "ValueText.h"

#include <cmath>
#include <iterator>

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

namespace {

/// Each field's caption, its column and, for a refusal, what it takes.
struct FieldWords
{
    Field field;
    const char* caption;
    const char* column;
    const char* takes;
};

constexpr FieldWords fieldWords[] = {
    {Field::RotNo, "ROT No.", "egmno", "the EGM's number"},
    {Field::Nature, "Nture Cargo", "naturecargo", "pick the nature of the cargo from the list"},
    {Field::SbNo, "SB No.", "sbno", "the shipping bill's number"},
    {Field::SbDate, "SB Date", "sbdt", "a date not after today, dd/mm/yyyy"},
    {Field::DestPort, "Dest. Port", "destport", "pick the port from the list"},
    {Field::Pkgs, "Pkgs.", "pkgs", "the number of packages, not 0"},
    {Field::Volume, "Volume", "volume", "the volume of the cargo"},
    {Field::Unit, "Unit", "unitvol", "the unit of the volume"},
};

constexpr bool inFieldOrder()
{
    for (std::size_t i = 0; i < std::size(fieldWords); ++i)
        if (std::size_t(fieldWords[i].field) != i)
            return false;
    return std::size(fieldWords) == std::size_t(Field::Unit) + 1;
}
static_assert(inFieldOrder(), "one entry per field, in the order of Field");

const FieldWords& wordsOf(Field field)
{
    return fieldWords[int(field)];
}

} // namespace

QString caption(Field field)
{
    return QString::fromLatin1(wordsOf(field).caption);
}

QList<BillHistory::Field> historyFields()
{
    QList<BillHistory::Field> out;
    for (const FieldWords& w : fieldWords)
        out << BillHistory::Field{QString::fromLatin1(w.column), QString::fromLatin1(w.caption)};
    return out;
}

QList<Field> requiredFields(const QString& natureCode)
{
    QList<Field> fields{Field::RotNo, Field::Nature, Field::SbNo, Field::SbDate, Field::DestPort};
    if (isContainerised(natureCode))
        fields << Field::Pkgs;
    else
        fields << Field::Volume << Field::Unit;
    return fields;
}

QString fieldRefusal(Field field, const QString& text, const QDate& today)
{
    bool refused = text.isEmpty();
    if (field == Field::Pkgs)
        refused = !packagesAcceptable(text);
    else if (field == Field::SbDate)
        refused = !billDateAcceptable(text, today);
    return refused
               ? caption(field) + QStringLiteral(": ") + QString::fromLatin1(wordsOf(field).takes)
               : QString();
}

qint64 nextBillId(Database& db)
{
    const QVariant max = db.scalar(QStringLiteral("select max(id) from egmcargo"));
    const double highest = max.isNull() ? 0 : ValueText::leadingNumber(max.toString());
    return qint64(std::llround(highest)) + 1;
}

} // namespace CargoRules
