// Feeds arbitrary bytes to the RTF reader, keeping all it can't show as the
// notes do. Beyond not crashing, hanging or leaking, every input must
// satisfy what the editor relies on: no character QTextDocument treats as
// structure comes out of the reader (an object replacement character only
// as the anchor of something kept), the text never grows beyond the input,
// what the writer writes is one whole document, and reading it back gives
// the same text with the same formatting and the same kept source.
#include "platform/rtfkept.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"

#include <QGuiApplication>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_rtfreader: %s\n", what);
    std::abort();
}

struct Run
{
    QString text;
    QVariant kept; // an anchor's source
    QString family;
    qreal points;
    int weight;
    bool italic, underline, strike;
    QString foreground, background;

    bool operator==(const Run &o) const
    {
        return text == o.text && kept == o.kept && family == o.family && points == o.points && weight == o.weight
            && italic == o.italic && underline == o.underline && strike == o.strike
            && foreground == o.foreground && background == o.background;
    }
};

// The document as (character, format) pairs with defaults resolved, one
// entry per character so that how Qt splits fragments does not matter.
QList<Run> describe(const QTextDocument &doc)
{
    QList<Run> out, headerGroups;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            out.append(Run{QStringLiteral("\n"), {}, {}, 0, 0, false, false, false, {}, {}});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QStringList families = f.fontFamilies().toStringList();
            Run run{{},
                    {},
                    families.isEmpty() ? doc.defaultFont().family() : families.first(),
                    f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF(),
                    f.fontWeight(),
                    f.fontItalic(),
                    f.fontUnderline(),
                    f.fontStrikeOut(),
                    f.foreground().style() == Qt::NoBrush ? QString() : f.foreground().color().name(),
                    f.background().style() == Qt::NoBrush ? QString() : f.background().color().name()};
            // The header's groups are written in the header, wherever they were.
            const bool header = f.intProperty(rtf::KeptKind) == int(rtf::Kept::HeaderGroup);
            for (const QChar ch : it.fragment().text()) {
                run.text = QString(ch);
                run.kept = ch == QChar(rtf::kAnchor) ? f.property(rtf::KeptSource) : QVariant();
                if (header && ch == QChar(rtf::kAnchor))
                    headerGroups.append(Run{run.text, run.kept, {}, 0, 0, false, false, false, {}, {}});
                else
                    out.append(run);
            }
        }
    }
    return out + headerGroups;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument doc;
    QTextCursor cursor(&doc);
    const bool isRtf = rtf::insert(cursor, input, rtf::Keep::GroupsAndHeader);
    if (isRtf != rtf::isRtf(input))
        fail("insert() and isRtf() disagree");
    if (!isRtf)
        return 0;

    qsizetype characters = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString text = it.fragment().text();
            const bool anchors = rtf::isAnchor(it.fragment().charFormat());
            characters += text.size();
            for (const QChar ch : text) {
                const char16_t c = ch.unicode();
                if (c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 || (c == 0xFFFC && !anchors)
                    || c == '\r' || c == '\n')
                    fail("structural character in the text");
            }
        }
        ++characters;
    }
    if (characters > qsizetype(size) + 1)
        fail("more text than input");

    const QByteArray written = rtf::write(doc);
    if (!rtf::isCompleteDocument(written))
        fail("the writer wrote no whole document");
    QTextDocument back;
    QTextCursor backCursor(&back);
    rtf::insert(backCursor, written, rtf::Keep::GroupsAndHeader);
    QList<Run> before = describe(doc);
    QList<Run> after = describe(back);
    // The reader applies at most 64 font families per insertion, so a
    // document near that limit may lose one on the way back.
    QSet<QString> families;
    for (const Run &run : std::as_const(before))
        families.insert(run.family);
    if (families.size() >= 60) {
        for (Run &run : before)
            run.family.clear();
        for (Run &run : after)
            run.family.clear();
    }
    if (!(before == after)) {
        qsizetype at = 0;
        while (at < before.size() && at < after.size() && before.at(at) == after.at(at))
            ++at;
        auto show = [](const QList<Run> &runs, qsizetype at) {
            if (at >= runs.size())
                return QByteArray("(end)");
            const Run &r = runs.at(at);
            return (r.text.toUtf8().toHex() + ' ' + r.kept.toByteArray().left(60) + ' ' + r.family.toUtf8() + ' '
                    + QByteArray::number(r.points) + ' ' + QByteArray::number(r.weight) + ' '
                    + QByteArray::number(r.italic) + QByteArray::number(r.underline) + QByteArray::number(r.strike)
                    + ' ' + r.foreground.toUtf8() + ' ' + r.background.toUtf8());
        };
        std::fprintf(stderr, "at %lld of %lld/%lld:\n  %s\n  %s\n", qlonglong(at), qlonglong(before.size()),
                     qlonglong(after.size()), show(before, at).constData(), show(after, at).constData());
        fail("writing and reading back changed the document");
    }
    return 0;
}
