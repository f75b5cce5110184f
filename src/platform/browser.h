#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

namespace platform {

// The embedded web browser of the page viewer.
//
// The engine (Qt WebEngine) is large and slow to load, so the editor does
// not link it: it lives in the module "quilex_browser.so" in the
// program's module folder (platform/programfolder.h), loaded the first
// time a BrowserControl is made. The module gives a widget that
// navigates, tells its location name and signals a finished load; this
// class talks to it through Qt's meta-object calls only, so the module
// needs nothing from the editor. When the module is missing or cannot
// load, a plain rich-text viewer stands in for it.
class BrowserControl : public QWidget
{
    Q_OBJECT
public:
    explicit BrowserControl(QWidget *parent = nullptr);
    ~BrowserControl() override;

    // Shows a file (a local path) or an address.
    void navigate(const QString &pathOrAddress);
    // The title of the page shown, or its path (its address when it is not
    // a local file) when it has none. Empty before the first load.
    QString LocationName() const;
    QUrl LocationURL() const { return m_url; }

    // True when the real engine shows the pages (false: the stand-in).
    bool usesEngine() const { return m_engine; }

    // Whether the engine module has been loaded into this process.
    static bool engineLoaded();
    // The module's file, in the program's module folder.
    static QString modulePath();

Q_SIGNALS:
    // A page (or the error page of a failed one) has finished loading.
    void DownloadComplete();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void makeStandIn();

    QPointer<QWidget> m_view;
    QUrl m_url;
    QString m_standInTitle;
    bool m_engine = false;
};

} // namespace platform
