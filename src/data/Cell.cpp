#include "Cell.h"

void Cell::setVariant(const QVariant& value, QByteArray& storage)
{
    if (value.isNull()) {
        setNull();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        setInteger(value.toLongLong());
        return;
    case QMetaType::Bool:
        setBoolean(value.toBool());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        setReal(value.toDouble());
        return;
    case QMetaType::QDate:
        setDate(ValueText::DateTime::from(value.toDate()));
        return;
    case QMetaType::QDateTime:
        setDate(ValueText::DateTime::from(value.toDateTime()));
        return;
    case QMetaType::QByteArray:
        storage = value.toByteArray();
        break;
    default:
        storage = value.toString().toUtf8();
        break;
    }
    setText(storage);
}

QVariant Cell::toVariant() const
{
    switch (kind) {
    case Kind::Null:
        break;
    case Kind::Integer:
        return QVariant(qlonglong(integer));
    case Kind::Real:
        return QVariant(real);
    case Kind::Text:
        return QVariant(QString::fromUtf8(text));
    case Kind::Date:
        return date.toVariant();
    case Kind::Boolean:
        return QVariant(integer != 0);
    }
    return QVariant();
}
