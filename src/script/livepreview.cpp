#include "script/livepreview.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/pageviewer.h"
#include "html/viewerwindow.h"
#include "platform/atomicfile.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace script {

LivePreview::LivePreview(frame::MainWindow *window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("livePreview"));
    m_timer.setSingleShot(true);
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &LivePreview::update);
    connect(window->mdiArea(), &QMdiArea::subWindowActivated, this, &LivePreview::activated);
}

LivePreview *LivePreview::of(frame::MainWindow *window, bool create)
{
    if (!window)
        return nullptr;
    auto *live = window->findChild<LivePreview *>(QString(), Qt::FindDirectChildrenOnly);
    if (!live && create)
        live = new LivePreview(window);
    return live;
}

void LivePreview::setOn(bool on)
{
    m_on = on;
    if (!on)
        m_timer.stop();
}

document::DocumentWindow *LivePreview::shownDocument() const
{
    html::PageViewer *viewer = html::pageViewer();
    if (!viewer || viewer != m_viewer || viewer->brwWebBrowser->pageSerial() != m_serial)
        return nullptr;
    return m_doc.data();
}

void LivePreview::remember(document::DocumentWindow *doc)
{
    m_previewed.removeAll(nullptr);
    if (!m_previewed.contains(doc))
        m_previewed << doc;
}

void LivePreview::previewed(document::DocumentWindow *doc, html::PageViewer *viewer)
{
    remember(doc);
    m_viewer = viewer;
    m_lastShown = doc;
    m_serial = viewer->brwWebBrowser->pageSerial();
    follow(doc);
}

void LivePreview::follow(document::DocumentWindow *doc)
{
    if (m_doc == doc && m_changes)
        return;
    disconnect(m_changes);
    m_doc = doc;
    m_timer.stop();
    if (doc)
        m_changes = connect(doc->rtfText, &platform::RichTextBox::Change, this, &LivePreview::textChanged);
}

void LivePreview::textChanged()
{
    // The one thing a keystroke costs.
    if (m_on)
        m_timer.start();
}

void LivePreview::activated()
{
    if (!m_on || !shownDocument())
        return;
    document::DocumentWindow *doc = m_window->activeDocument();
    if (!doc || doc == m_doc || !m_previewed.contains(doc))
        return;
    follow(doc);
    update();
}

void LivePreview::update()
{
    document::DocumentWindow *doc = shownDocument();
    if (!m_on || !doc)
        return;
    if (m_write) {
        // One write at a time; the latest text follows it.
        m_again = true;
        return;
    }
    // Only the text is taken here; the file is written off the window's
    // thread, which a large page or a slow disk would hold up.
    const QByteArray bytes = doc->rtfText->encodedText();
    const QString path = platform::programFile(QStringLiteral("\\preview.html"));
    auto promise = std::make_shared<QPromise<QString>>();
    promise->start();
    m_write = new QFutureWatcher<QString>(this);
    m_writing = doc;
    connect(m_write, &QFutureWatcherBase::finished, this, [this] { written(m_write->future().result()); });
    m_write->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, bytes, path] {
        QString error;
        if (!platform::writeFileAtomically(path, bytes, &error) && error.isEmpty())
            error = QStringLiteral("The preview file could not be written.");
        promise->addResult(error);
        promise->finish();
    });
}

void LivePreview::written(const QString &error)
{
    m_write->deleteLater();
    m_write = nullptr;
    document::DocumentWindow *doc = m_writing.data();
    m_writing.clear();
    html::PageViewer *viewer = html::pageViewer();
    if (error.isEmpty() && doc && doc == shownDocument() && viewer) {
        const QString path = platform::programFile(QStringLiteral("\\preview.html"));
        // Another document's page starts at its top.
        html::showPreviewFile(viewer, path, doc, doc == m_lastShown);
        m_lastShown = doc;
        m_serial = viewer->brwWebBrowser->pageSerial();
        Q_EMIT reloaded();
    }
    // A failed write leaves the page as it was; the next change tries again.
    if (m_again) {
        m_again = false;
        update();
    }
}

} // namespace script
