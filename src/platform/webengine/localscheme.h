#pragma once

#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <QWebEngineScript>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineUrlRequestJob;

namespace webengine {

// Registers the local sites' scheme with the engine; must run before the
// engine starts.
void registerLocalScheme();

// Hands the engine's requests for local addresses to the editor, which
// answers them (now or later) by the request's number.
class LocalSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    explicit LocalSchemeHandler(QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;
    // response: "redirect" (an address), or "file" and "mime", or "mime"
    // and "body"; anything else is "not found".
    void answer(int id, const QVariantMap &response);

Q_SIGNALS:
    void request(int id, const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                 const QByteArray &body);

private:
    QHash<int, QPointer<QWebEngineUrlRequestJob>> m_jobs;
    int m_next = 0;
};

// The page script that submits forms aimed at local addresses: GET as the
// browser would, POST with its body carried in the address.
QWebEngineScript formScript();

} // namespace webengine
