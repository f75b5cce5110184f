#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QWebEngineView>

namespace webengine {

class LocalSchemeHandler;

// The page viewer's browser, built into the module that the editor loads
// on first use. The editor reaches it by name only: the invokables
// navigate() and answer(), the properties locationName and pageTitle and
// the signals downloadComplete() and localRequest().
class EngineView : public QWebEngineView
{
    Q_OBJECT
    Q_PROPERTY(QString locationName READ locationName)
    Q_PROPERTY(QString pageTitle READ pageTitle)

public:
    explicit EngineView(QWidget *parent = nullptr);

    Q_INVOKABLE void navigate(const QUrl &url);
    // Answers a request for a local address (see LocalSchemeHandler).
    Q_INVOKABLE void answer(int id, const QVariantMap &response);
    // The page's title, or its path (its address when it is not a local
    // file) when it has none.
    QString locationName() const { return m_locationName; }
    // The page's own title; empty when it has none.
    QString pageTitle() const { return m_pageTitle; }

Q_SIGNALS:
    void downloadComplete();
    void localRequest(int id, const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                      const QByteArray &body);

private:
    void onLoadFinished(bool ok);

    LocalSchemeHandler *m_local = nullptr;
    QString m_locationName;
    QString m_pageTitle;
};

} // namespace webengine
