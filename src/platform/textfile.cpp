#include "platform/textfile.h"

#include "platform/rtfcodepages.h"

#include <cstring>

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // lone surrogates U+DC80..U+DCFF

// The length of the valid UTF-8 sequence at p (1 for ASCII), or 0 when
// the byte there doesn't begin one.
int sequenceLength(const uchar *p, qsizetype left)
{
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    int len;
    unsigned min;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
        len = 2; min = 0x80; cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3; min = 0x800; cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4; min = 0x10000; cp = c & 0x07;
    } else {
        return 0;
    }
    if (len > left)
        return 0;
    for (int k = 1; k < len; ++k) {
        const uchar cc = p[k];
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Skips plain ASCII eight bytes at a time.
qsizetype skipAscii(const uchar *p, qsizetype i, qsizetype n)
{
    while (i + 8 <= n) {
        quint64 w;
        memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            break;
        i += 8;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

struct Survey
{
    bool multiByte = false; // a valid sequence of two or more bytes
    bool invalid = false;   // a byte that begins no valid sequence
};

Survey survey(const uchar *p, qsizetype n)
{
    Survey s;
    qsizetype i = 0;
    while (i < n) {
        i = skipAscii(p, i, n);
        if (i >= n)
            break;
        const int len = sequenceLength(p + i, n - i);
        if (len == 0) {
            s.invalid = true;
            ++i;
        } else {
            s.multiByte = true;
            i += len;
        }
        if (s.invalid && s.multiByte)
            break;
    }
    return s;
}

QString decodeUtf8Keeping(const uchar *p, qsizetype n)
{
    QString out;
    out.resize(n);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    qsizetype w = 0;
    qsizetype i = 0;
    while (i < n) {
        const uchar c = p[i];
        if (c < 0x80) {
            d[w++] = c;
            ++i;
            continue;
        }
        const int len = sequenceLength(p + i, n - i);
        if (len == 0) {
            d[w++] = char16_t(kEscapeBase + c);
            ++i;
            continue;
        }
        unsigned cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (p[i + k] & 0x3F);
        if (cp >= 0x10000) {
            d[w++] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            d[w++] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            d[w++] = char16_t(cp);
        }
        i += len;
    }
    out.truncate(w);
    return out;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

// Appends text without line breaks as UTF-8: pairs as one character, a
// kept byte as itself, any other lone surrogate as its own three bytes.
void appendUtf8(QByteArray &out, QStringView s)
{
    const char16_t *p = s.utf16();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80) {
            out.append(char(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            appendUtf8(out, QChar::surrogateToUcs4(c, p[i + 1]));
            ++i;
        } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            out.append(char(c - kEscapeBase));
        } else {
            appendUtf8(out, c);
        }
    }
}

void append1252(QByteArray &out, QStringView s)
{
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int byte = rtf::windows1252Byte(s[i].unicode());
        if (byte >= 0) {
            out.append(char(byte));
            continue;
        }
        // Not held by 1252 (the caller asked first): as UTF-8 writes it.
        const qsizetype len = s[i].isHighSurrogate() && i + 1 < n && s[i + 1].isLowSurrogate() ? 2 : 1;
        appendUtf8(out, s.mid(i, len));
        i += len - 1;
    }
}

// UTF-16 is recognised by its byte order mark alone, and only in a file of
// whole code units. Every unit is kept as it is, a lone surrogate too, so
// that the file saves back byte for byte.
bool isUtf16(const uchar *p, qsizetype n, bool *littleEndian)
{
    if (n < 2 || n % 2 != 0)
        return false;
    *littleEndian = p[0] == 0xFF && p[1] == 0xFE;
    return *littleEndian || (p[0] == 0xFE && p[1] == 0xFF);
}

QString decodeUtf16(const uchar *p, qsizetype n, bool littleEndian)
{
    QString out(n / 2 - 1, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 2, w = 0; i < n; i += 2, ++w)
        d[w] = littleEndian ? char16_t(p[i] | p[i + 1] << 8) : char16_t(p[i] << 8 | p[i + 1]);
    return out;
}

void appendUtf16(QByteArray &out, QStringView s, bool littleEndian)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * s.size());
    char *d = out.data() + at;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        *d++ = char(littleEndian ? u & 0xFF : u >> 8);
        *d++ = char(littleEndian ? u >> 8 : u & 0xFF);
    }
}

} // namespace

QString decodeText(const QByteArray &bytes, TextFileFormat *format)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    bool littleEndian = false;
    if (isUtf16(p, n, &littleEndian)) {
        format->encoding = littleEndian ? TextFileFormat::Utf16LE : TextFileFormat::Utf16BE;
        format->bom = true;
        return decodeUtf16(p, n, littleEndian);
    }
    const Survey s = survey(p, n);
    format->bom = false;
    if (s.invalid && !s.multiByte) {
        format->encoding = TextFileFormat::Windows1252;
        QString out;
        rtf::CodePageDecoder().decode(1252, bytes.constData(), n, out);
        return out;
    }
    format->encoding = TextFileFormat::Utf8;
    qsizetype from = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        format->bom = true;
        from = 3;
    }
    // Qt's own decoder would drop a second mark; it is text.
    if (!s.invalid && !(n - from >= 3 && p[from] == 0xEF && p[from + 1] == 0xBB && p[from + 2] == 0xBF))
        return QString::fromUtf8(bytes.constData() + from, n - from);
    return decodeUtf8Keeping(p + from, n - from);
}

QByteArray encodeText(QStringView text, const TextFileFormat &format, const std::vector<quint8> *breaks)
{
    const char *const breakBytes[3] = {"\n", "\r\n", "\r"};
    const char16_t *const breakUnits[3] = {u"\n", u"\r\n", u"\r"};
    const int breakLens[3] = {1, 2, 1};

    QByteArray out;
    out.reserve(text.size() + text.size() / 16 + 8);
    const bool utf8 = format.encoding == TextFileFormat::Utf8;
    const bool utf16 = format.encoding == TextFileFormat::Utf16LE || format.encoding == TextFileFormat::Utf16BE;
    const bool littleEndian = format.encoding == TextFileFormat::Utf16LE;
    if (utf16) {
        out.reserve(2 * (text.size() + text.size() / 16 + 8));
        appendUtf16(out, u"\uFEFF", littleEndian);
    }
    if (utf8 && format.bom)
        out.append("\xEF\xBB\xBF");
    size_t breakNo = 0;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (;;) {
        qsizetype at = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype end = at < 0 ? n : at;
        if (utf16)
            appendUtf16(out, text.mid(start, end - start), littleEndian);
        else if (utf8)
            appendUtf8(out, text.mid(start, end - start));
        else
            append1252(out, text.mid(start, end - start));
        if (at < 0)
            break;
        int style = format.lineBreak;
        if (breaks && breakNo < breaks->size())
            style = (*breaks)[breakNo];
        ++breakNo;
        if (utf16)
            appendUtf16(out, QStringView(breakUnits[style], breakLens[style]), littleEndian);
        else
            out.append(breakBytes[style], breakLens[style]);
        start = at + 1;
    }
    return out;
}

bool canEncode(QStringView text, const TextFileFormat &format)
{
    if (format.encoding != TextFileFormat::Windows1252)
        return true;
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x80 && rtf::windows1252Byte(ch.unicode()) < 0)
            return false;
    }
    return true;
}

QString describeFormat(const TextFileFormat &format)
{
    static const char *const encodings[4] = {"UTF-8", "Windows-1252", "UTF-16 LE", "UTF-16 BE"};
    QString s = QString::fromLatin1(encodings[format.encoding]);
    if (format.encoding != TextFileFormat::Windows1252 && format.bom)
        s += QStringLiteral(" with byte order mark");
    static const char *const names[3] = {"LF", "CR LF", "CR"};
    const QString usual = QString::fromLatin1(names[format.lineBreak]);
    if (format.mixedBreaks)
        s += QStringLiteral(", mixed line breaks (mostly %1)").arg(usual);
    else
        s += QStringLiteral(", %1 line breaks").arg(usual);
    return s;
}

} // namespace platform
