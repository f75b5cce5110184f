#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// A sorted list of document positions that moves with the text (the line
// breaks of a document, for instance). Kept in chunks of up to a thousand,
// each with its own base, so that an edit touches one chunk's entries and
// the other chunks' bases only.
class PositionList
{
public:
    void assign(const std::vector<int> &sorted);
    void clear();
    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }

    // How many positions lie below pos.
    size_t countBelow(int pos) const;
    bool contains(int pos) const;
    // The position at an index (0-based, below size()).
    int at(size_t index) const;
    std::vector<int> all() const;

    // The text [pos, pos + removed) was replaced by `added` characters:
    // positions inside it go, those after it move.
    void textChanged(int pos, int removed, int added);
    // Adds a position (not yet in the list).
    void insert(int pos);

    // Reads the positions in order from a starting index.
    class Reader
    {
    public:
        bool atEnd() const { return m_chunk >= m_list->m_chunks.size(); }
        int position() const;
        size_t index() const { return m_index; }
        void next();

    private:
        friend class PositionList;
        const PositionList *m_list = nullptr;
        size_t m_chunk = 0;
        size_t m_offset = 0;
        size_t m_index = 0;
    };
    // A reader at the first position at or above pos.
    Reader from(int pos) const;

private:
    struct Chunk
    {
        int base = 0;
        std::vector<int> rel; // sorted, relative to base
        int first() const { return base + rel.front(); }
        int last() const { return base + rel.back(); }
    };
    size_t chunkFor(int pos) const; // first chunk whose last position >= pos
    void recount();
    void split(size_t chunk);

    std::vector<Chunk> m_chunks;
    std::vector<size_t> m_before; // positions in the chunks before each
    size_t m_size = 0;
};

} // namespace platform
