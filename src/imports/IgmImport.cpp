#include "IgmImport.h"

#include "Database.h"
#include "IgmFile.h"
#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <new>

namespace IgmImport {

namespace {

const QString kVesselTable = QStringLiteral("vesinfo");
const QString kCargoTable = QStringLiteral("cargo");
const QString kContainerTable = QStringLiteral("contain");

/// Rows are written in blocks: memory stays small for a large file, and one
/// prepared statement serves a whole block.
constexpr qsizetype kBlockRows = 256;

/// How a field becomes a column's value.
enum class Kind
{
    Text,
    Date,   ///< ddmmyyyy to mm/dd/yyyy
    Number, ///< its numeric value
    Id      ///< base id + its numeric value
};

struct Mapping
{
    int column;
    int field;
    Kind kind = Kind::Text;
};

QList<Mapping> vesselMapping()
{
    QList<Mapping> m;
    for (int field = 3; field <= 18; ++field)
        m.append({field + 2, field});
    for (int field = 21; field <= 28; ++field)
        m.append({field + 2, field});
    return m;
}

QList<Mapping> cargoMapping()
{
    QList<Mapping> m{{0, 5, Kind::Id},   {1, 1}, {2, 2},  {3, 5}, {4, 6}, {5, 7},
                     {6, 8, Kind::Date}, {9, 9}, {10, 10}};
    for (int field = 13; field <= 34; ++field)
        m.append({field - 2, field, field == 29 ? Kind::Number : Kind::Text});
    return m;
}

QList<Mapping> containerMapping()
{
    QList<Mapping> m;
    for (int field = 5; field <= 34; ++field)
        m.append({field - 4, field});
    return m;
}

/// Empty fields are stored as empty text; a null string would be bound as
/// null, which stands for a column the file does not fill.
QString nonNull(const QString& text)
{
    static const QString empty = QStringLiteral("");
    return text.isNull() ? empty : text;
}

/// Why the import stops; line 0 when no line is at fault.
struct Refusal
{
    QString reason;
    int line = 0;
};

/// The classic RTrim: blanks only.
QString withoutTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

Outcome stopped(const QString& message, int line = 0)
{
    Outcome o;
    o.message = message;
    o.errorLine = line;
    return o;
}

Outcome refused(const QString& path, const Refusal& why)
{
    return stopped(QStringLiteral("The IGM file \"%1\" cannot be imported.\n%2\nNothing was "
                                  "imported.")
                       .arg(QDir::toNativeSeparators(path), why.reason),
                   why.line);
}

QString counted(int n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

/// The rows of one table, checked value by value as they come and written
/// a block at a time.
class TableWriter
{
public:
    TableWriter(Database& db, const QString& table, QList<Mapping> mapping, int columnsNeeded)
        : db_(db), table_(table), mapping_(std::move(mapping))
    {
        const ColumnList layout = db.tableColumns(table);
        if (layout.size() < columnsNeeded)
            throw Refusal{QStringLiteral("The table %1 has %2 columns; the import needs %3.")
                              .arg(table)
                              .arg(layout.size())
                              .arg(columnsNeeded)};
        for (const Mapping& m : mapping_) {
            columns_ << layout[m.column];
            names_ << layout[m.column].name;
        }
        block_.reserve(kBlockRows);
    }

    /// The row of one data line, each value checked against its column.
    RowValues row(const IgmFile::Line& line, double baseId) const
    {
        RowValues row;
        row.reserve(mapping_.size());
        for (qsizetype i = 0; i < mapping_.size(); ++i) {
            const Mapping& m = mapping_[i];
            const QString field = line.fields.value(m.field);
            for (const QChar c : field)
                if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
                    throw Refusal{QStringLiteral("Line %1, field %2 holds %3; no value of the "
                                                 "file may hold a control character but TAB.")
                                      .arg(line.number)
                                      .arg(m.field)
                                      .arg(ValueText::controlName(c.unicode())),
                                  line.number};
            QVariant value;
            switch (m.kind) {
            case Kind::Text:
                value = nonNull(field);
                break;
            case Kind::Date:
                value = nonNull(monthFirstDate(field));
                break;
            case Kind::Number:
                value = ValueText::leadingNumber(field);
                break;
            case Kind::Id:
                value = baseId + ValueText::leadingNumber(field);
                break;
            }
            try {
                row.append(Database::checkValue(columns_[i], value));
            } catch (const DbError& e) {
                throw Refusal{QStringLiteral("Line %1, field %2: %3")
                                  .arg(line.number)
                                  .arg(m.field)
                                  .arg(e.description()),
                              line.number};
            }
        }
        return row;
    }

    void append(RowValues row)
    {
        block_.append(std::move(row));
        ++rows_;
        if (block_.size() >= kBlockRows)
            flush();
    }

    void flush()
    {
        if (block_.isEmpty())
            return;
        db_.insertRows(table_, names_, block_);
        block_.clear();
    }

    int rows() const { return rows_; }

private:
    Database& db_;
    QString table_;
    QList<Mapping> mapping_;
    ColumnList columns_;
    QStringList names_;
    QList<RowValues> block_;
    int rows_ = 0;
};

/// The bytes of the file: mapped where the system allows it, read otherwise.
struct FileBytes
{
    QFile file;
    QByteArray read;
    QByteArrayView bytes;
    QString error;

    explicit FileBytes(const QString& path) : file(path)
    {
        if (QFileInfo(path).isDir()) {
            error = QStringLiteral("it is a folder");
            return;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
            return;
        }
        const qint64 size = file.size();
        if (uchar* mapped = size > 0 ? file.map(0, size) : nullptr) {
            bytes = QByteArrayView(mapped, size);
            return;
        }
        read = file.readAll();
        if (file.error() != QFileDevice::NoError)
            error = file.errorString();
        bytes = read;
    }
};

} // namespace

QString monthFirstDate(const QString& ddmmyyyy)
{
    if (ddmmyyyy.isEmpty())
        return QString();
    return ddmmyyyy.mid(2, 2) + u'/' + ddmmyyyy.left(2) + u'/' + ddmmyyyy.right(4);
}

Outcome importFile(Database& db, const Request& request)
{
    const QString path = withoutTrailingBlanks(request.path);
    if (path.isEmpty())
        return stopped(QStringLiteral("No IGM file was given; nothing was imported."));

    try {
        const FileBytes file(path);
        if (!file.error.isEmpty())
            return stopped(QStringLiteral("The IGM file \"%1\" cannot be opened: %2.\nNothing "
                                          "was imported.")
                               .arg(QDir::toNativeSeparators(path), file.error));

        IgmFile::Reader reader(file.bytes);
        IgmFile::Reader::Section section;
        IgmFile::Line line;
        if (!reader.next(&section, &line))
            return refused(path, {reader.error().message, reader.error().line});
        // Shown before anything is written, so that no lock is held while
        // the clerk reads it.
        if (request.showVesselLine)
            request.showVesselLine(reader.vesselText());

        // Another import holds the lock for the whole of its own: wait for it.
        const Database::LockWait patient(db, request.lockWaitSeconds);
        Database::Transaction transaction(db);
        // Taken once, inside the transaction, after the lock: no other
        // installation numbers cargo rows meanwhile.
        const double baseId = db.lockedMaxId(kCargoTable) + 1;

        TableWriter vessels(db, kVesselTable, vesselMapping(), 31);
        TableWriter cargo(db, kCargoTable, cargoMapping(), 33);
        TableWriter containers(db, kContainerTable, containerMapping(), 31);
        vessels.append(vessels.row(line, baseId));
        vessels.flush();

        // The id of a cargo line follows from its field 5 alone, so two
        // lines with the same number would share one: the whole file is
        // refused rather than half of it written.
        QHash<double, int> lineOfId;
        while (reader.next(&section, &line)) {
            if (section == IgmFile::Reader::Section::Container) {
                containers.append(containers.row(line, baseId));
                continue;
            }
            RowValues row = cargo.row(line, baseId);
            const QVariant id = row.first(); // column 0
            const double key = id.toDouble();
            const auto clash = [&](const QString& holder) {
                return Refusal{QStringLiteral("Line %1: field 5 (\"%2\") gives the cargo id "
                                              "%3, which %4 has already; each cargo line needs "
                                              "a number of its own in field 5.")
                                   .arg(line.number)
                                   .arg(line.fields.value(5), ValueText::numberText(key), holder),
                               line.number};
            };
            if (const auto seen = lineOfId.constFind(key); seen != lineOfId.cend())
                throw clash(QStringLiteral("line %1").arg(*seen));
            lineOfId.insert(key, line.number);
            // Below the base id lie the rows already in the table.
            if (key < baseId &&
                db.scalar(QStringLiteral("select count(*) from cargo where id = ?"), {id}).toInt() >
                    0)
                throw clash(QStringLiteral("a cargo row in the table"));
            cargo.append(std::move(row));
        }
        if (reader.failed())
            throw Refusal{reader.error().message, reader.error().line};
        cargo.flush();
        containers.flush();
        transaction.commit();

        Outcome done;
        done.imported = true;
        done.cargoLines = cargo.rows();
        done.containers = containers.rows();
        done.message = QStringLiteral("Imported 1 vessel, %1 and %2.")
                           .arg(counted(done.cargoLines, "cargo line", "cargo lines"),
                                counted(done.containers, "container", "containers"));
        return done;
    } catch (const Refusal& why) {
        return refused(path, why);
    } catch (const DbError& e) {
        return refused(path, {e.description()});
    } catch (const std::bad_alloc&) {
        return refused(path, {QStringLiteral("Out of memory")});
    }
}

} // namespace IgmImport
