#include "CargoRenumber.h"

#include "ValueText.h"

#include <algorithm>
#include <cmath>

namespace {

/// The numeric value of a cell, as the classic Val() of its text reads it.
double numberOf(const QVariant& value)
{
    if (value.isNull())
        return 0;
    return ValueText::leadingNumber(ValueText::numberText(value));
}

} // namespace

QString checkImportColumns(const RowTable& cargo, const RowTable& containers)
{
    if (cargo.columns.isEmpty())
        return QStringLiteral("The cargo file has no columns.");
    if (cargo.columnIndex(QStringLiteral("egmno")) < 0)
        return QStringLiteral("The cargo file has no column \"egmno\".");
    for (const char* name : {"ref", "subrefno"})
        if (containers.columnIndex(QLatin1String(name)) < 0)
            return QStringLiteral("The container file has no column \"%1\".")
                .arg(QLatin1String(name));
    return QString();
}

void renumberImport(RowTable& cargo, RowTable& containers, int baseId)
{
    const int ref = containers.columnIndex(QStringLiteral("ref"));
    const int subrefno = containers.columnIndex(QStringLiteral("subrefno"));
    if (cargo.columns.isEmpty() || ref < 0 || subrefno < 0)
        return;

    int nextId = baseId;
    for (RowValues& bill : cargo.rows) {
        if (bill.isEmpty())
            bill.append(QVariant());
        // The old id is a whole number: the value rounds as an integer
        // assignment would.
        const double oldId = std::nearbyint(numberOf(bill[0]));
        bill[0] = nextId;
        for (RowValues& container : containers.rows) {
            if (container.size() <= std::max(ref, subrefno))
                container.resize(std::max(ref, subrefno) + 1);
            // A container without a ref matches no shipping bill.
            if (!container[ref].isNull() && numberOf(container[ref]) == oldId)
                container[subrefno] = nextId;
        }
        ++nextId;
    }
    for (RowValues& container : containers.rows) {
        if (container.size() <= std::max(ref, subrefno))
            container.resize(std::max(ref, subrefno) + 1);
        container[ref] = container[subrefno];
        container[subrefno] = 0;
    }
}
