#include "AdoXmlWriter.h"

#include "Cell.h"
#include "RowCursor.h"
#include "ValueText.h"

#include <QDateTime>
#include <QSet>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace AdoXml {

namespace {

/// ADO starts a new line before an attribute once the line already holds more
/// than this many characters (tabs and the text of earlier attributes
/// included, raw line breaks inside values not restarting the count).
constexpr qsizetype kWrapAfter = 107;
constexpr qsizetype kBlock = 64 * 1024;

void appendEscaped(QByteArray& out, QByteArrayView utf8);

/// text with the five characters ADO writes as entities escaped, and TAB,
/// CR and LF as character references (ADO writes those raw, which XML reads
/// as blanks).
QString escaped(const QString& text)
{
    QByteArray out;
    appendEscaped(out, text.toUtf8());
    return QString::fromUtf8(out);
}

/// ADO writes a column under its own name only when the name is made of
/// letters, digits and underscores and does not start with a digit; anything
/// else (a blank, a dash, a leading digit) gets an alias.
bool isPlainName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c == u'_' || c.isLetter() || (i > 0 && c.isDigit()))
            continue;
        return false;
    }
    return true;
}

/// The schema part, written as text: a few dozen lines.
class TagWriter
{
public:
    void line(QStringView text)
    {
        out_ += text;
        newline();
    }

    /// Opens "<name" after indent tabs; wrapped attributes continue on lines
    /// indented by continuationTabs.
    void open(int indent, QStringView name, int continuationTabs)
    {
        text(QString(indent, u'\t'));
        text(u"<");
        text(name);
        continuation_ = continuationTabs;
        first_ = true;
    }

    void attribute(QStringView name, const QString& escapedValue)
    {
        if (!first_ && column_ > kWrapAfter) {
            newline();
            text(QString(continuation_, u'\t'));
        }
        first_ = false;
        text(u" ");
        text(name);
        text(u"='");
        text(escapedValue);
        text(u"'");
    }

    void close(QStringView end)
    {
        text(end);
        newline();
    }

    QByteArray bytes() const { return out_.toUtf8(); }

private:
    void text(QStringView s)
    {
        out_ += s;
        column_ += s.size();
    }
    void newline()
    {
        out_ += u"\r\n";
        column_ = 0;
    }

    QString out_;
    qsizetype column_ = 0;
    int continuation_ = 0;
    bool first_ = true;
};

/// ADO writes 17 significant digits: 3.14159 comes out as 3.1415899999999999.
void appendDouble(QByteArray& out, double value)
{
    if (value == 0) {
        out.append('0'); // also for -0
        return;
    }
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17).ptr;
    for (char* c = buffer; c < end; ++c)
        if (*c == 'e')
            *c = 'E';
    out.append(buffer, end - buffer);
}

std::optional<QDateTime> dateTimeOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        if (value.toDate().isValid())
            return QDateTime(value.toDate(), QTime(0, 0), Qt::UTC);
        return std::nullopt;
    case QMetaType::QDateTime:
        if (value.toDateTime().isValid())
            return value.toDateTime();
        return std::nullopt;
    default:
        break;
    }
    return ValueText::parseDateTime(value.toString());
}

/// The attribute text of a non-null value, or nothing when the value cannot
/// be written in its column's type (the row then omits it, as for a null).
/// The general case; appendValue() takes the common ones without it.
std::optional<QString> valueText(const ColumnInfo& column, const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (column.type) {
    case ColumnType::Long: {
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        return QString::number(ok ? v : qlonglong(ValueText::leadingNumber(value.toString())));
    }
    case ColumnType::Double: {
        bool ok = false;
        double v = value.toDouble(&ok);
        if (!ok)
            v = ValueText::leadingNumber(value.toString());
        if (!std::isfinite(v))
            return std::nullopt; // ADO cannot save NaN or infinity either
        QByteArray text;
        appendDouble(text, v);
        return QString::fromLatin1(text);
    }
    case ColumnType::Date: {
        const auto dt = dateTimeOf(value);
        if (!dt)
            return std::nullopt;
        return dt->date().toString(QStringLiteral("yyyy-MM-dd")) + u'T' +
               dt->time().toString(QStringLiteral("HH:mm:ss"));
    }
    case ColumnType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ColumnType::Text:
        break;
    }
    return escaped(value.toString());
}

void appendEscaped(QByteArray& out, QByteArrayView utf8)
{
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
    const char* run = p;
    for (; p < end; ++p) {
        const char* entity = nullptr;
        switch (*p) {
        case '\'':
            entity = "&#x27;";
            break;
        case '"':
            entity = "&#x22;";
            break;
        case '&':
            entity = "&#x26;";
            break;
        case '<':
            entity = "&#x3c;";
            break;
        case '>':
            entity = "&#x3e;";
            break;
        // Raw, any reader of XML would take them for blanks.
        case '\t':
            entity = "&#9;";
            break;
        case '\n':
            entity = "&#10;";
            break;
        case '\r':
            entity = "&#13;";
            break;
        default:
            continue;
        }
        out.append(run, p - run).append(entity);
        run = p + 1;
    }
    out.append(run, end - run);
}

void appendDateTime(QByteArray& out, const ValueText::DateTime& d)
{
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month,
                                d.day, d.hour, d.minute, d.second);
    out.append(text, n);
}

/// Appends the attribute text of a value; false when it cannot be written
/// (nothing appended then).
bool appendValue(QByteArray& out, const ColumnInfo& column, const Cell& c)
{
    if (c.isNull())
        return false;
    switch (column.type) {
    case ColumnType::Long:
        if (c.kind == Cell::Kind::Integer || c.kind == Cell::Kind::Boolean) {
            ValueText::appendNumber(out, c.integer);
            return true;
        }
        break;
    case ColumnType::Double:
        if (c.kind == Cell::Kind::Real || c.kind == Cell::Kind::Integer) {
            const double v = c.kind == Cell::Kind::Real ? c.real : double(c.integer);
            if (!std::isfinite(v))
                return false;
            appendDouble(out, v);
            return true;
        }
        break;
    case ColumnType::Date: {
        ValueText::DateTime d;
        if (c.kind == Cell::Kind::Date)
            d = c.date;
        else if (c.kind == Cell::Kind::Text)
            d = ValueText::parseDateTime(c.text);
        else
            break;
        if (d.isValid() && d.year >= 1 && d.year <= 9999) {
            appendDateTime(out, d);
            return true;
        }
        if (!d.isValid() && c.kind == Cell::Kind::Text)
            return false;
        break;
    }
    case ColumnType::Boolean:
        if (c.kind == Cell::Kind::Boolean || c.kind == Cell::Kind::Integer) {
            out.append(c.integer != 0 ? "True" : "False");
            return true;
        }
        break;
    case ColumnType::Text:
        if (c.kind == Cell::Kind::Text) {
            appendEscaped(out, c.text);
            return true;
        }
        break;
    }
    const auto text = valueText(column, c.toVariant());
    if (!text)
        return false;
    out.append(text->toUtf8());
    return true;
}

void writeDataType(TagWriter& w, const ColumnInfo& column, bool nullable)
{
    w.open(3, u"s:datatype", 3);
    switch (column.type) {
    case ColumnType::Long:
        w.attribute(u"dt:type", QStringLiteral("int"));
        w.attribute(u"dt:maxLength", QStringLiteral("4"));
        w.attribute(u"rs:precision", QStringLiteral("10"));
        w.attribute(u"rs:fixedlength", QStringLiteral("true"));
        break;
    case ColumnType::Double:
        w.attribute(u"dt:type", QStringLiteral("float"));
        w.attribute(u"dt:maxLength", QStringLiteral("8"));
        w.attribute(u"rs:precision", QStringLiteral("15"));
        w.attribute(u"rs:fixedlength", QStringLiteral("true"));
        break;
    case ColumnType::Date:
        // What ADO writes for an Access Date/Time column.
        w.attribute(u"dt:type", QStringLiteral("dateTime"));
        w.attribute(u"rs:dbtype", QStringLiteral("variantdate"));
        w.attribute(u"dt:maxLength", QStringLiteral("16"));
        w.attribute(u"rs:fixedlength", QStringLiteral("true"));
        break;
    case ColumnType::Text:
        w.attribute(u"dt:type", QStringLiteral("string"));
        w.attribute(u"rs:dbtype", QStringLiteral("str"));
        if (column.size > 0) {
            w.attribute(u"dt:maxLength", QString::number(column.size));
        } else { // no defined size: an Access memo
            w.attribute(u"dt:maxLength", QStringLiteral("536870910"));
            w.attribute(u"rs:long", QStringLiteral("true"));
        }
        break;
    case ColumnType::Boolean:
        w.attribute(u"dt:type", QStringLiteral("boolean"));
        w.attribute(u"dt:maxLength", QStringLiteral("2"));
        w.attribute(u"rs:fixedlength", QStringLiteral("true"));
        break;
    }
    if (!nullable)
        w.attribute(u"rs:maybenull", QStringLiteral("false"));
    w.close(u"/>");
}

/// The attribute names of the columns: names that are not plain, or repeat
/// an earlier one, become cN, N being the column's position from 0 (rs:name
/// keeps the real name). An alias never takes a name another column has:
/// cN with a suffix then.
QStringList xmlNamesOf(const ColumnList& columns, QList<bool>* aliased)
{
    QSet<QString> taken;
    for (const ColumnInfo& c : columns) {
        aliased->append(!isPlainName(c.name) || taken.contains(c.name));
        if (!aliased->last())
            taken.insert(c.name);
    }
    QStringList names;
    for (qsizetype k = 0; k < columns.size(); ++k) {
        QString xmlName = columns[k].name;
        if ((*aliased)[k]) {
            xmlName = QStringLiteral("c%1").arg(k);
            for (int n = 1; taken.contains(xmlName); ++n)
                xmlName = QStringLiteral("c%1_%2").arg(k).arg(n);
            taken.insert(xmlName);
        }
        names.append(xmlName);
    }
    return names;
}

QByteArray schemaOf(const ColumnList& columns, const QStringList& xmlNames,
                    const QList<bool>& aliased, const QList<bool>& nullable,
                    const QString& baseTable)
{
    TagWriter w;
    w.line(u"<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'");
    w.line(u"\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'");
    w.line(u"\txmlns:rs='urn:schemas-microsoft-com:rowset'");
    w.line(u"\txmlns:z='#RowsetSchema'>");
    w.line(u"<s:Schema id='RowsetSchema'>");
    w.line(u"\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>");
    for (qsizetype k = 0; k < columns.size(); ++k) {
        const ColumnInfo& c = columns[k];
        const QString base = c.baseTable.isEmpty() ? baseTable : c.baseTable;
        w.open(2, u"s:AttributeType", 3);
        w.attribute(u"name", escaped(xmlNames[k]));
        if (aliased[k])
            w.attribute(u"rs:name", escaped(c.name));
        w.attribute(u"rs:number", QString::number(k + 1));
        if (nullable[k])
            w.attribute(u"rs:nullable", QStringLiteral("true"));
        w.attribute(u"rs:maydefer", QStringLiteral("true"));
        w.attribute(u"rs:writeunknown", QStringLiteral("true"));
        if (!base.isEmpty()) {
            w.attribute(u"rs:basetable", escaped(base));
            w.attribute(u"rs:basecolumn", escaped(c.baseColumn.isEmpty() ? c.name : c.baseColumn));
        }
        if (c.autoNumber) {
            w.attribute(u"rs:keycolumn", QStringLiteral("true"));
            w.attribute(u"rs:autoincrement", QStringLiteral("true"));
        }
        w.close(u">");
        writeDataType(w, c, nullable[k]);
        w.line(u"\t\t</s:AttributeType>");
    }
    w.line(u"\t\t<s:extends type='rs:rowbase'/>");
    w.line(u"\t</s:ElementType>");
    w.line(u"</s:Schema>");
    w.line(u"<rs:data>");
    return w.bytes();
}

enum class Pass
{
    Written,
    /// A column the schema declared not nullable holds a null, or a value
    /// its type cannot be written in: the schema already written is wrong.
    /// Nothing more was written.
    Again,
    SinkFailed,
};

/// One writing of the file, with the columns of alsoNullable declared
/// nullable; on Again *needNullable holds the columns that must be too.
Pass writePass(RowCursor& cursor, const QString& baseTable, const QSet<int>& alsoNullable,
               QSet<int>* needNullable, const Sink& sink, qsizetype* rows)
{
    const ColumnList& columns = cursor.columns();
    const int n = int(columns.size());
    QList<bool> aliased;
    const QStringList xmlNames = xmlNamesOf(columns, &aliased);
    QList<bool> nullable;
    for (int k = 0; k < n; ++k)
        nullable << ((columns[k].nullable && !columns[k].autoNumber) || alsoNullable.contains(k));

    // " name='": the bytes before each value, and their length in characters.
    QList<QByteArray> heads;
    QList<qsizetype> headLengths;
    for (const QString& name : xmlNames) {
        heads << (u' ' + escaped(name) + QStringLiteral("='")).toUtf8();
        headLengths << ValueText::utf16Length(heads.last());
    }

    QByteArray out = schemaOf(columns, xmlNames, aliased, nullable, baseTable);
    out.reserve(kBlock + 4096);
    QByteArray value;
    qsizetype written = 0;
    bool again = false;
    while (cursor.next()) {
        if (!again) {
            out.append("\t<z:row");
            qsizetype column = 7;
            bool first = true;
            for (int k = 0; k < n; ++k) {
                value.clear();
                if (!appendValue(value, columns[k], cursor.cell(k))) {
                    if (!nullable[k]) {
                        needNullable->insert(k);
                        again = true;
                    }
                    continue;
                }
                if (!first && column > kWrapAfter) {
                    out.append("\r\n\t\t");
                    column = 2;
                }
                first = false;
                out.append(heads[k]).append(value).append('\'');
                column += headLengths[k] + ValueText::utf16Length(value) + 1;
            }
            out.append("/>\r\n");
            ++written;
            if (out.size() >= kBlock && !again) {
                if (!sink(out))
                    return Pass::SinkFailed;
                out.clear();
            }
        } else {
            // Only finding every column that needs to be nullable.
            for (int k = 0; k < n; ++k) {
                value.clear();
                if (!nullable[k] && !appendValue(value, columns[k], cursor.cell(k)))
                    needNullable->insert(k);
            }
        }
    }
    if (rows)
        *rows = written;
    if (again)
        return Pass::Again;
    out.append("</rs:data>\r\n</xml>");
    return sink(out) ? Pass::Written : Pass::SinkFailed;
}

} // namespace

bool write(const Begin& begin, const QString& baseTable, qsizetype* rows)
{
    QSet<int> nullable;
    for (;;) {
        Sink sink;
        const std::unique_ptr<RowCursor> cursor = begin(&sink);
        if (!cursor)
            return false;
        QSet<int> need;
        const Pass pass = writePass(*cursor, baseTable, nullable, &need, sink, rows);
        if (pass != Pass::Again)
            return pass == Pass::Written;
        nullable += need;
    }
}

QByteArray write(const RowTable& table, const QString& baseTable)
{
    QByteArray bytes;
    write(
        [&](Sink* sink) {
            bytes.clear();
            *sink = [&bytes](QByteArrayView block) {
                bytes.append(block);
                return true;
            };
            return RowCursor::over(table);
        },
        baseTable);
    return bytes;
}

} // namespace AdoXml
