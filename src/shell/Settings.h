#pragma once

#include <QString>

/// The settings file: sections and keys matched without regard to case,
/// values trimmed, "" for anything missing, at most 254 characters read.
/// A write replaces the file only once the new content is complete.
namespace Settings {

QString read(const QString& file, const QString& section, const QString& key);
bool write(const QString& file, const QString& section, const QString& key, const QString& value);

} // namespace Settings

/// Tarvex.ini in the program's folder.
QString ReadIni(const QString& section, const QString& key);
/// Non-zero when written; callers may ignore it.
int WriteIni(const QString& section, const QString& key, const QString& value);
