#include "XmlCharacters.h"

#include "Cp1252.h"
#include "ValueText.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

namespace XmlText {

namespace {

enum class Fault
{
    None,
    Malformed, ///< not UTF-8
    NotAChar,  ///< a character XML does not allow
};

/// The first fault of UTF-8 text: a malformed sequence, or a character
/// that is not an XML Char (controls but TAB, CR and LF; U+FFFE, U+FFFF).
/// Surrogates are malformed UTF-8.
Fault firstFault(QByteArrayView bytes, qsizetype* at)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar b = p[i];
        if (b < 0x80) {
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
                *at = i;
                return Fault::NotAChar;
            }
            ++i;
            continue;
        }
        int follow = 0;
        uint cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            follow = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            follow = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            follow = 3;
            cp = b & 0x07;
        } else {
            *at = i;
            return Fault::Malformed;
        }
        if (i + follow >= n) {
            *at = i;
            return Fault::Malformed;
        }
        for (int k = 1; k <= follow; ++k) {
            const uchar c = p[i + k];
            if ((c & 0xC0) != 0x80) {
                *at = i;
                return Fault::Malformed;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((follow == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (follow == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            *at = i;
            return Fault::Malformed;
        }
        if (cp == 0xFFFE || cp == 0xFFFF) {
            *at = i;
            return Fault::NotAChar;
        }
        i += follow + 1;
    }
    return Fault::None;
}

QString codeText(char32_t c)
{
    return QStringLiteral("U+%1").arg(
        QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
}

bool failInText(Error* error, QByteArrayView utf8, qsizetype pos, const QString& message)
{
    error->message = message;
    locate(utf8, pos, error);
    return false;
}

bool failInText(Error* error, const QString& text, const QString& message)
{
    const QByteArray utf8 = text.toUtf8();
    return failInText(error, utf8, utf8.size(), message);
}

/// Every character of UTF-8 text is one XML allows.
bool checkChars(QByteArrayView text, Error* error)
{
    qsizetype at = 0;
    switch (firstFault(text, &at)) {
    case Fault::None:
        return true;
    case Fault::Malformed:
        return failInText(error, text, at, QStringLiteral("The file is not valid UTF-8 text."));
    case Fault::NotAChar:
        break;
    }
    int length = 1;
    const char32_t c = codePointAt(text, at, &length);
    return failInText(
        error, text, at,
        QStringLiteral("The character %1 is not allowed in an XML file.").arg(codeText(c)));
}

/// The encoding an XML declaration at the start of text names; "" when none.
QString declaredEncoding(QByteArrayView text, qsizetype* namePos)
{
    // "<?xml" and a blank; "<?xml-stylesheet ...?>" and the like are
    // processing instructions, which declare nothing.
    if (!text.startsWith("<?xml") || text.size() < 6 ||
        !QByteArrayView(" \t\r\n").contains(text[5]))
        return QString();
    const qsizetype end = text.indexOf("?>");
    const QString decl = QString::fromLatin1(text.first(end < 0 ? text.size() : end));
    static const QRegularExpression re(
        QStringLiteral("encoding\\s*=\\s*(['\"])([A-Za-z0-9._:-]*)\\1"));
    const auto m = re.match(decl);
    if (!m.hasMatch())
        return QString();
    *namePos = m.capturedStart(2);
    return m.captured(2);
}

} // namespace
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

bool decode(const QByteArray& data, QByteArray* text, Error* error)
{
    const QByteArrayView bytes(data);
    const bool le = bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArrayView("<\0", 2));
    const bool be = bytes.startsWith("\xFE\xFF") || bytes.startsWith(QByteArrayView("\0<", 2));
    if (le || be) {
        const bool bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        QStringDecoder decoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString decoded = decoder(bom ? bytes.sliced(2) : bytes);
        if (decoder.hasError() || bytes.size() % 2 != 0)
            return failInText(error, decoded, QStringLiteral("The file is not valid UTF-16 text."));
        *text = decoded.toUtf8();
        qsizetype namePos = 0;
        const QString name = declaredEncoding(*text, &namePos).toLower();
        if (!name.isEmpty() && name != u"utf-16" && name != (le ? u"utf-16le" : u"utf-16be"))
            return failInText(error, *text, namePos,
                              QStringLiteral("The file is UTF-16 text, but its XML declaration "
                                             "names the encoding \"%1\".")
                                  .arg(name));
        return checkChars(*text, error);
    }

    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = bom ? bytes.sliced(3) : bytes;
    // An XML declaration may name the encoding; ADO itself writes none.
    enum class Enc
    {
        Unknown,
        Utf8,
        Cp1252,
        Latin1,
        Ascii
    } enc = Enc::Unknown;
    qsizetype namePos = 0;
    const QString declared = declaredEncoding(body, &namePos);
    if (!declared.isEmpty()) {
        const QString name = declared.toLower();
        if (name == u"utf-8" || name == u"utf8")
            enc = Enc::Utf8;
        else if (name == u"windows-1252" || name == u"cp1252" || name == u"x-cp1252")
            enc = Enc::Cp1252;
        else if (name == u"iso-8859-1" || name == u"iso8859-1" || name == u"latin1" ||
                 name == u"l1" || name == u"iso_8859-1")
            enc = Enc::Latin1;
        else if (name == u"us-ascii" || name == u"ascii")
            enc = Enc::Ascii;
        else
            return failInText(error, QString::fromLatin1(body.first(namePos)),
                              QStringLiteral("The encoding \"%1\" named in the XML "
                                             "declaration is not supported.")
                                  .arg(declared));
        if (bom && enc != Enc::Utf8)
            return failInText(error, QString::fromLatin1(body.first(namePos)),
                              QStringLiteral("The file starts with the byte order mark of UTF-8, "
                                             "but its XML declaration names the encoding "
                                             "\"%1\".")
                                  .arg(declared));
    }
    switch (enc) {
    case Enc::Cp1252:
        *text = Cp1252::decode(body).toUtf8();
        return checkChars(*text, error);
    case Enc::Latin1:
        *text = QString::fromLatin1(body).toUtf8();
        return checkChars(*text, error);
    case Enc::Ascii:
        for (qsizetype i = 0; i < body.size(); ++i)
            if (uchar(body[i]) >= 0x80)
                return failInText(error, QString::fromLatin1(body.first(i)),
                                  QStringLiteral("The file declares the encoding US-ASCII but "
                                                 "holds the byte 0x%1.")
                                      .arg(QString::number(uchar(body[i]), 16).toUpper()));
        *text = body.toByteArray();
        return checkChars(*text, error);
    case Enc::Utf8:
    case Enc::Unknown:
        break;
    }
    qsizetype at = 0;
    const Fault fault = firstFault(body, &at);
    if (fault == Fault::Malformed && enc == Enc::Unknown && !bom) {
        // Undeclared and not UTF-8: an old tool wrote it in the ANSI code page.
        *text = Cp1252::decode(body).toUtf8();
        return checkChars(*text, error);
    }
    *text = bom ? data.sliced(3) : data;
    if (fault == Fault::None)
        return true;
    if (fault == Fault::Malformed)
        return failInText(error, QString::fromUtf8(body.first(at)),
                          QStringLiteral("The file is not valid UTF-8 text."));
    return checkChars(*text, error);
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isNameStartChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c)
{
    return isNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

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

bool isWideSpace(char32_t c)
{
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

} // namespace XmlText
