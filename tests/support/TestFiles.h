#pragma once

// A file's bytes in one call, for the tests.

#include <QByteArray>
#include <QFile>
#include <QString>

/// The whole file, or "<cannot read PATH>" so that a comparison shows why.
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read ") + path.toUtf8() + '>';
    return f.readAll();
}

/// Replaces the file with bytes; false when that fails.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
