#include "ValueText.h"

#include <QLocale>
#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace ValueText {

double leadingNumber(const QString& text)
{
    // Blanks, tabs and line feeds are skipped wherever they stand, as the
    // classic Val() did; the rest is read while it can still form a number.
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            s.append(c);
    int i = 0;
    const int n = int(s.size());
    QString num;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        num.append(s[i++]);
    bool digits = false;
    while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
        num.append(s[i++]);
        digits = true;
    }
    if (i < n && s[i] == u'.') {
        num.append(s[i++]);
        while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
            num.append(s[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        int j = i + 1;
        QString exp = QStringLiteral("e");
        if (j < n && (s[j] == u'+' || s[j] == u'-'))
            exp.append(s[j++]);
        bool expDigits = false;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
            exp.append(s[j++]);
            expDigits = true;
        }
        if (expDigits)
            num.append(exp);
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

void appendNumber(QByteArray& out, qint64 value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end - buffer);
}

void appendNumber(QByteArray& out, double value)
{
    if (value == 0) {
        out.append('0'); // also for -0
        return;
    }
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        appendNumber(out, qint64(value));
        return;
    }
    // The classic conversion is C's "%.15G": plain from 1E-04 to below 1E+15
    // (the exponent taken after rounding to 15 digits), scientific outside.
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    for (char* c = buffer; c < end; ++c)
        if (*c >= 'a' && *c <= 'z')
            *c = char(*c - 'a' + 'A');
    out.append(buffer, end - buffer);
}

QString numberText(double value)
{
    QByteArray bytes;
    appendNumber(bytes, value);
    return QString::fromLatin1(bytes);
}

double leadingNumber(QByteArrayView text)
{
    // The rules of the text version: blanks, tabs and line feeds skipped
    // wherever they stand, then a sign, digits, a point, digits, an exponent.
    char buffer[80];
    qsizetype n = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    const auto isBlank = [&](qsizetype k) {
        return text[k] == ' ' || text[k] == '\t' || text[k] == '\n' || text[k] == '\r';
    };
    const auto skip = [&](qsizetype& k) {
        while (k < size && isBlank(k))
            ++k;
    };
    const auto isDigit = [&](qsizetype k) { return k < size && text[k] >= '0' && text[k] <= '9'; };
    bool tooLong = false;
    const auto put = [&](char c) {
        if (n < qsizetype(sizeof buffer))
            buffer[n++] = c;
        else
            tooLong = true;
    };
    skip(i);
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool digits = false;
    for (skip(i); isDigit(i); skip(i)) {
        put(text[i++]);
        digits = true;
    }
    if (i < size && text[i] == '.') {
        put('.');
        ++i;
        for (skip(i); isDigit(i); skip(i)) {
            put(text[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < size && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        qsizetype j = i + 1;
        const qsizetype mark = n;
        put('e');
        skip(j);
        if (j < size && (text[j] == '+' || text[j] == '-'))
            put(text[j++]);
        bool expDigits = false;
        for (skip(j); isDigit(j); skip(j)) {
            put(text[j++]);
            expDigits = true;
        }
        if (!expDigits)
            n = mark;
    }
    if (tooLong) // hundreds of digits: the text version takes its time
        return leadingNumber(QString::fromUtf8(text));
    double v = 0;
    const auto r = std::from_chars(buffer, buffer + n, v);
    // Out of range either way: too large is no number, too small is 0.
    if (r.ec != std::errc() || !std::isfinite(v))
        return 0;
    return negative ? -v : v;
}

QString numberText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble());
    default:
        break;
    }
    return numberText(leadingNumber(value.toString()));
}

bool isNumber(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    return re.match(text).hasMatch();
}

namespace {

int fullYear(int y, int digits)
{
    if (digits <= 2)
        return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

int monthFromName(const QString& name)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = name.left(3).toLower();
    for (int i = 0; i < 12; ++i)
        if (lower == QLatin1String(names[i]))
            return i + 1;
    return 0;
}

} // namespace

std::optional<QDateTime> parseDateTime(const QString& input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})([/.-])(\\d{1,2})\\2(\\d{2}|\\d{4})(?:[ "
                       "T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    static const QRegularExpression isoForm(QStringLiteral(
        "^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?)?$"));
    static const QRegularExpression named(
        QStringLiteral("^(\\d{1,2})[ -]([A-Za-z]{3,9})[ ,-]+(\\d{2}|\\d{4})(?:[ "
                       "T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    int d = 0, m = 0, y = 0, hh = 0, mm = 0, ss = 0;
    auto timeFrom = [&](const QRegularExpressionMatch& match, int first) {
        hh = match.captured(first).toInt();
        mm = match.captured(first + 1).toInt();
        ss = match.captured(first + 2).toInt();
    };
    if (auto match = dayFirst.match(text); match.hasMatch()) {
        d = match.captured(1).toInt();
        m = match.captured(3).toInt();
        y = fullYear(match.captured(4).toInt(), int(match.captured(4).size()));
        timeFrom(match, 5);
    } else if (auto iso = isoForm.match(text); iso.hasMatch()) {
        y = iso.captured(1).toInt();
        m = iso.captured(2).toInt();
        d = iso.captured(3).toInt();
        timeFrom(iso, 4);
    } else if (auto nm = named.match(text); nm.hasMatch()) {
        d = nm.captured(1).toInt();
        m = monthFromName(nm.captured(2));
        y = fullYear(nm.captured(3).toInt(), int(nm.captured(3).size()));
        timeFrom(nm, 4);
    } else {
        return std::nullopt;
    }
    const QDate date(y, m, d);
    const QTime time(hh, mm, ss);
    if (!date.isValid() || !time.isValid() || y < 100)
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<QDate> parseDate(const QString& text)
{
    if (auto dt = parseDateTime(text))
        return dt->date();
    return std::nullopt;
}

QDate toDate(const QVariant& value)
{
    if (value.isNull())
        return QDate();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    default:
        break;
    }
    if (auto d = parseDate(value.toString()))
        return *d;
    return QDate();
}

QVariant DateTime::toVariant() const
{
    if (!hasTime())
        return date();
    return QDateTime(date(), QTime(hour, minute, second, msec), Qt::UTC);
}

DateTime DateTime::from(const QDate& date)
{
    DateTime d;
    if (date.isValid()) {
        d.year = date.year();
        d.month = date.month();
        d.day = date.day();
    }
    return d;
}

DateTime DateTime::from(const QDateTime& dateTime)
{
    DateTime d = from(dateTime.date());
    if (d.isValid()) {
        const QTime t = dateTime.time();
        d.hour = t.hour();
        d.minute = t.minute();
        d.second = t.second();
        d.msec = t.msec();
    }
    return d;
}

DateTime parseDateTime(QByteArrayView text)
{
    // yyyy-m-d, then optionally blanks or T and h:mm[:ss][.fraction]: what
    // the regular expression of the text version takes in its ISO form.
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto number = [&](int minDigits, int maxDigits, int* value) {
        const qsizetype start = i;
        int v = 0;
        while (i < n && i - start < maxDigits && text[i] >= '0' && text[i] <= '9')
            v = v * 10 + (text[i++] - '0');
        *value = v;
        return i - start >= minDigits && !(i < n && text[i] >= '0' && text[i] <= '9');
    };
    DateTime d;
    bool ok = number(4, 4, &d.year) && i < n && text[i++] == '-' && number(1, 2, &d.month) &&
              i < n && text[i++] == '-' && number(1, 2, &d.day);
    if (ok && i < n) {
        if (text[i] != ' ' && text[i] != 'T') {
            ok = false;
        } else {
            while (i < n && (text[i] == ' ' || text[i] == 'T'))
                ++i;
            ok = number(1, 2, &d.hour) && i < n && text[i++] == ':' && number(2, 2, &d.minute);
            if (ok && i < n && text[i] == ':') {
                ++i;
                ok = number(2, 2, &d.second);
            }
            if (ok && i < n && text[i] == '.') {
                const qsizetype start = ++i;
                while (i < n && text[i] >= '0' && text[i] <= '9')
                    ++i;
                ok = i > start;
            }
            ok = ok && i == n;
        }
    }
    if (!ok) {
        // Another form (day first, a month's name) or blanks around it.
        if (const auto dt = parseDateTime(QString::fromUtf8(text)))
            return DateTime::from(*dt);
        return DateTime();
    }
    if (d.year < 100 || !QDate::isValid(d.year, d.month, d.day) ||
        !QTime::isValid(d.hour, d.minute, d.second))
        return DateTime();
    return d;
}

void appendDdmmyyyy(QByteArray& out, const DateTime& date)
{
    if (!date.isValid())
        return;
    const char digits[4] = {char('0' + date.day / 10), char('0' + date.day % 10),
                            char('0' + date.month / 10), char('0' + date.month % 10)};
    out.append(digits, 4);
    appendNumber(out, qint64(date.year));
}

QString dateText(const QDate& date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString dateText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        if (dt.time() != QTime(0, 0))
            return dateText(dt.date()) + u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
        return dateText(dt.date());
    }
    const QDate d = toDate(value);
    return d.isValid() ? dateText(d) : value.toString();
}

QString ddmmyyyy(const QDate& date)
{
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1%2%3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.year());
}

qsizetype firstControl(QByteArrayView utf8, char32_t* character)
{
    const auto* p = reinterpret_cast<const uchar*>(utf8.data());
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const uchar b = p[i];
        if ((b >= 0x20 || b == '\t') && b != 0x7F)
            continue;
        if (character)
            *character = b;
        return i;
    }
    return -1;
}

QString controlName(char32_t character)
{
    const QString hex = QStringLiteral("0x") +
                        QString::number(uint(character), 16).toUpper().rightJustified(2, u'0');
    switch (character) {
    case 0x0A:
        return QStringLiteral("a line feed (%1)").arg(hex);
    case 0x0D:
        return QStringLiteral("a carriage return (%1)").arg(hex);
    case 0x1D:
        return QStringLiteral("the group separator (%1)").arg(hex);
    case 0x00:
        return QStringLiteral("a NUL character (%1)").arg(hex);
    default:
        break;
    }
    return QStringLiteral("the control character %1").arg(hex);
}

} // namespace ValueText
