#include "platform/settingsstore.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

namespace {

// The file holds sections "[app\section]" with "key=value" lines. Keys and
// values escape backslash, line breaks and a leading '[' or an '=' in keys,
// so any string survives.
struct Entry
{
    QString key;
    QString value;
};
struct Section
{
    QString name; // "app\section", case as first written
    QList<Entry> entries;
};

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

// Section names are "app\section": the backslash stays as it is; only
// what would break the line or the brackets is percent-escaped.
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

QList<Section> parse(const QByteArray &data)
{
    QList<Section> sections;
    const QString text = QString::fromUtf8(data);
    Section *current = nullptr;
    const auto lines = QStringView(text).split(QLatin1Char('\n'));
    for (QStringView line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = unescapeSection(line.mid(1, line.size() - 2));
            current = nullptr;
            for (Section &s : sections) {
                if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                    current = &s;
            }
            if (!current) {
                sections.append(Section{name, {}});
                current = &sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq < 0)
            continue; // damaged line: skip it, keep the rest
        const QString key = unescape(line.left(eq));
        const QString value = unescape(line.mid(eq + 1));
        bool found = false;
        for (Entry &e : current->entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                e.value = value;
                found = true;
            }
        }
        if (!found)
            current->entries.append(Entry{key, value});
    }
    return sections;
}

QByteArray serialise(const QList<Section> &sections)
{
    QString out;
    for (const Section &s : sections) {
        out += QLatin1Char('[') + escapeSection(s.name) + QLatin1String("]\n");
        for (const Entry &e : s.entries)
            out += escape(e.key, true) + QLatin1Char('=') + escape(e.value, false) + QLatin1Char('\n');
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

QList<Section> load()
{
    QFile f(SettingsStore::filePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // A settings file is small; anything huge is not ours to trust.
    if (f.size() > 16 * 1024 * 1024)
        return {};
    return parse(f.readAll());
}

QString sectionName(const QString &app, const QString &section)
{
    return app + QLatin1Char('\\') + section;
}

} // namespace

QString SettingsStore::filePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/quillet-lite/settings.ini");
}

QString SettingsStore::Read(const QString &app, const QString &section, const QString &key,
                            const QString &defaultValue)
{
    const QString name = sectionName(app, section);
    const QList<Section> sections = load();
    for (const Section &s : sections) {
        if (s.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (const Entry &e : s.entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return e.value;
        }
    }
    return defaultValue;
}

QString SettingsStore::Read(const QString &app, const QString &section, const QString &key,
                            int defaultValue)
{
    return Read(app, section, key, QString::number(defaultValue));
}

void SettingsStore::Write(const QString &app, const QString &section, const QString &key,
                          const QString &value)
{
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Read-modify-write under a lock so that two editors writing at once
    // both keep their keys.
    QLockFile lock(path + QLatin1String(".lock"));
    lock.setStaleLockTime(5000);
    const bool locked = lock.tryLock(3000);

    QList<Section> sections = load();
    const QString name = sectionName(app, section);
    Section *target = nullptr;
    for (Section &s : sections) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) {
            target = &s;
            break;
        }
    }
    if (!target) {
        sections.append(Section{name, {}});
        target = &sections.last();
    }
    bool found = false;
    for (Entry &e : target->entries) {
        if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
            e.value = value;
            found = true;
            break;
        }
    }
    if (!found)
        target->entries.append(Entry{key, value});

    QString error;
    writeFileAtomically(path, serialise(sections), &error);
    if (locked)
        lock.unlock();
}

QString readSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    return SettingsStore::Read(appTitle(), section, key, defaultValue);
}

QString readSetting(const QString &section, const QString &key, int defaultValue)
{
    return SettingsStore::Read(appTitle(), section, key, defaultValue);
}

void writeSetting(const QString &section, const QString &key, const QString &value)
{
    SettingsStore::Write(appTitle(), section, key, value);
}

int readNumberSetting(const QString &section, const QString &key, int defaultValue)
{
    bool ok = false;
    const int v = readSetting(section, key, defaultValue).trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

} // namespace platform
