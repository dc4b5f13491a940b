#include "AdoXmlReader.h"

#include "Cp1252.h"
#include "ValueText.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <string_view>
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
// Bytes to UTF-8 text

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

/// Line and column (1-based, the column in UTF-16 units) of a byte offset of
/// UTF-8 text; CRLF, CR and LF each end a line.
void locate(QByteArrayView text, qsizetype pos, Error* error)
{
    pos = std::clamp<qsizetype>(pos, 0, text.size());
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < pos; ++i) {
        if (text[i] == '\r') {
            if (i + 1 < pos && text[i + 1] == '\n')
                ++i;
            else if (i + 1 == pos && i + 1 < text.size() && text[i + 1] == '\n') {
                // pos on the LF of a CRLF: still the CR's line
                break;
            }
            ++line;
            lineStart = i + 1;
        } else if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    const qsizetype column = 1 + ValueText::utf16Length(text.sliced(lineStart, pos - lineStart));
    error->line = line;
    error->column = int(column);
}

bool fail(Error* error, const QString& message, int line = 0, int column = 0)
{
    error->message = message;
    error->line = line;
    error->column = column;
    return false;
}

bool failInText(Error* error, const QString& text, const QString& message)
{
    error->message = message;
    const QByteArray utf8 = text.toUtf8();
    locate(utf8, utf8.size(), error);
    return false;
}

/// The file's text as UTF-8 without a byte order mark: as it is when it is
/// UTF-8 already, converted otherwise.
bool decode(const QByteArray& data, QByteArray* text, Error* error)
{
    const QByteArrayView bytes(data);
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        const QByteArrayView body = bytes.sliced(3);
        if (const qsizetype bad = firstBadUtf8(body); bad >= 0)
            return failInText(error, QString::fromUtf8(body.first(bad)),
                              QStringLiteral("The file is not valid UTF-8 text."));
        *text = data.sliced(3);
        return true;
    }
    const bool le = bytes.startsWith("\xFF\xFE") || (bytes.size() >= 2 && bytes[1] == '\0');
    const bool be = bytes.startsWith("\xFE\xFF") || (bytes.size() >= 2 && bytes[0] == '\0');
    if (le || be) {
        const bool bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        QStringDecoder decoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString decoded = decoder(bom ? bytes.sliced(2) : bytes);
        *text = decoded.toUtf8();
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
                return failInText(error, decl.left(m.capturedStart(2)),
                                  QStringLiteral("The encoding \"%1\" named in the XML "
                                                 "declaration is not supported.")
                                      .arg(m.captured(2)));
        }
    }
    switch (enc) {
    case Enc::Cp1252:
        *text = Cp1252::decode(bytes).toUtf8();
        return true;
    case Enc::Latin1:
        *text = QString::fromLatin1(bytes).toUtf8();
        return true;
    case Enc::Utf8:
    case Enc::Unknown:
        break;
    }
    if (const qsizetype bad = firstBadUtf8(bytes); bad >= 0) {
        if (enc == Enc::Unknown) {
            // Undeclared and not UTF-8: an old tool wrote it in the ANSI code page.
            *text = Cp1252::decode(bytes).toUtf8();
            return true;
        }
        return failInText(error, QString::fromUtf8(bytes.first(bad)),
                          QStringLiteral("The file is not valid UTF-8 text."));
    }
    *text = data;
    return true;
}

// ---------------------------------------------------------------------------
// A small pull tokenizer: one tag at a time, on the UTF-8 bytes

/// A name as written and its parts.
struct XmlName
{
    QByteArray qname;
    QByteArray prefix; ///< "" when there is none
    QString local;
    QString qnameText;
};

/// Which of the format's namespaces a URI is (compared without regard to case).
enum class Ns
{
    Other,
    Schema,
    Type,
    Rowset,
    Row,
};

struct XmlAttr
{
    int name = 0;
    int uri = 0; ///< 0 is "" (an unprefixed attribute)
    QByteArrayView value;
    qsizetype pos = 0;
};

struct Tag
{
    int name = 0;
    int uri = 0;
    qsizetype pos = 0;
    int depth = 0; ///< 0 for the root
    bool empty = false;
    std::vector<XmlAttr> attrs;
    std::deque<QByteArray> decoded; ///< values that held references, resolved
};

bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// The code point at i (UTF-8, checked valid before) and its length.
char32_t codePointAt(QByteArrayView s, qsizetype i, int* length)
{
    const auto b = uchar(s[i]);
    if (b < 0x80) {
        *length = 1;
        return b;
    }
    int follow = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (follow == 3 ? 0x07 : follow == 2 ? 0x0F : 0x1F);
    for (int k = 1; k <= follow && i + k < s.size(); ++k)
        c = (c << 6) | (uchar(s[i + k]) & 0x3F);
    *length = follow + 1;
    return c;
}

/// QChar::isSpace of a code point beyond ASCII.
bool isWideSpace(char32_t c)
{
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

class Parser
{
public:
    enum class Event
    {
        Start,
        End,
        Done,
        Failed,
    };

    explicit Parser(const QByteArray& text) : s_(text), n_(text.size())
    {
        uris_.append(QByteArray());
        uriNs_.push_back(Ns::Other);
    }

    /// The next start tag (tag filled; an empty element gives no End) or end
    /// tag (tag's name, uri and depth those of the element it closes).
    Event next(Tag* tag);

    const XmlName& name(int id) const { return names_[size_t(id)]; }
    const QByteArray& uri(int id) const { return uris_[id]; }
    Ns ns(int uriId) const { return uriNs_[size_t(uriId)]; }
    qsizetype errorPos() const { return errorPos_; }
    const QString& errorMessage() const { return errorMessage_; }
    const QByteArray& text() const { return s_; }

private:
    Event fail(qsizetype pos, const QString& message)
    {
        errorPos_ = pos;
        errorMessage_ = message;
        failed_ = true;
        return Event::Failed;
    }
    bool failed(qsizetype pos, const QString& message)
    {
        fail(pos, message);
        return false;
    }
    bool at(qsizetype i, std::string_view what) const
    {
        return i >= 0 && n_ - i >= qsizetype(what.size()) &&
               std::memcmp(s_.constData() + i, what.data(), what.size()) == 0;
    }
    qsizetype skipSpace(qsizetype i) const
    {
        while (i < n_ && isSpaceByte(s_[i]))
            ++i;
        return i;
    }
    bool isNameStart(qsizetype i, int* length) const
    {
        const char c = s_[i];
        *length = 1;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':')
            return true;
        if (uchar(c) < 0x80)
            return false;
        return !isWideSpace(codePointAt(s_, i, length));
    }
    bool isNameChar(qsizetype i, int* length) const
    {
        const char c = s_[i];
        *length = 1;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            return true;
        return isNameStart(i, length);
    }
    bool readName(qsizetype* i, QByteArrayView* name) const
    {
        qsizetype j = *i;
        int length = 1;
        if (j >= n_ || !isNameStart(j, &length))
            return false;
        j += length;
        while (j < n_ && isNameChar(j, &length))
            j += length;
        *name = QByteArrayView(s_).sliced(*i, j - *i);
        *i = j;
        return true;
    }
    int nameId(QByteArrayView qname);
    int uriId(QByteArrayView uri);
    bool skipPast(qsizetype* i, std::string_view end, const QString& whatEnds)
    {
        const qsizetype found = s_.indexOf(QByteArrayView(end.data(), qsizetype(end.size())), *i);
        if (found < 0)
            return failed(n_, QStringLiteral("The file ends inside %1.").arg(whatEnds));
        *i = found + qsizetype(end.size());
        return true;
    }
    bool skipMisc(qsizetype* i, bool* skipped);
    bool skipDoctype(qsizetype* i);
    bool readValue(qsizetype* i, char quote, XmlAttr* attr, Tag* tag);
    bool readReference(qsizetype* i, QByteArray* value);
    Event startTag(Tag* tag);
    Event endTag(Tag* tag);
    int lookup(const QByteArray& prefix)
    {
        const auto it = bindings_.constFind(prefix);
        if (it != bindings_.cend() && !it->isEmpty())
            return it->last();
        if (prefix == "xml")
            return uriId(QByteArrayView(kXmlNs.data(), kXmlNs.size()));
        return prefix.isEmpty() ? 0 : -1;
    }
    void unbind(const QList<QByteArray>& prefixes)
    {
        for (const QByteArray& prefix : prefixes)
            bindings_[prefix].removeLast();
    }

    struct Open
    {
        int name;
        int uri;
        QList<QByteArray> declared;
    };

    const QByteArray& s_;
    const qsizetype n_;
    qsizetype i_ = 0;
    bool started_ = false;
    bool failed_ = false;
    std::deque<XmlName> names_;
    std::unordered_map<std::string_view, int> nameIds_;
    QList<QByteArray> uris_;
    std::vector<Ns> uriNs_;
    QHash<QByteArray, int> uriIds_;
    /// Per name, the last tag that used it for an attribute: finds an
    /// attribute given twice without a set per tag.
    std::vector<qint64> lastTagOfName_;
    qint64 tags_ = 0;
    std::vector<Open> open_;
    QHash<QByteArray, QList<int>> bindings_;
    qsizetype errorPos_ = 0;
    QString errorMessage_;
};

int Parser::nameId(QByteArrayView qname)
{
    const auto it = nameIds_.find(std::string_view(qname.data(), size_t(qname.size())));
    if (it != nameIds_.end())
        return it->second;
    XmlName name;
    name.qname = qname.toByteArray();
    const qsizetype colon = name.qname.indexOf(':');
    name.prefix = colon < 0 ? QByteArray() : name.qname.left(colon);
    name.local = QString::fromUtf8(colon < 0 ? name.qname : name.qname.mid(colon + 1));
    name.qnameText = QString::fromUtf8(name.qname);
    const int id = int(names_.size());
    names_.push_back(std::move(name));
    lastTagOfName_.push_back(-1);
    // The key views the stored copy, which a deque never moves.
    const QByteArray& stored = names_.back().qname;
    nameIds_.emplace(std::string_view(stored.constData(), size_t(stored.size())), id);
    return id;
}

int Parser::uriId(QByteArrayView uri)
{
    if (uri.isEmpty())
        return 0;
    const QByteArray key = uri.toByteArray();
    const auto it = uriIds_.constFind(key);
    if (it != uriIds_.cend())
        return *it;
    const int id = int(uris_.size());
    uris_.append(key);
    const QString text = QString::fromUtf8(key);
    const auto same = [&text](QLatin1String known) {
        return text.compare(known, Qt::CaseInsensitive) == 0;
    };
    uriNs_.push_back(same(kSchemaNs)   ? Ns::Schema
                     : same(kTypeNs)   ? Ns::Type
                     : same(kRowsetNs) ? Ns::Rowset
                     : same(kRowNs)    ? Ns::Row
                                       : Ns::Other);
    uriIds_.insert(key, id);
    return id;
}

bool Parser::skipMisc(qsizetype* i, bool* skipped)
{
    *skipped = true;
    if (at(*i, "<!--"))
        return skipPast(i, "-->", QStringLiteral("a comment"));
    if (at(*i, "<?"))
        return skipPast(i, "?>", QStringLiteral("a processing instruction"));
    *skipped = false;
    return true;
}

bool Parser::skipDoctype(qsizetype* i)
{
    int depth = 0;
    char quote = 0;
    for (qsizetype j = *i + 2; j < n_; ++j) {
        const char c = s_[j];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '>' && depth <= 0) {
            *i = j + 1;
            return true;
        }
    }
    return failed(n_, QStringLiteral("The file ends inside the document type declaration."));
}

bool Parser::readReference(qsizetype* i, QByteArray* value)
{
    const qsizetype start = *i;
    const qsizetype semi = s_.indexOf(';', start + 1);
    // At most 12 characters from the '&' to the ';' (a wide character counts once).
    if (semi < 0 || (semi - start > 12 &&
                     ValueText::utf16Length(QByteArrayView(s_).sliced(start, semi - start)) > 12))
        return failed(start,
                      QStringLiteral("An '&' must start a reference such as &amp; or &#x26;."));
    const QString ref = QString::fromUtf8(s_.mid(start + 1, semi - start - 1));
    if (ref.startsWith(u'#')) {
        bool ok = false;
        const uint cp = (ref.startsWith(u"#x") || ref.startsWith(u"#X"))
                            ? ref.mid(2).toUInt(&ok, 16)
                            : ref.mid(1).toUInt(&ok, 10);
        if (!ok || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            ref.contains(u'+') || ref.contains(u'-') || ref.contains(u' '))
            return failed(
                start, QStringLiteral("The character reference \"&%1;\" is not valid.").arg(ref));
        const char32_t c = cp;
        value->append(QString::fromUcs4(&c, 1).toUtf8());
    } else if (ref == u"lt") {
        value->append('<');
    } else if (ref == u"gt") {
        value->append('>');
    } else if (ref == u"amp") {
        value->append('&');
    } else if (ref == u"apos") {
        value->append('\'');
    } else if (ref == u"quot") {
        value->append('"');
    } else {
        return failed(start, QStringLiteral("The entity \"&%1;\" is not known.").arg(ref));
    }
    *i = semi + 1;
    return true;
}

bool Parser::readValue(qsizetype* i, char quote, XmlAttr* attr, Tag* tag)
{
    // Most values hold no reference: they stay where they are in the text.
    const qsizetype start = *i;
    const char* p = s_.constData();
    qsizetype j = start;
    while (j < n_) {
        const char c = p[j];
        if (c == quote) {
            attr->value = QByteArrayView(p + start, j - start);
            *i = j + 1;
            return true;
        }
        if (c == '<')
            return failed(j, QStringLiteral("A '<' inside an attribute value must be written "
                                            "as a reference (&lt;)."));
        if (c == '&')
            break;
        ++j;
    }
    if (j >= n_)
        return failed(n_, QStringLiteral("The file ends inside an attribute value."));

    QByteArray value(p + start, j - start);
    while (j < n_) {
        const char c = p[j];
        if (c == quote) {
            tag->decoded.push_back(std::move(value));
            attr->value = tag->decoded.back();
            *i = j + 1;
            return true;
        }
        if (c == '<')
            return failed(j, QStringLiteral("A '<' inside an attribute value must be written "
                                            "as a reference (&lt;)."));
        if (c == '&') {
            if (!readReference(&j, &value))
                return false;
            continue;
        }
        value.append(c); // TAB, CR and LF stay as they are: ADO means them literally
        ++j;
    }
    return failed(n_, QStringLiteral("The file ends inside an attribute value."));
}

Parser::Event Parser::startTag(Tag* tag)
{
    tag->attrs.clear();
    tag->decoded.clear();
    tag->pos = i_;
    tag->depth = int(open_.size());
    tag->empty = false;
    qsizetype j = i_ + 1;
    QByteArrayView elementName;
    if (!readName(&j, &elementName))
        return fail(j, QStringLiteral("Expected an element name after '<'."));
    tag->name = nameId(elementName);
    const QString qname = names_[size_t(tag->name)].qnameText;
    const qint64 serial = ++tags_;
    for (;;) {
        const qsizetype beforeSpace = j;
        j = skipSpace(j);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        if (s_[j] == '>') {
            ++j;
            break;
        }
        if (at(j, "/>")) {
            j += 2;
            tag->empty = true;
            break;
        }
        XmlAttr a;
        a.pos = j;
        QByteArrayView attrName;
        if (j == beforeSpace || !readName(&j, &attrName)) {
            int length = 1;
            codePointAt(s_, j, &length);
            return fail(j, QStringLiteral("Unexpected character '%1' in the tag <%2>.")
                               .arg(QString::fromUtf8(s_.mid(j, length)), qname));
        }
        a.name = nameId(attrName);
        const QString& attrQname = names_[size_t(a.name)].qnameText;
        j = skipSpace(j);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        if (s_[j] != '=')
            return fail(
                j, QStringLiteral("Expected '=' after the attribute name \"%1\".").arg(attrQname));
        j = skipSpace(j + 1);
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends inside the tag <%1>.").arg(qname));
        const char quote = s_[j];
        if (quote != '\'' && quote != '"')
            return fail(j, QStringLiteral("The value of the attribute \"%1\" must be in quotes.")
                               .arg(attrQname));
        ++j;
        if (!readValue(&j, quote, &a, tag))
            return Event::Failed;
        if (lastTagOfName_[size_t(a.name)] == serial)
            return fail(a.pos, QStringLiteral("The attribute \"%1\" appears twice in the "
                                              "tag <%2>.")
                                   .arg(attrQname, qname));
        lastTagOfName_[size_t(a.name)] = serial;
        tag->attrs.push_back(a);
    }

    const auto isDeclaration = [](const QByteArray& name) {
        return name == "xmlns" || name.startsWith("xmlns:");
    };
    QList<QByteArray> declared;
    for (const XmlAttr& a : tag->attrs) {
        const QByteArray& name = names_[size_t(a.name)].qname;
        if (isDeclaration(name)) {
            const QByteArray prefix = name.mid(6);
            declared.append(prefix);
            bindings_[prefix].append(uriId(a.value));
        }
    }

    tag->uri = lookup(names_[size_t(tag->name)].prefix);
    if (tag->uri < 0)
        return fail(tag->pos, QStringLiteral("The namespace prefix \"%1\" is not declared.")
                                  .arg(QString::fromUtf8(names_[size_t(tag->name)].prefix)));
    for (XmlAttr& a : tag->attrs) {
        const XmlName& name = names_[size_t(a.name)];
        if (isDeclaration(name.qname)) {
            a.uri = uriId(QByteArrayView(kXmlnsMarker.data(), kXmlnsMarker.size()));
            continue;
        }
        a.uri = name.prefix.isEmpty() ? 0 : lookup(name.prefix);
        if (a.uri < 0)
            return fail(a.pos, QStringLiteral("The namespace prefix \"%1\" is not declared.")
                                   .arg(QString::fromUtf8(name.prefix)));
    }
    if (tag->empty)
        unbind(declared);
    else
        open_.push_back(Open{tag->name, tag->uri, declared});
    i_ = j;
    return Event::Start;
}

Parser::Event Parser::endTag(Tag* tag)
{
    const qsizetype start = i_;
    qsizetype j = start + 2;
    QByteArrayView name;
    if (!readName(&j, &name))
        return fail(j, QStringLiteral("Expected an element name after '</'."));
    const QString nameText = QString::fromUtf8(name);
    j = skipSpace(j);
    if (j >= n_)
        return fail(n_, QStringLiteral("The file ends inside the end tag </%1>.").arg(nameText));
    if (s_[j] != '>')
        return fail(j, QStringLiteral("Expected '>' to close the end tag </%1>.").arg(nameText));
    const Open& open = open_.back();
    const XmlName& openName = names_[size_t(open.name)];
    if (name != QByteArrayView(openName.qname))
        return fail(start, QStringLiteral("The end tag </%1> does not match the open element <%2>.")
                               .arg(nameText, openName.qnameText));
    tag->name = open.name;
    tag->uri = open.uri;
    tag->pos = start;
    tag->depth = int(open_.size()) - 1;
    tag->empty = false;
    unbind(open.declared);
    open_.pop_back();
    i_ = j + 1;
    return Event::End;
}

Parser::Event Parser::next(Tag* tag)
{
    if (failed_)
        return Event::Failed;
    if (!started_) {
        // Before the root: declaration, comments, processing instructions, DOCTYPE.
        for (;;) {
            i_ = skipSpace(i_);
            if (i_ >= n_) {
                bool blank = true;
                for (const char c : s_)
                    blank = blank && (isSpaceByte(c) || c == '\v' || c == '\f');
                return fail(i_, blank ? QStringLiteral("The file is empty.")
                                      : QStringLiteral("The file has no root element."));
            }
            bool skipped = false;
            if (!skipMisc(&i_, &skipped))
                return Event::Failed;
            if (skipped)
                continue;
            if (at(i_, "<!DOCTYPE")) {
                if (!skipDoctype(&i_))
                    return Event::Failed;
                continue;
            }
            break;
        }
        if (s_[i_] != '<' || at(i_, "</") || at(i_, "<!"))
            return fail(i_, QStringLiteral("Expected the root element here."));
        started_ = true;
        return startTag(tag);
    }
    if (open_.empty()) {
        for (;;) {
            i_ = skipSpace(i_);
            if (i_ >= n_)
                return Event::Done;
            bool skipped = false;
            if (!skipMisc(&i_, &skipped))
                return Event::Failed;
            if (!skipped)
                return fail(
                    i_, QStringLiteral("Unexpected content after the end of the root element."));
        }
    }
    for (;;) {
        // Text between tags carries nothing the format needs.
        const char* found =
            static_cast<const char*>(std::memchr(s_.constData() + i_, '<', size_t(n_ - i_)));
        if (!found)
            return fail(n_, QStringLiteral("The file ends before the element <%1> is closed.")
                                .arg(names_[size_t(open_.back().name)].qnameText));
        i_ = found - s_.constData();
        if (at(i_, "</"))
            return endTag(tag);
        if (at(i_, "<![CDATA[")) {
            if (!skipPast(&i_, "]]>", QStringLiteral("a CDATA section")))
                return Event::Failed;
            continue;
        }
        bool skipped = false;
        if (!skipMisc(&i_, &skipped))
            return Event::Failed;
        if (skipped)
            continue;
        if (at(i_, "<!"))
            return fail(i_, QStringLiteral("Unexpected markup \"<!\" inside an element."));
        return startTag(tag);
    }
}

// ---------------------------------------------------------------------------
// Column values

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

/// The text without the blanks QString::trimmed() takes away around it.
QByteArrayView trimmed(QByteArrayView t)
{
    const auto asciiSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    for (;;) {
        if (t.isEmpty())
            return t;
        if (asciiSpace(t.front())) {
            t = t.sliced(1);
            continue;
        }
        if (uchar(t.front()) >= 0x80) {
            int length = 1;
            if (isWideSpace(codePointAt(t, 0, &length))) {
                t = t.sliced(std::min<qsizetype>(length, t.size()));
                continue;
            }
        }
        break;
    }
    for (;;) {
        if (t.isEmpty())
            return t;
        if (asciiSpace(t.back())) {
            t.chop(1);
            continue;
        }
        if (uchar(t.back()) >= 0x80) {
            qsizetype start = t.size() - 1;
            while (start > 0 && (uchar(t[start]) & 0xC0) == 0x80)
                --start;
            int length = 1;
            if (isWideSpace(codePointAt(t, start, &length))) {
                t.truncate(start);
                continue;
            }
        }
        break;
    }
    return t;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// QString::toDouble of trimmed text: a sign, digits with a point, an
/// exponent; infinities and NaN read too (and refused by the callers).
bool toDouble(QByteArrayView t, double* value)
{
    if (t.isEmpty())
        return false;
    bool negative = false;
    if (t.front() == '+' || t.front() == '-') {
        negative = t.front() == '-';
        t = t.sliced(1);
        if (t.isEmpty() || t.front() == '+' || t.front() == '-')
            return false;
    }
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ptr != t.data() + t.size())
        return false;
    // Beyond the range either way (an overflow, an underflow): no number.
    if (r.ec != std::errc())
        return false;
    *value = negative ? -v : v;
    return true;
}

/// QString::toLongLong of trimmed text.
bool toLongLong(QByteArrayView t, qint64* value)
{
    if (t.isEmpty())
        return false;
    bool negative = false;
    if (t.front() == '+' || t.front() == '-') {
        negative = t.front() == '-';
        t = t.sliced(1);
    }
    if (t.isEmpty() || !isDigit(t.front()))
        return false;
    quint64 v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size())
        return false;
    if (negative) {
        if (v > quint64(std::numeric_limits<qint64>::max()) + 1)
            return false;
        *value = qint64(0 - v);
    } else {
        if (v > quint64(std::numeric_limits<qint64>::max()))
            return false;
        *value = qint64(v);
    }
    return true;
}

/// A run of digits at i as an int (0 when it overflows); its length.
int digitsAt(QByteArrayView t, qsizetype* i, int maxDigits, int* count)
{
    qint64 v = 0;
    int n = 0;
    while (*i < t.size() && isDigit(t[*i]) && (maxDigits < 0 || n < maxDigits)) {
        if (v < 100000000000LL)
            v = v * 10 + (t[*i] - '0');
        ++*i;
        ++n;
    }
    *count = n;
    return v > std::numeric_limits<int>::max() ? 0 : int(v);
}

/// The time after i: h[h]:mm[:ss[.fraction]], then an optional zone, then
/// the end of the text.
bool timeAt(QByteArrayView t, qsizetype i, ValueText::DateTime* d)
{
    int count = 0;
    d->hour = digitsAt(t, &i, 2, &count);
    if (count < 1 || i >= t.size() || t[i] != ':')
        return false;
    ++i;
    d->minute = digitsAt(t, &i, 2, &count);
    if (count != 2)
        return false;
    int msec = 0;
    if (i < t.size() && t[i] == ':') {
        ++i;
        d->second = digitsAt(t, &i, 2, &count);
        if (count != 2)
            return false;
        if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
            ++i;
            const qsizetype start = i;
            while (i < t.size() && isDigit(t[i]))
                ++i;
            if (i == start)
                return false;
            // The first three digits are the milliseconds (".5" is 500).
            QByteArray ms = t.sliced(start, std::min<qsizetype>(3, i - start)).toByteArray();
            while (ms.size() < 3)
                ms.append('0');
            msec = ms.toInt();
        }
    }
    d->msec = msec;
    // The zone is dropped and the clock time kept.
    if (i < t.size() && t[i] == 'Z') {
        ++i;
    } else if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        ++i;
        if (t.size() - i < 4 || !isDigit(t[i]) || !isDigit(t[i + 1]))
            return false;
        i += 2;
        if (t[i] == ':')
            ++i;
        if (t.size() - i < 2 || !isDigit(t[i]) || !isDigit(t[i + 1]))
            return false;
        i += 2;
    }
    return i == t.size() && QTime::isValid(d->hour, d->minute, d->second, d->msec);
}

bool dateAt(QByteArrayView t, ValueText::DateTime* d)
{
    qsizetype i = 0;
    int count = 0;
    d->year = digitsAt(t, &i, -1, &count);
    if (count < 4 || i >= t.size() || t[i] != '-')
        return false;
    ++i;
    d->month = digitsAt(t, &i, 2, &count);
    if (count < 1 || i >= t.size() || t[i] != '-')
        return false;
    ++i;
    d->day = digitsAt(t, &i, 2, &count);
    if (count < 1 || !QDate::isValid(d->year, d->month, d->day) || d->year == 0)
        return false;
    if (i == t.size())
        return true;
    if (t[i] == 'T' || t[i] == ' ')
        return timeAt(t, i + 1, d);
    // A zone after the date alone.
    if (t[i] == 'Z')
        return i + 1 == t.size();
    if (t[i] == '+' || t[i] == '-') {
        qsizetype j = i + 1;
        if (t.size() - j < 4 || !isDigit(t[j]) || !isDigit(t[j + 1]))
            return false;
        j += 2;
        if (t[j] == ':')
            ++j;
        return t.size() - j == 2 && isDigit(t[j]) && isDigit(t[j + 1]);
    }
    return false;
}

/// A column's attribute text as a cell; false when it is not of the
/// column's kind. Text stays exactly as written, blanks and line breaks
/// included; bin.hex loses its blanks (into storage).
bool convert(Kind kind, QByteArrayView text, Cell* cell, QByteArray* storage)
{
    switch (kind) {
    case Kind::Long: {
        const QByteArrayView t = trimmed(text);
        qint64 v = 0;
        if (!toLongLong(t, &v)) {
            double d = 0;
            if (!toDouble(t, &d) || !std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e18)
                return false;
            v = qint64(d);
        }
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return false;
        cell->setInteger(v);
        return true;
    }
    case Kind::Double: {
        double d = 0;
        if (!toDouble(trimmed(text), &d) || !std::isfinite(d))
            return false;
        cell->setReal(d);
        return true;
    }
    case Kind::Date: {
        ValueText::DateTime d;
        if (!dateAt(trimmed(text), &d))
            return false;
        cell->setDate(d);
        return true;
    }
    case Kind::Time: {
        // A time alone is a date/time value on the day the classic engine
        // counts from, 30 December 1899.
        ValueText::DateTime d;
        if (!timeAt(trimmed(text), 0, &d))
            return false;
        d.year = 1899;
        d.month = 12;
        d.day = 30;
        cell->setDate(d);
        return true;
    }
    case Kind::Boolean: {
        const QByteArrayView t = trimmed(text);
        if (t.compare("true", Qt::CaseInsensitive) == 0 || t == "1" || t == "-1") {
            cell->setBoolean(true);
            return true;
        }
        if (t.compare("false", Qt::CaseInsensitive) == 0 || t == "0") {
            cell->setBoolean(false);
            return true;
        }
        return false;
    }
    case Kind::Hex: {
        storage->clear();
        for (qsizetype i = 0; i < text.size();) {
            int length = 1;
            const char32_t c = codePointAt(text, i, &length);
            if (!(c == ' ' || (c >= '\t' && c <= '\r') || isWideSpace(c)))
                storage->append(text.sliced(i, std::min<qsizetype>(length, text.size() - i)));
            i += length;
        }
        cell->setText(*storage);
        return true;
    }
    case Kind::Text:
        break;
    }
    cell->setText(text);
    return true;
}

// ---------------------------------------------------------------------------
// The schema: a small tree of its own

struct SchemaAttr
{
    int name = 0;
    int uri = 0;
    QString value;
    qsizetype pos = 0;
};

struct SchemaElem
{
    int name = 0;
    int uri = 0;
    qsizetype pos = 0;
    std::vector<SchemaAttr> attrs;
    std::vector<int> children;
};

struct ColumnDef
{
    ColumnInfo info;
    QString xmlName; ///< attribute name in the rows (an alias when rs:name is given)
    Kind kind = Kind::Text;
    int number = -1;
};

/// One row's attributes as they stand in the file, before they are values.
struct RawRow
{
    struct Attr
    {
        int name = 0;
        int uri = 0;
        QByteArrayView value;
        qsizetype pos = 0;
    };
    std::vector<Attr> attrs;
    std::deque<QByteArray> owned; ///< copies of the values, for a row kept for later
    qsizetype nestedPos = -1;     ///< a child element, which the format does not allow
    int nestedName = 0;

    void take(const Tag& tag, bool copy)
    {
        attrs.clear();
        owned.clear();
        nestedPos = -1;
        for (const XmlAttr& a : tag.attrs) {
            QByteArrayView value = a.value;
            if (copy) {
                owned.push_back(a.value.toByteArray());
                value = owned.back();
            }
            attrs.push_back(Attr{a.name, a.uri, value, a.pos});
        }
    }
};

} // namespace

// ---------------------------------------------------------------------------

struct Reader::Impl
{
    QByteArray text;
    std::optional<Parser> parser;
    Error error;
    bool failed = false;
    QString path; ///< named in the messages, when read from a file

    std::vector<SchemaElem> schema; ///< the schema's elements, the s:Schema first
    QList<ColumnDef> defs;
    ColumnList columns;
    QHash<QString, int> byXmlName;
    std::vector<int> columnOfName; ///< by name number; -2 not looked up yet
    QString rowName;
    QByteArray rowUri;
    qsizetype rootPos = 0;
    qsizetype schemaPos = -1;
    qsizetype dataBeforeSchema = -1;

    enum class Where
    {
        Data,   ///< children of rs:data
        Insert, ///< children of rs:insert
        Update, ///< children of rs:update
        After,  ///< rs:data closed: the rest of the file
    } where = Where::Data;
    int dataDepth = 0;

    Tag tag;
    Tag ahead;
    RawRow direct;                ///< a plain row, read in place
    std::deque<RawRow> originals; ///< rs:original rows waiting for their change
    std::deque<std::pair<RawRow, std::optional<RawRow>>> queue; ///< rows ready, with their original
    std::pair<RawRow, std::optional<RawRow>> current;
    std::vector<Cell> cells;
    std::vector<QByteArray> storage;
    int rows = 0;
    bool done = false;

    bool failAt(qsizetype pos, const QString& message)
    {
        error.message = message;
        locate(text, pos, &error);
        failed = true;
        return false;
    }
    bool parserFailed()
    {
        error.message = parser->errorMessage();
        locate(text, parser->errorPos(), &error);
        failed = true;
        return false;
    }

    QString local(int name) const { return parser->name(name).local; }
    bool isElem(const SchemaElem& e, Ns ns, QStringView name) const
    {
        return parser->ns(e.uri) == ns && local(e.name).compare(name, Qt::CaseInsensitive) == 0;
    }
    bool isTagElem(const Tag& t, Ns ns, QStringView name) const
    {
        return parser->ns(t.uri) == ns && local(t.name).compare(name, Qt::CaseInsensitive) == 0;
    }
    bool isRow(const Tag& t) const
    {
        return parser->name(t.name).local == rowName &&
               (parser->ns(t.uri) == Ns::Row || parser->uri(t.uri) == rowUri);
    }
    const SchemaAttr* findAttr(const SchemaElem& e, std::optional<Ns> ns, QStringView name) const
    {
        for (const SchemaAttr& a : e.attrs) {
            const bool uriMatches = !ns ? a.uri == 0 : parser->ns(a.uri) == *ns;
            if (uriMatches && local(a.name).compare(name, Qt::CaseInsensitive) == 0)
                return &a;
        }
        return nullptr;
    }
    QString attrValue(const SchemaElem& e, std::optional<Ns> ns, QStringView name) const
    {
        const SchemaAttr* a = findAttr(e, ns, name);
        return a ? a->value : QString();
    }
    static bool isTrue(const QString& flag)
    {
        return flag.trimmed().compare(u"true", Qt::CaseInsensitive) == 0 || flag.trimmed() == u"1";
    }

    bool open(QByteArray data);
    bool readSchema(const Tag& start);
    bool buildColumns();
    bool readColumns(const SchemaElem& schemaElem, const SchemaElem& rowType);
    bool readColumn(const SchemaElem& attributeType, const QString& nameOverride);
    bool skipSubtree(int depth);
    bool rowTag(const Tag& start, RawRow* row, bool copy);
    bool apply(const RawRow& row, int rowNumber);
    bool next();
    bool finishDocument();
    int columnOf(int name)
    {
        if (columnOfName.size() <= size_t(name))
            columnOfName.resize(size_t(name) + 64, -2);
        int& column = columnOfName[size_t(name)];
        if (column == -2)
            column = byXmlName.value(local(name), -1);
        return column;
    }
};

bool Reader::Impl::readColumn(const SchemaElem& at, const QString& nameOverride)
{
    ColumnDef c;
    c.xmlName = nameOverride.isEmpty() ? attrValue(at, std::nullopt, u"name") : nameOverride;
    if (c.xmlName.isEmpty())
        return failAt(at.pos, QStringLiteral("A column definition (%1) has no name.")
                                  .arg(parser->name(at.name).qnameText));
    const QString realName = attrValue(at, Ns::Rowset, u"name");
    c.info.name = realName.isEmpty() ? c.xmlName : realName;

    // dt:type and its companions may stand on the AttributeType or on its
    // s:datatype child.
    const SchemaElem* datatype = nullptr;
    for (int child : at.children)
        if (isElem(schema[size_t(child)], Ns::Schema, u"datatype"))
            datatype = &schema[size_t(child)];
    auto typeAttr = [&](Ns ns, QStringView name) {
        QString v = attrValue(at, ns, name);
        if (v.isEmpty() && datatype)
            v = attrValue(*datatype, ns, name);
        return v;
    };
    c.kind = kindOf(typeAttr(Ns::Type, u"type"));
    c.info.type = columnTypeOf(c.kind);
    if (c.info.type == ColumnType::Text) {
        bool ok = false;
        const qlonglong size = typeAttr(Ns::Type, u"maxLength").trimmed().toLongLong(&ok);
        c.info.size =
            ok && size > 0 ? int(std::min<qlonglong>(size, std::numeric_limits<int>::max())) : 0;
    } else {
        c.info.size = ColumnInfo::naturalSize(c.info.type);
    }
    const bool declaredNullable = isTrue(attrValue(at, Ns::Rowset, u"nullable"));
    const QString maybeNull = typeAttr(Ns::Rowset, u"maybenull").trimmed();
    c.info.nullable = declaredNullable || maybeNull.compare(u"false", Qt::CaseInsensitive) != 0;
    c.info.autoNumber = isTrue(attrValue(at, Ns::Rowset, u"autoincrement"));
    c.info.baseTable = attrValue(at, Ns::Rowset, u"basetable");
    c.info.baseColumn = attrValue(at, Ns::Rowset, u"basecolumn");
    bool ok = false;
    const int number = attrValue(at, Ns::Rowset, u"number").trimmed().toInt(&ok);
    c.number = ok ? number : -1;

    if (byXmlName.contains(c.xmlName))
        return failAt(
            at.pos,
            QStringLiteral("Two columns have the name \"%1\" in the schema.").arg(c.xmlName));
    byXmlName.insert(c.xmlName, int(defs.size()));
    defs.append(c);
    return true;
}

bool Reader::Impl::readColumns(const SchemaElem& schemaElem, const SchemaElem& rowType)
{
    // Columns may also be declared once in the schema and referred to with
    // <s:attribute type='name'/>.
    QHash<QString, const SchemaElem*> declared;
    for (int child : schemaElem.children)
        if (isElem(schema[size_t(child)], Ns::Schema, u"AttributeType"))
            declared.insert(attrValue(schema[size_t(child)], std::nullopt, u"name"),
                            &schema[size_t(child)]);

    for (int child : rowType.children) {
        const SchemaElem& e = schema[size_t(child)];
        if (isElem(e, Ns::Schema, u"ElementType"))
            return failAt(e.pos, QStringLiteral("The file holds a hierarchical rowset (child "
                                                "rowset \"%1\"); hierarchical (shaped) rowsets "
                                                "are not supported.")
                                     .arg(attrValue(e, std::nullopt, u"name")));
        if (isElem(e, Ns::Schema, u"AttributeType")) {
            if (!readColumn(e, QString()))
                return false;
        } else if (isElem(e, Ns::Schema, u"attribute")) {
            const QString type = attrValue(e, std::nullopt, u"type");
            const SchemaElem* def = declared.value(type);
            if (!def)
                return failAt(e.pos, QStringLiteral("The column \"%1\" is not declared in the "
                                                    "schema.")
                                         .arg(type));
            if (!readColumn(*def, type))
                return false;
        }
    }
    if (defs.isEmpty())
        return failAt(rowType.pos, QStringLiteral("The schema defines no columns."));

    // rs:number gives the column order; without it, the order of declaration.
    const bool numbered =
        std::all_of(defs.cbegin(), defs.cend(), [](const ColumnDef& c) { return c.number >= 0; });
    if (numbered) {
        std::stable_sort(defs.begin(), defs.end(), [](const ColumnDef& a, const ColumnDef& b) {
            return a.number < b.number;
        });
        byXmlName.clear();
        for (int k = 0; k < defs.size(); ++k)
            byXmlName.insert(defs[k].xmlName, k);
    }
    return true;
}

bool Reader::Impl::readSchema(const Tag& start)
{
    // The schema is small: read whole, as a tree.
    schema.clear();
    const auto add = [this](const Tag& t) {
        SchemaElem e;
        e.name = t.name;
        e.uri = t.uri;
        e.pos = t.pos;
        for (const XmlAttr& a : t.attrs)
            e.attrs.push_back(SchemaAttr{a.name, a.uri, QString::fromUtf8(a.value), a.pos});
        schema.push_back(std::move(e));
        return int(schema.size()) - 1;
    };
    add(start);
    schemaPos = start.pos;
    if (!start.empty) {
        std::vector<int> open{0};
        while (!open.empty()) {
            switch (parser->next(&tag)) {
            case Parser::Event::Start: {
                const int index = add(tag);
                schema[size_t(open.back())].children.push_back(index);
                if (!tag.empty)
                    open.push_back(index);
                break;
            }
            case Parser::Event::End:
                open.pop_back();
                break;
            case Parser::Event::Done:
            case Parser::Event::Failed:
                return parserFailed();
            }
        }
    }
    return buildColumns();
}

bool Reader::Impl::buildColumns()
{
    const SchemaElem& schemaElem = schema.front();
    const SchemaElem* rowType = nullptr;
    for (int child : schemaElem.children) {
        const SchemaElem& e = schema[size_t(child)];
        if (!isElem(e, Ns::Schema, u"ElementType"))
            continue;
        if (!rowType || attrValue(e, std::nullopt, u"name") == u"row")
            rowType = &e;
    }
    if (!rowType)
        return failAt(schemaElem.pos,
                      QStringLiteral("The schema describes no rows (s:ElementType)."));
    if (const SchemaAttr* relation = findAttr(*rowType, Ns::Rowset, u"relation"))
        return failAt(relation->pos, QStringLiteral("The file holds a hierarchical rowset; "
                                                    "hierarchical (shaped) rowsets are not "
                                                    "supported."));
    rowName = attrValue(*rowType, std::nullopt, u"name");
    if (rowName.isEmpty())
        rowName = QStringLiteral("row");
    rowUri = (u'#' + attrValue(schemaElem, std::nullopt, u"id")).toUtf8();
    if (!readColumns(schemaElem, *rowType))
        return false;
    for (const ColumnDef& c : std::as_const(defs))
        columns.append(c.info);
    cells.resize(size_t(defs.size()));
    storage.resize(size_t(defs.size()));
    return true;
}

bool Reader::Impl::skipSubtree(int depth)
{
    for (;;) {
        switch (parser->next(&tag)) {
        case Parser::Event::Start:
            break;
        case Parser::Event::End:
            if (tag.depth == depth)
                return true;
            break;
        case Parser::Event::Done:
        case Parser::Event::Failed:
            return parserFailed();
        }
    }
}

bool Reader::Impl::open(QByteArray data)
{
    if (!decode(data, &text, &error)) {
        failed = true;
        return false;
    }
    data = QByteArray();
    parser.emplace(text);
    // The root, then its children up to rs:data.
    if (parser->next(&tag) != Parser::Event::Start)
        return parserFailed();
    rootPos = tag.pos;
    bool haveSchema = false;
    if (!tag.empty) {
        for (;;) {
            const Parser::Event event = parser->next(&tag);
            if (event == Parser::Event::Failed || event == Parser::Event::Done)
                return parserFailed();
            if (event == Parser::Event::End)
                break; // the root closed
            if (tag.depth != 1) {
                continue;
            }
            if (!haveSchema && isTagElem(tag, Ns::Schema, u"Schema")) {
                if (dataBeforeSchema >= 0)
                    return failAt(dataBeforeSchema,
                                  QStringLiteral("The data part (rs:data) comes before the "
                                                 "rowset schema (s:Schema): the schema must come "
                                                 "first."));
                if (!readSchema(tag))
                    return false;
                haveSchema = true;
                continue;
            }
            if (isTagElem(tag, Ns::Rowset, u"data") && dataBeforeSchema < 0) {
                if (haveSchema) {
                    dataDepth = 1;
                    where = tag.empty ? Where::After : Where::Data;
                    return true;
                }
                dataBeforeSchema = tag.pos;
            }
            if (!tag.empty && !skipSubtree(tag.depth))
                return false;
        }
    }
    // The root closed without a data part after a schema.
    if (!finishDocument())
        return false;
    if (!haveSchema)
        return failAt(rootPos, QStringLiteral("The file holds no rowset schema (s:Schema)."));
    return failAt(schemaPos, QStringLiteral("The file has no data part (rs:data)."));
}

bool Reader::Impl::finishDocument()
{
    for (;;) {
        switch (parser->next(&tag)) {
        case Parser::Event::Start:
        case Parser::Event::End:
            break;
        case Parser::Event::Done:
            return true;
        case Parser::Event::Failed:
            return parserFailed();
        }
    }
}

bool Reader::Impl::rowTag(const Tag& start, RawRow* row, bool copy)
{
    row->take(start, copy);
    if (start.empty)
        return true;
    // A row holds nothing: a child element makes it hierarchical.
    switch (parser->next(&ahead)) {
    case Parser::Event::Start:
        row->nestedPos = ahead.pos;
        row->nestedName = ahead.name;
        return skipSubtree(start.depth);
    case Parser::Event::End:
        return true;
    case Parser::Event::Done:
    case Parser::Event::Failed:
        break;
    }
    return parserFailed();
}

bool Reader::Impl::apply(const RawRow& row, int rowNumber)
{
    if (row.nestedPos >= 0)
        return failAt(row.nestedPos,
                      QStringLiteral("Row %1 holds the nested element <%2>: hierarchical "
                                     "(shaped) rowsets are not supported.")
                          .arg(rowNumber)
                          .arg(parser->name(row.nestedName).qnameText));
    for (const RawRow::Attr& a : row.attrs) {
        if (a.uri == 0) {
            const int k = columnOf(a.name);
            if (k < 0)
                continue; // not a column: ADO ignores it too
            const ColumnDef& c = defs[k];
            if (!convert(c.kind, a.value, &cells[size_t(k)], &storage[size_t(k)])) {
                const QString text = QString::fromUtf8(a.value);
                const QString shown =
                    text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
                return failAt(a.pos, QStringLiteral("Row %1, column \"%2\": \"%3\" is not %4.")
                                         .arg(rowNumber)
                                         .arg(c.info.name, shown, kindWords(c.kind)));
            }
        } else if (parser->ns(a.uri) == Ns::Rowset && local(a.name) == u"forcenull") {
            for (const QByteArray& name : a.value.toByteArray().simplified().split(' '))
                if (const auto it = byXmlName.constFind(QString::fromUtf8(name));
                    it != byXmlName.cend())
                    cells[size_t(*it)].setNull();
        }
    }
    return true;
}

bool Reader::Impl::next()
{
    if (failed || done)
        return false;
    const auto deliver = [this](std::pair<RawRow, std::optional<RawRow>> row) {
        current = std::move(row);
        ++rows;
        for (Cell& c : cells)
            c.setNull();
        // In the changed row of an update a missing attribute means "unchanged".
        if (current.second && !apply(*current.second, rows))
            return false;
        return apply(current.first, rows);
    };
    for (;;) {
        if (!queue.empty()) {
            auto row = std::move(queue.front());
            queue.pop_front();
            return deliver(std::move(row));
        }
        if (where == Where::After) {
            done = true;
            finishDocument();
            return false;
        }
        switch (parser->next(&tag)) {
        case Parser::Event::Failed:
        case Parser::Event::Done:
            return parserFailed();
        case Parser::Event::End:
            if (tag.depth == dataDepth) {
                where = Where::After;
            } else if (where == Where::Update && tag.depth == dataDepth + 1) {
                // Originals without a changed row stand as they were.
                while (!originals.empty()) {
                    queue.emplace_back(std::move(originals.front()), std::nullopt);
                    originals.pop_front();
                }
                where = Where::Data;
            } else if (where == Where::Insert && tag.depth == dataDepth + 1) {
                where = Where::Data;
            }
            break;
        case Parser::Event::Start: {
            const int level = tag.depth - dataDepth;
            if (level == 1 && where == Where::Data) {
                if (isRow(tag)) {
                    if (!rowTag(tag, &direct, false))
                        return false;
                    // A plain row is read where it stands.
                    current.first.attrs.swap(direct.attrs);
                    current.first.owned.swap(direct.owned);
                    current.first.nestedPos = direct.nestedPos;
                    current.first.nestedName = direct.nestedName;
                    current.second.reset();
                    ++rows;
                    for (Cell& c : cells)
                        c.setNull();
                    return apply(current.first, rows);
                }
                if (!tag.empty && isTagElem(tag, Ns::Rowset, u"insert")) {
                    where = Where::Insert;
                } else if (!tag.empty && isTagElem(tag, Ns::Rowset, u"update")) {
                    where = Where::Update;
                    originals.clear();
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false; // rs:delete holds rows that are gone; anything else is not ours
                }
            } else if (level == 2 && where == Where::Insert) {
                if (isRow(tag)) {
                    RawRow row;
                    if (!rowTag(tag, &row, true))
                        return false;
                    queue.emplace_back(std::move(row), std::nullopt);
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false;
                }
            } else if (level == 2 && where == Where::Update) {
                if (!tag.empty && isTagElem(tag, Ns::Rowset, u"original")) {
                    // rs:original holds the row before the change.
                    const int depth = tag.depth;
                    for (bool inside = true; inside;) {
                        switch (parser->next(&tag)) {
                        case Parser::Event::Start:
                            if (tag.depth == depth + 1 && isRow(tag)) {
                                RawRow row;
                                if (!rowTag(tag, &row, true))
                                    return false;
                                originals.push_back(std::move(row));
                            } else if (!tag.empty && !skipSubtree(tag.depth)) {
                                return false;
                            }
                            break;
                        case Parser::Event::End:
                            inside = tag.depth != depth;
                            break;
                        case Parser::Event::Done:
                        case Parser::Event::Failed:
                            return parserFailed();
                        }
                    }
                } else if (isRow(tag)) {
                    RawRow row;
                    if (!rowTag(tag, &row, true))
                        return false;
                    std::optional<RawRow> original;
                    if (!originals.empty()) {
                        original = std::move(originals.front());
                        originals.pop_front();
                    }
                    queue.emplace_back(std::move(row), std::move(original));
                } else if (!tag.empty && !skipSubtree(tag.depth)) {
                    return false;
                }
            } else if (!tag.empty && !skipSubtree(tag.depth)) {
                return false;
            }
            break;
        }
        }
    }
}

Reader::Reader() : d(std::make_unique<Impl>()) {}

Reader::~Reader() = default;

bool Reader::open(QByteArray data)
{
    d = std::make_unique<Impl>();
    return d->open(std::move(data));
}

bool Reader::openFile(const QString& path)
{
    d = std::make_unique<Impl>();
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        d->failed = true;
        return fail(&d->error,
                    QStringLiteral("Cannot open \"%1\": %2").arg(shown, file.errorString()));
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        d->failed = true;
        return fail(&d->error,
                    QStringLiteral("Cannot read \"%1\": %2").arg(shown, file.errorString()));
    }
    file.close();
    d->path = shown;
    if (d->open(std::move(data)))
        return true;
    d->error.message = QStringLiteral("\"%1\": %2").arg(shown, d->error.message);
    return false;
}

const ColumnList& Reader::columns() const
{
    return d->columns;
}

int Reader::columnIndex(const QString& name) const
{
    for (int i = 0; i < d->columns.size(); ++i)
        if (d->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool Reader::next()
{
    if (d->next())
        return true;
    if (d->failed && !d->path.isEmpty() && !d->error.message.startsWith(u'"'))
        d->error.message = QStringLiteral("\"%1\": %2").arg(d->path, d->error.message);
    return false;
}

bool Reader::failed() const
{
    return d->failed;
}

const Error& Reader::error() const
{
    return d->error;
}

const Cell& Reader::cell(int column) const
{
    return d->cells[size_t(column)];
}

QVariant Reader::value(int column) const
{
    const Cell& c = d->cells[size_t(column)];
    if (c.kind == Cell::Kind::Integer)
        return QVariant(int(c.integer));
    return c.toVariant();
}

int Reader::rowNumber() const
{
    return d->rows;
}

namespace {

bool readInto(Reader& reader, RowTable* table, Error* error)
{
    RowTable result;
    result.columns = reader.columns();
    while (reader.next()) {
        RowValues row;
        row.reserve(result.columns.size());
        for (int k = 0; k < result.columns.size(); ++k)
            row << reader.value(k);
        result.rows.append(std::move(row));
    }
    if (reader.failed()) {
        *error = reader.error();
        return false;
    }
    *table = std::move(result);
    return true;
}

} // namespace

namespace {

/// Opens a reader with open (which reports through the reader) and reads
/// the whole table from it.
template <typename Open> bool readWith(RowTable* table, Error* error, const Open& open)
{
    Error scratch;
    if (!error)
        error = &scratch;
    *error = Error();
    if (!table)
        return fail(error, QStringLiteral("No table was given to read into."));
    Reader reader;
    if (!open(reader)) {
        *error = reader.error();
        return false;
    }
    return readInto(reader, table, error);
}

} // namespace

bool read(const QByteArray& data, RowTable* table, Error* error)
{
    return readWith(table, error, [&data](Reader& r) { return r.open(data); });
}

bool readFile(const QString& path, RowTable* table, Error* error)
{
    return readWith(table, error, [&path](Reader& r) { return r.openFile(path); });
}

} // namespace AdoXml
