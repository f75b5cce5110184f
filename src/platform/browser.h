#pragma once

#include <QHash>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

namespace platform {

// Pages of a local folder are shown through an address scheme that the
// editor answers itself (no server, no network, no port): the folder is
// the site's root, so "/x.png" and "x.png" in a page name its files, and
// a script of the folder can answer requests the page makes.
struct LocalRequest
{
    QString folder;          // the site's folder; empty for a site without one
    QString path;            // "/name", decoded
    QByteArray query;        // as the page sent it, still encoded
    QByteArray method;       // "GET" or "POST"
    QByteArray contentType;  // of a POST body
    QByteArray body;
};

struct LocalResponse
{
    QByteArray mimeType;  // may carry parameters ("text/html; charset=utf-8")
    QByteArray body;
    QString file;         // when set, this file's bytes are the body
    QUrl redirect;        // when set, the browser goes there instead
    bool found() const { return !mimeType.isEmpty() || !file.isEmpty() || redirect.isValid(); }
};

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

    // The address of a path of a local folder's site.
    static QUrl localUrl(const QString &folder, const QString &path, const QByteArray &query = QByteArray());
    static bool isLocalUrl(const QUrl &url);
    // Shows a response as the page at a local address; a page without a
    // title is named untitledName.
    void showLocal(const QUrl &url, const LocalResponse &response, const QString &untitledName);
    // Shows a file as if it lay in a folder under a name, so that its
    // relative addresses resolve in that folder. The location stays the
    // file's, and a page without a title is named by its path.
    // keepScroll: the page is a new version of the one shown, and is
    // scrolled where that one is.
    void navigateAs(const QString &path, const QString &folder, const QString &name, bool keepScroll = false);
    void navigateKeepingScroll(const QString &path);

    // Requests a page makes for local addresses go to the handler first:
    // it returns true when it answers (now or later, through the reply);
    // otherwise the folder's file is served.
    using LocalReply = std::function<void(const LocalResponse &)>;
    using LocalHandler = std::function<bool(BrowserControl *, const LocalRequest &, const LocalReply &)>;
    static void setLocalHandler(LocalHandler handler);
    // A file of a local site as it is served; not found outside the folder.
    static LocalResponse localFile(const QString &folder, const QString &path);

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
    void onLocalRequest(int id, const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                        const QByteArray &body);

private:
    void makeStandIn();
    void answer(int id, const LocalResponse &response);
    void showInStandIn(const QUrl &url, const LocalResponse &response);
    void load(const QString &pathOrAddress, bool keepScroll);
    void showLocalPage(const QUrl &url, const LocalResponse &response, const QString &untitledName, bool keepScroll);
    void asked(const QUrl &url, bool keepScroll);
    void standInLoaded();

    QPointer<QWidget> m_view;
    QUrl m_url;
    QString m_standInTitle;
    bool m_engine = false;
    // A local page being shown: its response waits for the engine's
    // request of its path ("host/path").
    QHash<QString, LocalResponse> m_pending;
    QString m_untitledName;
    struct Shown
    {
        QString key;
        LocalResponse response;
    };
    Shown m_shown; // the local page shown last, as it was answered
    quint64 m_pageSerial = 0;
    QUrl m_asked; // where the last call here sent the browser
    std::optional<QPointF> m_standInScroll;
};

} // namespace platform
