#pragma once

#include "Cell.h"
#include "ColumnInfo.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

/// The values of ADO's saved rowsets: how a column's dt:type reads its
/// attribute text (AdoXmlReader.h).
namespace AdoXmlValue {

/// How a column's attribute text becomes a value.
enum class Kind
{
    Long,
    Double,
    Date,
    Time,
    Boolean,
    Text,
    Hex
};

Kind kindOf(const QString& dtType);
ColumnType columnTypeOf(Kind kind);
/// The kind in the words of a message ("a whole number").
QString kindWords(Kind kind);
/// A column's attribute text as a cell; false when it is not of the
/// column's kind. Text stays exactly as written, blanks included; bin.hex
/// loses its blanks (into storage).
bool convert(Kind kind, QByteArrayView text, Cell* cell, QByteArray* storage);

} // namespace AdoXmlValue
