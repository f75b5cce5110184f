#include "platform/settingsstorefile.h"

#include <cstring>

namespace platform {

namespace {

QString escape(const QString &s, bool isKey)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '=':
            if (isKey) out += QLatin1String("\\e");
            else out += c;
            break;
        case '[':
            if (isKey) out += QLatin1String("\\b");
            else out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

QString unescape(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == QLatin1Char('\\') && i + 1 < s.size()) {
            QChar n = s[++i];
            switch (n.unicode()) {
            case 'n': out += QLatin1Char('\n'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 'e': out += QLatin1Char('='); break;
            case 'b': out += QLatin1Char('['); break;
            default: out += n;
            }
        } else {
            out += c;
        }
    }
    return out;
}

// Section names keep their backslash ("app\section"); only what would
// break the line or the brackets is percent-escaped.
QString escapeSection(const QString &s)
{
    QString out;
    for (QChar c : s) {
        switch (c.unicode()) {
        case '%': out += QLatin1String("%25"); break;
        case '\n': out += QLatin1String("%0A"); break;
        case '\r': out += QLatin1String("%0D"); break;
        case ']': out += QLatin1String("%5D"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeSection(QStringView s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('%') && i + 2 < s.size()) {
            bool ok = false;
            const int code = s.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Names match as QString's case-blind comparison does: code point by code
// point, each simply case-folded. The folded form is the lookup key.
QString fold(const QString &name)
{
    QString out;
    out.reserve(name.size());
    const auto points = name.toUcs4();
    for (char32_t point : points) {
        const char32_t f = QChar::toCaseFolded(point);
        if (QChar::requiresSurrogates(f)) {
            out += QChar(QChar::highSurrogate(f));
            out += QChar(QChar::lowSurrogate(f));
        } else {
            out += QChar(char16_t(f));
        }
    }
    return out;
}

// FNV-1a over UTF-16 code units.
constexpr quint64 kHashStart = 14695981039346656037ull;
constexpr quint64 kHashPrime = 1099511628211ull;

quint64 hashUnits(const QString &s)
{
    quint64 h = kHashStart;
    for (QChar c : s)
        h = (h ^ c.unicode()) * kHashPrime;
    return h;
}

QString decodeField(const char *begin, const char *end)
{
    const QString text = QString::fromUtf8(begin, end - begin);
    return std::memchr(begin, '\\', size_t(end - begin)) ? unescape(text) : text;
}

// The hash of a stored key's folded form. A key of plain ASCII without
// escapes (nearly all of them) is hashed from its bytes as they stand.
quint64 hashStoredKey(const char *begin, const char *end)
{
    quint64 h = kHashStart;
    for (const char *p = begin; p < end; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x80 || c == '\\')
            return hashUnits(fold(decodeField(begin, end)));
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + 32);
        h = (h ^ c) * kHashPrime;
    }
    return h;
}

} // namespace

SettingsFile::SettingsFile(const QByteArray &bytes) : m_bytes(bytes), m_complete(bytes.isValidUtf8())
{
    const char *const base = m_bytes.constData();
    const char *p = base;
    const char *const end = base + m_bytes.size();
    Section *current = nullptr;
    while (p < end) {
        const char *next = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!next)
            next = end;
        const char *lineEnd = next;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        const char *const line = p;
        p = next + 1;
        if (lineEnd == line)
            continue;
        if (*line == '[' && lineEnd[-1] == ']' && lineEnd - line >= 2) {
            const QString name = unescapeSection(QString::fromUtf8(line + 1, lineEnd - line - 2));
            const QString folded = fold(name);
            const auto it = m_sectionIndex.constFind(folded);
            if (it != m_sectionIndex.constEnd()) {
                current = &m_sections[size_t(it.value())];
            } else {
                m_sectionIndex.insert(folded, qsizetype(m_sections.size()));
                m_sections.push_back(Section{line + 1 - base, lineEnd - 1 - base, {}, {}});
                current = &m_sections.back();
            }
            continue;
        }
        const char *eq = static_cast<const char *>(std::memchr(line, '=', size_t(lineEnd - line)));
        if (!current || !eq) {
            m_complete = false; // damaged line: skip it, keep the rest
            continue;
        }
        addKey(*current, line - base, eq - base, eq + 1 - base, lineEnd - base);
    }
}

void SettingsFile::addKey(Section &section, qsizetype keyBegin, qsizetype keyEnd, qsizetype valueBegin,
                          qsizetype valueEnd)
{
    const char *const base = m_bytes.constData();
    const quint64 hash = hashStoredKey(base + keyBegin, base + keyEnd);
    Key key{hash, keyBegin, keyEnd, valueBegin, valueEnd};
    if (section.table.size() < 2 * (section.keys.size() + 1)) {
        // Grow to keep the table at most half full.
        std::vector<quint32> table(std::max<size_t>(16, section.table.size() * 2), 0);
        const size_t mask = table.size() - 1;
        for (size_t i = 0; i < section.keys.size(); ++i) {
            size_t at = size_t(section.keys[i].hash) & mask;
            while (table[at])
                at = (at + 1) & mask;
            table[at] = quint32(i + 1);
        }
        section.table.swap(table);
    }
    const size_t mask = section.table.size() - 1;
    size_t at = size_t(hash) & mask;
    QString folded; // made only when two hashes meet
    while (quint32 slot = section.table[at]) {
        Key &other = section.keys[slot - 1];
        if (other.hash == hash) {
            if (folded.isNull())
                folded = foldedKey(key);
            if (foldedKey(other) == folded) {
                // The same key again: first spelling, last value.
                other.valueBegin = valueBegin;
                other.valueEnd = valueEnd;
                return;
            }
        }
        at = (at + 1) & mask;
    }
    section.table[at] = quint32(section.keys.size() + 1);
    section.keys.push_back(key);
}

QString SettingsFile::foldedKey(const Key &key) const
{
    const char *const base = m_bytes.constData();
    return fold(decodeField(base + key.keyBegin, base + key.keyEnd));
}

const SettingsFile::Key *SettingsFile::findKey(const Section &section, const QString &foldedName,
                                               quint64 hash) const
{
    if (section.table.empty())
        return nullptr;
    const size_t mask = section.table.size() - 1;
    for (size_t at = size_t(hash) & mask; quint32 slot = section.table[at]; at = (at + 1) & mask) {
        const Key &key = section.keys[slot - 1];
        if (key.hash == hash && foldedKey(key) == foldedName)
            return &key;
    }
    return nullptr;
}

const SettingsFile::Section *SettingsFile::findSection(const QString &name) const
{
    const auto it = m_sectionIndex.constFind(fold(name));
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[size_t(it.value())];
}

std::optional<QString> SettingsFile::value(const QString &sectionName, const QString &keyName) const
{
    const Section *section = findSection(sectionName);
    if (!section)
        return std::nullopt;
    const QString folded = fold(keyName);
    const Key *key = findKey(*section, folded, hashUnits(folded));
    if (!key)
        return std::nullopt;
    const char *const base = m_bytes.constData();
    return decodeField(base + key->valueBegin, base + key->valueEnd);
}

QByteArray SettingsFile::withValue(const QString &sectionName, const QString &keyName, const QString &value) const
{
    const char *const base = m_bytes.constData();
    const Section *target = findSection(sectionName);
    const QString folded = fold(keyName);
    const Key *targetKey = target ? findKey(*target, folded, hashUnits(folded)) : nullptr;
    const QByteArray newValue = escape(value, false).toUtf8();

    QByteArray out;
    out.reserve(m_bytes.size() + newValue.size() + keyName.size() + sectionName.size() + 8);
    for (const Section &section : m_sections) {
        out += '[';
        out.append(base + section.nameBegin, section.nameEnd - section.nameBegin);
        out += "]\n";
        for (const Key &key : section.keys)
            appendKey(out, key, &key == targetKey ? &newValue : nullptr);
        if (&section == target && !targetKey)
            out += escape(keyName, true).toUtf8() + '=' + newValue + '\n';
        out += '\n';
    }
    if (!target) {
        out += '[' + escapeSection(sectionName).toUtf8() + "]\n";
        out += escape(keyName, true).toUtf8() + '=' + newValue + "\n\n";
    }
    return out;
}

void SettingsFile::appendKey(QByteArray &out, const Key &key, const QByteArray *newValue) const
{
    const char *const base = m_bytes.constData();
    // A key as first spelled; one that begins with a bracket is escaped
    // again, so that no value can make its line a header.
    if (base[key.keyBegin] == '[')
        out += escape(decodeField(base + key.keyBegin, base + key.keyEnd), true).toUtf8();
    else
        out.append(base + key.keyBegin, key.keyEnd - key.keyBegin);
    out += '=';
    if (newValue)
        out += *newValue;
    else
        out.append(base + key.valueBegin, key.valueEnd - key.valueBegin);
    out += '\n';
}

QByteArray SettingsFile::rewritten() const
{
    QByteArray out;
    out.reserve(m_bytes.size());
    for (const Section &section : m_sections) {
        out += '[';
        out.append(m_bytes.constData() + section.nameBegin, section.nameEnd - section.nameBegin);
        out += "]\n";
        for (const Key &key : section.keys)
            appendKey(out, key, nullptr);
        out += '\n';
    }
    return out;
}

} // namespace platform
