#pragma once

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace document {
class DocumentWindow;
}
namespace frame {
class MainWindow;
}
namespace html {
class PageViewer;
}

namespace script {

// Live preview: while it is on and the page viewer shows a document's
// preview, the preview follows the document's typing. A pause in the
// typing writes the preview file (on a pool thread) and reloads the page
// where it was scrolled; typing itself only restarts a timer. Switching
// to another document that has been previewed shows its preview.
class LivePreview : public QObject
{
    Q_OBJECT
public:
    // The window's live preview; made on first use when asked to.
    static LivePreview *of(frame::MainWindow *window, bool create = true);

    void setOn(bool on);
    bool isOn() const { return m_on; }
    // The pause after the last change before the page follows it.
    void setDelay(int ms) { m_timer.setInterval(ms); }

    // Preview Html has shown a document's page in the viewer.
    void previewed(document::DocumentWindow *doc, html::PageViewer *viewer);
    // The document whose preview the viewer shows; null when the viewer
    // shows another page or is closed.
    document::DocumentWindow *shownDocument() const;

Q_SIGNALS:
    // A new version of the page has been handed to the viewer.
    void reloaded();

private:
    explicit LivePreview(frame::MainWindow *window);

    void follow(document::DocumentWindow *doc);
    void textChanged();
    void activated();
    void update();
    void written(const QString &error);
    void remember(document::DocumentWindow *doc);

    frame::MainWindow *m_window;
    bool m_on = false;
    QTimer m_timer;
    QPointer<document::DocumentWindow> m_doc; // the one the viewer shows
    QMetaObject::Connection m_changes;
    QPointer<html::PageViewer> m_viewer;
    quint64 m_serial = 0; // the viewer's page when it was last shown here
    QList<QPointer<document::DocumentWindow>> m_previewed;
    QFutureWatcher<QString> *m_write = nullptr;
    QPointer<document::DocumentWindow> m_writing;
    QPointer<document::DocumentWindow> m_lastShown;
    bool m_again = false;
};

} // namespace script
