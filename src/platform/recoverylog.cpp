#include "platform/recoverylog.h"

#include "platform/documentloader.h"
#include "platform/recoverystore.h"

#include <QFile>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char32_t kBreakUnit = 0x10000;
constexpr qsizetype kLongestRecordLine = 200;
const char *const kBreakNames[3] = {"LF", "CRLF", "CR"};
const char *const kEncodingNames[4] = {"UTF-8", "Windows-1252", "UTF-16LE", "UTF-16BE"};

// UTF-8, except that a surrogate without its partner (a character pair
// an edit cut in two) is written as its own three bytes, as WTF-8 does, so
// that every text comes back exactly.
QByteArray utf8Of(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t c = text[i].unicode();
        if (c < 0x80) {
            out.append(char(c));
        } else if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
            out.append(char(0x80 | (c & 0x3F)));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// The reverse; a byte that begins no sequence (never written so) reads as
// U+FFFD.
QString textOfUtf8(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        const int length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = length > 0 && i + length <= n;
        char32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; ok && k < length; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || cp > 0x10FFFF) {
            out.append(QChar(QChar::ReplacementCharacter));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += length;
    }
    return out;
}

QByteArray check(const QByteArray &head, QByteArrayView data)
{
    QByteArray all = head;
    all += '\n';
    all += data;
    return QByteArray::number(hashContent(all), 16);
}

QByteArray fieldLines(const QMap<QString, QString> &fields)
{
    QByteArray out;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        out += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value()) + '\n';
    return out;
}

bool parseFieldLines(QByteArrayView bytes, QMap<QString, QString> *out)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView line = bytes.sliced(at, end - at);
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            return false;
        out->insert(QUrl::fromPercentEncoding(line.first(eq).toByteArray()),
                    QUrl::fromPercentEncoding(line.sliced(eq + 1).toByteArray()));
        at = end + 1;
    }
    return true;
}

QByteArray breaksField(const std::vector<quint8> &breaks)
{
    QByteArray out(qsizetype(breaks.size()), '0');
    for (size_t i = 0; i < breaks.size(); ++i)
        out[qsizetype(i)] = char('0' + breaks[i]);
    return out;
}

// Reads a regular file whole; false with the reason otherwise.
bool readRegularFile(const QString &path, QByteArray *out, qint64 expectedSize, QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *why = QStringLiteral("its file %1 can't be read (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == expectedSize;
    if (ok) {
        out->resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < out->size()) {
            const ssize_t n = ::read(fd, out->data() + got, size_t(out->size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        ok = got == out->size();
    }
    ::close(fd);
    if (!ok)
        *why = QStringLiteral("its file %1 has changed since").arg(path);
    return ok;
}

} // namespace

bool TextEdit::absorb(const TextEdit &next)
{
    const qint64 end = position + text.size();
    if (next.position == end) { // typing on, or deleting forward
        removed += next.removed;
        text += next.text;
        breaks.insert(breaks.end(), next.breaks.begin(), next.breaks.end());
        return true;
    }
    if (next.text.isEmpty() && next.position + next.removed == end && next.removed <= text.size()) {
        // Deleting back over what this edit put in.
        const QStringView gone = QStringView(text).right(next.removed);
        const qsizetype breaksGone = gone.count(QLatin1Char('\n'));
        if (!breaks.empty())
            breaks.resize(breaks.size() - size_t(breaksGone));
        text.chop(next.removed);
        return true;
    }
    return false;
}

QByteArray encodeEditRecord(const TextEdit &edit)
{
    const QByteArray text = utf8Of(edit.text);
    const QByteArray data = text + breaksField(edit.breaks);
    const QByteArray head = "E " + QByteArray::number(edit.position) + ' ' + QByteArray::number(edit.removed) + ' '
        + QByteArray::number(text.size()) + ' ' + QByteArray::number(edit.breaks.size());
    return head + ' ' + check(head, data) + '\n' + data + '\n';
}

QByteArray encodeFieldsRecord(const QMap<QString, QString> &fields)
{
    const QByteArray data = fieldLines(fields);
    const QByteArray head = "F " + QByteArray::number(data.size());
    return head + ' ' + check(head, data) + '\n' + data + '\n';
}

std::vector<LogRecord> readLog(QByteArrayView log, qsizetype *used)
{
    std::vector<LogRecord> records;
    qsizetype at = 0;
    for (;;) {
        if (used)
            *used = at;
        const qsizetype lineEnd = log.indexOf('\n', at);
        if (lineEnd < 0 || lineEnd - at > kLongestRecordLine)
            break;
        const QList<QByteArray> parts = log.sliced(at, lineEnd - at).toByteArray().split(' ');
        const bool edit = parts.value(0) == "E" && parts.size() == 6;
        if (!edit && !(parts.value(0) == "F" && parts.size() == 3))
            break;
        bool ok = true;
        qint64 size = parts[edit ? 3 : 1].toLongLong(&ok);
        qint64 breakCount = 0;
        if (edit && ok)
            breakCount = parts[4].toLongLong(&ok);
        if (!ok || size < 0 || breakCount < 0 || size > log.size() || breakCount > log.size())
            break;
        size += breakCount;
        const qsizetype dataAt = lineEnd + 1;
        if (size > log.size() - dataAt - 1 || log.at(dataAt + size) != '\n')
            break;
        const QByteArrayView data = log.sliced(dataAt, size);
        const QByteArray head = parts.mid(0, parts.size() - 1).join(' ');
        if (check(head, data) != parts.last())
            break;
        LogRecord r;
        r.isEdit = edit;
        if (edit) {
            bool okPos = false, okRemoved = false;
            r.edit.position = parts[1].toLongLong(&okPos);
            r.edit.removed = parts[2].toLongLong(&okRemoved);
            if (!okPos || !okRemoved)
                break;
            r.edit.text = textOfUtf8(data.first(size - breakCount));
            for (const char c : data.sliced(size - breakCount)) {
                if (c < '0' || c > '2')
                    return records;
                r.edit.breaks.push_back(quint8(c - '0'));
            }
        } else if (!parseFieldLines(data, &r.fields)) {
            break;
        }
        records.push_back(std::move(r));
        at = dataAt + size + 1;
    }
    return records;
}

void putFormat(QMap<QString, QString> *fields, const TextFileFormat &format)
{
    fields->insert(QStringLiteral("encoding"), QString::fromLatin1(kEncodingNames[format.encoding]));
    fields->insert(QStringLiteral("bom"), format.bom ? QStringLiteral("1") : QStringLiteral("0"));
    fields->insert(QStringLiteral("breaks"), QString::fromLatin1(kBreakNames[format.lineBreak]));
    fields->insert(QStringLiteral("mixed"), format.mixedBreaks ? QStringLiteral("1") : QStringLiteral("0"));
}

TextFileFormat formatOf(const QMap<QString, QString> &fields)
{
    TextFileFormat format;
    for (quint8 e = 0; e < 4; ++e) {
        if (fields.value(QStringLiteral("encoding")) == QLatin1String(kEncodingNames[e]))
            format.encoding = TextFileFormat::Encoding(e);
    }
    format.bom = fields.value(QStringLiteral("bom")) == QLatin1String("1");
    for (quint8 b = 0; b < 3; ++b) {
        if (fields.value(QStringLiteral("breaks")) == QLatin1String(kBreakNames[b]))
            format.lineBreak = TextFileFormat::Break(b);
    }
    format.mixedBreaks = fields.value(QStringLiteral("mixed")) == QLatin1String("1");
    return format;
}

void JournalText::setFileText(QStringView text)
{
    m_buffer.clear();
    m_buffer.reserve(size_t(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
            m_buffer.push_back(kBreakUnit + TextFileFormat::CRLF);
            ++i;
        } else if (c == u'\r') {
            m_buffer.push_back(kBreakUnit + TextFileFormat::CR);
        } else if (c == u'\n') {
            m_buffer.push_back(kBreakUnit + TextFileFormat::LF);
        } else {
            m_buffer.push_back(c);
        }
    }
    m_gapStart = m_gapEnd = qint64(m_buffer.size());
}

void JournalText::moveGap(qint64 to)
{
    char32_t *b = m_buffer.data();
    if (to < m_gapStart)
        std::memmove(b + m_gapEnd - (m_gapStart - to), b + to, size_t(m_gapStart - to) * sizeof(char32_t));
    else if (to > m_gapStart)
        std::memmove(b + m_gapStart, b + m_gapEnd, size_t(to - m_gapStart) * sizeof(char32_t));
    m_gapEnd += to - m_gapStart;
    m_gapStart = to;
}

void JournalText::makeRoom(qint64 units)
{
    if (m_gapEnd - m_gapStart >= units)
        return;
    const qint64 tail = qint64(m_buffer.size()) - m_gapEnd;
    const qint64 grow = std::max(units, qint64(m_buffer.size()) / 2 + 1024);
    m_buffer.resize(m_buffer.size() + size_t(grow));
    char32_t *b = m_buffer.data();
    std::memmove(b + m_gapEnd + grow, b + m_gapEnd, size_t(tail) * sizeof(char32_t));
    m_gapEnd += grow;
}

bool JournalText::apply(const TextEdit &edit)
{
    const qint64 length = this->length();
    if (edit.position < 0 || edit.removed < 0 || edit.position > length || edit.removed > length - edit.position)
        return false;
    const qsizetype breakCount = edit.text.count(QLatin1Char('\n'));
    if (!edit.breaks.empty() && edit.breaks.size() != size_t(breakCount))
        return false;
    moveGap(edit.position);
    m_gapEnd += edit.removed;
    makeRoom(edit.text.size());
    size_t breakNo = 0;
    for (const QChar c : edit.text) {
        if (c == QLatin1Char('\n'))
            m_buffer[size_t(m_gapStart++)] = kBreakUnit + (edit.breaks.empty() ? m_usual : edit.breaks[breakNo++]);
        else
            m_buffer[size_t(m_gapStart++)] = c.unicode();
    }
    return true;
}

QString JournalText::plainText(std::vector<quint8> *breaks) const
{
    QString out;
    out.resize(length());
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    qsizetype w = 0;
    breaks->clear();
    const auto take = [&](qint64 from, qint64 to) {
        for (qint64 i = from; i < to; ++i) {
            const char32_t u = m_buffer[size_t(i)];
            if (u >= kBreakUnit) {
                d[w++] = u'\n';
                breaks->push_back(quint8(u - kBreakUnit));
            } else {
                d[w++] = char16_t(u);
            }
        }
    };
    take(0, m_gapStart);
    take(m_gapEnd, qint64(m_buffer.size()));
    return out;
}

bool rebuildText(const RecoveryEntry &entry, RebuiltText *out, QString *why)
{
    out->fields = entry.fields;
    const std::vector<LogRecord> records = readLog(entry.payload);
    for (const LogRecord &r : records) {
        if (!r.isEdit)
            out->fields.insert(r.fields);
    }
    out->format = formatOf(out->fields);
    JournalText text(quint8(out->format.lineBreak));
    if (entry.fields.value(QStringLiteral("base")) == QLatin1String("file")) {
        const QString path = entry.fields.value(QStringLiteral("base-path"));
        QByteArray bytes;
        if (!readRegularFile(path, &bytes, entry.fields.value(QStringLiteral("base-size")).toLongLong(), why))
            return false;
        if (QString::number(hashContent(bytes)) != entry.fields.value(QStringLiteral("base-hash"))) {
            *why = QStringLiteral("its file %1 has changed since").arg(path);
            return false;
        }
        TextFileFormat decoded;
        text.setFileText(decodeText(bytes, &decoded));
    } else if (entry.fields.value(QStringLiteral("base")) != QLatin1String("text") || records.empty()) {
        *why = QStringLiteral("it holds no text");
        return false;
    }
    for (const LogRecord &r : records) {
        if (r.isEdit && !text.apply(r.edit)) {
            *why = QStringLiteral("its edits don't fit its text");
            return false;
        }
    }
    out->text = text.plainText(&out->breaks);
    return true;
}

} // namespace platform
