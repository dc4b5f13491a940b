#include "XmlImport.h"

#include "AdoXml.h"
#include "CargoRenumber.h"
#include "Database.h"
#include "ValueText.h"

#include <QDir>
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

/// Names of the table's columns from position from up to count - 1: the
/// file's columns land on these, position for position.
QStringList leadingColumns(const ColumnList& table, qsizetype from, qsizetype count)
{
    QStringList names;
    for (qsizetype k = from; k < count; ++k)
        names << table[k].name;
    return names;
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

        const QString fileEgmNo =
            egmnoText(cargo.rows.first().value(cargo.columnIndex(QStringLiteral("egmno"))));
        if (fileEgmNo != request.rotNo)
            return stopped(QStringLiteral("Cargo file contain Data of ") + fileEgmNo);

        // Columns go by position: a file wider than its table cannot fit.
        const ColumnList cargoTable = db.tableColumns(kCargoTable);
        const ColumnList containerTable = db.tableColumns(kContainerTable);
        const auto tooWide = [](const RowTable& file, const ColumnList& table,
                                const QString& tableName) {
            return QStringLiteral("It has %1 columns and the table %2 has %3: its columns must "
                                  "be those of %2, in the same order.")
                .arg(file.columns.size())
                .arg(tableName)
                .arg(table.size());
        };
        if (cargo.columns.size() > cargoTable.size())
            return refused(QStringLiteral("cargo file"), cargoPath,
                           tooWide(cargo, cargoTable, kCargoTable));
        if (containers.columns.size() > containerTable.size())
            return refused(QStringLiteral("container file"), containerPath,
                           tooWide(containers, containerTable, kContainerTable));

        Database::Transaction transaction(db);
        // Read inside the transaction, with the table held: no other
        // installation takes the same ids meanwhile.
        db.lockTable(kCargoTable);
        const double maxId = ValueText::leadingNumber(
            ValueText::numberText(db.scalar(QStringLiteral("select max(id) from egmcargo"))));
        const double lastId = maxId + double(cargo.rows.size());
        if (lastId > std::numeric_limits<qint32>::max())
            throw DbError(DbError::BadValue, QStringLiteral("'%1' is too large for the field 'id'.")
                                                 .arg(ValueText::numberText(lastId)));
        const int baseId = int(maxId) + 1;
        renumberImport(cargo, containers, baseId);

        db.insertRows(kCargoTable, leadingColumns(cargoTable, 0, cargo.columns.size()), cargo.rows);
        // autoid (column 0) stays behind: the table numbers the new rows.
        for (RowValues& row : containers.rows)
            row.removeFirst();
        db.insertRows(kContainerTable, leadingColumns(containerTable, 1, containers.columns.size()),
                      containers.rows);
        transaction.commit();

        Outcome done;
        done.imported = true;
        done.message = successMessage();
        done.shippingBills = int(cargo.rows.size());
        done.containers = int(containers.rows.size());
        done.firstId = baseId;
        return done;
    } catch (const DbError& e) {
        return stopped(e.numberAndDescription(QStringLiteral("  ")));
    } catch (const std::bad_alloc&) {
        // The classic run-time error for the same trouble.
        return stopped(QStringLiteral("7  Out of memory"));
    }
}

} // namespace XmlImport
