#pragma once

#include "platform/colouroverlay.h"
#include "platform/displaylines.h"
#include "platform/documentfile.h"
#include "platform/linepieces.h"
#include "platform/nesting.h"
#include "platform/redrawbatch.h"
#include "platform/textpositions.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <memory>

class QMimeData;
class QPrinter;
class QTextDocument;

namespace platform {

// The rich-text edit control that holds every edited text.
//
// Positions are those of Text, where a line break is the two characters
// CR LF; the control converts them to the document's own positions (one
// character per break; see documenttext.h for the document's form). Colours given with SelColor are kept as colour
// runs over the text and shown as display formats, the way a highlighter
// colours text, so that colouring a large file costs little; they behave
// like character formatting (they move with the text, and typed text takes
// the colour of the character before it). Sizes, bold, italic and
// underline are character formats of the document.
//
// The work is shared by parts with one job each: TextPositions (positions
// and Text), ColourOverlay (the colours), DisplayLines (the line count),
// RedrawBatch (suspended redraw), DocumentFile (reading and writing) and
// LinePieces (editing where a long line is split).
//
// Errors are reported by throwing ControlError.
class RichTextBox : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int SelStart READ SelStart WRITE setSelStart)
    Q_PROPERTY(int SelLength READ SelLength WRITE setSelLength)
    Q_PROPERTY(QString SelText READ SelText WRITE setSelText)
    Q_PROPERTY(int RightMargin READ RightMargin WRITE setRightMargin)

public:
    explicit RichTextBox(QWidget *parent = nullptr);
    ~RichTextBox() override;

    // Text: the whole content, line breaks as CR LF. Writing replaces
    // everything (undoably) and drops all formatting.
    QString Text() const;
    void setText(const QString &text);
    int TextLength() const;

    int SelStart() const;
    void setSelStart(int start);
    int SelLength() const;
    void setSelLength(int length); // throws below 0
    QString SelText() const;
    void setSelText(const QString &text);
    // Rich-text source is inserted with its formatting, other text as text.
    void setSelRTF(const QString &source);

    // Whether the control holds formatted notes rather than a text file:
    // then formatting pasted from the clipboard (rich text or a page's) is
    // kept, copies carry rich text too, and what it can't show of rich
    // text it reads (pictures, fields, tables, hidden text) is carried along
    // unchanged for SaveFile to write back; pictures and objects show as
    // boxes.
    bool keepsFormatting() const { return m_keepsFormatting; }
    void setKeepsFormatting(bool keep);

    quint32 SelColor() const; // 0xBBGGRR
    void setSelColor(quint32 bgr);
    double SelFontSize() const;
    void setSelFontSize(double points);
    bool SelBold() const;
    void setSelBold(bool on);

    // The width in twips at which lines wrap (0: the control's width).
    int RightMargin() const;
    void setRightMargin(int twips);
    // Room in pixels at the left of the text, for a strip of the window's
    // own (the line numbers); lines still wrap at the right margin where
    // the room left allows.
    int leftMargin() const { return m_leftMargin; }
    void setLeftMargin(int pixels);

    // A file holding rich-text source loads with its formatting, any other
    // file as its text (its encoding and line breaks are kept for saving).
    void LoadFile(const QString &path);
    // Whether the last LoadFile read rich-text source.
    bool loadedAsRichText() const { return m_loadedRichText; }
    // A hash of the bytes the last LoadFile read (hashContent).
    quint64 loadedContentHash() const { return m_loadedHash; }
    // The whole content as rich-text source.
    void SaveFile(const QString &path);
    // The text in the encoding and line breaks it was loaded with.
    QByteArray encodedText();
    // The same, in two steps: the snapshot here, the encoding anywhere.
    DocumentFile::Snapshot encodingSnapshot() const { return m_file.snapshot(document(), m_positions); }
    // A piece of it: the document range [from, to) appended to a text and
    // its break styles (DocumentFile::appendPiece).
    void appendEncodingPiece(int from, int to, QString *text, std::vector<quint8> *breaks) const
    {
        m_file.appendPiece(document(), m_positions, from, to, text, breaks);
    }
    const TextFileFormat &fileFormat() const { return m_file.format(); }
    void setFileFormat(const TextFileFormat &format) { m_file.setFormat(format); }
    // Whether the file's encoding holds every character of the text.
    bool canEncode() const { return m_file.canEncode(m_positions); }

    // Case-insensitive search inside words. With neither position: in the
    // selection if there is one, else the whole text; with end only: from
    // the caret to end. Selects the first match and returns its position,
    // or -1 leaving the selection as it was.
    int Find(const QString &text, int start = -1, int end = -1);

    // Prints the selection, or everything when nothing is selected.
    void SelPrint(QPrinter *printer);

    void Refresh();
    void SetFocus();

    // The number of display lines (wrapped lines count), and the display
    // line of the selection's start (0-based).
    int GetLineCount() const;
    int LineFromChar() const;

    // While redraw is suspended, selection and colour writes are recorded
    // and applied in one go when it resumes; the final colours and the
    // final selection are the same. SuspendedRedraw does both for a scope.
    void suspendRedraw();
    void resumeRedraw();

    // A copy of the document with the colour runs made into character
    // formats (for printing and for rich-text source).
    std::unique_ptr<QTextDocument> formattedCopy(int from = 0, int to = -1);

    // The colour runs in document positions (tests and accessibility).
    const ColourRuns &colourRuns() const { return m_colours.runs(); }

    // The document range [from, to) as a screen reader gets it: one
    // character per document position.
    QString accessibleText(int from, int to) const { return m_positions.accessibleText(from, to); }

    // Position conversion between Text and the document.
    int toDocumentPosition(int textPos) const { return m_positions.toDocument(textPos); }
    int toTextPosition(int documentPos) const { return m_positions.toText(documentPos); }
    // The text's own lines (a wrapped line is one line; the document may
    // hold several in a paragraph, or one in several), counted from 0:
    // how many, the one holding a document position, and the document
    // range [start, end) of one (-1 when there is no such line).
    int textLineCount() const { return m_positions.breakCount() + 1; }
    int textLineOf(int documentPos) const { return m_positions.lineOf(documentPos); }
    int textLineStart(int line) const { return m_positions.startOfLine(line); }
    int textLineEnd(int line) const
    {
        const int start = m_positions.startOfLine(line);
        return start < 0 ? -1 : m_positions.lineEnd(start);
    }

    // The font a new document window's text uses.
    static QFont defaultTextFont();

Q_SIGNALS:
    void Change();
    // The document range [position, position + added) holds new text in
    // place of what was there (edits of the text, not of its formats).
    void textEdited(int position, int added);
    // LoadFile replaced the whole content.
    void textLoaded();
    void SelChange();
    void KeyDown(int keyCode, int shift);
    void MouseDown(int button, int shift, int x, int y);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    friend class FormatUndoMark;
    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();
    void onCursorMoved();
    // Tells the read-outs about the selection if it moved since they were
    // last told (always when forced).
    void announceSelection(bool force = false);
    void applyPendingColours();
    void flushBatch(bool ending);
    void recountLines();
    void updateViewportMargin();
    void showColours();
    void rememberUndoSteps();
    // Puts text (line breaks CR LF, LF or CR) in place of the selection.
    void insertText(QTextCursor &cursor, const QString &text, const QTextCharFormat *base);
    // Puts rich-text source in place of the selection.
    void insertRichText(const QByteArray &source);
    void changeFormat(const QTextCharFormat &format);
    qreal wrapWidth() const;

    TextPositions m_positions;
    ColourOverlay m_colours;
    DisplayLines m_lines;
    RedrawBatch m_batch;
    DocumentFile m_file;
    LinePieces m_pieces;
    bool m_loadedRichText = false;
    bool m_keepsFormatting = false;
    quint64 m_loadedHash = 0;

    // Edits of our own that change formats only, or that bring their own
    // formatting, must not move or spread colours; while loading, the
    // change handling is quiet. An undo or redo of a format change says so
    // through m_formatUndo.
    Nesting m_formatOnly;
    Nesting m_ownFormatting;
    Nesting m_loading;
    bool m_formatUndo = false;

    int m_rightMarginTwips = 0;
    int m_leftMargin = 0;
    int m_lastUndoSteps = 0;
    int m_lastRedoSteps = 0;
    int m_changedFrom = -1;
    int m_changedTo = -1;
    int m_shownAnchor = -1;
    int m_shownPosition = -1;
    QElapsedTimer m_doubleClick;
    QPoint m_doubleClickAt;
};

// Suspends the control's redraw for a scope.
class SuspendedRedraw
{
public:
    explicit SuspendedRedraw(RichTextBox &box) : m_box(box) { m_box.suspendRedraw(); }
    ~SuspendedRedraw() { m_box.resumeRedraw(); }
    SuspendedRedraw(const SuspendedRedraw &) = delete;
    SuspendedRedraw &operator=(const SuspendedRedraw &) = delete;

private:
    RichTextBox &m_box;
};

} // namespace platform
