#include "XmlImport.h"

#include "AdoXml.h"
#include "CargoRenumber.h"
#include "Database.h"
#include "ValueText.h"

#include <QDir>
#include <QSet>
#include <limits>
#include <new>

namespace XmlImport {

namespace {

const QString kCargoTable = QStringLiteral("egmcargo");
const QString kContainerTable = QStringLiteral("egmcontain");

/// The classic RTrim: blanks only; a trailing tab stays part of the name.
QString withoutTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Outcome stopped(const QString& message)
{
    Outcome o;
    o.message = message;
    return o;
}

/// "The cargo file "x" cannot be imported." with the reason below it.
Outcome refused(const QString& role, const QString& path, const QString& reason)
{
    return stopped(QStringLiteral("The %1 \"%2\" cannot be imported.\n%3\nNothing was imported.")
                       .arg(role, shown(path), reason));
}

/// Reads one file of the pair; on failure the message names the file and,
/// when the reader knows it, the line and column.
bool readPart(const QString& role, const QString& path, RowTable* table, Outcome* failure)
{
    AdoXml::Error error;
    if (AdoXml::readFile(path, table, &error))
        return true;
    QString reason = error.message;
    // The reader puts the file in front; the first line of ours names it already.
    const QString prefix = QStringLiteral("\"%1\": ").arg(shown(path));
    if (reason.startsWith(prefix))
        reason = reason.mid(prefix.size());
    if (error.line > 0)
        reason =
            QStringLiteral("Line %1, column %2: %3").arg(error.line).arg(error.column).arg(reason);
    *failure = refused(role, path, reason);
    return false;
}

/// The EGM number of a cargo row as the classic text conversion writes it:
/// numbers in their ordinary form (1234, not 1234.0), text without its
/// trailing blanks.
QString egmnoText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return ValueText::numberText(value);
    default:
        break;
    }
    return withoutTrailingBlanks(value.toString());
}

/// How the columns of a file land on those of its table: by name when every
/// column name of the file is a column of the table (without regard to case,
/// none twice), so that a file listing them in another order is read right;
/// otherwise by position, from the table's first column on.
struct ColumnMap
{
    bool byName = false;
    QList<int> fileColumns;   ///< the file's columns that are copied, in order
    QStringList tableColumns; ///< the table column each of them lands on
    int keyColumn = -1;       ///< the file column on the table's column 0
};

bool namesMatch(const RowTable& file, const ColumnList& table)
{
    QSet<int> seen;
    for (const ColumnInfo& c : file.columns) {
        int found = -1;
        for (int t = 0; t < table.size() && found < 0; ++t)
            if (table[t].name.compare(c.name, Qt::CaseInsensitive) == 0)
                found = t;
        if (found < 0 || seen.contains(found))
            return false;
        seen.insert(found);
    }
    return !file.columns.isEmpty();
}

/// skipKey: the table's column 0 is not copied (egmcontain's autoid, which
/// the table numbers itself).
ColumnMap mapColumns(const RowTable& file, const ColumnList& table, bool skipKey)
{
    ColumnMap map;
    map.byName = namesMatch(file, table);
    for (int k = 0; k < file.columns.size() && k < table.size(); ++k) {
        int t = k;
        if (map.byName)
            for (t = 0; t < table.size(); ++t)
                if (table[t].name.compare(file.columns[k].name, Qt::CaseInsensitive) == 0)
                    break;
        if (t == 0)
            map.keyColumn = k;
        if (t == 0 && skipKey)
            continue;
        map.fileColumns << k;
        map.tableColumns << table[t].name;
    }
    return map;
}

QList<RowValues> mappedRows(const RowTable& file, const ColumnMap& map)
{
    QList<RowValues> rows;
    rows.reserve(file.rows.size());
    for (const RowValues& row : file.rows) {
        RowValues out;
        out.reserve(map.fileColumns.size());
        for (int k : map.fileColumns)
            out << row.value(k);
        rows << std::move(out);
    }
    return rows;
}

QString tooWide(const RowTable& file, const ColumnList& table, const QString& tableName)
{
    return QStringLiteral("It has %1 columns and the table %2 has %3: its columns must be those "
                          "of %2, in the same order.")
        .arg(file.columns.size())
        .arg(tableName)
        .arg(table.size());
}

/// A database error: its number and description as the classic message
/// gives them, then where it happened and that nothing was imported.
Outcome databaseFailed(const DbError& e, const QString& where)
{
    return stopped(e.numberAndDescription(QStringLiteral("  ")) + u'\n' +
                   (where.isEmpty() ? QStringLiteral("Nothing was imported.")
                                    : where + QStringLiteral(": nothing was imported.")));
}

} // namespace

Outcome importPair(Database& db, const Request& request)
{
    const QString cargoPath = withoutTrailingBlanks(request.cargoPath);
    const QString containerPath = withoutTrailingBlanks(request.containerPath);
    if (cargoPath.isEmpty())
        return stopped(QStringLiteral("No cargo file was given; nothing was imported."));
    if (containerPath.isEmpty())
        return stopped(QStringLiteral("No container file was given; nothing was imported."));

    try {
        RowTable cargo;
        RowTable containers;
        Outcome failure;
        if (!readPart(QStringLiteral("cargo file"), cargoPath, &cargo, &failure) ||
            !readPart(QStringLiteral("container file"), containerPath, &containers, &failure))
            return failure;

        if (const QString missing = checkImportColumns(cargo, containers); !missing.isEmpty()) {
            const bool cargoAtFault =
                cargo.columns.isEmpty() || cargo.columnIndex(QStringLiteral("egmno")) < 0;
            return cargoAtFault ? refused(QStringLiteral("cargo file"), cargoPath, missing)
                                : refused(QStringLiteral("container file"), containerPath, missing);
        }
        // Without a first row the classic import failed half way; say so plainly.
        if (cargo.rows.isEmpty())
            return stopped(
                QStringLiteral("The cargo file \"%1\" holds no shipping bills; nothing was "
                               "imported.")
                    .arg(shown(cargoPath)));

        const int egmnoColumn = cargo.columnIndex(QStringLiteral("egmno"));
        const QString fileEgmNo = egmnoText(cargo.rows.first().value(egmnoColumn));
        if (fileEgmNo != request.rotNo)
            return stopped(QStringLiteral("Cargo file contain Data of ") + fileEgmNo);
        // Every bill, not the first alone: a pair holds one EGM.
        const int sbnoColumn = cargo.columnIndex(QStringLiteral("sbno"));
        for (qsizetype r = 1; r < cargo.rows.size(); ++r) {
            const QString egmNo = egmnoText(cargo.rows[r].value(egmnoColumn));
            if (egmNo != fileEgmNo)
                return refused(
                    QStringLiteral("cargo file"), cargoPath,
                    QStringLiteral("Shipping Bill No. %1 (row %2) carries the EGM No. %3 where "
                                   "the first carries %4: a pair holds one EGM.")
                        .arg(ValueText::numberText(cargo.rows[r].value(sbnoColumn)))
                        .arg(r + 1)
                        .arg(egmNo.isEmpty() ? QStringLiteral("none") : egmNo,
                             fileEgmNo.isEmpty() ? QStringLiteral("none") : fileEgmNo));
        }

        const ColumnList cargoTable = db.tableColumns(kCargoTable);
        const ColumnList containerTable = db.tableColumns(kContainerTable);
        // A file in the table's own order but for its names goes by
        // position: it cannot be wider than its table.
        if (!namesMatch(cargo, cargoTable) && cargo.columns.size() > cargoTable.size())
            return refused(QStringLiteral("cargo file"), cargoPath,
                           tooWide(cargo, cargoTable, kCargoTable));
        if (!namesMatch(containers, containerTable) &&
            containers.columns.size() > containerTable.size())
            return refused(QStringLiteral("container file"), containerPath,
                           tooWide(containers, containerTable, kContainerTable));
        ColumnMap cargoMap = mapColumns(cargo, cargoTable, false);
        if (cargoMap.keyColumn < 0) {
            // Matched by name without an id column: the new ids need one.
            cargo.columns << cargoTable.first();
            for (RowValues& row : cargo.rows)
                row.resize(cargo.columns.size());
            cargoMap = mapColumns(cargo, cargoTable, false);
        }
        const ColumnMap containerMap = mapColumns(containers, containerTable, true);

        // Another import holds the lock for the whole of its own: wait for it.
        const Database::LockWait patient(db, request.lockWaitSeconds);
        Database::Transaction transaction(db);
        // Read inside the transaction, with the table held: no other
        // installation takes the same ids meanwhile.
        db.lockTable(kCargoTable);
        const double maxId = ValueText::leadingNumber(
            ValueText::numberText(db.scalar(QStringLiteral("select max(id) from egmcargo"))));
        // The last id must fit the column: an import never wraps around.
        if (maxId + double(cargo.rows.size()) > std::numeric_limits<qint32>::max())
            return stopped(
                QStringLiteral("The %1 shipping bills cannot be numbered: their ids would run "
                               "past %2, the largest a shipping bill id can be. Nothing was "
                               "imported.")
                    .arg(cargo.rows.size())
                    .arg(std::numeric_limits<qint32>::max()));
        const int baseId = int(maxId) + 1;
        const int refColumn = containers.columnIndex(QStringLiteral("ref"));
        QVariantList fileRefs; // as the file gives them, for the message
        fileRefs.reserve(containers.rows.size());
        for (const RowValues& row : containers.rows)
            fileRefs << row.value(refColumn);
        const QList<qsizetype> strays =
            renumberImport(cargo, containers, baseId, cargoMap.keyColumn);
        if (!strays.isEmpty()) {
            // Its ref would point it at whatever bill holds that id already.
            const qsizetype at = strays.first();
            const int containno = containers.columnIndex(QStringLiteral("containno"));
            const QVariant ref = fileRefs[at];
            QString reason =
                QStringLiteral("The container %1 (row %2) ")
                    .arg(containno >= 0 ? containers.rows[at].value(containno).toString()
                                        : QString())
                    .arg(at + 1) +
                (ref.isNull() ? QStringLiteral("names no shipping bill (its ref is empty).")
                              : QStringLiteral("belongs to the shipping bill with id %1, which "
                                               "the cargo file does not hold.")
                                    .arg(ValueText::numberText(ref)));
            if (strays.size() > 1)
                reason += QStringLiteral(" %1 other containers belong to no shipping bill of it "
                                         "either.")
                              .arg(strays.size() - 1);
            return refused(QStringLiteral("container file"), containerPath, reason);
        }

        qsizetype failedRow = -1;
        try {
            db.insertRows(kCargoTable, cargoMap.tableColumns, mappedRows(cargo, cargoMap),
                          &failedRow);
        } catch (const DbError& e) {
            return databaseFailed(e, failedRow < 0 ? QString()
                                                   : QStringLiteral("The cargo file \"%1\", row %2")
                                                         .arg(shown(cargoPath))
                                                         .arg(failedRow + 1));
        }
        try {
            db.insertRows(kContainerTable, containerMap.tableColumns,
                          mappedRows(containers, containerMap), &failedRow);
        } catch (const DbError& e) {
            return databaseFailed(e, failedRow < 0
                                         ? QString()
                                         : QStringLiteral("The container file \"%1\", row %2")
                                               .arg(shown(containerPath))
                                               .arg(failedRow + 1));
        }
        transaction.commit();

        Outcome done;
        done.imported = true;
        done.message = successMessage();
        done.shippingBills = int(cargo.rows.size());
        done.containers = int(containers.rows.size());
        done.firstId = baseId;
        return done;
    } catch (const DbError& e) {
        return databaseFailed(e, QString());
    } catch (const std::bad_alloc&) {
        // The classic run-time error for the same trouble.
        return stopped(QStringLiteral("7  Out of memory\nNothing was imported."));
    }
}

} // namespace XmlImport
