#include "platform/documenttext.h"

#include "platform/linebreaks.h"
#include "platform/rtfkept.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

using namespace docform;

DocumentForm toDocumentForm(QStringView text, const FormOptions &options)
{
    DocumentForm f;
    const qsizetype n = text.size();
    f.text.resize(n); // never longer: a CR LF becomes one character
    char16_t *out = reinterpret_cast<char16_t *>(f.text.data());
    const char16_t *in = text.utf16();
    std::vector<quint8> styles;
    qsizetype counts[3] = {0, 0, 0};
    int firstStyle = -1;
    qsizetype w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if ((c >= 0x20 && c < 0x2028) || (c > 0x2029 && c < 0xFDD0) || c > 0xFDD1) {
            out[w++] = c;
            continue;
        }
        if (c == '\r' || c == '\n') {
            quint8 style = TextFileFormat::LF;
            if (c == '\r') {
                style = TextFileFormat::CR;
                if (i + 1 < n && in[i + 1] == '\n') {
                    style = TextFileFormat::CRLF;
                    ++i;
                }
            }
            f.hard.push_back(int(w));
            out[w++] = kSeparator;
            if (options.format) {
                styles.push_back(style);
                ++counts[style];
                if (firstStyle < 0)
                    firstStyle = style;
            } else if (options.breakStyle >= 0) {
                f.styles.push_back(DocumentForm::StyledBreak{f.hard.back(), quint8(options.breakStyle)});
            }
        } else if (needsStandIn(c)) {
            f.specials.push_back(DocumentForm::Special{int(w), c});
            out[w++] = kStandIn;
        } else {
            out[w++] = c;
        }
    }
    f.text.truncate(w);

    if (options.pack && f.hard.size() > size_t(kPackLines)) {
        // Pages: a break inside one is U+2028. A long line begins and ends
        // a page of its own, to be split into pieces.
        int pageChars = 0;
        int pageLines = 0;
        int lineStart = 0;
        for (size_t k = 0; k < f.hard.size(); ++k) {
            const int at = f.hard[k];
            const int length = at - lineStart;
            const bool longLine = length > kLongLine;
            if (longLine && k > 0)
                out[lineStart - 1] = kSeparator;
            pageChars += length + 1;
            ++pageLines;
            if (longLine || pageChars >= kPageChars || pageLines >= kPageLines) {
                pageChars = pageLines = 0;
            } else {
                out[at] = kPackedBreak;
            }
            lineStart = at + 1;
        }
        if (!f.hard.empty() && w - lineStart > kLongLine)
            out[lineStart - 1] = kSeparator;
    }

    if (TextFileFormat *format = options.format) {
        int usual = firstStyle < 0 ? int(TextFileFormat::LF) : firstStyle;
        int kinds = 0;
        for (int s = 0; s < 3; ++s) {
            kinds += counts[s] > 0;
            if (counts[s] > counts[usual])
                usual = s;
        }
        format->lineBreak = TextFileFormat::Break(usual);
        format->mixedBreaks = kinds > 1;
        if (format->mixedBreaks) {
            for (size_t k = 0; k < styles.size(); ++k) {
                if (styles[k] != usual)
                    f.styles.push_back(DocumentForm::StyledBreak{f.hard[k], styles[k]});
            }
        }
    }
    return f;
}

QTextCharFormat withoutOwnProperties(QTextCharFormat format)
{
    format.clearProperty(StandsFor);
    format.clearProperty(SoftBreak);
    format.clearProperty(BreakStyle);
    rtf::clearKept(format);
    return format;
}

QString crlfText(const DocumentForm &form)
{
    const QString &text = form.text;
    QString out;
    out.resize(text.size() + qsizetype(form.hard.size()));
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    const char16_t *s = reinterpret_cast<const char16_t *>(text.constData());
    auto special = form.specials.begin();
    qsizetype w = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = s[i];
        if (c == kSeparator || c == kPackedBreak) {
            d[w++] = u'\r';
            d[w++] = u'\n';
        } else if (c == kStandIn && special != form.specials.end() && special->position == i) {
            d[w++] = special->original;
            ++special;
        } else {
            d[w++] = c;
        }
    }
    out.truncate(w);
    return out;
}

QTextCharFormat insertionFormat(const QTextCursor &cursor)
{
    // Text is never an object.
    auto textFormat = [](const QTextCharFormat &format) {
        QTextCharFormat f = withoutOwnProperties(format);
        f.clearProperty(QTextFormat::ObjectType);
        return f;
    };
    const QTextCharFormat format = cursor.charFormat();
    if (!rtf::isAnchor(format))
        return textFormat(format);
    const QTextBlock block = cursor.block();
    const QString text = block.text();
    const int at = cursor.position() - block.position();
    for (int i = at - 1; i >= 0; --i) {
        if (text.at(i) != QChar(rtf::kAnchor))
            return textFormat(formatAt(cursor.document(), block.position() + i));
    }
    for (int i = at; i < text.size(); ++i) {
        if (text.at(i) != QChar(rtf::kAnchor))
            return textFormat(formatAt(cursor.document(), block.position() + i));
    }
    return textFormat(format);
}

int insertDocumentForm(QTextCursor &cursor, const DocumentForm &form)
{
    return insertDocumentForm(cursor, form, insertionFormat(cursor));
}

int insertDocumentForm(QTextCursor &cursor, const DocumentForm &form, const QTextCharFormat &base)
{
    const int start = cursor.selectionStart();
    cursor.insertText(form.text, base);
    QTextDocument *doc = cursor.document();
    auto mark = [&](int pos, int property, int value) {
        QTextCursor m(doc);
        m.setPosition(start + pos);
        m.setPosition(start + pos + 1, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setProperty(property, value);
        m.mergeCharFormat(f);
    };
    for (const auto &s : form.specials)
        mark(s.position, StandsFor, s.original);
    for (const auto &s : form.styles)
        mark(s.position, BreakStyle, s.style);
    return start;
}

namespace {

bool goodCut(QStringView text, qsizetype at)
{
    if (at <= 0 || at >= text.size())
        return false;
    const QChar next = text.at(at);
    const QChar prev = text.at(at - 1);
    return !next.isLowSurrogate() && !next.isMark() && prev != QChar(kPackedBreak) && next != QChar(kPackedBreak);
}

// Where the pieces of a long paragraph begin.
std::vector<int> pieceStarts(QStringView text, const WrapCounter *wrap)
{
    std::vector<int> cuts;
    std::vector<int> lines;
    if (wrap && wrap->latinLineStarts(text, &lines)) {
        int pieceStart = 0;
        for (int s : lines) {
            if (s - pieceStart >= kPieceChars && goodCut(text, s)) {
                cuts.push_back(s);
                pieceStart = s;
            }
        }
        return cuts;
    }
    // Without display lines: near every kPieceChars, after a space or a
    // tag's end where there is one.
    qsizetype pieceStart = 0;
    while (text.size() - pieceStart > kPieceChars + kPieceChars / 2) {
        const qsizetype target = pieceStart + kPieceChars;
        qsizetype cut = -1;
        for (qsizetype k = target; k > target - 512; --k) {
            const QChar prev = text.at(k - 1);
            if ((prev == QLatin1Char(' ') || prev == QLatin1Char('>')) && text.at(k) != QLatin1Char(' ')
                && goodCut(text, k)) {
                cut = k;
                break;
            }
        }
        for (qsizetype k = target; cut < 0 && k < target + 16; ++k) {
            if (goodCut(text, k))
                cut = k;
        }
        if (cut < 0)
            break;
        cuts.push_back(int(cut));
        pieceStart = cut;
    }
    return cuts;
}

} // namespace

std::vector<int> splitLongParagraphs(QTextDocument *doc, int from, int to, const WrapCounter *wrap)
{
    struct Plan
    {
        int position;
        std::vector<int> cuts;
    };
    std::vector<Plan> plans;
    const QTextBlock last = doc->findBlock(to);
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        if (b.length() - 1 > kLongLine) {
            std::vector<int> cuts = pieceStarts(b.text(), wrap);
            if (!cuts.empty())
                plans.push_back(Plan{b.position(), std::move(cuts)});
        }
        if (b == last)
            break;
    }
    // From the end, so that the positions still to be used stay put.
    for (auto p = plans.rbegin(); p != plans.rend(); ++p) {
        for (auto c = p->cuts.rbegin(); c != p->cuts.rend(); ++c) {
            QTextCursor cursor(doc);
            cursor.setPosition(p->position + *c);
            QTextCharFormat f = cursor.charFormat();
            f.setProperty(SoftBreak, true);
            cursor.insertBlock(cursor.blockFormat(), f);
        }
    }
    std::vector<int> separators;
    int inserted = 0;
    for (const Plan &p : plans) {
        for (size_t j = 0; j < p.cuts.size(); ++j)
            separators.push_back(p.position + inserted + p.cuts[j] + int(j));
        inserted += int(p.cuts.size());
    }
    return separators;
}

void joinPiecesAndPages(QTextDocument *copy, int from, const std::vector<int> &soft, bool pages)
{
    std::vector<int> breaks;
    if (pages) {
        const QString raw = copy->toRawText();
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw.at(i) == QChar(kPackedBreak))
                breaks.push_back(int(i));
        }
    }
    if (breaks.empty() && soft.empty())
        return;
    QTextCursor c(copy);
    c.beginEditBlock();
    // From the end, so that the positions still to be used stay put.
    auto b = breaks.rbegin();
    auto s = soft.rbegin();
    while (b != breaks.rend() || s != soft.rend()) {
        const int softAt = s != soft.rend() ? *s - from : -1;
        const bool isBreak = b != breaks.rend() && *b > softAt;
        const int at = isBreak ? *b++ : (++s, softAt);
        if (at < 0 || at >= copy->characterCount() - 1)
            continue;
        c.setPosition(at);
        c.setPosition(at + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat format = withoutOwnProperties(c.charFormat());
        c.removeSelectedText();
        if (isBreak)
            c.insertBlock(c.blockFormat(), format);
    }
    c.endEditBlock();
}

QTextCharFormat formatAt(const QTextDocument *doc, int pos)
{
    const QTextBlock b = doc->findBlock(pos);
    if (!b.isValid())
        return QTextCharFormat();
    if (pos == b.position() + b.length() - 1) {
        // A paragraph's separator: its format is the next paragraph's
        // character format.
        const QTextBlock next = b.next();
        return next.isValid() ? next.charFormat() : QTextCharFormat();
    }
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        if (pos >= frag.position() && pos < frag.position() + frag.length())
            return frag.charFormat();
    }
    return b.charFormat();
}

} // namespace platform
