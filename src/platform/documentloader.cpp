#include "platform/documentloader.h"

#include "platform/errors.h"
#include "platform/rtfreader.h"

#include <QFile>
#include <QFileInfo>

#include <future>
#include <mutex>

namespace platform {

quint64 hashContent(const QByteArray &bytes)
{
    return quint64(qHash(QByteArrayView(bytes), size_t(0x9E3779B97F4A7C15ULL))) | 1;
}

int paragraphStamp(QStringView text, int breakStyle)
{
    const uint h = uint(qHash(text)) & 0x1FFFFFFFu;
    return int((h << 2) | uint(breakStyle & 3));
}

std::vector<int> paragraphStamps(const DecodedText &decoded)
{
    std::vector<int> stamps;
    const QString &text = decoded.text;
    qsizetype from = 0;
    size_t breakNo = 0;
    for (;;) {
        qsizetype to = text.indexOf(QLatin1Char('\n'), from);
        const bool last = to < 0;
        if (last)
            to = text.size();
        int style = 0;
        if (decoded.format.mixedBreaks && breakNo < decoded.breaks.size()) {
            const int s = decoded.breaks[breakNo];
            if (s != decoded.format.lineBreak)
                style = s + 1;
        }
        ++breakNo;
        stamps.push_back(paragraphStamp(QStringView(text).mid(from, to - from), style));
        if (last)
            break;
        from = to + 1;
    }
    return stamps;
}

bool loadText(const QString &path, LoadedText *out, int *errorNumber, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *errorNumber = ControlError::FileNotFound;
        *error = QStringLiteral("File not found");
        return false;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        *errorNumber = ControlError::PathFileAccess;
        *error = info.isDir() ? QStringLiteral("Is a directory") : file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    out->contentHash = hashContent(bytes);
    if (file.error() != QFileDevice::NoError) {
        *errorNumber = ControlError::PathFileAccess;
        *error = file.errorString();
        return false;
    }
    // Only a whole rich-text document is read as one; anything else, even
    // if it starts the same way, is plain text kept byte for byte.
    if (rtf::isCompleteDocument(bytes)) {
        out->isRichText = true;
        out->bytes = std::move(bytes);
        return true;
    }
    out->isRichText = false;
    out->decoded = decodeText(bytes);
    out->stamps = paragraphStamps(out->decoded);
    return true;
}

namespace {

struct Preload
{
    std::mutex mutex;
    QString path;
    std::future<std::pair<bool, LoadedText>> result;
    bool active = false;
};

Preload &preload()
{
    static Preload p;
    return p;
}

} // namespace

void DocumentPreloader::start(const QString &path)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.active)
        return;
    p.active = true;
    p.path = path;
    p.result = std::async(std::launch::async, [path] {
        LoadedText text;
        int number = 0;
        QString error;
        const bool ok = loadText(path, &text, &number, &error);
        return std::make_pair(ok, std::move(text));
    });
}

bool DocumentPreloader::take(const QString &path, LoadedText *out)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active || p.path != path)
        return false;
    p.active = false;
    auto result = p.result.get();
    if (!result.first)
        return false;
    *out = std::move(result.second);
    return true;
}

void DocumentPreloader::discard()
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active)
        return;
    p.active = false;
    p.result.get();
}

} // namespace platform
