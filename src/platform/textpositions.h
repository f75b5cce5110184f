#pragma once

#include "platform/positionlist.h"

#include <QString>
#include <QTimer>

#include <vector>

class QTextDocument;

namespace platform {

// Positions in Text, where each line break is the two characters CR LF,
// and positions in the control's document (see documenttext.h), where a
// break is one character and a soft separator is none of the text; and
// Text itself, made from the document and kept until the next change.
//
// It keeps where the document's line breaks and soft separators are, and
// moves them with every edit.
class TextPositions
{
public:
    explicit TextPositions(QTextDocument *document);

    int toDocument(int textPos) const;
    int toText(int documentPos) const;
    int textLength() const;

    // The whole text, line breaks as CR LF; or as '\n' for saving.
    QString text() const;
    QString plainText() const;
    QString plainText(int from, int to) const;
    // The CR LF text of the document range [from, to).
    QString text(int from, int to) const;
    // The text of the document range with one character per document
    // position, breaks as '\n' (for screen readers).
    QString accessibleText(int from, int to) const;

    // The breaks and soft separators of content just put in.
    void reset(const std::vector<int> &hard, const std::vector<int> &soft);
    // The text [position, position + removed) became `added` characters.
    void textChanged(int position, int removed, int added);
    // Text for the content just loaded, made elsewhere.
    void adoptText(QString text);

    bool isSoftSeparator(int documentPos) const { return m_soft.contains(documentPos); }
    bool hasSoftSeparators() const { return !m_soft.empty(); }
    // The soft separators and the line breaks in the document range
    // [from, to), in order.
    std::vector<int> softSeparators(int from, int to) const { return inRange(m_soft, from, to); }
    std::vector<int> hardBreaks(int from, int to) const { return inRange(m_hard, from, to); }
    // The document range of the line (between hard breaks) holding pos.
    int lineStart(int documentPos) const;
    int lineEnd(int documentPos) const;
    // The number of line breaks.
    int breakCount() const { return int(m_hard.size()); }
    // The line (from 0) holding pos, and where a line starts (-1: none).
    int lineOf(int documentPos) const { return int(m_hard.countBelow(documentPos)); }
    int startOfLine(int line) const;

    // Converts Text positions that come mostly in ascending order, as the
    // colouring passes give them, at a small cost each.
    class Sweep
    {
    public:
        int toDocument(int textPos);

    private:
        friend class TextPositions;
        explicit Sweep(const TextPositions &p);
        void seek(int documentPos);
        const TextPositions &m_p;
        std::vector<int> m_hard; // the breaks and soft separators, in order
        std::vector<int> m_soft;
        size_t m_h = 0;
        size_t m_s = 0;
        int m_weight = 0; // breaks passed minus soft separators passed
        int m_last = -1;
        int m_length;
    };
    Sweep sweep() const;

private:
    static std::vector<int> inRange(const PositionList &list, int from, int to);
    QString convert(int from, int to, const char16_t *lineBreak, int breakLength, bool keepSoft) const;
    void keepText(QString text) const;
    int documentLength() const;

    QTextDocument *m_document;
    PositionList m_hard;
    PositionList m_soft;
    quint64 m_stamp = 0;

    // A large text is kept only until the event loop runs again.
    mutable QString m_text;
    mutable quint64 m_textStamp = ~quint64(0);
    mutable QTimer m_release;
};

} // namespace platform
