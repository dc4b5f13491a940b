#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

/// Windows-1252, the ANSI code page of the Windows offices the files are
/// exchanged with: Latin-1 but for 0x80..0x9F, which hold the euro sign,
/// curly quotes, dashes and a few letters.
namespace Cp1252 {

/// The character of a byte.
char16_t toUnicode(uchar byte);

/// The text of bytes written in the code page.
QString decode(QByteArrayView bytes);

/// Appends UTF-8 text in the code page: ASCII as it is, every other
/// character as its byte, '?' for a character the code page lacks (one per
/// UTF-16 unit, as the Windows conversion gives it; a malformed byte counts
/// as one).
void appendUtf8(QByteArray& out, QByteArrayView utf8);

} // namespace Cp1252
