#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

/// How typed text becomes numbers and dates, and how values are written as
/// text. Dates are typed day first (dd/mm/yyyy), the way Indian offices write
/// them.
namespace ValueText {

/// The leading number of a text, 0 when there is none: blanks are skipped,
/// reading stops at the first character that cannot continue the number
/// ("123abc" is 123, "abc" is 0, "" is 0, " 12.5e1x" is 125).
double leadingNumber(const QString& text);

/// A number in its ordinary text form: no leading zeros, no thousands
/// separators, whole values without a decimal point, fractions with their
/// significant digits and "." as the decimal separator.
QString numberText(double value);
/// Long values written the same way.
inline QString numberText(qint64 value)
{
    return QString::number(value);
}

/// A value of a number column as text ("" for null).
QString numberText(const QVariant& value);

/// True when the text is a number as a whole (blanks around allowed).
bool isNumber(const QString& text);

/// Reads a typed date or date and time: d/m/yyyy (also with - or .),
/// d/m/yy, yyyy-mm-dd, d-Mon-yyyy, d Mon yyyy, each optionally followed by
/// a time hh:mm[:ss]. Two-digit years 00-29 are 2000-2029, 30-99 are 19xx.
std::optional<QDateTime> parseDateTime(const QString& text);
std::optional<QDate> parseDate(const QString& text);

/// The value of a date column as a date (QDate, QDateTime or stored text).
QDate toDate(const QVariant& value);

/// dd/mm/yyyy, the way dates are shown on screen.
QString dateText(const QDate& date);
/// A date column's value as shown on screen: the date, and the time when it
/// is not midnight.
QString dateText(const QVariant& value);

/// Day and month with two digits and the year as a plain number, nothing in
/// between: 5 March 2006 is 05032006.
QString ddmmyyyy(const QDate& date);

} // namespace ValueText
