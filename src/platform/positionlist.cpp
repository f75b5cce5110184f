#include "platform/positionlist.h"

#include <algorithm>

namespace platform {

namespace {
constexpr size_t kChunkSize = 1024;
}

void PositionList::assign(const std::vector<int> &sorted)
{
    m_chunks.clear();
    for (size_t i = 0; i < sorted.size(); i += kChunkSize / 2) {
        Chunk c;
        const size_t n = std::min(kChunkSize / 2, sorted.size() - i);
        c.base = sorted[i];
        c.rel.reserve(n);
        for (size_t k = 0; k < n; ++k)
            c.rel.push_back(sorted[i + k] - c.base);
        m_chunks.push_back(std::move(c));
    }
    recount();
}

void PositionList::clear()
{
    m_chunks.clear();
    recount();
}

void PositionList::recount()
{
    m_before.resize(m_chunks.size());
    size_t n = 0;
    for (size_t i = 0; i < m_chunks.size(); ++i) {
        m_before[i] = n;
        n += m_chunks[i].rel.size();
    }
    m_size = n;
}

size_t PositionList::chunkFor(int pos) const
{
    size_t lo = 0, hi = m_chunks.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (m_chunks[mid].last() < pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

size_t PositionList::countBelow(int pos) const
{
    const size_t ci = chunkFor(pos);
    if (ci >= m_chunks.size())
        return m_size;
    const Chunk &c = m_chunks[ci];
    return m_before[ci] + size_t(std::lower_bound(c.rel.begin(), c.rel.end(), pos - c.base) - c.rel.begin());
}

bool PositionList::contains(int pos) const
{
    const size_t ci = chunkFor(pos);
    if (ci >= m_chunks.size())
        return false;
    const Chunk &c = m_chunks[ci];
    return std::binary_search(c.rel.begin(), c.rel.end(), pos - c.base);
}

int PositionList::at(size_t index) const
{
    const size_t ci = size_t(std::upper_bound(m_before.begin(), m_before.end(), index) - m_before.begin()) - 1;
    const Chunk &c = m_chunks[ci];
    return c.base + c.rel[index - m_before[ci]];
}

std::vector<int> PositionList::all() const
{
    std::vector<int> out;
    out.reserve(m_size);
    for (const Chunk &c : m_chunks) {
        for (int r : c.rel)
            out.push_back(c.base + r);
    }
    return out;
}

void PositionList::textChanged(int pos, int removed, int added)
{
    const int delta = added - removed;
    const int end = pos + removed;
    bool sizes = false;
    size_t ci = chunkFor(pos);
    // Chunks that hold positions inside the replaced text or straddle it.
    while (ci < m_chunks.size() && m_chunks[ci].first() < end) {
        Chunk &c = m_chunks[ci];
        std::vector<int> kept;
        kept.reserve(c.rel.size());
        for (int r : c.rel) {
            const int p = c.base + r;
            if (p < pos)
                kept.push_back(r);
            else if (p >= end)
                kept.push_back(r + delta);
            else
                sizes = true;
        }
        c.rel.swap(kept);
        if (c.rel.empty()) {
            m_chunks.erase(m_chunks.begin() + std::ptrdiff_t(ci));
            continue;
        }
        ++ci;
    }
    for (; ci < m_chunks.size(); ++ci)
        m_chunks[ci].base += delta;
    if (sizes)
        recount();
}

void PositionList::insert(int pos)
{
    if (m_chunks.empty()) {
        Chunk c;
        c.base = pos;
        c.rel.push_back(0);
        m_chunks.push_back(std::move(c));
        recount();
        return;
    }
    size_t ci = chunkFor(pos);
    if (ci == m_chunks.size())
        --ci;
    Chunk &c = m_chunks[ci];
    const int r = pos - c.base;
    c.rel.insert(std::lower_bound(c.rel.begin(), c.rel.end(), r), r);
    if (r < 0) {
        // Keep offsets from the chunk's first position.
        const int shift = r;
        for (int &x : c.rel)
            x -= shift;
        c.base += shift;
    }
    if (c.rel.size() > kChunkSize)
        split(ci);
    recount();
}

void PositionList::split(size_t ci)
{
    Chunk &c = m_chunks[ci];
    const size_t half = c.rel.size() / 2;
    Chunk second;
    second.base = c.base + c.rel[half];
    for (size_t k = half; k < c.rel.size(); ++k)
        second.rel.push_back(c.base + c.rel[k] - second.base);
    c.rel.resize(half);
    m_chunks.insert(m_chunks.begin() + std::ptrdiff_t(ci) + 1, std::move(second));
}

PositionList::Reader PositionList::from(int pos) const
{
    Reader r;
    r.m_list = this;
    r.m_chunk = chunkFor(pos);
    if (r.m_chunk < m_chunks.size()) {
        const Chunk &c = m_chunks[r.m_chunk];
        r.m_offset = size_t(std::lower_bound(c.rel.begin(), c.rel.end(), pos - c.base) - c.rel.begin());
        r.m_index = m_before[r.m_chunk] + r.m_offset;
    } else {
        r.m_index = m_size;
    }
    return r;
}

int PositionList::Reader::position() const
{
    const Chunk &c = m_list->m_chunks[m_chunk];
    return c.base + c.rel[m_offset];
}

void PositionList::Reader::next()
{
    ++m_index;
    if (++m_offset >= m_list->m_chunks[m_chunk].rel.size()) {
        ++m_chunk;
        m_offset = 0;
    }
}

} // namespace platform
