#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace platform {

// How a plain text file was written, so that saving writes it back the
// same way: opening and saving an unedited file gives the same bytes.
struct TextFileFormat
{
    enum Encoding : quint8 { Utf8, Windows1252, Utf16LE, Utf16BE };
    enum Break : quint8 { LF, CRLF, CR };

    Encoding encoding = Utf8;
    bool bom = false;
    Break lineBreak = LF; // the file's usual line break (new documents: LF)
    bool mixedBreaks = false;
};

// Decodes a plain text file, leaving its line breaks as they are. UTF-16
// (little or big endian) for a file of whole code units that begins with
// its byte order mark; else UTF-8, with any byte that is not part of a
// valid sequence kept as the lone surrogate U+DC00 + byte, and a mark
// after the first one kept as text (U+FEFF); Windows-1252 (its five
// undefined bytes kept as the control characters of the same value) for a
// file that has bytes above 0x7F but no valid multi-byte UTF-8 sequence.
// Sets the encoding and byte order mark of *format.
QString decodeText(const QByteArray &bytes, TextFileFormat *format);

// Encodes text whose line breaks are '\n'. breaks, when given, holds the
// style of each line break in order (files that mix styles); otherwise
// every break takes the format's usual one. A character the encoding
// can't hold (see canEncode) is written as UTF-8 would write it.
QByteArray encodeText(QStringView text, const TextFileFormat &format,
                      const std::vector<quint8> *breaks = nullptr);

// Whether every character of the text has a byte sequence in the format's
// encoding (UTF-8 holds them all).
bool canEncode(QStringView text, const TextFileFormat &format);

// For people: "UTF-8, CR LF line breaks" and the like.
QString describeFormat(const TextFileFormat &format);

} // namespace platform
