#include "platform/windowframe.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace platform {

namespace {

// What the window system reports: the frame Qt knows for the window's
// native window, once the window manager has framed it.
class SystemFrames : public WindowFrames
{
public:
    std::optional<QMargins> margins(const QWidget *window) override
    {
        const QWindow *handle = window ? window->windowHandle() : nullptr;
        if (!handle)
            return std::nullopt;
        const QMargins m = handle->frameMargins();
        if (m.isNull())
            return std::nullopt;
        return m;
    }
};

WindowFrames *g_replacement = nullptr;

// How far a frame may overhang the work area: a maximized window's border
// lies just outside it with some window managers.
constexpr int kOverhang = 24;
// The part of a window's top edge that must be on a screen to be grabbed.
constexpr int kGrip = 48;
constexpr int kTitleHeight = 24;
constexpr int kMinimumSide = 64;

QRect workAreaFor(const QRect &outer)
{
    QScreen *best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (QScreen *s : QGuiApplication::screens()) {
        const QRect common = outer.intersected(s->availableGeometry());
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = s;
        }
    }
    return best ? best->availableGeometry() : outer;
}

// Whether the strip along the window's top edge shows enough on some
// screen to grab the window by its title bar.
bool topEdgeReachable(const QRect &outer)
{
    const QRect strip(outer.left(), outer.top(), outer.width(), std::min(outer.height(), kTitleHeight));
    for (QScreen *s : QGuiApplication::screens()) {
        const QRect avail = s->availableGeometry();
        const QRect common = strip.intersected(avail);
        if (common.width() >= std::min(outer.width(), kGrip) && outer.top() >= avail.top() - kOverhang)
            return true;
    }
    return false;
}

// Places the window again once its frame is known; one per window.
class Placement : public QObject
{
public:
    Placement(QWidget *window, const QRect &outer) : QObject(window), m_window(window), m_outer(outer)
    {
        setObjectName(QStringLiteral("outerPlacement"));
        window->installEventFilter(this);
        // Some window managers tell the frame without any event reaching
        // the window: look for a while, then give up.
        m_poll.setInterval(50);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (++m_polls > 60)
                deleteLater();
            else
                check();
        });
        m_poll.start();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window) {
            switch (event->type()) {
            case QEvent::WindowStateChange:
                // Maximized or minimized by then: leave it to the user.
                if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
                    m_done = true;
                    deleteLater();
                }
                break;
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Expose:
                check();
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    void check()
    {
        if (m_done || !m_window || !m_window->isVisible())
            return;
        const std::optional<QMargins> frame = windowFrames().margins(m_window);
        if (!frame)
            return;
        m_done = true;
        m_poll.stop();
        const QRect inner = m_outer.marginsRemoved(*frame);
        if (m_window->geometry() != inner)
            m_window->setGeometry(inner);
        deleteLater();
    }

    QPointer<QWidget> m_window;
    QRect m_outer;
    QTimer m_poll;
    int m_polls = 0;
    bool m_done = false;
};

} // namespace

WindowFrames &windowFrames()
{
    static SystemFrames system;
    return g_replacement ? *g_replacement : system;
}

void setWindowFrames(WindowFrames *replacement)
{
    g_replacement = replacement;
}

QRect outerGeometry(const QWidget *window)
{
    if (!window)
        return QRect();
    if (const std::optional<QMargins> frame = windowFrames().margins(window))
        return window->geometry().marginsAdded(*frame);
    return window->frameGeometry();
}

QRect fitOnScreen(const QRect &outer)
{
    if (QGuiApplication::screens().isEmpty())
        return outer;
    QRect r = outer;
    r.setWidth(std::max(r.width(), kMinimumSide));
    r.setHeight(std::max(r.height(), kMinimumSide));
    const QRect avail = workAreaFor(r);
    // A size a little over the work area's is left alone (a frame may
    // overhang it); anything larger becomes the work area's.
    if (r.width() > avail.width() + 2 * kOverhang)
        r.setWidth(avail.width());
    if (r.height() > avail.height() + 2 * kOverhang)
        r.setHeight(avail.height());
    if (r.size() == outer.size() && topEdgeReachable(r))
        return r;
    // Off every screen, or larger than any: bring it inside the work area
    // it is nearest to.
    r.moveLeft(std::clamp(r.left(), avail.left(), std::max(avail.left(), avail.right() + 1 - r.width())));
    r.moveTop(std::clamp(r.top(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - r.height())));
    return r;
}

bool coversWorkArea(const QRect &outer)
{
    for (QScreen *s : QGuiApplication::screens()) {
        const QRect avail = s->availableGeometry();
        if (outer.contains(avail)
            && avail.marginsAdded(QMargins(kOverhang, kOverhang, kOverhang, kOverhang)).contains(outer))
            return true;
    }
    return false;
}

void placeOuter(QWidget *window, const QRect &outer)
{
    if (!window)
        return;
    const QRect target = fitOnScreen(outer);
    delete window->findChild<Placement *>(QStringLiteral("outerPlacement"), Qt::FindDirectChildrenOnly);
    if (const std::optional<QMargins> frame = windowFrames().margins(window)) {
        window->setGeometry(target.marginsRemoved(*frame));
        return;
    }
    // The frame is not known yet: the window's position is that of its
    // frame, and the inside takes the whole size until the frame is known.
    window->resize(target.size());
    window->move(target.topLeft());
    new Placement(window, target);
}

} // namespace platform
