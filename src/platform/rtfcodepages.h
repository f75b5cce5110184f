#pragma once

#include <QString>

#include <memory>

// Byte-to-text conversion for the code pages rich-text files name through
// \ansicpgN, \cpgN and \fcharsetN. The single-byte pages are built in, so
// they decode the same everywhere and fast; the Far East double-byte pages
// go through the C library's iconv (present on every Linux), with Qt's
// converter as a second choice and U+FFFD as the last.
namespace rtf {

class CodePageDecoder
{
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    // Code page of a font's \fcharsetN, or 0 when the charset says "use the
    // document's code page" or is one we do not know.
    static int codePageForCharset(int charset);
    static bool isSupported(int codePage);
    static bool isDoubleByte(int codePage);
    // Characters of bytes 0x80..0xFF of a single-byte page, for callers that
    // convert byte by byte; pages we do not have (and double-byte ones) give
    // the 1252 table.
    static const char16_t *upperHalf(int codePage);

    // Appends the text of the bytes in the code page (an unsupported page
    // reads as 1252). Malformed sequences become U+FFFD; never fails.
    void decode(int codePage, const char *bytes, qsizetype size, QString &out);

private:
    struct Converters;
    std::unique_ptr<Converters> m_converters;
};

// The Windows-1252 byte for a character, or -1 when 1252 has none. Bytes
// below 0x80 map to themselves.
int windows1252Byte(char16_t ch);

} // namespace rtf
