#include "ValueText.h"

#include <QLocale>
#include <QRegularExpression>
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

QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    if (std::floor(value) == value && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
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

} // namespace ValueText
