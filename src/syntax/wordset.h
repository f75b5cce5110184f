#pragma once

#include <QStringView>

#include <initializer_list>
#include <vector>

namespace syntax {

// A fixed set of words, looked up on every identifier a lexer meets: open
// addressing with a plain FNV hash, several times cheaper than QSet's
// seeded hash on words this short.
class WordSet
{
public:
    WordSet(std::initializer_list<const char16_t *> words)
    {
        size_t size = 16;
        while (size < words.size() * 4)
            size *= 2;
        m_slots.resize(size);
        m_mask = size - 1;
        for (const char16_t *word : words) {
            const QStringView w(word);
            m_longest = std::max(m_longest, w.size());
            size_t h = hash(w) & m_mask;
            while (!m_slots[h].isNull() && m_slots[h] != w)
                h = (h + 1) & m_mask;
            m_slots[h] = w;
        }
    }

    bool contains(QStringView w) const
    {
        if (w.size() > m_longest || w.isEmpty())
            return false;
        for (size_t h = hash(w) & m_mask;; h = (h + 1) & m_mask) {
            if (m_slots[h].isNull())
                return false;
            if (m_slots[h] == w)
                return true;
        }
    }

private:
    static size_t hash(QStringView w)
    {
        quint32 h = 2166136261u;
        for (QChar c : w)
            h = (h ^ c.unicode()) * 16777619u;
        return h;
    }

    std::vector<QStringView> m_slots;
    size_t m_mask = 0;
    qsizetype m_longest = 0;
};

} // namespace syntax
