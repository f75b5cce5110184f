#pragma once

#include <QPointF>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWebEngineHttpRequest>
#include <QWebEngineView>

#include <memory>
#include <optional>

namespace webengine {

class RequestGuard;

// The page viewer's browser, built into the module that the editor loads
// on first use. The editor reaches it by name only: the invokables
// navigate(), navigateKeepingScroll(), navigateRequest() and allowOrigin(),
// the properties locationName, pageTitle and scrollPosition and the
// signals downloadComplete() and reloading().
class EngineView : public QWebEngineView
{
    Q_OBJECT
    Q_PROPERTY(QString locationName READ locationName)
    Q_PROPERTY(QString pageTitle READ pageTitle)
    Q_PROPERTY(QPointF scrollPosition READ scrollPosition)

public:
    explicit EngineView(QWidget *parent = nullptr);

    Q_INVOKABLE void navigate(const QUrl &url);
    // Loads a new version of the page shown, scrolled where this one is.
    Q_INVOKABLE void navigateKeepingScroll(const QUrl &url);
    // Loads an address with a request of another method and its body.
    Q_INVOKABLE void navigateRequest(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                                     const QByteArray &body);
    // The one origin (the editor's server) the pages may reach.
    Q_INVOKABLE void allowOrigin(const QUrl &origin);
    // The page's title, or its path (its address when it is not a local
    // file) when it has none.
    QString locationName() const { return m_locationName; }
    // The page's own title; empty when it has none.
    QString pageTitle() const { return m_pageTitle; }
    QPointF scrollPosition() const;

Q_SIGNALS:
    void downloadComplete();
    // The renderer of a page that never gave control back was ended, and
    // the address asked for last is loaded anew.
    void reloading(const QUrl &url);

private:
    void onLoadFinished(bool ok);
    void start(const QWebEngineHttpRequest &request);
    void watch();
    void rendererEnded();

    RequestGuard *m_guard = nullptr;
    QString m_locationName;
    QString m_pageTitle;
    // Where the next finished load is scrolled to.
    std::optional<QPointF> m_scroll;
    // A load still going after a while may be held up by a script that
    // never ends: the renderer is asked a trivial question, and ended when
    // it does not answer, so that the page asked for can load.
    QWebEngineHttpRequest m_lastRequest;
    QTimer *m_watch = nullptr;
    int m_probe = 0;
    std::shared_ptr<int> m_answered = std::make_shared<int>(0);
    bool m_ending = false;
};

} // namespace webengine
