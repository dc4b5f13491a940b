#include "AdoXmlValues.h"

#include "ValueText.h"
#include "XmlCharacters.h"

#include <QSet>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace AdoXmlValue {

namespace {

using XmlText::codePointAt;
using XmlText::isWideSpace;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
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

} // namespace

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

} // namespace AdoXmlValue
