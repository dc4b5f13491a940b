#include "AdoXml.h"

#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace AdoXml {

namespace {

// Namespace URIs of the format. The prefixes are free; readers match these.
constexpr QLatin1String kSchemaNs("uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
constexpr QLatin1String kTypeNs("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
constexpr QLatin1String kRowsetNs("urn:schemas-microsoft-com:rowset");
constexpr QLatin1String kRowNs("#RowsetSchema");
constexpr QLatin1String kXmlNs("http://www.w3.org/XML/1998/namespace");
constexpr QLatin1String kXmlnsMarker("xmlns"); // uri given to xmlns attributes

// ---------------------------------------------------------------------------
// Writing

/// ADO starts a new line before an attribute once the line already holds more
/// than this many characters (tabs and the text of earlier attributes
/// included, raw line breaks inside values not restarting the count).
constexpr qsizetype kWrapAfter = 107;

QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\'':
            out += u"&#x27;";
            break;
        case u'"':
            out += u"&#x22;";
            break;
        case u'&':
            out += u"&#x26;";
            break;
        case u'<':
            out += u"&#x3c;";
            break;
        case u'>':
            out += u"&#x3e;";
            break;
        default:
            out += c; // TAB, CR, LF and the rest go raw, as ADO writes them
            break;
        }
    }
    return out;
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

    QByteArray bytes() const
    {
        QString all = out_;
        all.chop(2); // no line break after the last line
        return all.toUtf8();
    }

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

QString doubleText(double value)
{
    // ADO writes 17 significant digits: 3.14159 comes out as 3.1415899999999999.
    return QString::number(value, 'g', 17).toUpper();
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
        return doubleText(v);
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

// ---------------------------------------------------------------------------
// Reading: bytes to text

/// Windows-1252 characters 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

/// Byte offset of the first malformed UTF-8 sequence, -1 when there is none.
qsizetype firstBadUtf8(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar b = uchar(bytes[i]);
        int follow = 0;
        uint cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            follow = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            follow = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            follow = 3;
            cp = b & 0x07;
        } else {
            return i;
        }
        if (i + follow >= n)
            return i;
        for (int k = 1; k <= follow; ++k) {
            const uchar c = uchar(bytes[i + k]);
            if ((c & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((follow == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (follow == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return i;
        i += follow + 1;
    }
    return -1;
}

/// Line and column (1-based) of a character offset; CRLF, CR and LF each end
/// a line.
class LineIndex
{
public:
    explicit LineIndex(const QString& text)
    {
        starts_.append(0);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'\r') {
                if (i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                starts_.append(i + 1);
            } else if (text[i] == u'\n') {
                starts_.append(i + 1);
            }
        }
    }

    void locate(qsizetype pos, Error* error) const
    {
        const auto it = std::upper_bound(starts_.cbegin(), starts_.cend(), pos);
        const qsizetype line = it - starts_.cbegin(); // at least 1: starts_[0] == 0
        error->line = int(line);
        error->column = int(pos - starts_[line - 1] + 1);
    }

private:
    QList<qsizetype> starts_;
};

bool fail(Error* error, const QString& message, int line = 0, int column = 0)
{
    error->message = message;
    error->line = line;
    error->column = column;
    return false;
}

bool failAt(Error* error, const QString& text, qsizetype pos, const QString& message)
{
    error->message = message;
    LineIndex(text).locate(pos, error);
    return false;
}

bool decode(const QByteArray& data, QString* text, Error* error)
{
    const QByteArrayView bytes(data);
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        const QByteArrayView body = bytes.sliced(3);
        if (const qsizetype bad = firstBadUtf8(body); bad >= 0) {
            const QString before = QString::fromUtf8(body.first(bad));
            return failAt(error, before, before.size(),
                          QStringLiteral("The file is not valid UTF-8 text."));
        }
        *text = QString::fromUtf8(body);
        return true;
    }
    const bool le = bytes.startsWith("\xFF\xFE") || (bytes.size() >= 2 && bytes[1] == '\0');
    const bool be = bytes.startsWith("\xFE\xFF") || (bytes.size() >= 2 && bytes[0] == '\0');
    if (le || be) {
        const bool bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        QStringDecoder decoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        *text = decoder(bom ? bytes.sliced(2) : bytes);
        return true;
    }

    // An XML declaration may name the encoding; ADO itself writes none.
    enum class Enc
    {
        Unknown,
        Utf8,
        Cp1252,
        Latin1
    } enc = Enc::Unknown;
    if (bytes.startsWith("<?xml")) {
        const qsizetype end = data.indexOf("?>");
        const QString decl = QString::fromLatin1(bytes.first(end < 0 ? bytes.size() : end));
        static const QRegularExpression re(
            QStringLiteral("encoding\\s*=\\s*(['\"])([A-Za-z0-9._:-]*)\\1"));
        if (const auto m = re.match(decl); m.hasMatch()) {
            const QString name = m.captured(2).toLower();
            if (name == u"utf-8" || name == u"utf8")
                enc = Enc::Utf8;
            else if (name == u"windows-1252" || name == u"cp1252" || name == u"x-cp1252")
                enc = Enc::Cp1252;
            else if (name == u"iso-8859-1" || name == u"iso8859-1" || name == u"latin1" ||
                     name == u"l1" || name == u"iso_8859-1" || name == u"us-ascii" ||
                     name == u"ascii")
                enc = Enc::Latin1;
            else
                return failAt(error, decl, m.capturedStart(2),
                              QStringLiteral("The encoding \"%1\" named in the XML declaration "
                                             "is not supported.")
                                  .arg(m.captured(2)));
        }
    }
    switch (enc) {
    case Enc::Cp1252:
        *text = fromCp1252(bytes);
        return true;
    case Enc::Latin1:
        *text = QString::fromLatin1(bytes);
        return true;
    case Enc::Utf8:
    case Enc::Unknown:
        break;
    }
    if (const qsizetype bad = firstBadUtf8(bytes); bad >= 0) {
        if (enc == Enc::Unknown) {
            // Undeclared and not UTF-8: an old tool wrote it in the ANSI code page.
            *text = fromCp1252(bytes);
            return true;
        }
        const QString before = QString::fromUtf8(bytes.first(bad));
        return failAt(error, before, before.size(),
                      QStringLiteral("The file is not valid UTF-8 text."));
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

// ---------------------------------------------------------------------------
// Reading: a small XML tokenizer building an element tree
//
// A file can hold hundreds of thousands of rows, so the tree is kept small:
// every name and namespace URI is stored once and referred to by number, and
// an attribute value without references stays in the text as an offset and a
// length.

/// A name as written and its parts.
struct XmlName
{
    QString qname;
    QString prefix; ///< "" when there is none
    QString local;
};

struct XmlAttr
{
    int name = 0;     ///< in XmlDoc::names
    int uri = 0;      ///< in XmlDoc::uris; 0 is "" (an unprefixed attribute)
    int decoded = -1; ///< in XmlDoc::decoded; -1: the value is text[start, start + length)
    int length = 0;
    qsizetype start = 0;
    qsizetype pos = 0;
};

struct XmlElem
{
    int name = 0;
    int uri = 0;
    int firstAttr = 0; ///< in XmlDoc::attrs
    int attrCount = 0;
    QList<int> children;
    qsizetype pos = 0;
};

/// The element tree of a document: every element, the root first; children
/// by index.
struct XmlDoc
{
    explicit XmlDoc(const QString& source) : text(source) { uris.append(QString()); }

    const QString& text;
    QList<XmlName> names;
    QList<QString> uris;
    QList<QString> decoded; ///< values that held references, resolved
    std::vector<XmlAttr> attrs;
    std::vector<XmlElem> elems;

    const QString& qname(const XmlElem& e) const { return names[e.name].qname; }
    const QString& local(const XmlElem& e) const { return names[e.name].local; }
    const QString& uri(const XmlElem& e) const { return uris[e.uri]; }
    const QString& local(const XmlAttr& a) const { return names[a.name].local; }
    const QString& uri(const XmlAttr& a) const { return uris[a.uri]; }
    QStringView valueView(const XmlAttr& a) const
    {
        if (a.decoded >= 0)
            return decoded[a.decoded];
        return QStringView(text).sliced(a.start, a.length);
    }
    QString value(const XmlAttr& a) const { return valueView(a).toString(); }
    const XmlAttr* attrBegin(const XmlElem& e) const { return attrs.data() + e.firstAttr; }
    const XmlAttr* attrEnd(const XmlElem& e) const { return attrBegin(e) + e.attrCount; }
};

struct ViewHash
{
    size_t operator()(QStringView v) const noexcept { return qHash(v); }
};

class XmlParser
{
public:
    XmlParser(const QString& text, XmlDoc* doc) : s_(text), n_(text.size()), doc_(*doc) {}

    /// Fills the document's tree.
    bool parse(Error* error);

private:
    bool fail(qsizetype pos, const QString& message)
    {
        errorPos_ = pos;
        errorMessage_ = message;
        return false;
    }
    bool at(qsizetype i, QStringView what) const
    {
        return QStringView(s_).sliced(i).startsWith(what);
    }
    qsizetype skipSpace(qsizetype i) const
    {
        while (i < n_ && (s_[i] == u' ' || s_[i] == u'\t' || s_[i] == u'\r' || s_[i] == u'\n'))
            ++i;
        return i;
    }
    static bool isNameStart(QChar c)
    {
        return c.isLetter() || c == u'_' || c == u':' || (c.unicode() >= 0x80 && !c.isSpace());
    }
    static bool isNameChar(QChar c)
    {
        return isNameStart(c) || c.isDigit() || c == u'-' || c == u'.';
    }
    bool readName(qsizetype* i, QStringView* name) const
    {
        qsizetype j = *i;
        if (j >= n_ || !isNameStart(s_[j]))
            return false;
        while (j < n_ && isNameChar(s_[j]))
            ++j;
        *name = QStringView(s_).sliced(*i, j - *i);
        *i = j;
        return true;
    }
    /// The number of a name, stored on its first appearance.
    int nameId(QStringView qname);
    int uriId(const QString& uri);
    bool skipPast(qsizetype* i, QStringView end, const QString& whatEnds)
    {
        const qsizetype found = s_.indexOf(end, *i);
        if (found < 0)
            return fail(n_, QStringLiteral("The file ends inside %1.").arg(whatEnds));
        *i = found + end.size();
        return true;
    }
    bool skipMisc(qsizetype* i, bool* skipped);
    bool skipDoctype(qsizetype* i);
    bool readValue(qsizetype* i, QChar quote, XmlAttr* attr);
    bool readReference(qsizetype* i, QString* value);
    bool startTag(qsizetype* i);
    bool endTag(qsizetype* i);
    /// The URI bound to prefix: its number, -1 when the prefix is not declared.
    int lookup(const QString& prefix)
    {
        const auto it = bindings_.constFind(prefix);
        if (it != bindings_.cend() && !it->isEmpty())
            return it->last();
        if (prefix == u"xml")
            return uriId(kXmlNs);
        return prefix.isEmpty() ? 0 : -1;
    }

    void unbind(const QStringList& prefixes)
    {
        for (const QString& prefix : prefixes)
            bindings_[prefix].removeLast();
    }

    const QString& s_;
    const qsizetype n_;
    XmlDoc& doc_;
    std::unordered_map<QStringView, int, ViewHash> nameIds_;
    QHash<QString, int> uriIds_;
    /// Per name, the last element whose tag used it for an attribute: finds
    /// an attribute given twice without a set per tag.
    std::vector<qsizetype> lastTagOfName_;
    QList<int> open_;
    /// Per open element, the prefixes it declared; per prefix, its bindings
    /// from the outermost to the innermost (a lookup never walks the depth).
    QList<QStringList> declared_;
    QHash<QString, QList<int>> bindings_;
    qsizetype errorPos_ = 0;
    QString errorMessage_;
};

int XmlParser::nameId(QStringView qname)
{
    const auto it = nameIds_.find(qname);
    if (it != nameIds_.end())
        return it->second;
    XmlName name;
    name.qname = qname.toString();
    const qsizetype colon = name.qname.indexOf(u':');
    name.prefix = colon < 0 ? QString() : name.qname.left(colon);
    name.local = colon < 0 ? name.qname : name.qname.mid(colon + 1);
    const int id = int(doc_.names.size());
    doc_.names.append(name);
    lastTagOfName_.push_back(-1);
    // The key views the stored copy, which lives as long as the document.
    nameIds_.emplace(QStringView(doc_.names.last().qname), id);
    return id;
}

int XmlParser::uriId(const QString& uri)
{
    if (uri.isEmpty())
        return 0;
    const auto it = uriIds_.constFind(uri);
    if (it != uriIds_.cend())
        return *it;
    const int id = int(doc_.uris.size());
    doc_.uris.append(uri);
    uriIds_.insert(uri, id);
    return id;
}

bool XmlParser::skipMisc(qsizetype* i, bool* skipped)
{
    *skipped = true;
    if (at(*i, u"<!--"))
        return skipPast(i, u"-->", QStringLiteral("a comment"));
    if (at(*i, u"<?"))
        return skipPast(i, u"?>", QStringLiteral("a processing instruction"));
    *skipped = false;
    return true;
}

bool XmlParser::skipDoctype(qsizetype* i)
{
    int depth = 0;
    QChar quote;
    for (qsizetype j = *i + 2; j < n_; ++j) {
        const QChar c = s_[j];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++depth;
        } else if (c == u']') {
            --depth;
        } else if (c == u'>' && depth <= 0) {
            *i = j + 1;
            return true;
        }
    }
    return fail(n_, QStringLiteral("The file ends inside the document type declaration."));
}

bool XmlParser::readReference(qsizetype* i, QString* value)
{
    const qsizetype start = *i;
    const qsizetype semi = s_.indexOf(u';', start + 1);
    if (semi < 0 || semi - start > 12)
        return fail(start,
                    QStringLiteral("An '&' must start a reference such as &amp; or &#x26;."));
    const QString ref = s_.mid(start + 1, semi - start - 1);
    if (ref.startsWith(u'#')) {
        bool ok = false;
        const uint cp = (ref.startsWith(u"#x") || ref.startsWith(u"#X"))
                            ? ref.mid(2).toUInt(&ok, 16)
                            : ref.mid(1).toUInt(&ok, 10);
        if (!ok || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            ref.contains(u'+') || ref.contains(u'-') || ref.contains(u' '))
            return fail(start,
                        QStringLiteral("The character reference \"&%1;\" is not valid.").arg(ref));
        const char32_t c = cp;
        value->append(QString::fromUcs4(&c, 1));
    } else if (ref == u"lt") {
        value->append(u'<');
    } else if (ref == u"gt") {
        value->append(u'>');
    } else if (ref == u"amp") {
        value->append(u'&');
    } else if (ref == u"apos") {
        value->append(u'\'');
    } else if (ref == u"quot") {
        value->append(u'"');
    } else {
        return fail(start, QStringLiteral("The entity \"&%1;\" is not known.").arg(ref));
    }
    *i = semi + 1;
    return true;
}

bool XmlParser::readValue(qsizetype* i, QChar quote, XmlAttr* attr)
{
    // Most values hold no reference: they stay where they are in the text.
    const qsizetype start = *i;
    qsizetype j = start;
    while (j < n_) {
        const QChar c = s_[j];
        if (c == quote) {
            if (j - start <= std::numeric_limits<int>::max()) {
                attr->start = start;
                attr->length = int(j - start);
            } else {
                attr->decoded = int(doc_.decoded.size());
                doc_.decoded.append(s_.mid(start, j - start));
            }
            *i = j + 1;
            return true;
        }
        if (c == u'<')
            return fail(j, QStringLiteral("A '<' inside an attribute value must be written "
                                          "as a reference (&lt;)."));
        if (c == u'&')
            break;
        ++j;
    }
    if (j >= n_)
        return fail(n_, QStringLiteral("The file ends inside an attribute value."));

    QString value = s_.mid(start, j - start);
    while (j < n_) {
        const QChar c = s_[j];
        if (c == quote) {
            attr->decoded = int(doc_.decoded.size());
            doc_.decoded.append(value);
            *i = j + 1;
            return true;
        }
        if (c == u'<')
            return fail(j, QStringLiteral("A '<' inside an attribute value must be written "
                                          "as a reference (&lt;)."));
        if (c == u'&') {
            if (!readReference(&j, &value))
                return false;
            continue;
        }
        value.append(c); // TAB, CR and LF stay as they are: ADO means them literally
        ++j;
    }
    return fail(n_, QStringLiteral("The file ends inside an attribute value."));
}

bool XmlParser::startTag(qsizetype* i)
{
    XmlElem e;
    e.pos = *i;
    e.firstAttr = int(doc_.attrs.size());
    qsizetype j = *i + 1;
    QStringView elementName;
    if (!readName(&j, &elementName))
        return fail(j, QStringLiteral("Expected an element name after '<'."));
    e.name = nameId(elementName);
    const QString qname = doc_.names[e.name].qname; // a copy: names grows below
    const qsizetype tag = qsizetype(doc_.elems.size());
    bool empty = false;
    for (;;) {
        const qsizetype beforeSpace = j;
        j = skipSpace(j);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        if (s_[j] == u'>') {
            ++j;
            break;
        }
        if (at(j, u"/>")) {
            j += 2;
            empty = true;
            break;
        }
        XmlAttr a;
        a.pos = j;
        QStringView attrName;
        if (j == beforeSpace || !readName(&j, &attrName))
            return fail(j, QStringLiteral("Unexpected character '%1' in the tag <%2>.")
                               .arg(QString(s_[j]), qname));
        a.name = nameId(attrName);
        const QString attrQname = doc_.names[a.name].qname;
        j = skipSpace(j);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        if (s_[j] != u'=')
            return fail(
                j, QStringLiteral("Expected '=' after the attribute name \"%1\".").arg(attrQname));
        j = skipSpace(j + 1);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        const QChar quote = s_[j];
        if (quote != u'\'' && quote != u'"')
            return fail(j, QStringLiteral("The value of the attribute \"%1\" must be in quotes.")
                               .arg(attrQname));
        ++j;
        if (!readValue(&j, quote, &a))
            return false;
        if (lastTagOfName_[a.name] == tag)
            return fail(a.pos, QStringLiteral("The attribute \"%1\" appears twice in the "
                                              "tag <%2>.")
                                   .arg(attrQname, qname));
        lastTagOfName_[a.name] = tag;
        doc_.attrs.push_back(a);
        ++e.attrCount;
    }

    const auto isDeclaration = [](const QString& name) {
        return name == u"xmlns" || name.startsWith(u"xmlns:");
    };
    QStringList declared;
    for (int k = e.firstAttr; k < e.firstAttr + e.attrCount; ++k) {
        const XmlAttr& a = doc_.attrs[k];
        const QString& name = doc_.names[a.name].qname;
        if (isDeclaration(name)) {
            const QString prefix = name.mid(6);
            declared.append(prefix);
            bindings_[prefix].append(uriId(doc_.value(a)));
        }
    }

    e.uri = lookup(doc_.names[e.name].prefix);
    if (e.uri < 0)
        return fail(e.pos, QStringLiteral("The namespace prefix \"%1\" is not declared.")
                               .arg(doc_.names[e.name].prefix));
    for (int k = e.firstAttr; k < e.firstAttr + e.attrCount; ++k) {
        XmlAttr& a = doc_.attrs[k];
        const XmlName& name = doc_.names[a.name];
        if (isDeclaration(name.qname)) {
            a.uri = uriId(kXmlnsMarker);
            continue;
        }
        a.uri = name.prefix.isEmpty() ? 0 : lookup(name.prefix);
        if (a.uri < 0)
            return fail(
                a.pos,
                QStringLiteral("The namespace prefix \"%1\" is not declared.").arg(name.prefix));
    }

    const int index = int(doc_.elems.size());
    doc_.elems.push_back(std::move(e));
    if (!open_.isEmpty())
        doc_.elems[open_.last()].children.append(index);
    if (empty) {
        unbind(declared);
    } else {
        open_.append(index);
        declared_.append(declared);
    }
    *i = j;
    return true;
}

bool XmlParser::endTag(qsizetype* i)
{
    const qsizetype start = *i;
    qsizetype j = start + 2;
    QStringView name;
    if (!readName(&j, &name))
        return fail(j, QStringLiteral("Expected an element name after '</'."));
    j = skipSpace(j);
    if (j >= n_)
        return fail(n_, QStringLiteral("The file ends inside the end tag </%1>.").arg(name));
    if (s_[j] != u'>')
        return fail(j, QStringLiteral("Expected '>' to close the end tag </%1>.").arg(name));
    const QString& openName = doc_.qname(doc_.elems[open_.last()]);
    if (name != openName)
        return fail(start, QStringLiteral("The end tag </%1> does not match the open element <%2>.")
                               .arg(name, openName));
    open_.removeLast();
    unbind(declared_.takeLast());
    *i = j + 1;
    return true;
}

bool XmlParser::parse(Error* error)
{
    auto failed = [&] {
        error->message = errorMessage_;
        LineIndex(s_).locate(errorPos_, error);
        return false;
    };
    // Every element starts with '<' and every attribute holds a '=': room for
    // all of them, so that the tables do not move while they fill. A text
    // made of little else than these characters gets a bounded guess.
    qsizetype lts = 0;
    qsizetype equals = 0;
    for (const QChar c : s_) {
        lts += c == u'<';
        equals += c == u'=';
    }
    doc_.elems.reserve(size_t(std::min(lts, n_ / 16)));
    doc_.attrs.reserve(size_t(std::min(equals, n_ / 8)));

    qsizetype i = 0;
    if (n_ > 0 && s_[0] == QChar(0xFEFF))
        i = 1;

    // Before the root: declaration, comments, processing instructions, DOCTYPE.
    for (;;) {
        i = skipSpace(i);
        if (i >= n_) {
            fail(i, s_.trimmed().isEmpty() ? QStringLiteral("The file is empty.")
                                           : QStringLiteral("The file has no root element."));
            return failed();
        }
        bool skipped = false;
        if (!skipMisc(&i, &skipped))
            return failed();
        if (skipped)
            continue;
        if (at(i, u"<!DOCTYPE")) {
            if (!skipDoctype(&i))
                return failed();
            continue;
        }
        break;
    }
    if (s_[i] != u'<' || at(i, u"</") || at(i, u"<!")) {
        fail(i, QStringLiteral("Expected the root element here."));
        return failed();
    }
    if (!startTag(&i))
        return failed();

    while (!open_.isEmpty()) {
        const qsizetype lt = s_.indexOf(u'<', i); // text between tags carries nothing we need
        if (lt < 0) {
            fail(n_, QStringLiteral("The file ends before the element <%1> is closed.")
                         .arg(doc_.qname(doc_.elems[open_.last()])));
            return failed();
        }
        i = lt;
        bool ok = true;
        bool skipped = false;
        if (at(i, u"</")) {
            ok = endTag(&i);
        } else if (at(i, u"<![CDATA[")) {
            ok = skipPast(&i, u"]]>", QStringLiteral("a CDATA section"));
        } else {
            ok = skipMisc(&i, &skipped);
            if (ok && !skipped) {
                if (at(i, u"<!"))
                    ok = fail(i, QStringLiteral("Unexpected markup \"<!\" inside an element."));
                else
                    ok = startTag(&i);
            }
        }
        if (!ok)
            return failed();
    }

    for (;;) {
        i = skipSpace(i);
        if (i >= n_)
            return true;
        bool skipped = false;
        if (!skipMisc(&i, &skipped))
            return failed();
        if (!skipped) {
            fail(i, QStringLiteral("Unexpected content after the end of the root element."));
            return failed();
        }
    }
}

// ---------------------------------------------------------------------------
// Reading: from the element tree to a table

bool sameUri(const QString& a, QLatin1String b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isElem(const XmlDoc& doc, const XmlElem& e, QLatin1String uri, QStringView local)
{
    return sameUri(doc.uri(e), uri) && doc.local(e).compare(local, Qt::CaseInsensitive) == 0;
}

const XmlAttr* findAttr(const XmlDoc& doc, const XmlElem& e, QLatin1String uri, QStringView local)
{
    for (const XmlAttr* a = doc.attrBegin(e); a != doc.attrEnd(e); ++a) {
        const bool uriMatches = uri.isEmpty() ? a->uri == 0 : sameUri(doc.uri(*a), uri);
        if (uriMatches && doc.local(*a).compare(local, Qt::CaseInsensitive) == 0)
            return a;
    }
    return nullptr;
}

QString attrValue(const XmlDoc& doc, const XmlElem& e, QLatin1String uri, QStringView local)
{
    const XmlAttr* a = findAttr(doc, e, uri, local);
    return a ? doc.value(*a) : QString();
}

bool isTrue(const QString& flag)
{
    return flag.trimmed().compare(u"true", Qt::CaseInsensitive) == 0 || flag.trimmed() == u"1";
}

/// How a column's attribute text becomes a value.
enum class Kind
{
    Long,
    Double,
    Date,
    Time,
    Boolean,
    Text,
    Hex
};

struct ColumnDef
{
    ColumnInfo info;
    QString xmlName; ///< attribute name in the rows (an alias when rs:name is given)
    Kind kind = Kind::Text;
    int number = -1;
};

Kind kindOf(const QString& dtType)
{
    const QString t = dtType.trimmed().toLower();
    static const QSet<QString> longs = {QStringLiteral("int"), QStringLiteral("i4"),
                                        QStringLiteral("i2"),  QStringLiteral("i1"),
                                        QStringLiteral("ui1"), QStringLiteral("ui2")};
    static const QSet<QString> doubles = {QStringLiteral("float"),   QStringLiteral("r8"),
                                          QStringLiteral("r4"),      QStringLiteral("number"),
                                          QStringLiteral("decimal"), QStringLiteral("numeric"),
                                          QStringLiteral("i8"),      QStringLiteral("ui4"),
                                          QStringLiteral("ui8"),     QStringLiteral("fixed.14.4")};
    if (longs.contains(t))
        return Kind::Long;
    if (doubles.contains(t))
        return Kind::Double;
    if (t == u"datetime" || t == u"datetime.tz" || t == u"date")
        return Kind::Date;
    if (t == u"time" || t == u"time.tz")
        return Kind::Time;
    if (t == u"boolean")
        return Kind::Boolean;
    if (t == u"bin.hex")
        return Kind::Hex;
    return Kind::Text; // string, bstr, uuid, char, no type at all
}

ColumnType columnTypeOf(Kind kind)
{
    switch (kind) {
    case Kind::Long:
        return ColumnType::Long;
    case Kind::Double:
        return ColumnType::Double;
    case Kind::Date:
    case Kind::Time:
        return ColumnType::Date;
    case Kind::Boolean:
        return ColumnType::Boolean;
    case Kind::Text:
    case Kind::Hex:
        break;
    }
    return ColumnType::Text;
}

/// A date, or a date and time with Qt::UTC standing for the floating local
/// time; a zone suffix is dropped and the clock time kept.
QVariant dateValue(const QDate& date, const QTime& time)
{
    if (time == QTime(0, 0))
        return date;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<QTime> timeOf(const QString& h, const QString& m, const QString& s,
                            const QString& fraction)
{
    const int ms = fraction.isEmpty() ? 0 : (fraction + QStringLiteral("00")).left(3).toInt();
    const QTime t(h.toInt(), m.toInt(), s.isEmpty() ? 0 : s.toInt(), ms);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

std::optional<QVariant> convert(Kind kind, QStringView text)
{
    const QStringView t = text.trimmed();
    switch (kind) {
    case Kind::Long: {
        bool ok = false;
        qlonglong v = t.toLongLong(&ok);
        if (!ok) {
            const double d = t.toDouble(&ok);
            if (!ok || !std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e18)
                return std::nullopt;
            v = qlonglong(d);
        }
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return std::nullopt;
        return QVariant(int(v));
    }
    case Kind::Double: {
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return std::nullopt;
        return QVariant(d);
    }
    case Kind::Date: {
        static const QRegularExpression re(
            QStringLiteral("^(\\d{4,})-(\\d{1,2})-(\\d{1,2})(?:[T "
                           "](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d+))?)?)?"
                           "(?:Z|[+-]\\d{2}:?\\d{2})?$"));
        const auto m = re.match(t.toString());
        if (!m.hasMatch())
            return std::nullopt;
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!d.isValid())
            return std::nullopt;
        if (m.captured(4).isEmpty())
            return QVariant(d);
        const auto time = timeOf(m.captured(4), m.captured(5), m.captured(6), m.captured(7));
        if (!time)
            return std::nullopt;
        return dateValue(d, *time);
    }
    case Kind::Time: {
        // A time alone is a date/time value on the day the classic engine
        // counts from, 30 December 1899.
        static const QRegularExpression re(QStringLiteral(
            "^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d+))?)?(?:Z|[+-]\\d{2}:?\\d{2})?$"));
        const auto m = re.match(t.toString());
        if (!m.hasMatch())
            return std::nullopt;
        const auto time = timeOf(m.captured(1), m.captured(2), m.captured(3), m.captured(4));
        if (!time)
            return std::nullopt;
        return dateValue(QDate(1899, 12, 30), *time);
    }
    case Kind::Boolean: {
        if (t.compare(u"true", Qt::CaseInsensitive) == 0 || t == u"1" || t == u"-1")
            return QVariant(true);
        if (t.compare(u"false", Qt::CaseInsensitive) == 0 || t == u"0")
            return QVariant(false);
        return std::nullopt;
    }
    case Kind::Hex: {
        QString hex;
        for (const QChar c : text)
            if (!c.isSpace())
                hex.append(c);
        return QVariant(hex);
    }
    case Kind::Text:
        break;
    }
    return QVariant(text.toString()); // exactly as written, blanks and line breaks included
}

QString kindWords(Kind kind)
{
    switch (kind) {
    case Kind::Long:
        return QStringLiteral("a whole number");
    case Kind::Double:
        return QStringLiteral("a number");
    case Kind::Date:
        return QStringLiteral("a date");
    case Kind::Time:
        return QStringLiteral("a time");
    case Kind::Boolean:
        return QStringLiteral("True or False");
    case Kind::Text:
    case Kind::Hex:
        break;
    }
    return QStringLiteral("text");
}

class TableBuilder
{
public:
    explicit TableBuilder(const XmlDoc& doc) : doc_(doc), elems_(doc.elems) {}

    bool build(RowTable* table, Error* error);

private:
    bool failAt(qsizetype pos, const QString& message)
    {
        error_->message = message;
        LineIndex(doc_.text).locate(pos, error_);
        return false;
    }
    bool readColumns(const XmlElem& schema, const XmlElem& rowType);
    bool readColumn(const XmlElem& attributeType, const QString& nameOverride);
    bool isRow(const XmlElem& e) const
    {
        return doc_.local(e) == rowName_ &&
               (sameUri(doc_.uri(e), kRowNs) || doc_.uri(e) == rowUri_);
    }
    bool isElem(const XmlElem& e, QLatin1String uri, QStringView local) const
    {
        return AdoXml::isElem(doc_, e, uri, local);
    }
    QString attrValue(const XmlElem& e, QLatin1String uri, QStringView local) const
    {
        return AdoXml::attrValue(doc_, e, uri, local);
    }
    /// The column an unprefixed row attribute names, -1 for none.
    int columnOf(const XmlAttr& a)
    {
        if (columnOfName_.size() <= a.name)
            columnOfName_.resize(doc_.names.size(), -2);
        int& column = columnOfName_[a.name];
        if (column == -2)
            column = byXmlName_.value(doc_.local(a), -1);
        return column;
    }
    /// Applies the attributes of a z:row to values (an insert, a plain row or
    /// the changed row of an update).
    bool applyRow(const XmlElem& row, RowValues* values, int rowNumber);
    bool addRow(const XmlElem& row, const XmlElem* original);

    const XmlDoc& doc_;
    const std::vector<XmlElem>& elems_;
    Error* error_ = nullptr;
    QList<ColumnDef> columns_;
    QHash<QString, int> byXmlName_;
    QList<int> columnOfName_; ///< by name number; -2 not looked up yet
    QString rowName_;
    QString rowUri_;
    QList<RowValues> rows_;
};

bool TableBuilder::readColumn(const XmlElem& at, const QString& nameOverride)
{
    ColumnDef c;
    c.xmlName = nameOverride.isEmpty() ? attrValue(at, {}, u"name") : nameOverride;
    if (c.xmlName.isEmpty())
        return failAt(at.pos,
                      QStringLiteral("A column definition (%1) has no name.").arg(doc_.qname(at)));
    const QString realName = attrValue(at, kRowsetNs, u"name");
    c.info.name = realName.isEmpty() ? c.xmlName : realName;

    // dt:type and its companions may stand on the AttributeType or on its
    // s:datatype child.
    const XmlElem* datatype = nullptr;
    for (int child : at.children)
        if (isElem(elems_[child], kSchemaNs, u"datatype"))
            datatype = &elems_[child];
    auto typeAttr = [&](QLatin1String uri, QStringView local) {
        QString v = attrValue(at, uri, local);
        if (v.isEmpty() && datatype)
            v = attrValue(*datatype, uri, local);
        return v;
    };
    c.kind = kindOf(typeAttr(kTypeNs, u"type"));
    c.info.type = columnTypeOf(c.kind);
    if (c.info.type == ColumnType::Text) {
        bool ok = false;
        const qlonglong size = typeAttr(kTypeNs, u"maxLength").trimmed().toLongLong(&ok);
        c.info.size =
            ok && size > 0 ? int(std::min<qlonglong>(size, std::numeric_limits<int>::max())) : 0;
    } else {
        c.info.size = ColumnInfo::naturalSize(c.info.type);
    }
    const bool declaredNullable = isTrue(attrValue(at, kRowsetNs, u"nullable"));
    const QString maybeNull = typeAttr(kRowsetNs, u"maybenull").trimmed();
    c.info.nullable = declaredNullable || maybeNull.compare(u"false", Qt::CaseInsensitive) != 0;
    c.info.autoNumber = isTrue(attrValue(at, kRowsetNs, u"autoincrement"));
    c.info.baseTable = attrValue(at, kRowsetNs, u"basetable");
    c.info.baseColumn = attrValue(at, kRowsetNs, u"basecolumn");
    bool ok = false;
    const int number = attrValue(at, kRowsetNs, u"number").trimmed().toInt(&ok);
    c.number = ok ? number : -1;

    if (byXmlName_.contains(c.xmlName))
        return failAt(
            at.pos,
            QStringLiteral("Two columns have the name \"%1\" in the schema.").arg(c.xmlName));
    byXmlName_.insert(c.xmlName, int(columns_.size()));
    columns_.append(c);
    return true;
}

bool TableBuilder::readColumns(const XmlElem& schema, const XmlElem& rowType)
{
    // Columns may also be declared once in the schema and referred to with
    // <s:attribute type='name'/>.
    QHash<QString, const XmlElem*> declared;
    for (int child : schema.children)
        if (isElem(elems_[child], kSchemaNs, u"AttributeType"))
            declared.insert(attrValue(elems_[child], {}, u"name"), &elems_[child]);

    for (int child : rowType.children) {
        const XmlElem& e = elems_[child];
        if (isElem(e, kSchemaNs, u"ElementType"))
            return failAt(e.pos, QStringLiteral("The file holds a hierarchical rowset (child "
                                                "rowset \"%1\"); hierarchical (shaped) rowsets "
                                                "are not supported.")
                                     .arg(attrValue(e, {}, u"name")));
        if (isElem(e, kSchemaNs, u"AttributeType")) {
            if (!readColumn(e, QString()))
                return false;
        } else if (isElem(e, kSchemaNs, u"attribute")) {
            const QString type = attrValue(e, {}, u"type");
            const XmlElem* def = declared.value(type);
            if (!def)
                return failAt(e.pos, QStringLiteral("The column \"%1\" is not declared in the "
                                                    "schema.")
                                         .arg(type));
            if (!readColumn(*def, type))
                return false;
        }
    }
    if (columns_.isEmpty())
        return failAt(rowType.pos, QStringLiteral("The schema defines no columns."));

    // rs:number gives the column order; without it, the order of declaration.
    const bool numbered = std::all_of(columns_.cbegin(), columns_.cend(),
                                      [](const ColumnDef& c) { return c.number >= 0; });
    if (numbered) {
        std::stable_sort(
            columns_.begin(), columns_.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
        byXmlName_.clear();
        for (int k = 0; k < columns_.size(); ++k)
            byXmlName_.insert(columns_[k].xmlName, k);
    }
    return true;
}

bool TableBuilder::applyRow(const XmlElem& row, RowValues* values, int rowNumber)
{
    if (!row.children.isEmpty()) {
        const XmlElem& nested = elems_[row.children.first()];
        return failAt(nested.pos, QStringLiteral("Row %1 holds the nested element <%2>: "
                                                 "hierarchical (shaped) rowsets are not supported.")
                                      .arg(rowNumber)
                                      .arg(doc_.qname(nested)));
    }
    for (const XmlAttr* a = doc_.attrBegin(row); a != doc_.attrEnd(row); ++a) {
        if (a->uri == 0) {
            const int k = columnOf(*a);
            if (k < 0)
                continue; // not a column: ADO ignores it too
            const ColumnDef& c = columns_[k];
            const QStringView text = doc_.valueView(*a);
            const auto v = convert(c.kind, text);
            if (!v) {
                const QString shown = text.size() > 40
                                          ? text.left(40).toString() + QStringLiteral("...")
                                          : text.toString();
                return failAt(a->pos, QStringLiteral("Row %1, column \"%2\": \"%3\" is not %4.")
                                          .arg(rowNumber)
                                          .arg(c.info.name, shown, kindWords(c.kind)));
            }
            (*values)[k] = *v;
        } else if (sameUri(doc_.uri(*a), kRowsetNs) && doc_.local(*a).compare(u"forcenull") == 0) {
            const auto names = doc_.value(*a).split(QRegularExpression(QStringLiteral("\\s+")),
                                                    Qt::SkipEmptyParts);
            for (const QString& name : names)
                if (const auto it = byXmlName_.constFind(name); it != byXmlName_.cend())
                    (*values)[*it] = QVariant();
        }
    }
    return true;
}

bool TableBuilder::addRow(const XmlElem& row, const XmlElem* original)
{
    const int rowNumber = int(rows_.size()) + 1;
    RowValues values(columns_.size());
    // In the changed row of an update a missing attribute means "unchanged".
    if (original && !applyRow(*original, &values, rowNumber))
        return false;
    if (!applyRow(row, &values, rowNumber))
        return false;
    rows_.append(values);
    return true;
}

bool TableBuilder::build(RowTable* table, Error* error)
{
    error_ = error;
    const XmlElem& root = elems_.front();
    const XmlElem* schema = nullptr;
    const XmlElem* data = nullptr;
    for (int child : root.children) {
        const XmlElem& e = elems_[child];
        if (!schema && isElem(e, kSchemaNs, u"Schema"))
            schema = &e;
        else if (!data && isElem(e, kRowsetNs, u"data"))
            data = &e;
    }
    if (!schema)
        return failAt(root.pos, QStringLiteral("The file holds no rowset schema (s:Schema)."));

    const XmlElem* rowType = nullptr;
    for (int child : schema->children) {
        const XmlElem& e = elems_[child];
        if (!isElem(e, kSchemaNs, u"ElementType"))
            continue;
        if (!rowType || attrValue(e, {}, u"name") == u"row")
            rowType = &e;
    }
    if (!rowType)
        return failAt(schema->pos, QStringLiteral("The schema describes no rows (s:ElementType)."));
    if (const XmlAttr* relation = findAttr(doc_, *rowType, kRowsetNs, u"relation"))
        return failAt(relation->pos, QStringLiteral("The file holds a hierarchical rowset; "
                                                    "hierarchical (shaped) rowsets are not "
                                                    "supported."));
    rowName_ = attrValue(*rowType, {}, u"name");
    if (rowName_.isEmpty())
        rowName_ = QStringLiteral("row");
    rowUri_ = u'#' + attrValue(*schema, {}, u"id");
    if (!readColumns(*schema, *rowType))
        return false;
    if (!data)
        return failAt(schema->pos, QStringLiteral("The file has no data part (rs:data)."));

    for (int child : data->children) {
        const XmlElem& e = elems_[child];
        if (isRow(e)) {
            if (!addRow(e, nullptr))
                return false;
        } else if (isElem(e, kRowsetNs, u"insert")) {
            for (int r : e.children)
                if (isRow(elems_[r]) && !addRow(elems_[r], nullptr))
                    return false;
        } else if (isElem(e, kRowsetNs, u"update")) {
            // rs:original holds the row before the change, the z:row after it
            // the changed columns.
            QList<const XmlElem*> originals;
            for (int u : e.children) {
                const XmlElem& part = elems_[u];
                if (isElem(part, kRowsetNs, u"original")) {
                    for (int r : part.children)
                        if (isRow(elems_[r]))
                            originals.append(&elems_[r]);
                } else if (isRow(part)) {
                    const XmlElem* original = originals.isEmpty() ? nullptr : originals.takeFirst();
                    if (!addRow(part, original))
                        return false;
                }
            }
            for (const XmlElem* unchanged : std::as_const(originals))
                if (!addRow(*unchanged, nullptr))
                    return false;
        }
        // rs:delete holds rows that are gone; anything else is not ours.
    }

    table->columns.clear();
    for (const ColumnDef& c : std::as_const(columns_))
        table->columns.append(c.info);
    table->rows = rows_;
    return true;
}

} // namespace

QByteArray write(const RowTable& table, const QString& baseTable)
{
    TagWriter w;
    w.line(u"<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'");
    w.line(u"\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'");
    w.line(u"\txmlns:rs='urn:schemas-microsoft-com:rowset'");
    w.line(u"\txmlns:z='#RowsetSchema'>");
    w.line(u"<s:Schema id='RowsetSchema'>");
    w.line(u"\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>");

    // Names that are not plain, or repeat an earlier one, become cN, N being
    // the column's position from 0; rs:name keeps the real name. An alias
    // never takes a name another column has: cN with a suffix then.
    QList<bool> aliased;
    QSet<QString> taken;
    for (const ColumnInfo& c : table.columns) {
        aliased.append(!isPlainName(c.name) || taken.contains(c.name));
        if (!aliased.last())
            taken.insert(c.name);
    }
    QStringList xmlNames;
    for (qsizetype k = 0; k < table.columns.size(); ++k) {
        QString xmlName = table.columns[k].name;
        if (aliased[k]) {
            xmlName = QStringLiteral("c%1").arg(k);
            for (int n = 1; taken.contains(xmlName); ++n)
                xmlName = QStringLiteral("c%1_%2").arg(k).arg(n);
            taken.insert(xmlName);
        }
        xmlNames.append(xmlName);
    }

    for (qsizetype k = 0; k < table.columns.size(); ++k) {
        const ColumnInfo& c = table.columns[k];
        const bool alias = aliased[k];
        const QString& xmlName = xmlNames[k];

        bool nullable = c.nullable && !c.autoNumber;
        for (const RowValues& row : table.rows)
            if (k >= row.size() || !valueText(c, row[k]))
                nullable = true;

        const QString base = c.baseTable.isEmpty() ? baseTable : c.baseTable;
        w.open(2, u"s:AttributeType", 3);
        w.attribute(u"name", escaped(xmlName));
        if (alias)
            w.attribute(u"rs:name", escaped(c.name));
        w.attribute(u"rs:number", QString::number(k + 1));
        if (nullable)
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
        writeDataType(w, c, nullable);
        w.line(u"\t\t</s:AttributeType>");
    }
    w.line(u"\t\t<s:extends type='rs:rowbase'/>");
    w.line(u"\t</s:ElementType>");
    w.line(u"</s:Schema>");
    w.line(u"<rs:data>");
    for (const RowValues& row : table.rows) {
        w.open(1, u"z:row", 2);
        for (qsizetype k = 0; k < table.columns.size() && k < row.size(); ++k)
            if (const auto text = valueText(table.columns[k], row[k]))
                w.attribute(xmlNames[k], *text);
        w.close(u"/>");
    }
    w.line(u"</rs:data>");
    w.line(u"</xml>");
    return w.bytes();
}

namespace {

/// Decodes data, lets go of it (the caller may have handed over the only
/// copy) and reads the text.
bool readBytes(QByteArray data, RowTable* table, Error* error)
{
    Error scratch;
    if (!error)
        error = &scratch;
    *error = Error();
    if (!table)
        return fail(error, QStringLiteral("No table was given to read into."));
    QString text;
    if (!decode(data, &text, error))
        return false;
    data = QByteArray();
    XmlDoc doc(text);
    XmlParser parser(text, &doc);
    if (!parser.parse(error))
        return false;
    RowTable result;
    TableBuilder builder(doc);
    if (!builder.build(&result, error))
        return false;
    *table = result;
    return true;
}

} // namespace

bool read(const QByteArray& data, RowTable* table, Error* error)
{
    return readBytes(data, table, error);
}

bool readFile(const QString& path, RowTable* table, Error* error)
{
    Error scratch;
    if (!error)
        error = &scratch;
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("Cannot open \"%1\": %2").arg(shown, file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("Cannot read \"%1\": %2").arg(shown, file.errorString()));
    file.close();
    if (readBytes(std::move(data), table, error))
        return true;
    error->message = QStringLiteral("\"%1\": %2").arg(shown, error->message);
    return false;
}

} // namespace AdoXml
