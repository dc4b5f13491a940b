#include "XmlTokenizer.h"

#include <algorithm>
#include <cstring>

namespace XmlText {

namespace {

constexpr QLatin1String kXmlNs("http://www.w3.org/XML/1998/namespace");
constexpr QLatin1String kXmlnsNs("http://www.w3.org/2000/xmlns/");
constexpr QLatin1String kXmlnsMarker("xmlns"); // uri given to xmlns attributes

bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// What stops the plain run of an attribute value: its quotes, '<', '&' and
/// the line breaks and TAB that normalisation turns into blanks.
struct ValueStops
{
    bool stop[256] = {};
    constexpr ValueStops()
    {
        for (const char c : {'\'', '"', '<', '&', '\t', '\r', '\n'})
            stop[uchar(c)] = true;
    }
};
constexpr ValueStops kValueStops;

} // namespace

// ---------------------------------------------------------------------------

Tokenizer::Tokenizer(const QByteArray& text) : s_(text), n_(text.size())
{
    uris_.append(QByteArray());
}

Tokenizer::Event Tokenizer::fail(qsizetype pos, const QString& message)
{
    errorPos_ = pos;
    errorMessage_ = message;
    failed_ = true;
    return Event::Failed;
}

bool Tokenizer::at(qsizetype i, std::string_view what) const
{
    return i >= 0 && n_ - i >= qsizetype(what.size()) &&
           std::memcmp(s_.constData() + i, what.data(), what.size()) == 0;
}

qsizetype Tokenizer::skipSpace(qsizetype i) const
{
    while (i < n_ && isSpaceByte(s_[i]))
        ++i;
    return i;
}

bool Tokenizer::readName(qsizetype* i, QByteArrayView* name) const
{
    qsizetype j = *i;
    int length = 1;
    if (j >= n_ || !isNameStartChar(codePointAt(s_, j, &length)))
        return false;
    j += length;
    while (j < n_) {
        const char c = s_[j];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == ':' || c == '-' || c == '.') {
            ++j;
            continue;
        }
        if (uchar(c) < 0x80 || !isNameChar(codePointAt(s_, j, &length)))
            break;
        j += length;
    }
    *name = QByteArrayView(s_).sliced(*i, j - *i);
    *i = j;
    return true;
}

int Tokenizer::nameId(QByteArrayView qname)
{
    const auto it = nameIds_.find(std::string_view(qname.data(), size_t(qname.size())));
    if (it != nameIds_.end())
        return it->second;
    Name name;
    name.qname = qname.toByteArray();
    const qsizetype colon = name.qname.indexOf(':');
    name.prefix = colon < 0 ? QByteArray() : name.qname.left(colon);
    name.local = QString::fromUtf8(colon < 0 ? name.qname : name.qname.mid(colon + 1));
    name.qnameText = QString::fromUtf8(name.qname);
    name.qualified = colon < 0 || (colon > 0 && colon + 1 < name.qname.size() &&
                                   name.qname.indexOf(':', colon + 1) < 0);
    // A local part must start as a name does ("a:-b" is not a QName).
    if (name.qualified && colon > 0) {
        int length = 1;
        name.qualified = isNameStartChar(codePointAt(name.qname, colon + 1, &length));
    }
    const int id = int(names_.size());
    names_.push_back(std::move(name));
    lastTagOfName_.push_back(-1);
    // The key views the stored copy, which a deque never moves.
    const QByteArray& stored = names_.back().qname;
    nameIds_.emplace(std::string_view(stored.constData(), size_t(stored.size())), id);
    return id;
}

int Tokenizer::uriId(QByteArrayView uri)
{
    if (uri.isEmpty())
        return 0;
    const QByteArray key = uri.toByteArray();
    const auto it = uriIds_.constFind(key);
    if (it != uriIds_.cend())
        return *it;
    const int id = int(uris_.size());
    uris_.append(key);
    uriIds_.insert(key, id);
    return id;
}

int Tokenizer::lookup(const QByteArray& prefix)
{
    const auto it = bindings_.constFind(prefix);
    if (it != bindings_.cend() && !it->isEmpty())
        return it->last();
    if (prefix == "xml")
        return uriId(QByteArrayView(kXmlNs.data(), kXmlNs.size()));
    return prefix.isEmpty() ? 0 : -1;
}

bool Tokenizer::quoted(qsizetype* i, const char* what, bool pubid)
{
    const qsizetype j = *i;
    if (j >= n_ || (s_[j] != '"' && s_[j] != '\''))
        return failed(j, QStringLiteral("Expected %1 in quotes here.").arg(QLatin1String(what)));
    const char quote = s_[j];
    const qsizetype end = s_.indexOf(quote, j + 1);
    if (end < 0)
        return failed(n_, QStringLiteral("The file ends inside %1.").arg(QLatin1String(what)));
    if (pubid) {
        static const std::string_view allowed(" \r\nabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU"
                                              "VWXYZ0123456789-'()+,./:=?;!*#@$_%");
        for (qsizetype k = j + 1; k < end; ++k)
            if (allowed.find(s_[k]) == std::string_view::npos)
                return failed(k, QStringLiteral("A public identifier may not hold this "
                                                "character."));
    }
    *i = end + 1;
    return true;
}

bool Tokenizer::xmlDeclaration()
{
    // '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>', in that order.
    qsizetype j = 5;
    const char* const parts[] = {"version", "encoding", "standalone"};
    int next = 0;
    for (;;) {
        const qsizetype beforeSpace = j;
        j = skipSpace(j);
        if (at(j, "?>")) {
            if (next == 0)
                return failed(j, QStringLiteral("The XML declaration must give the version "
                                                "(version=\"1.0\")."));
            i_ = j + 2;
            return true;
        }
        qsizetype nameStart = j;
        QByteArrayView name;
        if (j == beforeSpace || !readName(&j, &name))
            return failed(j, QStringLiteral("The XML declaration is not well-formed here."));
        int part = next;
        while (part < 3 && name != QByteArrayView(parts[part]))
            ++part;
        if (part == 3 || (next == 0 && part != 0))
            return failed(nameStart,
                          next == 0 ? QStringLiteral("The XML declaration must give the version "
                                                     "(version=\"1.0\") first.")
                                    : QStringLiteral("\"%1\" does not belong here in the XML "
                                                     "declaration.")
                                          .arg(QString::fromUtf8(name)));
        next = part + 1;
        j = skipSpace(j);
        if (j >= n_ || s_[j] != '=')
            return failed(j, QStringLiteral("Expected '=' in the XML declaration."));
        j = skipSpace(j + 1);
        const qsizetype valueStart = j + 1;
        if (!quoted(&j, "a value", false))
            return false;
        const QByteArrayView value = QByteArrayView(s_).sliced(valueStart, j - 1 - valueStart);
        bool ok = !value.isEmpty();
        if (part == 0) {
            ok = value.size() > 2 && value.startsWith("1.") &&
                 std::all_of(value.begin() + 2, value.end(),
                             [](char c) { return c >= '0' && c <= '9'; });
        } else if (part == 1) {
            ok = ok &&
                 ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'));
            for (const char c : value)
                ok = ok && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-');
        } else {
            ok = value == "yes" || value == "no";
        }
        if (!ok)
            return failed(valueStart,
                          QStringLiteral("\"%1\" is not a valid %2 in the XML "
                                         "declaration.")
                              .arg(QString::fromUtf8(value), QLatin1String(parts[part])));
    }
}

bool Tokenizer::comment(qsizetype* i)
{
    // No "--" inside: the first one must close it.
    const qsizetype dashes = s_.indexOf("--", *i + 4);
    if (dashes < 0)
        return failed(n_, QStringLiteral("The file ends inside a comment."));
    if (dashes + 2 >= n_ || s_[dashes + 2] != '>')
        return failed(dashes, QStringLiteral("A comment may not hold \"--\"."));
    *i = dashes + 3;
    return true;
}

bool Tokenizer::processingInstruction(qsizetype* i)
{
    qsizetype j = *i + 2;
    QByteArrayView target;
    if (!readName(&j, &target))
        return failed(j, QStringLiteral("Expected the target of a processing instruction after "
                                        "\"<?\"."));
    if (target.compare("xml", Qt::CaseInsensitive) == 0)
        return failed(*i, target == "xml"
                              ? QStringLiteral("An XML declaration may stand only at the very "
                                               "start of the file.")
                              : QStringLiteral("The processing instruction target \"%1\" is "
                                               "reserved.")
                                    .arg(QString::fromUtf8(target)));
    if (target.contains(':'))
        return failed(*i + 2, QStringLiteral("A processing instruction target may not hold "
                                             "':'."));
    if (!at(j, "?>") && (j >= n_ || !isSpaceByte(s_[j])))
        return failed(j, QStringLiteral("Expected a blank after the processing instruction "
                                        "target."));
    const qsizetype end = s_.indexOf("?>", j);
    if (end < 0)
        return failed(n_, QStringLiteral("The file ends inside a processing instruction."));
    *i = end + 2;
    return true;
}

bool Tokenizer::doctype(qsizetype* i)
{
    // '<!DOCTYPE' S Name (S ExternalID)? S? ('[' intSubset ']' S?)? '>'
    if (doctypeSeen_)
        return failed(*i, QStringLiteral("The file has a second document type declaration."));
    doctypeSeen_ = true;
    qsizetype j = *i + 9;
    const qsizetype afterKeyword = j;
    j = skipSpace(j);
    QByteArrayView name;
    if (j == afterKeyword || !readName(&j, &name))
        return failed(j, QStringLiteral("Expected the root's name in the document type "
                                        "declaration."));
    qsizetype beforeSpace = j;
    j = skipSpace(j);
    if (j > beforeSpace && (at(j, "SYSTEM") || at(j, "PUBLIC"))) {
        const bool isPublic = at(j, "PUBLIC");
        j += 6;
        beforeSpace = j;
        j = skipSpace(j);
        if (j == beforeSpace)
            return failed(j, QStringLiteral("Expected a blank in the document type "
                                            "declaration."));
        if (isPublic) {
            if (!quoted(&j, "a public identifier", true))
                return false;
            beforeSpace = j;
            j = skipSpace(j);
            if (j == beforeSpace)
                return failed(j, QStringLiteral("Expected a blank in the document type "
                                                "declaration."));
        }
        if (!quoted(&j, "a system identifier", false))
            return false;
        j = skipSpace(j);
    }
    if (j < n_ && s_[j] == '[') {
        // Only blanks, comments and processing instructions: declarations
        // would change what the document says.
        j = skipSpace(j + 1);
        while (j < n_ && s_[j] != ']') {
            if (at(j, "<!--")) {
                if (!comment(&j))
                    return false;
            } else if (at(j, "<?")) {
                if (!processingInstruction(&j))
                    return false;
            } else {
                return failed(j, QStringLiteral("Declarations inside the document type "
                                                "declaration are not supported."));
            }
            j = skipSpace(j);
        }
        if (j >= n_)
            return failed(n_, QStringLiteral("The file ends inside the document type "
                                             "declaration."));
        j = skipSpace(j + 1);
    }
    if (j >= n_)
        return failed(n_, QStringLiteral("The file ends inside the document type declaration."));
    if (s_[j] != '>')
        return failed(j, QStringLiteral("Expected '>' to close the document type declaration."));
    *i = j + 1;
    return true;
}

bool Tokenizer::readReference(qsizetype* i, QByteArray* value)
{
    const qsizetype start = *i;
    qsizetype j = start + 1;
    const auto bad = [&] {
        return failed(start,
                      QStringLiteral("An '&' must start a reference such as &amp; or &#x26;."));
    };
    if (j < n_ && s_[j] == '#') {
        ++j;
        const bool hex = j < n_ && s_[j] == 'x';
        if (hex)
            ++j;
        char32_t cp = 0;
        const qsizetype digits = j;
        for (; j < n_; ++j) {
            const char c = s_[j];
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0)
                break;
            cp = std::min<char32_t>(cp * (hex ? 16 : 10) + char32_t(d), 0x110000);
        }
        if (j == digits || j >= n_ || s_[j] != ';')
            return bad();
        if (!isXmlChar(cp))
            return failed(start, QStringLiteral("The character reference \"%1\" names a "
                                                "character XML does not allow.")
                                     .arg(QString::fromUtf8(s_.mid(start, j + 1 - start))));
        const char32_t c = cp;
        value->append(QString::fromUcs4(&c, 1).toUtf8());
        *i = j + 1;
        return true;
    }
    QByteArrayView name;
    if (!readName(&j, &name) || j >= n_ || s_[j] != ';')
        return bad();
    if (name == "lt")
        value->append('<');
    else if (name == "gt")
        value->append('>');
    else if (name == "amp")
        value->append('&');
    else if (name == "apos")
        value->append('\'');
    else if (name == "quot")
        value->append('"');
    else
        return failed(
            start,
            QStringLiteral("The entity \"&%1;\" is not declared.").arg(QString::fromUtf8(name)));
    *i = j + 1;
    return true;
}

bool Tokenizer::readValue(qsizetype* i, char quote, Attribute* attr, Tag* tag)
{
    // Most values hold no reference and no line break: they stay where they
    // are in the text.
    const qsizetype start = *i;
    const char* p = s_.constData();
    qsizetype j = start;
    while (j < n_ && !kValueStops.stop[uchar(p[j])])
        ++j;
    if (j < n_ && p[j] == quote) {
        attr->value = QByteArrayView(p + start, j - start);
        *i = j + 1;
        return true;
    }

    QByteArray value(p + start, j - start);
    while (j < n_) {
        const char c = p[j];
        if (c == quote) {
            tag->decoded.push_back(std::move(value));
            attr->value = tag->decoded.back();
            *i = j + 1;
            return true;
        }
        switch (c) {
        case '<':
            return failed(j, QStringLiteral("A '<' inside an attribute value must be written "
                                            "as a reference (&lt;)."));
        case '&':
            if (!readReference(&j, &value))
                return false;
            continue;
        case '\r':
            // A line break, CR LF or alone, is one blank.
            value.append(' ');
            j += j + 1 < n_ && p[j + 1] == '\n' ? 2 : 1;
            continue;
        case '\t':
        case '\n':
            value.append(' ');
            break;
        default:
            value.append(c);
            break;
        }
        ++j;
    }
    return failed(n_, QStringLiteral("The file ends inside an attribute value."));
}

bool Tokenizer::bindNamespaces(Tag* tag, QList<QByteArray>* declared)
{
    const auto isDeclaration = [](const QByteArray& name) {
        return name == "xmlns" || name.startsWith("xmlns:");
    };
    for (const Attribute& a : tag->attrs) {
        const QByteArray& name = names_[size_t(a.name)].qname;
        if (!isDeclaration(name))
            continue;
        const QByteArray prefix = name.mid(6);
        const bool isXmlUri = a.value == QByteArrayView(kXmlNs.data(), kXmlNs.size());
        const bool isXmlnsUri = a.value == QByteArrayView(kXmlnsNs.data(), kXmlnsNs.size());
        QString fault;
        if (prefix == "xmlns")
            fault = QStringLiteral("The prefix \"xmlns\" cannot be declared.");
        else if (prefix == "xml" ? !isXmlUri : isXmlUri)
            fault = QStringLiteral("The prefix \"xml\" belongs to its own namespace alone.");
        else if (isXmlnsUri)
            fault = QStringLiteral("No prefix may be bound to the namespace of \"xmlns\".");
        else if (!prefix.isEmpty() && a.value.isEmpty())
            fault = QStringLiteral("The prefix \"%1\" cannot be given an empty namespace.")
                        .arg(QString::fromUtf8(prefix));
        if (!fault.isEmpty())
            return failed(a.pos, fault);
        declared->append(prefix);
        bindings_[prefix].append(uriId(a.value));
    }

    const Name& elementName = names_[size_t(tag->name)];
    tag->uri = lookup(elementName.prefix);
    if (tag->uri < 0 || elementName.prefix == "xmlns")
        return failed(tag->pos, QStringLiteral("The namespace prefix \"%1\" is not declared.")
                                    .arg(QString::fromUtf8(elementName.prefix)));
    bool prefixed = false;
    for (Attribute& a : tag->attrs) {
        const Name& name = names_[size_t(a.name)];
        if (isDeclaration(name.qname)) {
            a.uri = uriId(QByteArrayView(kXmlnsMarker.data(), kXmlnsMarker.size()));
            continue;
        }
        a.uri = name.prefix.isEmpty() ? 0 : lookup(name.prefix);
        if (a.uri < 0)
            return failed(a.pos, QStringLiteral("The namespace prefix \"%1\" is not declared.")
                                     .arg(QString::fromUtf8(name.prefix)));
        prefixed = prefixed || a.uri != 0;
    }
    // Two prefixes for one namespace still name one attribute.
    if (prefixed)
        for (size_t k = 0; k < tag->attrs.size(); ++k)
            for (size_t m = 0; m < k; ++m) {
                const Attribute& a = tag->attrs[k];
                const Attribute& b = tag->attrs[m];
                if (a.uri != 0 && a.uri == b.uri && a.name != b.name &&
                    names_[size_t(a.name)].local == names_[size_t(b.name)].local)
                    return failed(a.pos,
                                  QStringLiteral("The attribute \"%1\" appears twice in "
                                                 "the tag <%2> (as \"%3\" before).")
                                      .arg(names_[size_t(a.name)].qnameText, elementName.qnameText,
                                           names_[size_t(b.name)].qnameText));
            }
    return true;
}

Tokenizer::Event Tokenizer::startTag(Tag* tag)
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
    if (!names_[size_t(tag->name)].qualified)
        return fail(i_ + 1, QStringLiteral("The element name \"%1\" is not a valid qualified "
                                           "name.")
                                .arg(qname));
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
        Attribute a;
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
        if (!names_[size_t(a.name)].qualified)
            return fail(a.pos, QStringLiteral("The attribute name \"%1\" is not a valid "
                                              "qualified name.")
                                   .arg(attrQname));
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

    QList<QByteArray> declared;
    if (!bindNamespaces(tag, &declared))
        return Event::Failed;
    if (tag->empty)
        unbind(declared);
    else
        open_.push_back(Open{tag->name, tag->uri, declared});
    i_ = j;
    return Event::Start;
}

Tokenizer::Event Tokenizer::endTag(Tag* tag)
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
    const Name& openName = names_[size_t(open.name)];
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

Tokenizer::Event Tokenizer::content(Tag* tag)
{
    const char* p = s_.constData();
    for (;;) {
        // Text between tags carries nothing the formats need, but must be
        // well-formed: references that resolve, no "]]>".
        qsizetype j = i_;
        while (j < n_ && p[j] != '<' && p[j] != '&' && p[j] != ']')
            ++j;
        if (j >= n_)
            return fail(n_, QStringLiteral("The file ends before the element <%1> is closed.")
                                .arg(names_[size_t(open_.back().name)].qnameText));
        i_ = j;
        if (p[j] == '&') {
            scratch_.clear();
            if (!readReference(&i_, &scratch_))
                return Event::Failed;
            continue;
        }
        if (p[j] == ']') {
            if (at(j, "]]>"))
                return fail(j, QStringLiteral("\"]]>\" may not stand in text."));
            i_ = j + 1;
            continue;
        }
        if (at(i_, "</"))
            return endTag(tag);
        if (at(i_, "<![CDATA[")) {
            const qsizetype end = s_.indexOf("]]>", i_ + 9);
            if (end < 0)
                return fail(n_, QStringLiteral("The file ends inside a CDATA section."));
            i_ = end + 3;
            continue;
        }
        if (at(i_, "<!--")) {
            if (!comment(&i_))
                return Event::Failed;
            continue;
        }
        if (at(i_, "<?")) {
            if (!processingInstruction(&i_))
                return Event::Failed;
            continue;
        }
        if (at(i_, "<!"))
            return fail(i_, QStringLiteral("Unexpected markup \"<!\" inside an element."));
        return startTag(tag);
    }
}

Tokenizer::Event Tokenizer::next(Tag* tag)
{
    if (failed_)
        return Event::Failed;
    if (!started_) {
        // The XML declaration only at the very start; then comments,
        // processing instructions and one DOCTYPE before the root.
        if (at(0, "<?xml") && (n_ == 5 || isSpaceByte(s_[5]) || at(5, "?>")) && !xmlDeclaration())
            return Event::Failed;
        for (;;) {
            i_ = skipSpace(i_);
            if (i_ >= n_) {
                bool blank = true;
                for (const char c : s_)
                    blank = blank && isSpaceByte(c);
                return fail(i_, blank ? QStringLiteral("The file is empty.")
                                      : QStringLiteral("The file has no root element."));
            }
            if (at(i_, "<!--")) {
                if (!comment(&i_))
                    return Event::Failed;
                continue;
            }
            if (at(i_, "<?")) {
                if (!processingInstruction(&i_))
                    return Event::Failed;
                continue;
            }
            if (at(i_, "<!DOCTYPE")) {
                if (!doctype(&i_))
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
            if (at(i_, "<!--")) {
                if (!comment(&i_))
                    return Event::Failed;
            } else if (at(i_, "<?")) {
                if (!processingInstruction(&i_))
                    return Event::Failed;
            } else {
                return fail(
                    i_, QStringLiteral("Unexpected content after the end of the root element."));
            }
        }
    }
    return content(tag);
}

} // namespace XmlText
