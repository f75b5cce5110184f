#include "platform/documentloader.h"

#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include <future>
#include <mutex>

namespace platform {

int paragraphStamp(QStringView text, int breakStyle)
{
    const uint h = uint(qHash(text)) & 0x1FFFFFFFu;
    return int((h << 2) | uint(breakStyle & 3));
}

QTextDocument *buildPlainDocument(const DecodedText &decoded, const QFont &font)
{
    auto *doc = new QTextDocument;
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font);
    {
        QTextCursor cursor(doc);
        cursor.insertText(decoded.text);
    }
    // Stamp every paragraph; for files that mix line break styles remember
    // each paragraph's own.
    const QString &text = decoded.text;
    qsizetype from = 0;
    size_t breakNo = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        qsizetype to = text.indexOf(QLatin1Char('\n'), from);
        if (to < 0)
            to = text.size();
        int style = 0;
        if (decoded.format.mixedBreaks && breakNo < decoded.breaks.size()) {
            const int s = decoded.breaks[breakNo];
            if (s != decoded.format.lineBreak)
                style = s + 1;
        }
        ++breakNo;
        b.setUserState(paragraphStamp(QStringView(text).mid(from, to - from), style));
        from = to + 1;
    }
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    return doc;
}

namespace {

struct Preload
{
    std::mutex mutex;
    QString path;
    std::future<LoadedDocument> result;
    bool active = false;
};

Preload &preload()
{
    static Preload p;
    return p;
}

LoadedDocument loadOnWorker(const QString &path, const QFont &font, QThread *mainThread)
{
    LoadedDocument out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return out;
    if (bytes.startsWith("{\\rtf"))
        return out; // rich text is read by the control itself
    DecodedText decoded = decodeText(bytes);
    out.format = decoded.format;
    out.document = buildPlainDocument(decoded, font);
    out.document->moveToThread(mainThread);
    return out;
}

} // namespace

void DocumentPreloader::start(const QString &path, const QFont &font)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.active)
        return;
    p.active = true;
    p.path = path;
    QThread *mainThread = QThread::currentThread();
    p.result = std::async(std::launch::async, loadOnWorker, path, font, mainThread);
}

bool DocumentPreloader::take(const QString &path, LoadedDocument *out)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active || p.path != path)
        return false;
    p.active = false;
    LoadedDocument loaded = p.result.get();
    if (!loaded.document)
        return false;
    *out = loaded;
    return true;
}

void DocumentPreloader::discard()
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active)
        return;
    p.active = false;
    LoadedDocument loaded = p.result.get();
    delete loaded.document;
}

} // namespace platform
