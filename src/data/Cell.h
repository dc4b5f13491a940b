#pragma once

#include "ValueText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVariant>

/// One value of a row as the file writers and readers pass it on: a number,
/// UTF-8 bytes or a date, without a QVariant (and its string) per value.
struct Cell
{
    enum class Kind : quint8
    {
        Null,
        Integer,
        Real,
        Text,
        Date,
        Boolean,
    };

    Kind kind = Kind::Null;
    qint64 integer = 0;       ///< Integer; Boolean: 1 or 0
    double real = 0;          ///< Real
    QByteArrayView text;      ///< Text: UTF-8, valid while its row is
    ValueText::DateTime date; ///< Date

    bool isNull() const { return kind == Kind::Null; }
    void setNull() { kind = Kind::Null; }
    void setInteger(qint64 v)
    {
        kind = Kind::Integer;
        integer = v;
    }
    void setReal(double v)
    {
        kind = Kind::Real;
        real = v;
    }
    void setText(QByteArrayView v)
    {
        kind = Kind::Text;
        text = v;
    }
    void setDate(const ValueText::DateTime& v)
    {
        kind = Kind::Date;
        date = v;
    }
    void setBoolean(bool v)
    {
        kind = Kind::Boolean;
        integer = v ? 1 : 0;
    }

    /// The value of a QVariant; text goes to storage, which must live as long
    /// as the cell is read. A null variant is Null (an empty string is not).
    void setVariant(const QVariant& value, QByteArray& storage);
    /// The value as a QVariant: Integer as qlonglong, Date as a QDate at
    /// midnight and a QDateTime (Qt::UTC) otherwise.
    QVariant toVariant() const;
};
