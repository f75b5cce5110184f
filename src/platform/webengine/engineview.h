#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

namespace webengine {

// The page viewer's browser, built into the module that the editor loads
// on first use. The editor reaches it by name only: the invokable
// navigate(), the property locationName and the signal downloadComplete().
class EngineView : public QWebEngineView
{
    Q_OBJECT
    Q_PROPERTY(QString locationName READ locationName)

public:
    explicit EngineView(QWidget *parent = nullptr);

    Q_INVOKABLE void navigate(const QUrl &url);
    // The page's title, or its path (its address when it is not a local
    // file) when it has none.
    QString locationName() const { return m_locationName; }

Q_SIGNALS:
    void downloadComplete();

private:
    void onLoadFinished(bool ok);

    QString m_locationName;
};

} // namespace webengine
