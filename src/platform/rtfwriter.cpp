// The rich-text writer: the document as RTF, with what the reader kept of
// the source it came from put back (rtfkept.h). Written by hand: Qt writes
// no RTF.

#include "platform/rtfwriter.h"

#include "platform/rtfcodepages.h"
#include "platform/rtfkept.h"

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
#include <QVariant>

#include <algorithm>
#include <charconv>
#include <vector>

namespace rtf {

namespace {

constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;

// Whether source holds a \uN word.
bool hasUnicodeWord(const QByteArray &source)
{
    for (qsizetype at = source.indexOf("\\u"); at >= 0; at = source.indexOf("\\u", at + 2)) {
        const char next = at + 2 < source.size() ? source.at(at + 2) : ' ';
        if ((next >= '0' && next <= '9') || next == '-')
            return true;
    }
    return false;
}

// Whether a group holds a font or colour table: one kept from an embedded
// document is written a group deeper, where no reader takes it for the
// document's own.
bool holdsTable(const QByteArray &group)
{
    for (const char *word : {"\\fonttbl", "\\colortbl"}) {
        const QByteArray name(word);
        for (qsizetype at = group.indexOf(name); at >= 0; at = group.indexOf(name, at + 1)) {
            const qsizetype end = at + name.size();
            const char next = end < group.size() ? group.at(end) : ' ';
            if (!((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')))
                return true;
        }
    }
    return false;
}

// Whether source ends with a control word, whose delimiter is yet to come.
bool endsWithWord(const QByteArray &source)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    qsizetype i = source.size();
    while (i > 0 && source.at(i - 1) >= '0' && source.at(i - 1) <= '9')
        --i;
    if (i > 0 && source.at(i - 1) == '-')
        --i;
    const qsizetype lettersEnd = i;
    while (i > 0 && letter(source.at(i - 1)))
        --i;
    return i < lettersEnd && i > 0 && source.at(i - 1) == '\\';
}

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

    void writeFragment(const QTextFragment &fragment);
    void writeBreak(const QTextCharFormat &separator);
    QVariantList fieldsOf(const QTextCharFormat &format);
    void enterFields(const QVariantList &fields);
    void writeKept(const QTextCharFormat &format, const QTextFragment &fragment);
    QByteArray keptGroup(const QTextCharFormat &format) const;

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

    // The fields the text being written is in, outermost first, each with
    // the style that was current when it opened.
    struct OpenField
    {
        QVariant key; // as in FieldChain
        Style outside;
        bool fontKnown;
    };
    std::vector<OpenField> m_fields;
    QHash<QString, QVariantList> m_links; // the fields made for links, by address
    QByteArray m_header; // the header's kept groups
    bool m_afterRowWords = false; // the last thing written was a row's words
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

// A link of the document's own (pasted from a page) is written as the
// field a rich-edit control makes of one; a kept field as it was read.
QVariantList Writer::fieldsOf(const QTextCharFormat &format)
{
    if (format.hasProperty(FieldChain)) {
        QVariantList fields = format.property(FieldChain).toList();
        fields.removeIf([](const QVariant &field) {
            return !isFieldStart(field.toList().value(1).toByteArray());
        });
        return fields;
    }
    if (!format.isAnchor() || format.anchorHref().isEmpty())
        return {};
    const QString href = format.anchorHref();
    const auto known = m_links.constFind(href);
    if (known != m_links.constEnd())
        return known.value();
    QByteArray start = "{\\field{\\*\\fldinst{HYPERLINK \"";
    for (const char byte : href.toUtf8()) {
        const uchar c = uchar(byte);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\' || c == '{' || c == '}') {
            static const char hex[] = "0123456789ABCDEF";
            start.append('%').append(hex[c >> 4]).append(hex[c & 15]);
        } else {
            start.append(char(c));
        }
    }
    start.append("\"}}");
    const QVariantList fields{QVariant(QVariantList{0, start})};
    m_links.insert(href, fields);
    return fields;
}

// Closes the fields the text is no longer in and opens those it is now in.
// A result begins with \plain: whatever the field's own words set, its
// text's style is then written in full.
void Writer::enterFields(const QVariantList &fields)
{
    size_t same = 0;
    while (same < m_fields.size() && same < size_t(fields.size()) && m_fields[same].key == fields.at(qsizetype(same)))
        ++same;
    while (m_fields.size() > same) {
        m_out.append("}}");
        m_needSpace = false;
        m_current = m_fields.back().outside;
        m_fontKnown = m_fields.back().fontKnown;
        m_fields.pop_back();
    }
    for (qsizetype i = qsizetype(same); i < fields.size(); ++i) {
        m_fields.push_back(OpenField{fields.at(i), m_current, m_fontKnown});
        m_out.append(fields.at(i).toList().value(1).toByteArray());
        m_out.append("{\\fldrslt");
        word("plain");
        m_current = Style();
        m_fontKnown = false;
    }
}

QByteArray Writer::keptGroup(const QTextCharFormat &format) const
{
    const QByteArray group = format.property(KeptSource).toByteArray();
    if (!isWholeGroup(group))
        return QByteArray();
    // Read where \ucN was not 1: the fallbacks of the group's \uN count on it.
    if (format.hasProperty(KeptUnicodeSkip) && hasUnicodeWord(group)) {
        const int skip = std::clamp(format.intProperty(KeptUnicodeSkip), 0, 0xFFFF);
        if (skip != 1)
            return "{\\uc" + QByteArray::number(skip) + ' ' + group + '}';
    }
    return group;
}

void Writer::writeKept(const QTextCharFormat &format, const QTextFragment &fragment)
{
    const Kept kind = Kept(format.intProperty(KeptKind));
    if (kind != Kept::RowWords && kind != Kept::HeaderGroup)
        m_afterRowWords = false;
    switch (kind) {
    case Kept::Group: {
        const QByteArray group = keptGroup(format);
        if (group.isEmpty())
            return;
        switchTo(styleOf(fragment)); // the group's text, if any, has the style around it
        if (holdsTable(group))
            m_out.append('{').append(group).append('}');
        else
            m_out.append(group);
        m_needSpace = false;
        return;
    }
    case Kept::HeaderGroup: {
        // As it was: the header takes no group around it.
        const QByteArray group = format.property(KeptSource).toByteArray();
        if (isWholeGroup(group))
            m_header.append(group);
        return;
    }
    case Kept::HiddenText: {
        switchTo(styleOf(fragment));
        m_out.append('{');
        word("v");
        const QStringList paragraphs = format.property(KeptSource).toString().split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0)
                word("par");
            writeText(paragraphs.at(i));
        }
        m_out.append('}');
        m_needSpace = false;
        return;
    }
    case Kept::RowWords: {
        const QByteArray words = format.property(KeptSource).toByteArray();
        if (!isRowWords(words))
            return;
        switchTo(styleOf(fragment));
        // Two rows' words read as one unless something ends the first.
        if (m_afterRowWords)
            m_out.append("{}");
        m_out.append(words);
        m_afterRowWords = true;
        m_needSpace = endsWithWord(words); // its delimiter must come before any text
        return;
    }
    case Kept::CellEnd:
    case Kept::NestedCellEnd:
        switchTo(styleOf(fragment));
        word(kind == Kept::CellEnd ? "cell" : "nestcell");
        return;
    }
}

void Writer::writeFragment(const QTextFragment &fragment)
{
    const QTextCharFormat format = fragment.charFormat();
    enterFields(fieldsOf(format));
    const QString text = fragment.text();
    const bool anchors = isAnchor(format);
    const int mark = format.intProperty(TableMark);
    if (!anchors && mark != int(Table::CellEnd) && mark != int(Table::NestedCellEnd)) {
        switchTo(styleOf(fragment));
        writeText(text);
        m_afterRowWords = false;
        return;
    }
    // Anchors put back what they keep; tabs that end cells are cell ends.
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool special = i < text.size()
            && (anchors ? text.at(i) == QChar(kAnchor) : text.at(i) == QLatin1Char('\t'));
        if (!special && i < text.size())
            continue;
        if (i > from) {
            switchTo(styleOf(fragment));
            writeText(text.mid(from, i - from));
            m_afterRowWords = false;
        }
        if (special) {
            if (anchors) {
                writeKept(format, fragment);
            } else {
                switchTo(styleOf(fragment));
                word(mark == int(Table::NestedCellEnd) ? "nestcell" : "cell");
                m_afterRowWords = false;
            }
        }
        from = i + 1;
    }
}

// The break before a paragraph, from the format of its separator.
void Writer::writeBreak(const QTextCharFormat &separator)
{
    m_afterRowWords = false;
    enterFields(fieldsOf(separator));
    switch (Table(separator.intProperty(TableMark))) {
    case Table::RowEnd:
        // The paragraphs after a table are not in it.
        word("row");
        word("pard");
        break;
    case Table::NestedRowEnd:
        word("nestrow");
        break;
    default:
        word("par");
        break;
    }
    m_out.append("\r\n");
    m_needSpace = false;
}

QByteArray Writer::run()
{
    // The body first: it decides which fonts and colours the tables list.
    QByteArray body;
    m_out.reserve(m_document.characterCount() * 2 + 256);
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (block != m_document.begin())
            writeBreak(block.charFormat()); // a block's format is that of the break before it
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                writeFragment(fragment);
        }
    }
    enterFields({});
    body.swap(m_out);

    m_out.reserve(body.size() + m_header.size() + 512);
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
    if (!m_header.isEmpty()) {
        m_out.append(m_header);
        m_out.append("\r\n");
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
