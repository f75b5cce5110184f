#pragma once

#include <QFont>
#include <QString>

#include <future>
#include <vector>

class QTextDocument;

namespace platform {

// The control's display lines: a paragraph that wraps at the width counts
// as several. The layout knows the lines of the paragraphs it has shown;
// for a large document the others are counted without laying them out
// (WrapCounter), so that the count is exact without the cost of a layout.
class DisplayLines
{
public:
    explicit DisplayLines(QTextDocument *document);

    int count() const;
    // The display line of a document position (0-based).
    int lineOf(int documentPos) const;

    // Brings the count up to date for the wrap width (the viewport's); no
    // work when neither it nor the font changed since the last count.
    void recount(qreal width);
    // The font changed: count anew at the next recount.
    void forget() { m_width = -1; }
    // The layout reports an update; when it put every paragraph back to
    // one line (a new wrap width), count again.
    void layoutUpdated(qreal width);

    // An edit touched the document range [from, to): recount those
    // paragraphs once the edit is complete (settle).
    void edited(int from, int to);
    void settle(qreal width);

    // Counting the paragraphs of a text in the document's form about to be
    // loaded, on another thread, and taking the counts once they are in.
    static std::future<std::vector<int>> countInBackground(const QString &text, const QFont &font,
                                                           qreal available, qreal tabStop);
    void adopt(const std::vector<int> &counts, qreal width);
    // Counts the paragraphs of the document range [from, to) at once.
    void countNow(int from, int to, qreal width);

private:

    QTextDocument *m_document;
    qreal m_width = -1;
    QFont m_font;
    int m_lines = -1;
    bool m_pending = false;
    int m_from = 0;
    int m_to = 0;
};

} // namespace platform
