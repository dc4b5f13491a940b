#include "Cp1252.h"

#include <algorithm>

namespace Cp1252 {

namespace {

/// The characters of 0x80..0x9F; the five bytes the code page leaves
/// undefined map to the control character of their number, as Windows does.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

/// The byte of a character of 0x80..0x9F's table, 0 when it has none.
uchar highByte(char32_t c)
{
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return uchar(0x80 + i);
    return 0;
}

} // namespace

char16_t toUnicode(uchar byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte);
}

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(toUnicode(uchar(bytes[i])));
    return text;
}

void appendUtf8(QByteArray& out, QByteArrayView utf8)
{
    const auto* p = reinterpret_cast<const uchar*>(utf8.data());
    const auto* const end = p + utf8.size();
    while (p < end) {
        // Runs of ASCII go over as one block.
        const uchar* run = std::find_if(p, end, [](uchar b) { return b >= 0x80; });
        if (run > p) {
            out.append(reinterpret_cast<const char*>(p), run - p);
            p = run;
            if (p == end)
                break;
        }
        const uchar b = *p;
        int follow = 0;
        char32_t c = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            follow = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            follow = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            follow = 3;
            c = b & 0x07;
        } else {
            out.append('?');
            ++p;
            continue;
        }
        if (end - p <= follow) {
            out.append('?');
            ++p;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= follow && ok; ++k) {
            ok = (p[k] & 0xC0) == 0x80;
            c = (c << 6) | (p[k] & 0x3F);
        }
        if (!ok || (follow == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
            (follow == 3 && (c < 0x10000 || c > 0x10FFFF))) {
            out.append('?');
            ++p;
            continue;
        }
        p += follow + 1;
        if (c >= 0xA0 && c <= 0xFF) {
            out.append(char(c));
        } else if (const uchar high = highByte(c)) {
            out.append(char(high));
        } else {
            out.append('?');
            if (c >= 0x10000)
                out.append('?'); // a surrogate pair: two units, two marks
        }
    }
}

} // namespace Cp1252
