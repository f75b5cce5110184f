#pragma once

#include "platform/colourruns.h"

#include <QList>
#include <QTextLayout>

#include <memory>
#include <vector>

class QColor;
class QTextBlock;
class QTextDocument;

namespace platform {

class TextPositions;

// One colour write in Text positions, recorded while redraw is suspended.
struct ColourWrite
{
    int start;
    int length;
    quint32 colour;
};

// The colours given with SelColor: runs over the document's characters,
// kept beside the document and shown as display formats of the paragraphs
// on screen, the way a highlighter colours text. They behave like
// character formatting: they move with the text, typed text takes the
// colour of its neighbour, and undo brings back the colours of the text it
// brings back.
class ColourOverlay
{
public:
    explicit ColourOverlay(QTextDocument *document);
    ~ColourOverlay();

    const ColourRuns &runs() const { return m_runs; }
    void clear() { m_runs.clear(); }
    bool colourAt(int documentPos, quint32 *colour) const { return m_runs.colourAt(documentPos, colour); }
    void paint(int documentStart, int length, quint32 colour) { m_runs.paint(documentStart, length, colour); }

    // Applies writes made in Text positions, in the order they were made.
    void apply(const std::vector<ColourWrite> &writes, TextPositions &positions);

    // What an edit of the text does to the colours. `inherit`: the new
    // characters take their neighbour's colour (typed text, not text that
    // brings its own formatting). `undoRedo`: the edit is an undo or redo.
    void textChanged(int position, int removed, int added, bool inherit, bool undoRedo);

    // Gives a paragraph its colours as display formats; false when it had
    // them already.
    bool decorate(const QTextBlock &block) const;

    // A copy of the document range with the colours made into character
    // formats.
    std::unique_ptr<QTextDocument> formattedCopy(int from, int to) const;

private:
    friend class ColourUndoItem;
    struct Restore
    {
        int position = -1;
        int length = 0;
        std::vector<ColourRuns::Run> runs; // relative to position
    };
    void mergeLayer(std::vector<ColourRuns::Run> &result, const std::vector<ColourRuns::Run> &layer) const;

    QTextDocument *m_document;
    ColourRuns m_runs;
    // Set by an undo that brings coloured text back, used by the change
    // that follows.
    bool m_restoring = false;
    std::vector<Restore> m_restores;
};

// The display colour of a 0xBBGGRR value, and back.
QColor colorFromBgr(quint32 bgr);
quint32 bgrFromColor(const QColor &color);

} // namespace platform
