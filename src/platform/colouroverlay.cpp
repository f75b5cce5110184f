#include "platform/colouroverlay.h"

#include "platform/textpositions.h"

#include <QAbstractUndoItem>
#include <QColor>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>

namespace platform {

QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

quint32 bgrFromColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

// Undo of an edit that removed coloured text: brings the colours back with
// the text.
class ColourUndoItem : public QAbstractUndoItem
{
public:
    ColourUndoItem(ColourOverlay *overlay, int position, int length, std::vector<ColourRuns::Run> runs)
        : m_overlay(overlay), m_position(position), m_length(length), m_runs(std::move(runs))
    {
    }
    void undo() override
    {
        m_overlay->m_restoring = true;
        m_overlay->m_restores.push_back(ColourOverlay::Restore{m_position, m_length, m_runs});
    }
    void redo() override {}

private:
    ColourOverlay *m_overlay;
    int m_position;
    int m_length;
    std::vector<ColourRuns::Run> m_runs;
};

ColourOverlay::ColourOverlay(QTextDocument *document) : m_document(document) {}

ColourOverlay::~ColourOverlay() = default;

void ColourOverlay::textChanged(int position, int removed, int added, bool inherit, bool undoRedo)
{
    if (m_runs.isEmpty() && !m_restoring)
        return;
    QTextDocument *doc = m_document;
    // The colour new text takes: that of the character before the
    // insertion point, or at the start of a paragraph the one after it.
    quint32 colour = 0;
    bool inherits = false;
    if (added > 0 && inherit && !m_restoring) {
        auto isBreak = [](QChar c) { return c == QChar::ParagraphSeparator || c == QChar::LineSeparator; };
        const bool atLineStart = position == 0 || isBreak(doc->characterAt(position - 1));
        if (removed > 0)
            inherits = m_runs.colourAt(position + removed - 1, &colour);
        else if (!atLineStart)
            inherits = m_runs.colourAt(position - 1, &colour);
        else if (!isBreak(doc->characterAt(position + added)))
            inherits = m_runs.colourAt(position, &colour);
    }
    if (removed > 0 && !undoRedo) {
        std::vector<ColourRuns::Run> lost = m_runs.runsIn(position, position + removed);
        if (!lost.empty()) {
            for (auto &r : lost)
                r.start -= position;
            QTextCursor c(doc);
            c.joinPreviousEditBlock();
            doc->appendUndoItem(new ColourUndoItem(this, position, removed, std::move(lost)));
            c.endEditBlock();
        }
    }
    m_runs.textChanged(position, removed, added, inherits ? &colour : nullptr);
    if (m_restoring) {
        m_restoring = false;
        // One undo step may bring back the text of several edits, made
        // from the end of the text backwards (as the spell check does), so
        // that each one's position holds once all of them are undone.
        for (const Restore &restore : m_restores) {
            if (restore.position >= position && restore.position + restore.length <= position + added) {
                for (const auto &r : restore.runs)
                    m_runs.paint(restore.position + r.start, r.length, r.colour);
            }
        }
        m_restores.clear();
    }
}

void ColourOverlay::apply(const std::vector<ColourWrite> &writes, TextPositions &positions)
{
    if (writes.size() < 64) {
        for (const ColourWrite &w : writes) {
            const int s = positions.toDocument(w.start);
            const int e = positions.toDocument(w.start + w.length);
            m_runs.paint(s, e - s, w.colour);
        }
        return;
    }
    // The writes come as runs that are in order and apart within each
    // stretch written by one pass over the text; later stretches cover
    // earlier ones. Each stretch is merged over the result in one sweep.
    TextPositions::Sweep sweep = positions.sweep();
    std::vector<ColourRuns::Run> result = m_runs.all();
    size_t i = 0;
    while (i < writes.size()) {
        std::vector<ColourRuns::Run> layer;
        int lastEnd = -1;
        while (i < writes.size()) {
            const ColourWrite &w = writes[i];
            const int s = sweep.toDocument(w.start);
            const int e = sweep.toDocument(w.start + w.length);
            if (s < lastEnd)
                break; // a new stretch begins
            if (e > s) {
                if (!layer.empty() && layer.back().start + layer.back().length == s
                    && layer.back().colour == w.colour)
                    layer.back().length += e - s;
                else
                    layer.push_back(ColourRuns::Run{s, e - s, w.colour});
            }
            lastEnd = std::max(lastEnd, e);
            ++i;
        }
        mergeLayer(result, layer);
    }
    m_runs.assign(std::move(result));
}

void ColourOverlay::mergeLayer(std::vector<ColourRuns::Run> &result,
                               const std::vector<ColourRuns::Run> &layer) const
{
    // The layer's runs replace whatever lies under them.
    std::vector<ColourRuns::Run> merged;
    merged.reserve(result.size() + layer.size() * 2);
    size_t a = 0;
    for (const ColourRuns::Run &top : layer) {
        const int ts = top.start, te = top.start + top.length;
        while (a < result.size() && result[a].start + result[a].length <= ts)
            merged.push_back(result[a++]);
        // Runs overlapping the top run: keep the parts outside it.
        while (a < result.size() && result[a].start < te) {
            const ColourRuns::Run &r = result[a];
            if (r.start < ts)
                merged.push_back(ColourRuns::Run{r.start, ts - r.start, r.colour});
            if (r.start + r.length > te) {
                // The tail may meet later top runs: keep it in play.
                result[a] = ColourRuns::Run{te, r.start + r.length - te, r.colour};
                break;
            }
            ++a;
        }
        merged.push_back(top);
    }
    while (a < result.size())
        merged.push_back(result[a++]);
    result.swap(merged);
}

bool ColourOverlay::decorate(const QTextBlock &block) const
{
    if (!block.isVisible())
        return false;
    QTextLayout *layout = block.layout();
    if (!layout)
        return false;
    QList<QTextLayout::FormatRange> ranges;
    const int start = block.position();
    const auto runs = m_runs.runsIn(start, start + block.length() - 1);
    ranges.reserve(qsizetype(runs.size()));
    for (const auto &run : runs) {
        QTextLayout::FormatRange fr;
        fr.start = run.start - start;
        fr.length = run.length;
        fr.format.setForeground(colorFromBgr(run.colour));
        ranges.append(fr);
    }
    if (layout->formats() == ranges)
        return false;
    layout->setFormats(ranges);
    m_document->markContentsDirty(start, block.length());
    return true;
}

std::unique_ptr<QTextDocument> ColourOverlay::formattedCopy(int from, int to) const
{
    auto copy = std::make_unique<QTextDocument>();
    copy->setDefaultFont(m_document->defaultFont());
    QTextCursor src(m_document);
    src.setPosition(from);
    src.setPosition(to, QTextCursor::KeepAnchor);
    QTextCursor dst(copy.get());
    dst.beginEditBlock();
    dst.insertFragment(src.selection());
    for (const auto &run : m_runs.runsIn(from, to)) {
        QTextCursor c(copy.get());
        c.setPosition(run.start - from);
        c.setPosition(run.start - from + run.length, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setForeground(colorFromBgr(run.colour));
        c.mergeCharFormat(f);
    }
    dst.endEditBlock();
    return copy;
}

} // namespace platform
