#include "platform/redrawbatch.h"

#include <algorithm>

namespace platform {

bool RedrawBatch::enter(int selStart, int selLength, int textLength)
{
    if (m_depth++ > 0)
        return false;
    m_selStart = selStart;
    m_selLength = selLength;
    m_textLength = textLength;
    m_writes.clear();
    return true;
}

bool RedrawBatch::leave()
{
    if (m_depth == 0)
        return false;
    return --m_depth == 0;
}

void RedrawBatch::setSelStart(int start)
{
    m_selStart = std::clamp(start, 0, m_textLength);
    m_selLength = 0;
}

void RedrawBatch::setSelLength(int length)
{
    m_selLength = std::min(length, m_textLength - m_selStart);
}

void RedrawBatch::colour(quint32 bgr)
{
    if (m_selLength > 0)
        m_writes.push_back(ColourWrite{m_selStart, m_selLength, bgr});
}

bool RedrawBatch::colourAt(int textPos, quint32 *colour) const
{
    for (auto it = m_writes.rbegin(); it != m_writes.rend(); ++it) {
        if (textPos >= it->start && textPos < it->start + it->length) {
            *colour = it->colour;
            return true;
        }
    }
    return false;
}

std::vector<ColourWrite> RedrawBatch::takeWrites()
{
    std::vector<ColourWrite> out;
    out.swap(m_writes);
    return out;
}

} // namespace platform
