#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class Hunspell;

namespace platform {

// The spelling service: a Hunspell dictionary for the user's language and
// the user's personal word list.
class Speller
{
public:
    // Opens the dictionary for a locale name such as "de_DE" (empty: the
    // user's language); falls back to en_US when that language has none.
    explicit Speller(const QString &localeName = QString());
    ~Speller();
    Speller(const Speller &) = delete;
    Speller &operator=(const Speller &) = delete;

    // False when no dictionary could be opened: nothing can be checked.
    bool isReady() const { return m_hunspell != nullptr; }
    // The .dic file in use.
    QString dictionaryPath() const { return m_dictionary; }
    // The dictionary's character set as Hunspell names it ("UTF-8",
    // "ISO8859-1", ...).
    QString encoding() const { return m_encoding; }

    // Whether the dictionary can express the word at all (its character set
    // may be narrower than Unicode).
    bool canCheck(const QString &word) const;
    bool isCorrect(const QString &word) const;
    QStringList suggestions(const QString &word) const;

    // Accepts a word for the rest of this session.
    void accept(const QString &word);
    // Accepts a word now and in later sessions (the personal dictionary).
    bool addToPersonal(const QString &word);
    // Reads the personal dictionary into this session.
    void loadPersonal();

    // $XDG_DATA_HOME/quillet-lite/personal.dic
    static QString personalDictionaryPath();
    // The user's language as a locale name ("de_DE"), from LC_ALL,
    // LC_MESSAGES or LANG, whichever is set first to a language (not C or
    // POSIX); empty when none is.
    static QString userLanguage();
    // The .dic file for a locale name in the given folders: that locale's,
    // else another of its language ("de_DE" for "de_AT"), else en_US;
    // empty when there is none.
    static QString findDictionary(const QString &localeName, const QStringList &folders);
    // What to tell the user when no dictionary is installed for a locale
    // name (empty: the user's language).
    static QString missingDictionaryMessage(const QString &localeName = QString());
    // The folders searched for dictionaries.
    static QStringList dictionaryFolders();

private:
    QByteArray toDictionary(const QString &word, bool *ok) const;
    QString fromDictionary(const std::string &bytes) const;

    std::unique_ptr<Hunspell> m_hunspell;
    QString m_dictionary;
    QString m_encoding;
    bool m_utf8 = true;
};

// Tests point the dictionary search elsewhere; an empty list restores the
// system's folders.
void setDictionaryFolders(const QStringList &folders);

} // namespace platform
