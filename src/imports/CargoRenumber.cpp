#include "CargoRenumber.h"

#include "ValueText.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>

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

QList<qsizetype> renumberImport(RowTable& cargo, RowTable& containers, int baseId, int idColumn)
{
    QList<qsizetype> unmatched;
    const int ref = containers.columnIndex(QStringLiteral("ref"));
    const int subrefno = containers.columnIndex(QStringLiteral("subrefno"));
    if (cargo.columns.isEmpty() || ref < 0 || subrefno < 0 || idColumn < 0)
        return unmatched;
    const qsizetype width = std::max(ref, subrefno) + 1;

    // The containers of each old id, found once: matching every shipping bill
    // against every container would take many minutes for a large EGM. A container
    // without a ref matches no shipping bill.
    QHash<double, QList<qsizetype>> byOldRef;
    for (qsizetype i = 0; i < containers.rows.size(); ++i) {
        RowValues& container = containers.rows[i];
        if (container.size() < width)
            container.resize(width);
        if (!container[ref].isNull())
            byOldRef[numberOf(container[ref]) + 0.0].append(i); // + 0.0: -0 is 0
    }

    QList<bool> matched(containers.rows.size(), false);
    // 64 bits: the id after the last one may lie beyond the range of an id.
    qint64 nextId = baseId;
    for (RowValues& bill : cargo.rows) {
        if (bill.size() <= idColumn)
            bill.resize(idColumn + 1);
        // The old id is a whole number: the value rounds as an integer
        // assignment would.
        const double oldId = std::nearbyint(numberOf(bill[idColumn]));
        const QVariant newId =
            nextId <= std::numeric_limits<int>::max() ? QVariant(int(nextId)) : QVariant(nextId);
        bill[idColumn] = newId;
        // Bills sharing an old id: the last one keeps the containers, as
        // when each bill in turn claims every container of its old id.
        const auto it = byOldRef.constFind(oldId + 0.0);
        if (it != byOldRef.cend())
            for (qsizetype i : *it) {
                containers.rows[i][subrefno] = newId;
                matched[i] = true;
            }
        ++nextId;
    }
    for (qsizetype i = 0; i < containers.rows.size(); ++i) {
        RowValues& container = containers.rows[i];
        container[ref] = container[subrefno];
        container[subrefno] = 0;
        if (!matched[i])
            unmatched << i;
    }
    return unmatched;
}
