#include "platform/documentfile.h"

#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"
#include "platform/textpositions.h"
#include "platform/ui.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

using namespace docform;

LoadedText DocumentFile::read(const QString &path, QWidget *parent)
{
    LoadedText loaded;
    LoadResult result;
    if (DocumentPreloader::take(path, &loaded, &result))
        return loaded;
    if (!result.ok && !result.tooLarge && result.errorNumber != 0)
        throw ControlError(result.errorNumber, result.error);
    const qint64 size = regularFileSize(path);
    bool allowLarge = false;
    if (result.tooLarge || size > kAskAbove) {
        const QString question = QStringLiteral("%1 is larger than 1 GB. Open it anyway?").arg(path);
        if (ui().messageBox(parent, question, QStringLiteral("Quillet Lite"), Buttons::YesNo, Icon::Warning)
            != Answer::Yes)
            throw ControlError(ControlError::Cancel, QStringLiteral("Cancel"));
        allowLarge = true;
    }
    if (size > kReadAheadAbove) {
        // Large files are never read on the user-interface thread.
        DocumentPreloader::start(path, allowLarge);
        if (DocumentPreloader::take(path, &loaded, &result))
            return loaded;
    } else {
        result = loadText(path, &loaded, allowLarge);
        if (result.ok)
            return loaded;
    }
    throw ControlError(result.errorNumber, result.error);
}

std::vector<int> DocumentFile::fill(QTextDocument *doc, const LoadedText &loaded, bool keepUnshown)
{
    QTextCursor c(doc);
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    c.setCharFormat(QTextCharFormat());
    c.setBlockFormat(QTextBlockFormat());
    std::vector<int> hard;
    m_richText = loaded.isRichText;
    if (loaded.isRichText) {
        m_format = TextFileFormat();
        rtf::insert(c, loaded.bytes, keepUnshown ? rtf::Keep::GroupsAndHeader : rtf::Keep::TextOnly);
        const QString raw = doc->toRawText();
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw.at(i) == QChar::ParagraphSeparator || raw.at(i) == QChar::LineSeparator)
                hard.push_back(int(i));
        }
    } else {
        m_format = loaded.format;
        insertDocumentForm(c, loaded.form);
        hard = loaded.form.hard;
    }
    c.endEditBlock();
    return hard;
}

quint8 DocumentFile::styleOf(const QTextCharFormat &breakFormat) const
{
    // Breaks that differ from the file's usual one carry their style.
    const QVariant v = breakFormat.property(BreakStyle);
    return v.isValid() ? quint8(v.toInt()) : quint8(m_format.lineBreak);
}

std::vector<quint8> DocumentFile::breakStyles(QTextDocument *doc, const TextPositions &positions) const
{
    // The style of every break, in order.
    std::vector<quint8> breaks;
    breaks.reserve(size_t(positions.breakCount()));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const qsizetype packed = frag.text().count(QChar(kPackedBreak));
            if (packed > 0)
                breaks.insert(breaks.end(), size_t(packed), styleOf(frag.charFormat()));
        }
        const QTextBlock next = b.next();
        if (next.isValid() && !next.charFormat().boolProperty(SoftBreak))
            breaks.push_back(styleOf(next.charFormat()));
    }
    return breaks;
}

QByteArray DocumentFile::encode(QTextDocument *doc, const TextPositions &positions) const
{
    return snapshot(doc, positions).encode();
}

DocumentFile::Snapshot DocumentFile::snapshot(QTextDocument *doc, const TextPositions &positions) const
{
    Snapshot s;
    s.rawText = positions.plainText();
    s.format = m_format;
    if (m_format.mixedBreaks)
        s.breaks = breakStyles(doc, positions);
    return s;
}

void DocumentFile::appendPiece(QTextDocument *doc, const TextPositions &positions, int from, int to, QString *text,
                               std::vector<quint8> *breaks) const
{
    *text += positions.plainText(from, to);
    if (!m_format.mixedBreaks)
        return;
    for (const int at : positions.hardBreaks(from, to))
        breaks->push_back(styleOf(formatAt(doc, at)));
}

QByteArray DocumentFile::Snapshot::encode() const
{
    return encodeText(rawText, format, format.mixedBreaks ? &breaks : nullptr);
}

bool DocumentFile::canEncode(const TextPositions &positions) const
{
    if (m_format.encoding == TextFileFormat::Utf8)
        return true;
    return platform::canEncode(positions.plainText(), m_format);
}

int DocumentFile::newBreakStyle(QTextDocument *doc, const TextPositions &positions, int pos) const
{
    if (!m_format.mixedBreaks)
        return -1;
    const int end = positions.lineEnd(pos);
    if (end >= doc->characterCount() - 1)
        return -1; // the last line has no break of its own
    const QVariant style = formatAt(doc, end).property(BreakStyle);
    return style.isValid() ? style.toInt() : -1;
}

void DocumentFile::writeRichText(const QString &path, const QTextDocument &document)
{
    QString error;
    if (!writeFileAtomically(path, rtf::write(document), &error))
        throw ControlError(ControlError::PathFileAccess, error);
}

} // namespace platform
