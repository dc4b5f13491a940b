#pragma once

#include <QByteArray>
#include <QByteArrayView>
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
/// leadingNumber() of UTF-8 text.
double leadingNumber(QByteArrayView text);

/// A number in its ordinary text form, as the classic conversion of a number
/// to text writes it: up to 15 significant digits, no leading zeros, no
/// thousands separators, whole values without a decimal point, "." as the
/// decimal separator; from 1E+15 on and below 1E-04 (after rounding to 15
/// digits) the scientific form with an upper-case E and a signed exponent of
/// at least two digits ("1E+15", "1.5E-05"). -0 is "0".
QString numberText(double value);
/// numberText() appended as bytes.
void appendNumber(QByteArray& out, double value);
void appendNumber(QByteArray& out, qint64 value);
/// Long values written the same way.
inline QString numberText(qint64 value)
{
    return QString::number(value);
}

/// A value of a number column as text ("" for null).
QString numberText(const QVariant& value);

/// Characters (UTF-16 units) of UTF-8 text: what a column's size and an XML
/// line's length count.
inline qsizetype utf16Length(QByteArrayView utf8)
{
    qsizetype n = 0;
    for (const char c : utf8) {
        const auto b = uchar(c);
        if ((b & 0xC0) != 0x80)
            n += b >= 0xF0 ? 2 : 1;
    }
    return n;
}

/// True when the text is a number as a whole (blanks around allowed).
bool isNumber(const QString& text);

/// Reads a typed date or date and time: d/m/yyyy (also with - or .),
/// d/m/yy, yyyy-mm-dd, d-Mon-yyyy, d Mon yyyy, each optionally followed by
/// a time hh:mm[:ss]. Two-digit years 00-29 are 2000-2029, 30-99 are 19xx.
std::optional<QDateTime> parseDateTime(const QString& text);
std::optional<QDate> parseDate(const QString& text);

/// The value of a date column as a date (QDate, QDateTime or stored text).
QDate toDate(const QVariant& value);

/// A date and time of day as plain numbers, without a time zone: what the
/// readers and writers of files pass around instead of a QDateTime.
struct DateTime
{
    int year = 0; ///< 0: no date
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;

    bool isValid() const { return year != 0; }
    bool hasTime() const { return hour != 0 || minute != 0 || second != 0 || msec != 0; }
    QDate date() const { return QDate(year, month, day); }
    /// A QDate at midnight, else a QDateTime (Qt::UTC standing for no zone).
    QVariant toVariant() const;
    static DateTime from(const QDate& date);
    static DateTime from(const QDateTime& dateTime);
};
/// parseDateTime() of UTF-8 text, the ISO form a database stores
/// ("2006-03-05", "2006-03-05 14:30:00") read without building a string.
/// Milliseconds are dropped, as parseDateTime() drops them.
DateTime parseDateTime(QByteArrayView text);
/// ddmmyyyy() appended as bytes.
void appendDdmmyyyy(QByteArray& out, const DateTime& date);

/// dd/mm/yyyy, the way dates are shown on screen.
QString dateText(const QDate& date);
/// A date column's value as shown on screen: the date, and the time when it
/// is not midnight.
QString dateText(const QVariant& value);

/// Day and month with two digits and the year as a plain number, nothing in
/// between: 5 March 2006 is 05032006.
QString ddmmyyyy(const QDate& date);

/// Where UTF-8 text holds an ASCII control character other than TAB (0x00
/// to 0x1F, 0x7F): the byte offset of the first one and, in *character, the character;
/// -1 when there is none. No file format of ours carries one in a value: a
/// line break or a group separator would end a line or a field of the flat
/// file.
qsizetype firstControl(QByteArrayView utf8, char32_t* character = nullptr);
/// A control character as the messages name it: "a line feed (0x0A)",
/// "the group separator (0x1D)", "the control character 0x01".
QString controlName(char32_t character);

} // namespace ValueText
