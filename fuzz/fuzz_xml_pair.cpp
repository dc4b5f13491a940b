// The reader of the XML pair on any bytes: the pair comes from another
// agent's installation, or from anywhere that writes a file of that name.
// Besides crashing, hanging or a sanitizer report, a failure is
//   - a table the reader took that the writer cannot hand back to it whole,
//     value for value;
//   - a file the reader took that expat (namespace-aware) refuses as not
//     well-formed: the reader reads only XML.
// Where the two may rightly differ, the comparison is skipped:
//   - bytes that are not UTF-8 in a file without an encoding declaration,
//     which the reader takes as Windows-1252 (files of older tools);
//   - encodings expat does not know (Windows-1252 and the aliases);
//   - names with characters that XML 1.0's fifth edition allows and expat's
//     older name tables do not.

#include "AdoXmlReader.h"
#include "AdoXmlWriter.h"
#include "XmlTokenizer.h"

#include <QStringDecoder>
#include <expat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString decoded = utf8(bytes);
    return !utf8.hasError();
}

bool declaresEncoding(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // A declaration is "<?xml" and a blank; "<?xmlfoo" is another instruction.
    if (!bytes.startsWith("<?xml") || bytes.size() < 6 ||
        !QByteArrayView(" \t\r\n").contains(bytes[5]))
        return false;
    const qsizetype end = bytes.indexOf("?>");
    return bytes.first(end < 0 ? bytes.size() : end).contains("encoding");
}

struct ExpatVerdict
{
    bool wellFormed = true;
    XML_Error code = XML_ERROR_NONE;
    qsizetype at = 0;
};

ExpatVerdict expat(QByteArrayView bytes)
{
    ExpatVerdict v;
    XML_Parser p = XML_ParserCreateNS(nullptr, '\x01');
    if (XML_Parse(p, bytes.data(), int(bytes.size()), 1) == XML_STATUS_ERROR) {
        v.wellFormed = false;
        v.code = XML_GetErrorCode(p);
        v.at = qsizetype(XML_GetCurrentByteIndex(p));
    }
    XML_ParserFree(p);
    return v;
}

/// expat refused at a character of a name that the fifth edition allows.
bool nameTableDifference(QByteArrayView bytes, const ExpatVerdict& v)
{
    if (v.code != XML_ERROR_INVALID_TOKEN && v.code != XML_ERROR_UNCLOSED_TOKEN &&
        v.code != XML_ERROR_SYNTAX && v.code != XML_ERROR_UNBOUND_PREFIX)
        return false;
    // The token expat stopped at: look for a wide name character in it.
    for (qsizetype i = std::max<qsizetype>(0, v.at); i < bytes.size() && i < v.at + 256;) {
        const uchar b = uchar(bytes[i]);
        if (b == '>' || b == '=' || b == ' ')
            break;
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 1;
        const char32_t c = XmlText::codePointAt(bytes, i, &length);
        if (XmlText::isNameChar(c))
            return true;
        i += length;
    }
    return false;
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.typeId() == b.typeId() && a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    RowTable table;
    AdoXml::Error error;
    if (!AdoXml::read(bytes, &table, &error)) {
        if (error.message.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }

    const ExpatVerdict verdict = expat(bytes);
    if (!verdict.wellFormed && verdict.code != XML_ERROR_UNKNOWN_ENCODING &&
        (isUtf8(bytes) || declaresEncoding(bytes)) && !nameTableDifference(bytes, verdict))
        std::abort(); // taken, though it is not well-formed XML

    RowTable again;
    if (!AdoXml::read(AdoXml::write(table), &again, &error) ||
        again.columns.size() != table.columns.size() || again.rows.size() != table.rows.size())
        std::abort();
    for (qsizetype r = 0; r < table.rows.size(); ++r)
        for (qsizetype k = 0; k < table.columns.size(); ++k)
            if (!sameValue(table.rows[r].value(k), again.rows[r].value(k)))
                std::abort();
    return 0;
}
