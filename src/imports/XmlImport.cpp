#include "XmlImport.h"

#include "AdoXmlReader.h"
#include "BillHistory.h"
#include "CargoRenumber.h"
#include "Database.h"
#include "RowInserter.h"
#include "ValueText.h"

#include <QDir>
#include <QSet>
#include <algorithm>
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

/// Why a file of the pair cannot be read: the reader's message with the
/// line and column when it knows them (the first line of ours names the file).
Outcome unreadable(const QString& role, const QString& path, const AdoXml::Error& error)
{
    QString reason = error.message;
    const QString prefix = QStringLiteral("\"%1\": ").arg(shown(path));
    if (reason.startsWith(prefix))
        reason = reason.mid(prefix.size());
    if (error.line > 0)
        reason =
            QStringLiteral("Line %1, column %2: %3").arg(error.line).arg(error.column).arg(reason);
    return refused(role, path, reason);
}

/// The EGM number of a cargo row as the classic text conversion writes it:
/// numbers in their ordinary form (1234, not 1234.0), text without its
/// trailing blanks.
QString egmnoText(const Cell& value)
{
    switch (value.kind) {
    case Cell::Kind::Null:
        return QString();
    case Cell::Kind::Integer:
    case Cell::Kind::Real:
        return ValueText::numberText(value.toVariant());
    case Cell::Kind::Text:
        return withoutTrailingBlanks(QString::fromUtf8(value.text));
    default:
        break;
    }
    return withoutTrailingBlanks(value.toVariant().toString());
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

bool namesMatch(const ColumnList& file, const ColumnList& table)
{
    QSet<int> seen;
    for (const ColumnInfo& c : file) {
        int found = -1;
        for (int t = 0; t < table.size() && found < 0; ++t)
            if (table[t].name.compare(c.name, Qt::CaseInsensitive) == 0)
                found = t;
        if (found < 0 || seen.contains(found))
            return false;
        seen.insert(found);
    }
    return !file.isEmpty();
}

/// skipKey: the table's column 0 is not copied (egmcontain's autoid, which
/// the table numbers itself).
ColumnMap mapColumns(const ColumnList& file, const ColumnList& table, bool skipKey)
{
    ColumnMap map;
    map.byName = namesMatch(file, table);
    for (int k = 0; k < file.size() && k < table.size(); ++k) {
        int t = k;
        if (map.byName)
            for (t = 0; t < table.size(); ++t)
                if (table[t].name.compare(file[k].name, Qt::CaseInsensitive) == 0)
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

QString tooWide(const ColumnList& file, const ColumnList& table, const QString& tableName)
{
    return QStringLiteral("It has %1 columns and the table %2 has %3: its columns must be those "
                          "of %2, in the same order.")
        .arg(file.size())
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

/// "The cargo file "x", row 3": where a row the database refused came from.
QString rowFault(const QString& role, const QString& path, qsizetype row)
{
    if (row < 0)
        return QString();
    return QStringLiteral("The %1 \"%2\", row %3").arg(role, shown(path)).arg(row + 1);
}

/// The ids would run past the largest a shipping bill id can be: the
/// shipping bills of the file are counted (from the one at hand, bill, on)
/// for the message.
Outcome idsRunOut(AdoXml::Reader& cargo, int bill)
{
    int bills = bill;
    while (cargo.next())
        ++bills;
    return stopped(QStringLiteral("The %1 shipping bills cannot be numbered: their ids would run "
                                  "past %2, the largest a shipping bill id can be. Nothing was "
                                  "imported.")
                       .arg(bills)
                       .arg(std::numeric_limits<qint32>::max()));
}

/// A text value that holds a control character but TAB, named by its line,
/// column and field; "" when the row holds none. A line break or a group
/// separator would break the flat file the values go into later.
QString controlInRow(const AdoXml::Reader& reader, int row)
{
    for (int k = 0; k < reader.columns().size(); ++k) {
        const Cell& c = reader.cell(k);
        char32_t character = 0;
        if (c.kind != Cell::Kind::Text || ValueText::firstControl(c.text, &character) < 0)
            continue;
        const AdoXml::Error where = reader.cellPosition(k);
        return QStringLiteral("Line %1, column %2: row %3, field \"%4\" holds %5; no value of the "
                              "file may hold a control character but TAB.")
            .arg(where.line)
            .arg(where.column)
            .arg(row)
            .arg(reader.columns()[k].name, ValueText::controlName(character));
    }
    return QString();
}

/// The rows of one file of the pair as they go into their table.
class Stream
{
public:
    Stream(AdoXml::Reader& reader, const ColumnMap& map) : reader_(reader), map_(map) {}

    /// Copies the current row's values into the inserter's cells by the map.
    void fill(RowInserter& out) const
    {
        for (int j = 0; j < map_.fileColumns.size(); ++j)
            out.cell(j) = reader_.cell(map_.fileColumns[j]);
    }
    /// The inserter column a file column lands on, -1 when it is not copied.
    int target(int fileColumn) const { return int(map_.fileColumns.indexOf(fileColumn)); }

private:
    AdoXml::Reader& reader_;
    const ColumnMap& map_;
};

/// The shipping bills of a cargo file, counted by a reading of their own;
/// -1 when the file cannot be read to its end (the import then says why).
int billsIn(const QString& cargoPath)
{
    AdoXml::Reader reader;
    if (!reader.openFile(cargoPath))
        return -1;
    int n = 0;
    while (reader.next())
        ++n;
    return reader.failed() ? -1 : n;
}

QString bills(int n)
{
    return n == 1 ? QStringLiteral("1 shipping bill") : QStringLiteral("%1 shipping bills").arg(n);
}

} // namespace

QString importAgainQuestion(const QString& rotNo, int stored, int incoming)
{
    return QStringLiteral("ROT No. %1 already holds %2. Import %3 more?")
        .arg(rotNo, bills(stored))
        .arg(incoming);
}

QString importedCounts(const Outcome& outcome)
{
    // In 64 bits: the last id may be the largest an int holds.
    const qint64 lastId = qint64(outcome.firstId) + outcome.shippingBills - 1;
    return QStringLiteral("Imported %1 (ids %2 to %3) and %4 containers.")
        .arg(bills(outcome.shippingBills))
        .arg(outcome.firstId)
        .arg(lastId)
        .arg(outcome.containers);
}

Outcome importPair(Database& db, const Request& request)
{
    const QString cargoPath = withoutTrailingBlanks(request.cargoPath);
    const QString containerPath = withoutTrailingBlanks(request.containerPath);
    if (cargoPath.isEmpty())
        return stopped(QStringLiteral("No cargo file was given; nothing was imported."));
    if (containerPath.isEmpty())
        return stopped(QStringLiteral("No container file was given; nothing was imported."));
    const QString cargoRole = QStringLiteral("cargo file");
    const QString containerRole = QStringLiteral("container file");

    try {
        // Both files are read as they are written to the database, one row
        // at a time: only their bytes are held.
        AdoXml::Reader cargo;
        AdoXml::Reader containers;
        if (!cargo.openFile(cargoPath))
            return unreadable(cargoRole, cargoPath, cargo.error());
        if (!containers.openFile(containerPath))
            return unreadable(containerRole, containerPath, containers.error());

        if (const QString missing = checkImportColumns(cargo.columns(), containers.columns());
            !missing.isEmpty()) {
            const bool cargoAtFault =
                cargo.columns().isEmpty() || cargo.columnIndex(QStringLiteral("egmno")) < 0;
            return cargoAtFault ? refused(cargoRole, cargoPath, missing)
                                : refused(containerRole, containerPath, missing);
        }
        // Without a first row the classic import failed half way; say so plainly.
        if (!cargo.next()) {
            if (cargo.failed())
                return unreadable(cargoRole, cargoPath, cargo.error());
            return stopped(
                QStringLiteral("The cargo file \"%1\" holds no shipping bills; nothing was "
                               "imported.")
                    .arg(shown(cargoPath)));
        }
        const int egmnoColumn = cargo.columnIndex(QStringLiteral("egmno"));
        const int sbnoColumn = cargo.columnIndex(QStringLiteral("sbno"));
        const QString fileEgmNo = egmnoText(cargo.cell(egmnoColumn));
        if (fileEgmNo != request.rotNo)
            return stopped(QStringLiteral("Cargo file contain Data of ") + fileEgmNo);
        if (request.confirmAgain) {
            const int stored =
                db.scalar(QStringLiteral("select count(*) from egmcargo where egmno = ?"),
                          {ValueText::leadingNumber(request.rotNo)})
                    .toInt();
            const int incoming = stored > 0 ? billsIn(cargoPath) : 0;
            if (stored > 0 && incoming > 0 && !request.confirmAgain(stored, incoming)) {
                Outcome no = stopped(QStringLiteral("ROT No. %1 already holds %2; nothing was "
                                                    "imported.")
                                         .arg(request.rotNo, bills(stored)));
                no.declined = true;
                return no;
            }
        }

        const ColumnList cargoTable = db.tableColumns(kCargoTable);
        const ColumnList containerTable = db.tableColumns(kContainerTable);
        // A file in the table's own order but for its names goes by
        // position: it cannot be wider than its table.
        if (!namesMatch(cargo.columns(), cargoTable) && cargo.columns().size() > cargoTable.size())
            return refused(cargoRole, cargoPath, tooWide(cargo.columns(), cargoTable, kCargoTable));
        if (!namesMatch(containers.columns(), containerTable) &&
            containers.columns().size() > containerTable.size())
            return refused(containerRole, containerPath,
                           tooWide(containers.columns(), containerTable, kContainerTable));
        const ColumnMap cargoMap = mapColumns(cargo.columns(), cargoTable, false);
        const ColumnMap containerMap = mapColumns(containers.columns(), containerTable, true);
        // Matched by name without an id column: the new ids need one.
        QStringList cargoTargets = cargoMap.tableColumns;
        if (cargoMap.keyColumn < 0)
            cargoTargets << cargoTable.first().name;
        const int idTarget = cargoMap.keyColumn < 0
                                 ? int(cargoTargets.size()) - 1
                                 : int(cargoMap.fileColumns.indexOf(cargoMap.keyColumn));

        // Another import holds the lock for the whole of its own: wait for it.
        const Database::LockWait patient(db, request.lockWaitSeconds);
        Database::Transaction transaction(db);
        // Read inside the transaction, with the table held: no other
        // installation takes the same ids meanwhile.
        const double maxId = db.lockedMaxId(kCargoTable);
        constexpr qint64 kLargestId = std::numeric_limits<qint32>::max();
        if (maxId >= double(kLargestId))
            return idsRunOut(cargo, 1);
        // An id below the range of an id (a damaged table) starts at its bottom.
        const qint64 baseId =
            qint64(std::max(maxId, double(std::numeric_limits<qint32>::min()) - 1)) + 1;
        ImportNumbering numbering(baseId);

        // The shipping bills.
        const auto bills = RowInserter::open(db, kCargoTable, cargoTargets);
        const Stream billStream(cargo, cargoMap);
        Cell none;
        int bill = 0;
        do {
            ++bill;
            if (bill > 1) {
                // Every bill, not the first alone: a pair holds one EGM.
                const QString egmNo = egmnoText(cargo.cell(egmnoColumn));
                if (egmNo != fileEgmNo)
                    return refused(
                        cargoRole, cargoPath,
                        QStringLiteral("Shipping Bill No. %1 (row %2) carries the EGM No. %3 "
                                       "where the first carries %4: a pair holds one EGM.")
                            .arg(sbnoColumn < 0 ? QString()
                                                : ValueText::numberText(cargo.value(sbnoColumn)))
                            .arg(bill)
                            .arg(egmNo.isEmpty() ? QStringLiteral("none") : egmNo,
                                 fileEgmNo.isEmpty() ? QStringLiteral("none") : fileEgmNo));
            }
            // The last id must fit the column: an import never wraps around.
            if (numbering.nextId() > kLargestId)
                return idsRunOut(cargo, bill);
            const qint64 id =
                numbering.addBill(cargoMap.keyColumn < 0 ? none : cargo.cell(cargoMap.keyColumn));
            if (const QString control = controlInRow(cargo, bill); !control.isEmpty())
                return refused(cargoRole, cargoPath, control);
            billStream.fill(*bills);
            bills->cell(idTarget).setInteger(id);
            try {
                bills->insert();
            } catch (const DbError& e) {
                return databaseFailed(e, rowFault(cargoRole, cargoPath, bills->failedRow()));
            }
        } while (cargo.next());
        if (cargo.failed())
            return unreadable(cargoRole, cargoPath, cargo.error());
        try {
            bills->finish();
        } catch (const DbError& e) {
            return databaseFailed(e, rowFault(cargoRole, cargoPath, bills->failedRow()));
        }

        // The containers, each pointed at the new id of its shipping bill.
        const int refColumn = containers.columnIndex(QStringLiteral("ref"));
        const int subrefColumn = containers.columnIndex(QStringLiteral("subrefno"));
        const int containnoColumn = containers.columnIndex(QStringLiteral("containno"));
        const auto boxes = RowInserter::open(db, kContainerTable, containerMap.tableColumns);
        const Stream boxStream(containers, containerMap);
        const int refTarget = boxStream.target(refColumn);
        const int subrefTarget = boxStream.target(subrefColumn);
        int box = 0;
        int strays = 0;
        QString firstStray;
        while (containers.next()) {
            ++box;
            const auto ref = numbering.refOf(containers.cell(refColumn));
            if (!ref) {
                // Its ref would point it at whatever bill holds that id already.
                if (strays++ == 0) {
                    const Cell& fileRef = containers.cell(refColumn);
                    firstStray =
                        QStringLiteral("The container %1 (row %2) ")
                            .arg(containnoColumn >= 0 ? containers.value(containnoColumn).toString()
                                                      : QString())
                            .arg(box) +
                        (fileRef.isNull()
                             ? QStringLiteral("names no shipping bill (its ref is empty).")
                             : QStringLiteral("belongs to the shipping bill with id %1, which "
                                              "the cargo file does not hold.")
                                   .arg(ValueText::numberText(containers.value(refColumn))));
                }
                continue;
            }
            if (strays > 0)
                continue; // only counted now: nothing more is written
            if (const QString control = controlInRow(containers, box); !control.isEmpty())
                return refused(containerRole, containerPath, control);
            boxStream.fill(*boxes);
            if (refTarget >= 0)
                boxes->cell(refTarget).setInteger(*ref);
            if (subrefTarget >= 0)
                boxes->cell(subrefTarget).setInteger(0);
            try {
                boxes->insert();
            } catch (const DbError& e) {
                return databaseFailed(e,
                                      rowFault(containerRole, containerPath, boxes->failedRow()));
            }
        }
        if (containers.failed())
            return unreadable(containerRole, containerPath, containers.error());
        if (strays > 0) {
            if (strays > 1)
                firstStray += QStringLiteral(" %1 other containers belong to no shipping bill of "
                                             "it either.")
                                  .arg(strays - 1);
            return refused(containerRole, containerPath, firstStray);
        }
        try {
            boxes->finish();
        } catch (const DbError& e) {
            return databaseFailed(e, rowFault(containerRole, containerPath, boxes->failedRow()));
        }
        BillHistory::writeFrom(db, baseId, BillHistory::Kind::Imported, request.user,
                               QStringLiteral("From ") + shown(cargoPath));
        transaction.commit();

        Outcome done;
        done.imported = true;
        done.message = successMessage();
        done.shippingBills = bill;
        done.containers = box;
        done.firstId = int(baseId);
        return done;
    } catch (const DbError& e) {
        return databaseFailed(e, QString());
    } catch (const std::bad_alloc&) {
        // The classic run-time error for the same trouble.
        return stopped(QStringLiteral("7  Out of memory\nNothing was imported."));
    }
}

} // namespace XmlImport
