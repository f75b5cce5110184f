#pragma once

#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

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

    // Shows a file (a local path) in its own folder.
    void navigate(const QString &path);
    // Where the page shown is scrolled to, in page pixels.
    QPointF scrollPosition() const;
    // Changes each time the browser goes to another page: by a call here,
    // or by the page itself (a link, a form, a redirect).
    quint64 pageSerial() const { return m_pageSerial; }
    // The title of the page shown, or its path (its address when it is not
    // a local file) when it has none. Empty before the first load.
    QString LocationName() const;
    QUrl LocationURL() const { return m_url; }
    // The text selected in the page, lines broken by LF; empty when none.
    QString selectedText() const;

    // True when the real engine shows the pages (false: the stand-in).
    bool usesEngine() const { return m_engine; }

    // Shows a file as if it lay in a folder under a name, so that its
    // relative addresses resolve in that folder. The location stays the
    // file's, and a page without a title is named by its path.
    // keepScroll: the page is a new version of the one shown, and is
    // scrolled where that one is.
    void navigateAs(const QString &path, const QString &folder, const QString &name, bool keepScroll = false);
    void navigateKeepingScroll(const QString &path);

    // Loads an address of the editor's own server: a GET, or a request
    // with a body (a POST). A page without a title is named untitledName.
    void load(const QUrl &url, const QByteArray &method = "GET", const QByteArray &contentType = QByteArray(),
              const QByteArray &body = QByteArray(), const QString &untitledName = QString());
    // The address of the page shown, as the browser has it.
    QUrl pageUrl() const;

    // The browser never reads files itself: a file is shown from the
    // address the file server gives for it, as a name in a folder (the
    // editor's loopback web server). Pages may reach that server only.
    using FileServer = std::function<QUrl(const QString &file, const QString &folder, const QString &name)>;
    static void setFileServer(FileServer server);

    // Whether the engine module has been loaded into this process.
    static bool engineLoaded();
    // The module's file, in the program's module folder.
    static QString modulePath();

Q_SIGNALS:
    // A page (or the error page of a failed one) has finished loading.
    void DownloadComplete();

protected:
    void resizeEvent(QResizeEvent *event) override;

private Q_SLOTS:
    void onUrlChanged(const QUrl &url);
    void onReloading(const QUrl &url);

private:
    void makeStandIn();
    void show(const QUrl &url, const QByteArray &method, const QByteArray &contentType, const QByteArray &body,
              bool keepScroll);
    void standInFetch(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                      const QByteArray &body);
    void asked(const QUrl &url, bool keepScroll);
    void standInLoaded();

    QPointer<QWidget> m_view;
    QUrl m_url;
    QString m_standInTitle;
    bool m_engine = false;
    QString m_untitledName;
    QUrl m_origin; // the server's, where the pages shown come from
    QObject *m_fetcher = nullptr; // the stand-in's network access
    quint64 m_pageSerial = 0;
    QUrl m_asked; // where the last call here sent the browser
    std::optional<QPointF> m_standInScroll;
};

} // namespace platform
