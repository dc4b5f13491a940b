#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

/// The settings file: sections and keys matched without regard to case,
/// values trimmed, "" for anything missing, at most 254 characters read.
/// A write replaces the file only once the new content is complete.
///
/// Only a regular file of at most MaxFileSize bytes is read: a settings file
/// that is a link to a device or a pipe would otherwise block the program or
/// fill its memory. Such a file reads as if it were empty and is never
/// replaced by a write; problem() says what is wrong with it.
namespace Settings {

constexpr qint64 MaxFileSize = 1024 * 1024;

using Values = QList<QPair<QString, QString>>;

/// The pure parts, on a file's content: the value of key in section, and
/// the content with values set in section (false when it cannot be made).
QString valueIn(QByteArrayView content, const QString& section, const QString& key);
bool withValues(QByteArrayView content, const QString& section, const Values& values,
                QByteArray* out);

/// The content of a settings file. A missing file is empty content; a file
/// that is not a regular file, is larger than MaxFileSize or cannot be read
/// gives false and the reason in *problem.
bool load(const QString& file, QByteArray* content, QString* problem);
/// Why file cannot be read as a settings file, "" when it can or is absent.
QString problem(const QString& file);
/// The content of a settings file, empty when load() refuses it: what
/// readers of several keys read once.
QByteArray contentOf(const QString& file);

QString read(const QString& file, const QString& section, const QString& key);
/// On failure the file stays as it was and *error says why ("No space left
/// on device").
bool write(const QString& file, const QString& section, const QString& key, const QString& value,
           QString* error = nullptr);
/// Several keys of one section in one write.
bool write(const QString& file, const QString& section, const Values& values,
           QString* error = nullptr);

/// The sections of a file's content, in the order they stand.
QStringList sectionsIn(QByteArrayView content);
/// The content without key in section (the same content when it has none).
bool withoutKey(QByteArrayView content, const QString& section, const QString& key,
                QByteArray* out);
/// Takes key out of section of file; true also when it was not there.
bool remove(const QString& file, const QString& section, const QString& key,
            QString* error = nullptr);

} // namespace Settings

/// Tarvex.ini in the program's folder.
QString ReadIni(const QString& section, const QString& key);
/// Non-zero when written; callers may ignore it.
int WriteIni(const QString& section, const QString& key, const QString& value);
