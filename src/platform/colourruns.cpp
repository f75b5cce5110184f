#include "platform/colourruns.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace platform {

namespace {
constexpr size_t kChunkMax = 512;
}

void ColourRuns::clear()
{
    m_chunks.clear();
}

int ColourRuns::runCount() const
{
    size_t n = 0;
    for (const Chunk &c : m_chunks)
        n += c.runs.size();
    return int(n);
}

size_t ColourRuns::chunkFor(int pos) const
{
    // First chunk whose end is beyond pos.
    size_t lo = 0, hi = m_chunks.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (m_chunks[mid].end() <= pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void ColourRuns::erase(int start, int length)
{
    if (length <= 0 || m_chunks.empty())
        return;
    const int end = start + length;
    size_t ci = chunkFor(start);
    while (ci < m_chunks.size()) {
        Chunk &c = m_chunks[ci];
        if (c.first() >= end)
            break;
        std::vector<Run> kept;
        kept.reserve(c.runs.size() + 1);
        for (const Run &r : c.runs) {
            const int rs = c.base + r.start;
            const int re = rs + r.length;
            if (re <= start || rs >= end) {
                kept.push_back(r);
                continue;
            }
            if (rs < start)
                kept.push_back(Run{r.start, start - rs, r.colour});
            if (re > end)
                kept.push_back(Run{end - c.base, re - end, r.colour});
        }
        c.runs.swap(kept);
        if (c.runs.empty()) {
            m_chunks.erase(m_chunks.begin() + ptrdiff_t(ci));
            continue;
        }
        if (c.runs.size() > kChunkMax)
            rebalance(ci);
        ++ci;
    }
}

void ColourRuns::insertRun(const Run &run)
{
    // The range is free: find where it goes.
    if (m_chunks.empty()) {
        Chunk c;
        c.base = 0;
        c.runs.push_back(run);
        m_chunks.push_back(std::move(c));
        return;
    }
    size_t ci = chunkFor(run.start);
    if (ci == m_chunks.size())
        ci = m_chunks.size() - 1; // after everything: append to the last chunk
    Chunk &c = m_chunks[ci];
    Run rel{run.start - c.base, run.length, run.colour};
    auto it = std::lower_bound(c.runs.begin(), c.runs.end(), rel.start,
                               [](const Run &r, int s) { return r.start < s; });
    // Join with a touching neighbour of the same colour.
    if (it != c.runs.begin()) {
        Run &prev = *(it - 1);
        if (prev.start + prev.length == rel.start && prev.colour == rel.colour) {
            prev.length += rel.length;
            if (it != c.runs.end() && it->start == prev.start + prev.length
                && it->colour == prev.colour) {
                prev.length += it->length;
                c.runs.erase(it);
            }
            return;
        }
    }
    if (it != c.runs.end() && it->start == rel.start + rel.length && it->colour == rel.colour) {
        it->start = rel.start;
        it->length += rel.length;
        return;
    }
    c.runs.insert(it, rel);
    if (c.runs.size() > kChunkMax)
        rebalance(ci);
}

void ColourRuns::rebalance(size_t ci)
{
    Chunk &c = m_chunks[ci];
    if (c.runs.size() <= kChunkMax)
        return;
    const size_t half = c.runs.size() / 2;
    Chunk second;
    second.base = c.base;
    second.runs.assign(c.runs.begin() + ptrdiff_t(half), c.runs.end());
    c.runs.erase(c.runs.begin() + ptrdiff_t(half), c.runs.end());
    m_chunks.insert(m_chunks.begin() + ptrdiff_t(ci) + 1, std::move(second));
}

void ColourRuns::paint(int start, int length, quint32 colour)
{
    if (length <= 0)
        return;
    erase(start, length);
    insertRun(Run{start, length, colour});
}

void ColourRuns::assign(std::vector<Run> runs)
{
    m_chunks.clear();
    size_t i = 0;
    while (i < runs.size()) {
        Chunk c;
        c.base = 0;
        const size_t n = std::min(kChunkMax / 2, runs.size() - i);
        c.runs.assign(runs.begin() + ptrdiff_t(i), runs.begin() + ptrdiff_t(i + n));
        m_chunks.push_back(std::move(c));
        i += n;
    }
}

void ColourRuns::shiftFrom(int pos, int delta)
{
    // Every run starting at or after pos moves by delta; a run that
    // straddles pos is split so that the gap [pos, pos + delta) between its
    // halves holds the new text (delta > 0 only: removals erase first, so
    // nothing straddles then).
    if (delta == 0 || m_chunks.empty())
        return;
    size_t ci = chunkFor(pos);
    if (ci >= m_chunks.size())
        return;
    size_t edited = SIZE_MAX;
    Chunk &c = m_chunks[ci];
    if (c.first() < pos) {
        std::vector<Run> next;
        next.reserve(c.runs.size() + 1);
        for (const Run &r : c.runs) {
            const int rs = c.base + r.start;
            if (rs >= pos) {
                next.push_back(Run{r.start + delta, r.length, r.colour});
            } else if (rs + r.length > pos && delta > 0) {
                next.push_back(Run{r.start, pos - rs, r.colour});
                next.push_back(Run{pos + delta - c.base, rs + r.length - pos, r.colour});
            } else {
                next.push_back(r);
            }
        }
        c.runs.swap(next);
        edited = ci;
        ++ci;
    }
    for (; ci < m_chunks.size(); ++ci)
        m_chunks[ci].base += delta;
    if (edited != SIZE_MAX && m_chunks[edited].runs.size() > kChunkMax)
        rebalance(edited);
}

void ColourRuns::textChanged(int pos, int removed, int added, const quint32 *inheritColour)
{
    if (removed > 0) {
        erase(pos, removed);
        shiftFrom(pos + removed, -removed);
    }
    if (added > 0) {
        shiftFrom(pos, added);
        if (inheritColour)
            paint(pos, added, *inheritColour);
    }
}

bool ColourRuns::colourAt(int pos, quint32 *colour) const
{
    const size_t ci = chunkFor(pos);
    if (ci >= m_chunks.size())
        return false;
    const Chunk &c = m_chunks[ci];
    const int rel = pos - c.base;
    auto it = std::upper_bound(c.runs.begin(), c.runs.end(), rel,
                               [](int s, const Run &r) { return s < r.start; });
    if (it == c.runs.begin())
        return false;
    --it;
    if (rel < it->start + it->length) {
        if (colour)
            *colour = it->colour;
        return true;
    }
    return false;
}

std::vector<ColourRuns::Run> ColourRuns::runsIn(int from, int to) const
{
    std::vector<Run> out;
    if (to <= from)
        return out;
    for (size_t ci = chunkFor(from); ci < m_chunks.size(); ++ci) {
        const Chunk &c = m_chunks[ci];
        if (c.first() >= to)
            break;
        for (const Run &r : c.runs) {
            const int rs = c.base + r.start;
            const int re = rs + r.length;
            if (re <= from)
                continue;
            if (rs >= to)
                break;
            const int s = std::max(rs, from);
            const int e = std::min(re, to);
            out.push_back(Run{s, e - s, r.colour});
        }
    }
    return out;
}

} // namespace platform
