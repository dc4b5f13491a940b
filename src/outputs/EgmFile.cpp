#include "EgmFile.h"

#include "Cell.h"
#include "Cp1252.h"
#include "RowCursor.h"
#include "SafeFile.h"
#include "ValueText.h"

#include <QDir>
#include <cstring>

namespace EgmFile {

namespace {

constexpr char kGroupSeparator = '\x1d';
constexpr qsizetype kBlock = 64 * 1024;

/// A number column's field: its ordinary text form ("" for null).
void appendNumberText(QByteArray& out, const Cell& c)
{
    switch (c.kind) {
    case Cell::Kind::Null:
        return;
    case Cell::Kind::Integer:
        ValueText::appendNumber(out, c.integer);
        return;
    case Cell::Kind::Real:
        ValueText::appendNumber(out, c.real);
        return;
    case Cell::Kind::Text:
        ValueText::appendNumber(out, ValueText::leadingNumber(c.text));
        return;
    case Cell::Kind::Date:
    case Cell::Kind::Boolean:
        break;
    }
    out.append(ValueText::numberText(c.toVariant()).toLatin1());
}

/// A text column's field: exactly as stored, in the code page.
void appendText(QByteArray& out, const Cell& c)
{
    if (c.kind == Cell::Kind::Text)
        Cp1252::appendUtf8(out, c.text);
    else if (!c.isNull())
        Cp1252::appendUtf8(out, c.toVariant().toString().toUtf8());
}

ValueText::DateTime dateOf(const Cell& c)
{
    switch (c.kind) {
    case Cell::Kind::Date:
        return c.date;
    case Cell::Kind::Text:
        return ValueText::parseDateTime(c.text);
    case Cell::Kind::Null:
        return ValueText::DateTime();
    default:
        return ValueText::DateTime::from(ValueText::toDate(c.toVariant()));
    }
}

/// A value counts as zero when the leading number of its text is 0; an
/// empty, null or non-numeric value counts as zero too.
bool countsAsZero(QByteArrayView numberText)
{
    return ValueText::leadingNumber(numberText) == 0;
}

} // namespace

Writer::Writer(const QDate& screenDate, Sink sink) : sink_(std::move(sink))
{
    if (!screenDate.isValid()) {
        error_ = QStringLiteral("The EGM date is not a valid date; no file was written.");
        return;
    }
    ValueText::appendDdmmyyyy(date_, ValueText::DateTime::from(screenDate));
    out_.reserve(kBlock + 4096);
}

QString Writer::noDateMessage(const QString& sbno)
{
    return QStringLiteral("Shipping Bill No. %1 has no Shipping Bill Date; no file was written.")
        .arg(sbno);
}

QString Writer::missingColumnMessage(const char* what, const QString& column)
{
    return QStringLiteral("The %1 rows have no column \"%2\"; no file was written.")
        .arg(QLatin1String(what), column);
}

bool Writer::findColumns(const RowCursor& row, const char* what,
                         std::initializer_list<const char*> names, QList<int>* columns)
{
    if (!columns->isEmpty())
        return true;
    for (const char* name : names) {
        const int k = row.column(QString::fromLatin1(name));
        if (k < 0) {
            error_ = missingColumnMessage(what, QString::fromLatin1(name));
            columns->clear();
            return false;
        }
        columns->append(k);
    }
    return true;
}

QString Writer::controlMessage(const QString& sbno, const QString& field, char32_t character)
{
    return QStringLiteral("Shipping Bill No. %1: the field \"%2\" holds %3, which would break "
                          "the line of the flat file; no file was written.")
        .arg(sbno, field, ValueText::controlName(character));
}

bool Writer::fitsALine(const Cell& c, const char* field, const Cell& sbno)
{
    if (c.kind != Cell::Kind::Text)
        return true; // numbers and dates are written by us
    char32_t character = 0;
    if (ValueText::firstControl(c.text, &character) < 0)
        return true;
    QByteArray sbnoText;
    appendNumberText(sbnoText, sbno);
    error_ = controlMessage(QString::fromLatin1(sbnoText), QString::fromLatin1(field), character);
    return false;
}

bool Writer::flushIfFull()
{
    if (out_.size() < kBlock)
        return true;
    if (!sink_(out_)) {
        sinkFailed_ = true;
        return false;
    }
    out_.clear();
    return true;
}

bool Writer::billPrefix(const Cell& egmno, const Cell& sbno, const Cell& sbdt)
{
    const Cell* cells[3] = {&egmno, &sbno, &sbdt};
    bool same = !prefix_.isEmpty();
    for (int k = 0; k < 3 && same; ++k) {
        const Cell& c = *cells[k];
        const Remembered& r = last_[k];
        same = r.kind == int(c.kind);
        if (!same)
            break;
        switch (c.kind) {
        case Cell::Kind::Null:
            break;
        case Cell::Kind::Integer:
        case Cell::Kind::Boolean:
            same = r.integer == c.integer;
            break;
        case Cell::Kind::Real:
            same = std::memcmp(&r.real, &c.real, sizeof c.real) == 0;
            break;
        case Cell::Kind::Text:
            same = QByteArrayView(r.text) == c.text;
            break;
        case Cell::Kind::Date:
            same = r.date[0] == c.date.year && r.date[1] == c.date.month &&
                   r.date[2] == c.date.day && r.date[3] == c.date.hour &&
                   r.date[4] == c.date.minute && r.date[5] == c.date.second;
            break;
        }
    }
    if (same)
        return true;

    const ValueText::DateTime billDate = dateOf(sbdt);
    if (!billDate.isValid()) {
        QByteArray sbnoText;
        appendNumberText(sbnoText, sbno);
        error_ = noDateMessage(QString::fromLatin1(sbnoText));
        return false;
    }
    prefix_.clear();
    appendNumberText(prefix_, egmno);
    prefix_.append(kGroupSeparator).append(date_).append(kGroupSeparator);
    appendNumberText(prefix_, sbno);
    prefix_.append(kGroupSeparator);
    ValueText::appendDdmmyyyy(prefix_, billDate);
    prefix_.append(kGroupSeparator);
    for (int k = 0; k < 3; ++k) {
        const Cell& c = *cells[k];
        Remembered& r = last_[k];
        r.kind = int(c.kind);
        r.integer = c.integer;
        r.real = c.real;
        r.text = c.kind == Cell::Kind::Text ? c.text.toByteArray() : QByteArray();
        const int d[6] = {c.date.year, c.date.month,  c.date.day,
                          c.date.hour, c.date.minute, c.date.second};
        std::memcpy(r.date, d, sizeof d);
    }
    return true;
}

bool Writer::addBill(const RowCursor& row)
{
    static const char* const columnNames[] = {"egmno",    "sbno",     "sbdt",        "sbport",
                                              "destport", "gateport", "naturecargo", "volume",
                                              "unitvol",  "pkgs"};
    if (stopped() || !findColumns(row, "cargo",
                                  {columnNames[0], columnNames[1], columnNames[2], columnNames[3],
                                   columnNames[4], columnNames[5], columnNames[6], columnNames[7],
                                   columnNames[8], columnNames[9]},
                                  &billColumns_))
        return false;
    const QList<int>& k = billColumns_;
    if (!billPrefix(row.cell(k[0]), row.cell(k[1]), row.cell(k[2])))
        return false;
    if (!started_) {
        out_.append("<manifest>\n<egm_master>F\n");
        started_ = true;
    }
    // The text columns, by their place in the list above.
    for (const int i : {3, 4, 5, 6, 8})
        if (!fitsALine(row.cell(k[i]), columnNames[i], row.cell(k[1])))
            return false;
    out_.append(prefix_);
    for (int i = 3; i <= 6; ++i) {
        appendText(out_, row.cell(k[i]));
        out_.append(kGroupSeparator);
    }
    // The volume decides for the unit as well: no unit without a volume.
    const qsizetype volumeAt = out_.size();
    appendNumberText(out_, row.cell(k[7]));
    if (countsAsZero(QByteArrayView(out_).sliced(volumeAt))) {
        out_.truncate(volumeAt);
        out_.append(kGroupSeparator).append(kGroupSeparator);
    } else {
        out_.append(kGroupSeparator);
        appendText(out_, row.cell(k[8]));
        out_.append(kGroupSeparator);
    }
    const qsizetype pkgsAt = out_.size();
    appendNumberText(out_, row.cell(k[9]));
    if (countsAsZero(QByteArrayView(out_).sliced(pkgsAt)))
        out_.truncate(pkgsAt);
    out_.append(kGroupSeparator).append('\n');
    return flushIfFull();
}

void Writer::beginContainers()
{
    if (!stopped())
        out_.append("<egmcont>F\n");
}

bool Writer::addContainer(const RowCursor& row)
{
    if (stopped() ||
        !findColumns(row, "container", {"xegmno", "xsbno", "xsbdt", "containno", "constatus"},
                     &containerColumns_))
        return false;
    const QList<int>& k = containerColumns_;
    if (!billPrefix(row.cell(k[0]), row.cell(k[1]), row.cell(k[2])))
        return false;
    if (!fitsALine(row.cell(k[3]), "containno", row.cell(k[1])) ||
        !fitsALine(row.cell(k[4]), "constatus", row.cell(k[1])))
        return false;
    out_.append(prefix_);
    appendText(out_, row.cell(k[3]));
    out_.append(kGroupSeparator);
    appendText(out_, row.cell(k[4]));
    out_.append(kGroupSeparator).append('\n');
    return flushIfFull();
}

bool Writer::finish()
{
    if (stopped())
        return false;
    if (!started_)
        return true; // no shipping bill: no file
    out_.append("<END-egmcont>\n<END-egm_master>\n<END-manifest>\n");
    if (!sink_(out_)) {
        sinkFailed_ = true;
        return false;
    }
    out_.clear();
    return true;
}

QByteArray content(const QDate& screenDate, const RowTable& cargo, const RowTable& containers,
                   QString* error)
{
    QByteArray bytes;
    Writer w(screenDate, [&bytes](QByteArrayView block) {
        bytes.append(block);
        return true;
    });
    const auto bills = RowCursor::over(cargo);
    while (bills->next() && w.addBill(*bills)) {
    }
    w.beginContainers();
    const auto boxes = RowCursor::over(containers);
    while (boxes->next() && w.addContainer(*boxes)) {
    }
    const bool written = w.finish();
    if (error)
        *error = w.error();
    return written ? bytes : QByteArray();
}

QString cannotCreate(const QString& path, const QString& cause)
{
    return QStringLiteral("Cannot create \"%1\": %2").arg(QDir::toNativeSeparators(path), cause);
}

QString cannotWrite(const QString& path, const QString& cause)
{
    return QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), cause);
}

bool save(const QString& path, const QByteArray& bytes, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    SafeFile file(path);
    if (!file.open()) {
        *error = cannotCreate(path, file.errorString());
        return false;
    }
    if (!file.write(bytes) || !file.commit()) {
        *error = cannotWrite(path, file.errorString());
        return false;
    }
    error->clear();
    return true;
}

} // namespace EgmFile
