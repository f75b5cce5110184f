#pragma once

#include "platform/ui.h"

#include <QByteArray>
#include <QRect>
#include <QWidget>

#include <optional>

namespace platform {
class RichTextBox;
}

namespace tools {

// One of the two note windows that float beside the main window: the Code
// Keeper (`Sholder`) and the App-bar (`appbar`). Each keeps its rich text
// in a file of the program folder and its outer geometry (twips) in the
// settings store; both are read when the window loads and written when it
// closes.
class SideWindow : public QWidget
{
    Q_OBJECT
public:
    enum Kind { CodeKeeper, AppBar };

    // Loads the window when it isn't loaded, then shows it and brings it to
    // the front. An open window is not loaded again.
    static SideWindow *open(Kind kind);
    // The window while it is loaded, else null.
    static SideWindow *instance(Kind kind);

    ~SideWindow() override;

    Kind kind() const { return m_kind; }
    // `rtfText` of the Code Keeper, `rtf1` of the App-bar.
    platform::RichTextBox *text() const { return m_text; }
    // The program folder's file that holds the notes.
    QString contentFile() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    SideWindow(Kind kind, QWidget *owner);
    void load();
    void placeOuter();
    void layoutText();
    // Writes the notes to their file, asking first when another editor
    // changed it; true when the window may close.
    bool saveNotes();
    platform::Answer ask(const QString &text, platform::Icon icon);
    void storeGeometry();

    Kind m_kind;
    platform::RichTextBox *m_text = nullptr;
    QRect m_outerTwips;      // the geometry the window opens with
    int m_textWidthTwips = 0; // the control's width as last laid out
    bool m_keepUnreadFile = false;
    std::optional<QByteArray> m_loadedBytes; // the notes file as loaded; none when there was none
    bool m_unloaded = false;
};

} // namespace tools
