#pragma once

#include <QFont>
#include <QString>
#include <QTimer>

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

    // Counting a plain text about to be loaded, on another thread, and
    // taking the counts once its paragraphs are in the document.
    static std::future<std::vector<int>> countInBackground(const QString &plain, const QFont &font,
                                                           qreal available, qreal tabStop);
    void adopt(const std::vector<int> &counts, qreal width);

    // Makes every paragraph's layout object while the editor is idle.
    void prepareLayouts();
    void changed() { ++m_stamp; }

private:
    void prepareSlice();

    QTextDocument *m_document;
    qreal m_width = -1;
    QFont m_font;
    int m_lines = -1;
    bool m_pending = false;
    int m_from = 0;
    int m_to = 0;

    QTimer m_prepare;
    int m_prepared = 0;
    quint64 m_stamp = 0;
    quint64 m_prepareStamp = 0;
};

} // namespace platform
