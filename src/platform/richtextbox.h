#pragma once

#include "platform/colourruns.h"
#include "platform/textfile.h"

#include <QPlainTextEdit>

#include <memory>

class QPrinter;
class QTextDocument;

namespace platform {

class WrapCounter;

// The rich-text edit control that holds every edited text.
//
// Positions are those of Text, where a line break is the two characters
// CR LF; the control converts them to the document's own positions (one
// character per break). Colours given with SelColor are kept as colour
// runs over the text and shown as display formats, the way a highlighter
// colours text, so that colouring a large file costs little; they behave
// like character formatting (they move with the text, and typed text takes
// the colour of the character before it). Sizes, bold, italic and
// underline are character formats of the document.
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

    quint32 SelColor() const; // 0xBBGGRR
    void setSelColor(quint32 bgr);
    double SelFontSize() const;
    void setSelFontSize(double points);
    bool SelBold() const;
    void setSelBold(bool on);

    // The width in twips at which lines wrap (0: the control's width).
    int RightMargin() const;
    void setRightMargin(int twips);

    // A file holding rich-text source loads with its formatting, any other
    // file as its text (its encoding and line breaks are kept for saving).
    void LoadFile(const QString &path);
    // Whether the last LoadFile read rich-text source.
    bool loadedAsRichText() const { return m_loadedRichText; }
    // The whole content as rich-text source.
    void SaveFile(const QString &path);
    // The text in the encoding and line breaks it was loaded with.
    QByteArray encodedText();
    const TextFileFormat &fileFormat() const { return m_format; }
    void setFileFormat(const TextFileFormat &format) { m_format = format; }

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
    // final selection are the same.
    void suspendRedraw();
    void resumeRedraw();

    // A copy of the document with the colour runs made into character
    // formats (for printing and for rich-text source).
    std::unique_ptr<QTextDocument> formattedCopy(int from = 0, int to = -1) const;

    // The colour runs in document positions (tests and accessibility).
    const ColourRuns &colourRuns() const { return m_runs; }

    // Position conversion between Text and the document.
    int toDocumentPosition(int textPos) const;
    int toTextPosition(int documentPos) const;

    // The font a new document window's text uses.
    static QFont defaultTextFont();

Q_SIGNALS:
    void Change();
    void SelChange();
    void KeyDown(int keyCode, int shift);
    void MouseDown(int button, int shift, int x, int y);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void attachDocument(QTextDocument *document);
    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();
    void onCursorMoved();
    void applyPendingColours();
    void flushPending(bool endSuspension);
    struct PendingRun;
    void applyRuns(const std::vector<PendingRun> &pending);
    void updateViewportMargin();
    void recountLines();
    void releaseTextCacheLater();
    void prepareLayouts();
    void prepareLayoutSlice();
    void onLayoutUpdate();
    void ensureVisibleColours();
    void stampBlocks(int fromBlock, int toBlock);
    bool textUnchanged(int position, int length) const;

    struct PendingRun
    {
        int start;
        int length;
        quint32 colour;
    };

    ColourRuns m_runs;
    TextFileFormat m_format;
    bool m_loadedRichText = false;
    int m_rightMarginTwips = 0;
    qreal m_countedWidth = -1;
    int m_countedLines = -1;
    QFont m_countedFont;

    // Suspended redraw: selection and colours recorded in Text positions.
    int m_suspended = 0;
    int m_pendingStart = 0;
    int m_pendingLength = 0;
    int m_suspendedLength = 0;
    int m_layoutsPrepared = 0;
    quint64 m_prepareStamp = 0;
    std::vector<int> m_textStarts;
    quint64 m_textStartsStamp = ~quint64(0);
    std::vector<PendingRun> m_pending;

    // Text is cached until the next change.
    mutable QString m_textCache;
    mutable quint64 m_textCacheStamp = ~quint64(0);
    quint64 m_changeStamp = 0;
    bool m_cacheReleaseQueued = false;

    // Edits of our own that change formats only, or that bring their own
    // formatting, must not move or spread colours.
    int m_formatOnly = 0;
    int m_loading = 0;
    int m_ownFormatting = 0;
    int m_lastUndoSteps = 0;
    int m_lastRedoSteps = 0;
    int m_lastBlockCount = 1;
    bool m_restoring = false;
    bool m_pendingRecount = false;
    int m_recountFrom = 0;
    int m_recountTo = 0;
    struct Restore
    {
        int position = -1;
        int length = 0;
        std::vector<ColourRuns::Run> runs; // relative to position
    } m_restore;

    friend class OverlayUndoItem;
};

// The display colour of a 0xBBGGRR value, and back.
QColor colorFromBgr(quint32 bgr);
quint32 bgrFromColor(const QColor &color);

} // namespace platform
