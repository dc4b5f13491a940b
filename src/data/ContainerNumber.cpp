#include "ContainerNumber.h"

namespace ContainerNumber {

namespace {

bool isCapital(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// A=10 and upwards, stepping over 11, 22 and 33: the multiples of 11 would
/// let two numbers share a check digit too easily.
int letterValue(char c)
{
    const int v = 10 + (c - 'A');
    return v + (v - 1) / 10; // one step for each multiple of 11 reached
}

/// The first rule the number breaks, or "" when it has the form.
QString formProblem(QByteArrayView n)
{
    const qsizetype size = n.size();
    if (size == 0)
        return QStringLiteral("container number is empty");
    if (n.front() == ' ' || n.back() == ' ')
        return QStringLiteral("container number has blanks before or after it");
    if (size != 10 && size != 11)
        return QStringLiteral("container number should have 11 characters (4 letters and 7 "
                              "digits), not %1")
            .arg(size);
    for (int i = 0; i < 3; ++i)
        if (!isCapital(n[i]))
            return QStringLiteral("container number should start with the owner's 3 capital "
                                  "letters");
    if (n[3] != 'U' && n[3] != 'J' && n[3] != 'Z')
        return QStringLiteral("the 4th letter of the container number (its category) should be "
                              "U, J or Z");
    for (int i = 4; i < 10; ++i)
        if (!isDigit(n[i]))
            return QStringLiteral("characters 5 to 10 of the container number should be the "
                                  "6-digit serial number");
    if (size == 11 && !isDigit(n[10]))
        return QStringLiteral("the last character of the container number should be its check "
                              "digit");
    return QString();
}

} // namespace

int checkDigit(QByteArrayView t)
{
    if (t.size() < 10 || !formProblem(t.first(10)).isEmpty())
        return -1;
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        const char c = t[i];
        sum += (isDigit(c) ? c - '0' : letterValue(c)) << i;
    }
    return sum % 11 % 10;
}

Result check(QByteArrayView number)
{
    Result r;
    r.reason = formProblem(number);
    if (!r.reason.isEmpty()) {
        r.verdict = Verdict::WrongForm;
        return r;
    }
    if (number.size() == 10) {
        r.verdict = Verdict::NoCheckDigit;
        r.reason = QStringLiteral("container number has 10 characters: no check digit to check "
                                  "it by");
        return r;
    }
    const int expected = checkDigit(number);
    if (number[10] - '0' != expected) {
        r.verdict = Verdict::WrongCheckDigit;
        r.expectedDigit = expected;
        r.reason = QStringLiteral("check digit should be %1").arg(expected);
    }
    return r;
}

Result check(const QString& number)
{
    return check(QByteArrayView(number.toUtf8()));
}

} // namespace ContainerNumber
