#include "CargoRenumber.h"

#include "ValueText.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString checkImportColumns(const ColumnList& cargo, const ColumnList& containers)
{
    const auto has = [](const ColumnList& columns, const char* name) {
        return std::any_of(columns.cbegin(), columns.cend(), [name](const ColumnInfo& c) {
            return c.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        });
    };
    if (cargo.isEmpty())
        return QStringLiteral("The cargo file has no columns.");
    if (!has(cargo, "egmno"))
        return QStringLiteral("The cargo file has no column \"egmno\".");
    for (const char* name : {"ref", "subrefno"})
        if (!has(containers, name))
            return QStringLiteral("The container file has no column \"%1\".")
                .arg(QLatin1String(name));
    return QString();
}

double ImportNumbering::numberOf(const Cell& value)
{
    switch (value.kind) {
    case Cell::Kind::Null:
        return 0;
    case Cell::Kind::Integer:
        return double(value.integer);
    case Cell::Kind::Real:
        return value.real;
    case Cell::Kind::Text:
        return ValueText::leadingNumber(value.text);
    case Cell::Kind::Date:
    case Cell::Kind::Boolean:
        break;
    }
    return ValueText::leadingNumber(ValueText::numberText(value.toVariant()));
}

qint64 ImportNumbering::addBill(const Cell& oldId)
{
    // The old id is a whole number: the value rounds as an integer
    // assignment would. + 0.0: -0 is 0.
    const double key = std::nearbyint(numberOf(oldId)) + 0.0;
    const qint64 id = next_++;
    newIds_.insert(key, id);
    return id;
}

std::optional<qint64> ImportNumbering::refOf(const Cell& oldRef) const
{
    if (oldRef.isNull())
        return std::nullopt; // a container without a ref matches no shipping bill
    const auto it = newIds_.constFind(numberOf(oldRef) + 0.0);
    if (it == newIds_.cend())
        return std::nullopt;
    return *it;
}

QList<qsizetype> renumberImport(RowTable& cargo, RowTable& containers, int baseId, int idColumn)
{
    QList<qsizetype> unmatched;
    const int ref = containers.columnIndex(QStringLiteral("ref"));
    const int subrefno = containers.columnIndex(QStringLiteral("subrefno"));
    if (cargo.columns.isEmpty() || ref < 0 || subrefno < 0 || idColumn < 0)
        return unmatched;
    const qsizetype width = std::max(ref, subrefno) + 1;

    ImportNumbering numbering(baseId);
    QByteArray storage;
    Cell cell;
    for (RowValues& bill : cargo.rows) {
        if (bill.size() <= idColumn)
            bill.resize(idColumn + 1);
        cell.setVariant(bill[idColumn], storage);
        const qint64 id = numbering.addBill(cell);
        bill[idColumn] = id <= std::numeric_limits<int>::max() ? QVariant(int(id)) : QVariant(id);
    }
    for (qsizetype i = 0; i < containers.rows.size(); ++i) {
        RowValues& container = containers.rows[i];
        if (container.size() < width)
            container.resize(width);
        cell.setVariant(container[ref], storage);
        if (const auto id = numbering.refOf(cell)) {
            container[ref] =
                *id <= std::numeric_limits<int>::max() ? QVariant(int(*id)) : QVariant(*id);
        } else {
            container[ref] = container[subrefno];
            unmatched << i;
        }
        container[subrefno] = 0;
    }
    return unmatched;
}
