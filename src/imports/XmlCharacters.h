#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

/// The text of an XML file: its encoding, its characters and positions in
/// it, for the tokenizer (XmlTokenizer.h) and the messages of its readers.
namespace XmlText {

struct Error
{
    QString message; ///< a sentence for the user
    int line = 0;    ///< 1-based; 0 when no position applies
    int column = 0;  ///< 1-based, in characters
};

/// Line and column (1-based, the column in UTF-16 units) of a byte offset of
/// UTF-8 text; CR LF, CR and LF each end a line.
void locate(QByteArrayView text, qsizetype pos, Error* error);

/// The file's text as UTF-8 without a byte order mark: UTF-8 as it is, UTF-16
/// (with a byte order mark or starting "<"), and the encodings an XML
/// declaration may name (UTF-8, ISO-8859-1, US-ASCII, Windows-1252). A file
/// that declares no encoding and is not UTF-8 is read as Windows-1252, as
/// older tools wrote it. Every character must be one XML allows. False, with
/// *error set, when the bytes contradict what they declare.
bool decode(const QByteArray& data, QByteArray* text, Error* error);

/// XML 1.0's Char: the characters a document may hold at all.
bool isXmlChar(char32_t c);
/// XML 1.0's NameStartChar and NameChar.
bool isNameStartChar(char32_t c);
bool isNameChar(char32_t c);

/// The code point at i of valid UTF-8 and its length.
char32_t codePointAt(QByteArrayView s, qsizetype i, int* length);
/// QChar::isSpace of a code point beyond ASCII.
bool isWideSpace(char32_t c);

} // namespace XmlText
