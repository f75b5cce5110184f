#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace platform {

// How a plain text file was written, so that saving writes it back the
// same way: opening and saving an unedited file gives the same bytes.
struct TextFileFormat
{
    enum Encoding : quint8 { Utf8, Windows1252 };
    enum Break : quint8 { LF, CRLF, CR };

    Encoding encoding = Utf8;
    bool bom = false;
    Break lineBreak = LF; // the file's usual line break (new documents: LF)
    bool mixedBreaks = false;
};

struct DecodedText
{
    QString text;          // line breaks as '\n'
    TextFileFormat format;
    // Only for files that mix line break styles: the style of each line
    // break in order.
    std::vector<quint8> breaks;
};

// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252 with its
// five undefined bytes kept as the control characters of the same value.
DecodedText decodeText(const QByteArray &bytes);

// Encodes text whose line breaks are '\n'. breakStyle(i) gives the style
// of line break number i (used for files that mix styles). Returns false
// in *representable when a character has no Windows-1252 byte; the text
// is then written as UTF-8 and format->encoding becomes Utf8, so nothing
// is lost.
QByteArray encodeText(const QString &text, TextFileFormat *format,
                      const std::vector<quint8> *breaks = nullptr);

// The Windows-1252 character for a byte, and back (-1 when there is none).
QChar windows1252ToUnicode(uchar byte);
int unicodeToWindows1252(QChar c);

} // namespace platform
