#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

/// Container numbers of the ISO 6346 form: 3 capital letters (the owner), a
/// category letter U, J or Z, a 6-digit serial number and a check digit
/// ("CSQU3054383"). The cargo screen gives the reason as advice while the
/// clerk types; the check of an EGM reports it before the file is filed.
namespace ContainerNumber {

enum class Verdict
{
    Valid,
    /// The 10 characters before a check digit: nothing to check them by.
    NoCheckDigit,
    WrongForm,
    WrongCheckDigit,
};

struct Result
{
    Verdict verdict = Verdict::Valid;
    /// WrongCheckDigit: the digit the first ten characters call for.
    int expectedDigit = -1;
    /// What is wrong, in words a clerk understands ("check digit should be
    /// 3"); "" for a valid number.
    QString reason;

    bool valid() const { return verdict == Verdict::Valid; }
};

/// The check digit of the first ten characters (owner, category, serial):
/// letters valued A=10, B=12 ... K=21, L=23 ... U=32, V=34 ... Z=38 (the
/// multiples of 11 are skipped), digits their own value, each times 2 to the
/// power of its position, the sum modulo 11, a remainder of 10 giving 0.
/// -1 when the ten characters are not of the form.
int checkDigit(QByteArrayView firstTen);

/// The number as stored (UTF-8 bytes; blanks are not taken off: the file
/// would carry them).
Result check(QByteArrayView number);
Result check(const QString& number);

} // namespace ContainerNumber
