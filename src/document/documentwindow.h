#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QMdiSubWindow;

namespace platform {
class RichTextBox;
}

namespace document {

class FileModel;

// A document window: one text in its rich-text control, with three
// read-outs along the top edge.
class DocumentWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DocumentWindow(QWidget *parent = nullptr);
    ~DocumentWindow() override;

    platform::RichTextBox *rtfText;
    QLabel *lblCurrLineNo;
    QLabel *linetotal;
    QLabel *filesize;

    // The caption: the file's path, or "Untitled " and a number.
    QString caption() const;
    void setCaption(const QString &caption);
    // A document has a file unless its caption begins with "Untitled".
    bool hasFile() const;

    QMdiSubWindow *subWindow() const;

    // Lays out the controls for the window's size.
    void Resize();
    // Places the read-outs in their row, each clear of the one before it
    // at its widest; and where the row ends below.
    void placeReadouts();
    int readoutsBottom() const;

    // The document's file: path, how its text is written, disk stamp.
    FileModel &file() { return *m_file; }
    const FileModel &file() const { return *m_file; }

    // The save-on-close routine, for this document. False when nothing was
    // saved (Cancel, or a file that could not be written).
    bool saveOnClose();

    // The close prompt's question, asked while the changed marker is set or
    // this document has edits not saved: Yes saves (as save-on-close), No
    // goes on without saving. False when the text must stay: Escape or the
    // close box, or a save that did not happen.
    bool askToSaveChanges();

    // Whether this document's own text has edits not saved yet.
    bool hasUnsavedEdits() const;
    void markSaved();

    // The design size of the window's inside: 4680 by 3195 twips.
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Load();
    bool closePrompt();

    // The read-outs and the changed marker, on the control's events.
    void rtfText_Change();
    void rtfText_SelChange();
    void rtfText_KeyDown(int keyCode, int shift);
    void rtfText_MouseDown(int button, int shift, int x, int y);
    void rtfText_QuickLinkKey(int keyCode, int shift);

    std::unique_ptr<FileModel> m_file;
};

// The byte count of the file the shared dialog names (0 when none).
qint64 dialogFileSize();
// A number in the read-outs' format: thousands separated, no leading zeros.
QString formatCount(qint64 n);

} // namespace document
