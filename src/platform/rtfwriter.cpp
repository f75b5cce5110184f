#include "platform/rtfwriter.h"

#include "platform/rtfcodepages.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>

#include <algorithm>
#include <charconv>
#include <vector>

namespace rtf {

namespace {

constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;

// What a run of text looks like in the words we write.
struct Style
{
    int font = 0;        // font table index
    int halfPoints = 24;
    int foreground = 0;  // colour table index, 0 = automatic
    int highlight = 0;   // colour table index, 0 = none
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

class Writer
{
public:
    explicit Writer(const QTextDocument &document) : m_document(document), m_defaultFont(document.defaultFont())
    {
        m_fonts.append(familyOf(m_defaultFont.families()));
        if (m_fonts.first().isEmpty())
            m_fonts.first() = m_defaultFont.family();
    }

    QByteArray run();

private:
    static QString familyOf(const QStringList &families)
    {
        for (const QString &family : families) {
            if (!family.isEmpty())
                return family;
        }
        return QString();
    }

    Style styleOf(const QTextFragment &fragment);
    int fontIndex(const QString &family);
    int colourIndex(const QBrush &brush);

    void word(const char *text);
    void word(const char *text, int number);
    void switchTo(const Style &style);
    void writeText(const QString &text, bool fontName = false);
    void writeHex(uchar byte);

    const QTextDocument &m_document;
    const QFont m_defaultFont;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    std::vector<QRgb> m_colours; // entry 0, the automatic colour, is implicit
    QHash<QRgb, int> m_colourIndex;
    QHash<int, Style> m_styles; // by the document's format index

    QByteArray m_out;
    Style m_current;
    bool m_fontKnown = false; // the first run always names its font and size
    bool m_needSpace = false; // the last thing written was a control word
};

Style Writer::styleOf(const QTextFragment &fragment)
{
    const int index = fragment.charFormatIndex();
    const auto cached = m_styles.constFind(index);
    if (cached != m_styles.constEnd())
        return cached.value();

    const QTextCharFormat format = fragment.charFormat();
    Style style;

    QString family = familyOf(format.fontFamilies().toStringList());
    if (family.isEmpty())
        family = format.stringProperty(QTextFormat::OldFontFamily);
    style.font = family.isEmpty() ? 0 : fontIndex(family);

    qreal points = format.fontPointSize();
    if (points <= 0 && format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75;
    if (points <= 0)
        points = m_defaultFont.pointSizeF();
    if (points <= 0)
        points = 12;
    style.halfPoints = std::clamp(qRound(points * 2), kMinHalfPoints, kMaxHalfPoints);

    const int weight = format.hasProperty(QTextFormat::FontWeight) ? format.fontWeight()
                                                                   : int(m_defaultFont.weight());
    style.bold = weight >= QFont::DemiBold;
    style.italic = format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic()
                                                               : m_defaultFont.italic();
    style.underline = format.hasProperty(QTextFormat::TextUnderlineStyle)
                           || format.hasProperty(QTextFormat::FontUnderline)
                       ? format.fontUnderline()
                       : m_defaultFont.underline();
    style.strike = format.hasProperty(QTextFormat::FontStrikeOut) ? format.fontStrikeOut()
                                                                  : m_defaultFont.strikeOut();
    style.foreground = colourIndex(format.foreground());
    style.highlight = colourIndex(format.background());
    m_styles.insert(index, style);
    return style;
}

int Writer::fontIndex(const QString &family)
{
    if (family == m_fonts.first())
        return 0;
    const auto it = m_fontIndex.constFind(family);
    if (it != m_fontIndex.constEnd())
        return it.value();
    const int index = int(m_fonts.size());
    m_fonts.append(family);
    m_fontIndex.insert(family, index);
    return index;
}

int Writer::colourIndex(const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return 0;
    const QRgb rgb = brush.color().rgb() | 0xFF000000u;
    const auto it = m_colourIndex.constFind(rgb);
    if (it != m_colourIndex.constEnd())
        return it.value();
    m_colours.push_back(rgb);
    const int index = int(m_colours.size()); // after the automatic entry
    m_colourIndex.insert(rgb, index);
    return index;
}

void Writer::word(const char *text)
{
    m_out.append('\\');
    m_out.append(text);
    m_needSpace = true;
}

void Writer::word(const char *text, int number)
{
    word(text);
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    m_out.append(digits, result.ptr - digits);
}

void Writer::writeHex(uchar byte)
{
    static const char hex[] = "0123456789abcdef";
    const char escape[4] = {'\\', '\'', hex[byte >> 4], hex[byte & 15]};
    m_out.append(escape, 4);
    m_needSpace = false;
}

// The words for what changed since the last run, in the order a rich-edit
// control writes them.
void Writer::switchTo(const Style &style)
{
    if (style.foreground != m_current.foreground)
        word("cf", style.foreground);
    if (style.highlight != m_current.highlight)
        word("highlight", style.highlight);
    if (style.bold != m_current.bold)
        word(style.bold ? "b" : "b0");
    if (style.italic != m_current.italic)
        word(style.italic ? "i" : "i0");
    if (style.underline != m_current.underline)
        word(style.underline ? "ul" : "ulnone");
    if (style.strike != m_current.strike)
        word(style.strike ? "strike" : "strike0");
    if (!m_fontKnown || style.font != m_current.font)
        word("f", style.font);
    if (!m_fontKnown || style.halfPoints != m_current.halfPoints)
        word("fs", style.halfPoints);
    m_fontKnown = true;
    m_current = style;
}

void Writer::writeText(const QString &text, bool fontName)
{
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t ch = chars[i].unicode();
        if (ch >= 0x20 && ch < 0x7F) {
            if (ch == '\\' || ch == '{' || ch == '}') {
                const char escape[2] = {'\\', char(ch)};
                m_out.append(escape, 2);
                m_needSpace = false;
            } else if (fontName && ch == ';') {
                writeHex(';'); // a literal ';' would end the name
            } else {
                if (m_needSpace) {
                    m_out.append(' ');
                    m_needSpace = false;
                }
                m_out.append(char(ch));
            }
            continue;
        }
        if (ch == '\t' && !fontName) {
            word("tab");
            continue;
        }
        if (ch == 0x2029 || ch == 0xFDD0 || ch == 0xFDD1 || ch == 0xFFFC)
            continue; // document structure and embedded objects, not text
        const int byte = windows1252Byte(ch);
        if (byte >= 0) {
            // Control characters too: the reader gives \'hh back byte for byte.
            writeHex(uchar(byte));
            continue;
        }
        // Everything else as \uN with '?' for readers that lack Unicode;
        // astral characters as their two surrogates, as rich-edit does.
        word("u", ch > 0x7FFF ? int(ch) - 0x10000 : int(ch));
        m_out.append('?');
        m_needSpace = false;
    }
}

QByteArray Writer::run()
{
    // The body first: it decides which fonts and colours the tables list.
    QByteArray body;
    m_out.reserve(m_document.characterCount() * 2 + 256);
    bool firstBlock = true;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (!firstBlock) {
            m_out.append("\\par\r\n");
            m_needSpace = false;
        }
        firstBlock = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            switchTo(styleOf(fragment));
            writeText(fragment.text());
        }
    }
    body.swap(m_out);

    m_out.reserve(body.size() + 512);
    m_out.append("{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl");
    for (int i = 0; i < m_fonts.size(); ++i) {
        m_out.append('{');
        word("f", i);
        word("fnil");
        word("fcharset", 0);
        writeText(m_fonts.at(i), true);
        m_out.append(";}");
    }
    m_out.append("}\r\n");
    if (!m_colours.empty()) {
        m_out.append("{\\colortbl ;");
        for (const QRgb rgb : m_colours) {
            word("red", qRed(rgb));
            word("green", qGreen(rgb));
            word("blue", qBlue(rgb));
            m_out.append(';');
        }
        m_out.append("}\r\n");
    }
    m_out.append("{\\*\\generator Quillet Lite;}\\viewkind4\\uc1\\pard");
    m_out.append(body);
    m_out.append("}\r\n");
    return m_out;
}

} // namespace

QByteArray write(const QTextDocument &document)
{
    return Writer(document).run();
}

} // namespace rtf
