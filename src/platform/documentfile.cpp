#include "platform/documentfile.h"

#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

LoadedText DocumentFile::read(const QString &path)
{
    LoadedText loaded;
    if (!DocumentPreloader::take(path, &loaded)) {
        int number = 0;
        QString error;
        if (!loadText(path, &loaded, &number, &error))
            throw ControlError(number, error);
    }
    return loaded;
}

void DocumentFile::fill(QTextDocument *doc, const LoadedText &loaded)
{
    {
        QTextCursor c(doc);
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        c.setCharFormat(QTextCharFormat());
        c.setBlockFormat(QTextBlockFormat());
        if (loaded.isRichText)
            rtf::insert(c, loaded.bytes);
        else
            c.insertText(loaded.decoded.text);
        c.endEditBlock();
    }
    if (loaded.isRichText) {
        m_format = TextFileFormat();
        restamp(doc, 0, doc->characterCount());
    } else {
        m_format = loaded.decoded.format;
        size_t i = 0;
        for (QTextBlock b = doc->begin(); b.isValid() && i < loaded.stamps.size(); b = b.next(), ++i)
            b.setUserState(loaded.stamps[i]);
    }
}

QByteArray DocumentFile::encode(QTextDocument *doc)
{
    Snapshot s = snapshot(doc);
    QByteArray bytes = s.encode();
    m_format = s.format;
    return bytes;
}

DocumentFile::Snapshot DocumentFile::snapshot(QTextDocument *doc) const
{
    Snapshot s;
    s.rawText = doc->toRawText();
    s.format = m_format;
    if (m_format.mixedBreaks) {
        s.breaks.reserve(size_t(doc->blockCount()));
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            const int style = stampBreakStyle(b.userState());
            s.breaks.push_back(style ? quint8(style - 1) : quint8(m_format.lineBreak));
        }
    }
    return s;
}

QByteArray DocumentFile::Snapshot::encode()
{
    rawText.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return encodeText(rawText, &format, format.mixedBreaks ? &breaks : nullptr);
}

bool DocumentFile::unchangedText(QTextDocument *doc, int position, int length)
{
    QTextBlock b = doc->findBlock(position);
    const QTextBlock last = doc->findBlock(position + length);
    while (b.isValid()) {
        const int state = b.userState();
        if (state < 0 || paragraphStamp(b.text(), stampBreakStyle(state)) != state)
            return false;
        if (b == last)
            break;
        b = b.next();
    }
    return true;
}

void DocumentFile::restamp(QTextDocument *doc, int from, int to)
{
    QTextBlock b = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(to);
    while (b.isValid()) {
        b.setUserState(paragraphStamp(b.text(), stampBreakStyle(b.userState())));
        if (b == last)
            break;
        b = b.next();
    }
}

void DocumentFile::writeRichText(const QString &path, const QTextDocument &document)
{
    QString error;
    if (!writeFileAtomically(path, rtf::write(document), &error))
        throw ControlError(ControlError::PathFileAccess, error);
}

} // namespace platform
