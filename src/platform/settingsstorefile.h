#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace platform {

// The bytes of the settings file with an index of its sections and keys.
//
// The file holds sections "[name]" with "key=value" lines, in UTF-8. Keys
// and values escape backslash and line breaks, keys also '=' and a leading
// '[', so any string survives; section names percent-escape what would
// break their line. Names match without regard to case: a section or key
// met again is the one met first, keeps that first spelling and takes the
// last value. Lines that are none of these are skipped (and the file is
// then not complete).
//
// Indexing reads each line once and decodes nothing but section names, so
// that a file of many keys costs little more than reading it; a value is
// decoded when it is asked for.
class SettingsFile
{
public:
    SettingsFile() = default;
    explicit SettingsFile(const QByteArray &bytes);

    const QByteArray &bytes() const { return m_bytes; }
    // Whether every byte was understood: valid UTF-8, and every line a
    // section, a key or blank, as the editor writes them.
    bool complete() const { return m_complete; }
    // What was understood, written as the editor writes it.
    QByteArray rewritten() const;

    std::optional<QString> value(const QString &section, const QString &key) const;

    // The file with one value set: every section once, every key once with
    // its first spelling and its value, the new key at the end of its
    // section and a new section at the end of the file.
    QByteArray withValue(const QString &section, const QString &key, const QString &value) const;

private:
    struct Key
    {
        quint64 hash;
        qsizetype keyBegin, keyEnd;     // the spelling met first
        qsizetype valueBegin, valueEnd; // the value met last
    };
    struct Section
    {
        qsizetype nameBegin, nameEnd;   // the header met first, without brackets
        std::vector<Key> keys;          // in the order first met
        std::vector<quint32> table;     // open addressing: index into keys + 1, 0 empty
    };

    void addKey(Section &section, qsizetype keyBegin, qsizetype keyEnd, qsizetype valueBegin, qsizetype valueEnd);
    const Key *findKey(const Section &section, const QString &foldedKey, quint64 hash) const;
    QString foldedKey(const Key &key) const;
    const Section *findSection(const QString &name) const;
    void appendKey(QByteArray &out, const Key &key, const QByteArray *newValue) const;

    QByteArray m_bytes;
    std::vector<Section> m_sections;
    QHash<QString, qsizetype> m_sectionIndex; // by folded name
    bool m_complete = true;
};

} // namespace platform
