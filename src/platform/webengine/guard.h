#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

namespace webengine {

// Keeps a view's pages to the editor's own server: every request for
// another host, another port, a file or a WebSocket is blocked before it
// leaves, so a page can neither read what lies outside its site nor send
// it anywhere.
class RequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setOrigin(const QUrl &origin) { m_origin = origin; }
    bool allows(const QUrl &url, bool webSocket) const;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QUrl m_origin; // http://127.0.0.1:<port>; empty: nothing is allowed
};

} // namespace webengine
