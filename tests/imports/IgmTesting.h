#pragma once

// What the IGM tests share: data lines written field by field, the way an
// import manifest's cargo file holds them.

#include <QByteArray>
#include <QMap>
#include <QStringList>

namespace IgmTesting {

/// The group separator that ends each field.
inline const QByteArray GS("\x1d");

/// A data line of count fields, each ended by the separator; fields not
/// given are empty.
inline QByteArray fields(const QMap<int, QByteArray>& values, int count = 35)
{
    QByteArray line;
    for (int i = 0; i < count; ++i)
        line += values.value(i) + GS;
    return line;
}

/// A file of the three sections, lines ended by CR LF.
inline QByteArray file(const QByteArray& vessel, const QList<QByteArray>& cargo = {},
                       const QList<QByteArray>& containers = {})
{
    QByteArray f = "<vesinfo>\r\n" + vessel + "\r\n<cargo>\r\n";
    for (const QByteArray& l : cargo)
        f += l + "\r\n";
    f += "<END-cargo>\r\n<contain>\r\n";
    for (const QByteArray& l : containers)
        f += l + "\r\n";
    return f + "<END-contain>\r\n";
}

} // namespace IgmTesting
