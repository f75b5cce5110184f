#pragma once

#include <QtGlobal>

#include <climits>

#include <vector>

namespace platform {

// The colours given to runs of characters, by character position. A run
// list behaves like character formatting: runs move with the text when
// text is inserted or removed before them, shrink when their characters
// are removed, and inserted text can take the colour of its neighbour.
//
// Runs are kept sorted and non-overlapping in chunks of a few hundred, each
// with its own base offset, so an edit shifts the runs after it by touching
// one chunk's runs and the other chunks' bases only.
class ColourRuns
{
public:
    struct Run
    {
        int start;
        int length;
        quint32 colour; // 0xBBGGRR
    };

    void clear();
    bool isEmpty() const { return m_chunks.empty(); }
    int runCount() const;

    // Gives [start, start + length) the colour, over whatever was there.
    void paint(int start, int length, quint32 colour);
    // Removes any colour from [start, start + length).
    void erase(int start, int length);
    // Replaces everything with runs that are sorted by start and do not
    // overlap (the result of a whole colouring at once).
    void assign(std::vector<Run> runs);

    // Text [pos, pos + removed) was replaced by `added` new characters.
    // When inheritColour is set, the new characters take that colour.
    void textChanged(int pos, int removed, int added, const quint32 *inheritColour);

    // The colour of the character at pos, if it has one.
    bool colourAt(int pos, quint32 *colour) const;
    // The runs that meet [from, to), clipped to it, in order.
    std::vector<Run> runsIn(int from, int to) const;
    // Every run, in order (for copies and tests).
    std::vector<Run> all() const { return runsIn(0, INT_MAX); }

private:
    struct Chunk
    {
        int base = 0;          // added to every start in runs
        std::vector<Run> runs; // starts relative to base
        int first() const { return base + runs.front().start; }
        int end() const { return base + runs.back().start + runs.back().length; }
    };

    // Index of the first chunk whose end is after pos.
    size_t chunkFor(int pos) const;
    void shiftFrom(int pos, int delta);
    void insertRun(const Run &run);
    void rebalance(size_t chunkIndex);

    std::vector<Chunk> m_chunks;
};

} // namespace platform
