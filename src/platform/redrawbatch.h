#pragma once

#include "platform/colouroverlay.h"

#include <vector>

namespace platform {

// Suspended redraw: while it lasts, the selection and colour writes are
// recorded here, in Text positions, and applied in one go when it ends.
// The text cannot change meanwhile (a change applies what was recorded
// first).
class RedrawBatch
{
public:
    bool active() const { return m_depth > 0; }

    // True when this begins the batch (the outermost suspension).
    bool enter(int selStart, int selLength, int textLength);
    // True when this ends it.
    bool leave();

    int selStart() const { return m_selStart; }
    int selLength() const { return m_selLength; }
    int textLength() const { return m_textLength; }
    void setSelStart(int start);
    void setSelLength(int length);
    // SelColor over the recorded selection.
    void colour(quint32 bgr);

    // The colour the recorded writes give the character at textPos.
    bool colourAt(int textPos, quint32 *colour) const;

    std::vector<ColourWrite> takeWrites();

private:
    int m_depth = 0;
    int m_selStart = 0;
    int m_selLength = 0;
    int m_textLength = 0;
    std::vector<ColourWrite> m_writes;
};

} // namespace platform
