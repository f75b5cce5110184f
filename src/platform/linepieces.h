#pragma once

class QKeyEvent;
class QTextBlock;
class QTextCursor;
class QTextDocument;

namespace platform {

class TextPositions;

// Editing where the document's paragraphs are not its lines
// (documenttext.h). The pieces a very long line is split into must look
// and behave as one line: an empty piece would show as a line of its own,
// so it is hidden; keys that delete, and Enter, act on the text, not on a
// separator. A page of several lines is made into a paragraph per line
// before a key edits it, so that the key lays out and repaints one line.
class LinePieces
{
public:
    LinePieces(QTextDocument *document, const TextPositions &positions);

    // Hides the empty pieces of the document range [from, to) and shows
    // the others.
    void updateVisibility(int from, int to);
    // Takes a cursor out of a hidden piece (to the same Text position).
    bool moveOutOfHidden(QTextCursor &cursor) const;

    // Before Backspace or Delete: moves the cursor over a soft separator
    // so that the key deletes a character of the text.
    void prepareDeletion(const QKeyEvent *event, QTextCursor &cursor) const;

    // Whether a paragraph holds several lines; makes it a paragraph per
    // line (the same text, the same positions).
    static bool isPage(const QTextBlock &block);
    void unpack(const QTextBlock &page) const;

    // Enter at the cursor: a soft separator there becomes the line break;
    // otherwise a new break of the given style (-1: the usual one), a new
    // paragraph or, within one (Shift+Enter), a line separator. One step
    // of undo.
    void insertBreak(QTextCursor &cursor, int style, bool withinParagraph) const;

private:
    bool softBefore(int pos) const;
    bool softAt(int pos) const;

    QTextDocument *m_document;
    const TextPositions &m_positions;
    int m_hidden = 0;
};

} // namespace platform
