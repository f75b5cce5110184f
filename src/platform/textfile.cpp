#include "platform/textfile.h"

#include <QStringDecoder>

namespace platform {

namespace {

// 0x80..0x9F of Windows-1252; the five undefined bytes map to themselves.
const char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Fast path over plain ASCII, eight bytes at a time.
        while (i + 8 <= n) {
            quint64 w;
            memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
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
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            const unsigned char cc = p[i + k];
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

} // namespace

QChar windows1252ToUnicode(uchar byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHigh1252[byte - 0x80]);
    return QChar(byte);
}

int unicodeToWindows1252(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (kHigh1252[i] == u)
            return 0x80 + i;
    }
    return -1;
}

DecodedText decodeText(const QByteArray &bytes)
{
    DecodedText out;
    QByteArray body = bytes;
    QString raw;
    if (body.startsWith("\xEF\xBB\xBF") && isValidUtf8(body)) {
        out.format.bom = true;
        out.format.encoding = TextFileFormat::Utf8;
        raw = QString::fromUtf8(body.constData() + 3, body.size() - 3);
    } else if (isValidUtf8(body)) {
        out.format.encoding = TextFileFormat::Utf8;
        raw = QString::fromUtf8(body);
    } else {
        out.format.encoding = TextFileFormat::Windows1252;
        raw.resize(body.size());
        QChar *d = raw.data();
        const auto *p = reinterpret_cast<const uchar *>(body.constData());
        for (qsizetype i = 0; i < body.size(); ++i)
            d[i] = windows1252ToUnicode(p[i]);
    }

    // Line breaks become '\n'; remember the style of each so the file can
    // be written back as it was.
    QString &text = out.text;
    text.resize(raw.size());
    QChar *dst = text.data();
    const QChar *src = raw.constData();
    const qsizetype n = raw.size();
    qsizetype w = 0;
    qsizetype counts[3] = {0, 0, 0};
    std::vector<quint8> breaks;
    int first = -1;
    bool mixed = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = src[i].unicode();
        if (c == '\r') {
            quint8 style;
            if (i + 1 < n && src[i + 1].unicode() == '\n') {
                style = TextFileFormat::CRLF;
                ++i;
            } else {
                style = TextFileFormat::CR;
            }
            dst[w++] = QLatin1Char('\n');
            ++counts[style];
            if (first < 0) first = style;
            else if (style != first) mixed = true;
            breaks.push_back(style);
        } else if (c == '\n') {
            dst[w++] = QLatin1Char('\n');
            ++counts[TextFileFormat::LF];
            if (first < 0) first = TextFileFormat::LF;
            else if (first != TextFileFormat::LF) mixed = true;
            breaks.push_back(TextFileFormat::LF);
        } else {
            dst[w++] = src[i];
        }
    }
    text.truncate(w);
    if (first < 0) {
        out.format.lineBreak = TextFileFormat::LF;
    } else {
        int best = first;
        for (int s = 0; s < 3; ++s) {
            if (counts[s] > counts[best])
                best = s;
        }
        out.format.lineBreak = TextFileFormat::Break(best);
    }
    out.format.mixedBreaks = mixed;
    if (mixed)
        out.breaks = std::move(breaks);
    return out;
}

QByteArray encodeText(const QString &text, TextFileFormat *format,
                      const std::vector<quint8> *breaks)
{
    const char *const breakBytes[3] = {"\n", "\r\n", "\r"};
    const int breakLens[3] = {1, 2, 1};

    bool representable = true;
    if (format->encoding == TextFileFormat::Windows1252) {
        for (QChar c : text) {
            if (c.unicode() != '\n' && unicodeToWindows1252(c) < 0) {
                representable = false;
                break;
            }
        }
        if (!representable)
            format->encoding = TextFileFormat::Utf8; // never drop a character
    }

    QByteArray out;
    out.reserve(text.size() + text.size() / 16 + 8);
    if (format->encoding == TextFileFormat::Utf8 && format->bom)
        out.append("\xEF\xBB\xBF");

    size_t breakNo = 0;
    qsizetype start = 0;
    const qsizetype n = text.size();
    auto flushSegment = [&](qsizetype from, qsizetype to) {
        if (to <= from)
            return;
        if (format->encoding == TextFileFormat::Utf8) {
            out.append(QStringView(text).mid(from, to - from).toUtf8());
        } else {
            const qsizetype base = out.size();
            out.resize(base + (to - from));
            char *d = out.data() + base;
            for (qsizetype i = from; i < to; ++i)
                d[i - from] = char(unicodeToWindows1252(text.at(i)));
        }
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (text.at(i).unicode() != '\n')
            continue;
        flushSegment(start, i);
        int style = format->lineBreak;
        if (breaks && breakNo < breaks->size())
            style = (*breaks)[breakNo];
        ++breakNo;
        out.append(breakBytes[style], breakLens[style]);
        start = i + 1;
    }
    flushSegment(start, n);
    return out;
}

} // namespace platform
