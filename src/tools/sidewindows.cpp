#include "tools/sidewindows.h"

#include "files/recovery.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/ui.h"
#include "platform/windowframe.h"
#include "tools/toolcommands.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>

#include <climits>
#include <cmath>
#include <optional>
#include <utility>

namespace tools {

using platform::pixelsToTwipsX;
using platform::pixelsToTwipsY;
using platform::twipsToPixelsX;
using platform::twipsToPixelsY;

namespace {

const QString kGeometry = QStringLiteral("Settings");

// The margins around the text control inside the window, in twips.
constexpr int kTextLeft = 40;
constexpr int kTextTop = 40;
constexpr int kTextSlack = 70; // left and right margins (top and bottom) together
constexpr int kWrapSlack = 400; // lines wrap this much short of the control's width

struct Design
{
    const char *form;
    const char *caption;
    const char *control;
    const char *accessibleName;
    const char *file;
    const char *keyPrefix;
    int left, top, width, height;
};

const Design kDesigns[] = {
    {"Sholder", "Code Keeper", "rtfText", "Code Keeper notes", "\\sholder.qz", "sholder", 1000, 1000, 3375,
     4815},
    {"appbar", "App-bar", "rtf1", "App-bar notes", "\\appbar.qz", "appbar", 1000, 1000, 6360, 1200},
};

const Design &design(SideWindow::Kind kind)
{
    return kDesigns[kind];
}

QPointer<SideWindow> g_windows[2];

QString key(SideWindow::Kind kind, const char *property)
{
    return QString::fromLatin1(design(kind).keyPrefix) + QLatin1String(property);
}

// A stored geometry value, or nothing when the value isn't a number that a
// window coordinate can hold.
std::optional<int> storedNumber(SideWindow::Kind kind, const char *property, int defaultValue)
{
    const QString text = platform::readSetting(kGeometry, key(kind, property), defaultValue).trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > double(INT_MAX))
        return std::nullopt;
    return int(std::lround(value));
}

// The bytes of a notes file, or nothing when there is no file to read.
std::optional<QByteArray> notesFileBytes(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

SideWindow::SideWindow(Kind kind, QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_kind(kind)
{
    const Design &d = design(kind);
    setObjectName(QString::fromLatin1(d.form));
    setWindowTitle(QString::fromLatin1(d.caption));
    setAttribute(Qt::WA_DeleteOnClose);
    // Escape closes the window as its close box does: the notes are saved.
    platform::escapeCloses(this);

    m_text = new platform::RichTextBox(this);
    m_text->setObjectName(QString::fromLatin1(d.control));
    m_text->setKeepsFormatting(true);
    m_text->setAccessibleName(QString::fromLatin1(d.accessibleName));

    // Design-time geometry; the stored values replace it one by one.
    m_outerTwips = {d.left, d.top, d.width, d.height};
    resize(twipsToPixelsX(d.width), twipsToPixelsY(d.height));
    m_textWidthTwips = pixelsToTwipsX(width()) - kTextSlack;
    layoutText();
}

SideWindow::~SideWindow() = default;

SideWindow *SideWindow::instance(Kind kind)
{
    return g_windows[kind].data();
}

SideWindow *SideWindow::open(Kind kind)
{
    SideWindow *w = g_windows[kind].data();
    if (w) {
        // Already open: only bring it forward; what is typed stays.
        if (w->isMinimized())
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->show();
        w->raise();
        w->activateWindow();
        return w;
    }
    w = new SideWindow(kind, frame::frmMain());
    g_windows[kind] = w;
    w->load();
    w->show();
    w->placeOuter();
    // A window manager reports its frame only some time after the window
    // appears; place the outer frame again once it is known.
    QTimer::singleShot(0, w, [w] {
        if (!w->isMinimized() && !w->isMaximized())
            w->placeOuter();
    });
    w->raise();
    w->activateWindow();
    return w;
}

QString SideWindow::contentFile() const
{
    return platform::writableProgramFile(QString::fromLatin1(design(m_kind).file));
}

void SideWindow::load()
{
    const Design &d = design(m_kind);
    if (const auto v = storedNumber(m_kind, "Left", d.left))
        m_outerTwips.left = *v;
    if (const auto v = storedNumber(m_kind, "Top", d.top))
        m_outerTwips.top = *v;
    // A negative size is refused, as the window system would.
    if (const auto v = storedNumber(m_kind, "Width", d.width); v && *v >= 0)
        m_outerTwips.width = *v;
    if (const auto v = storedNumber(m_kind, "Height", d.height); v && *v >= 0)
        m_outerTwips.height = *v;
    placeOuter();

    const QString path = contentFile();
    // What the file held when the window opened, to tell at close whether
    // another editor has written it since.
    m_loadedBytes = notesFileBytes(path);
    try {
        m_text->LoadFile(path);
    } catch (const platform::ControlError &) {
        // Missing or unreadable: the pane starts empty. Notes in a file that
        // exists but could not be read are not replaced by an untouched
        // empty pane when the window closes.
        const QFileInfo info(path);
        m_keepUnreadFile = info.exists() && info.isFile();
    }
    m_text->document()->setModified(false);
    files::recovery::watchNotes(m_text, objectName(), windowTitle());
}

void SideWindow::placeOuter()
{
    // Stored values are outer coordinates: the frame is part of the size,
    // and a window off every screen or larger than any comes back on one.
    platform::placeOuter(this, platform::twipsRect(m_outerTwips.left, m_outerTwips.top, m_outerTwips.width,
                                                   m_outerTwips.height));
}

void SideWindow::layoutText()
{
    const int width = pixelsToTwipsX(this->width()) - kTextSlack;
    const int height = pixelsToTwipsY(this->height()) - kTextSlack;
    // Too small an inner area: the control keeps its place and size.
    if (width >= 0 && height >= 0) {
        m_text->setGeometry(twipsToPixelsX(kTextLeft), twipsToPixelsY(kTextTop), twipsToPixelsX(width),
                            twipsToPixelsY(height));
        m_textWidthTwips = width;
    }
    if (m_textWidthTwips - kWrapSlack >= 0)
        platform::ignoreErrors([this] { m_text->setRightMargin(m_textWidthTwips - kWrapSlack); });
}

void SideWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutText();
}

void SideWindow::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        // Notes that could not be saved keep the window open.
        if (!saveNotes()) {
            event->ignore();
            return;
        }
        m_unloaded = true;
        files::recovery::forget(m_text);
        storeGeometry();
        // Unloaded: the next use loads a new window, even before this one
        // is deleted.
        if (g_windows[m_kind] == this)
            g_windows[m_kind] = nullptr;
    }
    event->accept();
}

bool SideWindow::saveNotes()
{
    QTextDocument *doc = m_text->document();
    // Unchanged notes leave their file exactly as it is (it may hold what
    // the pane can't show); only a first close with no file writes one.
    if (!doc->isModified() && (m_loadedBytes || m_keepUnreadFile))
        return true;
    const QString path = contentFile();
    const QString shownPath = QDir::toNativeSeparators(path);

    // Another editor wrote the notes since this window read them: they are
    // not replaced unless the user says so.
    const std::optional<QByteArray> onDisk = notesFileBytes(path);
    if (onDisk && onDisk != m_loadedBytes) {
        // Nothing new here: theirs stay as they are.
        if (!doc->isModified())
            return true;
        const QString text =
            QStringLiteral("The %1 notes in \"%2\" were changed by another editor after this window "
                           "opened them.\n\nReplace them with the notes in this window?\n\n"
                           "No keeps them and leaves this window open, so that you can copy what you need; "
                           "closing it again without a change then leaves the file as it is.")
                .arg(windowTitle(), shownPath);
        const platform::Answer answer = ask(text, platform::Icon::Warning);
        if (answer == platform::Answer::No)
            doc->setModified(false);
        if (answer != platform::Answer::Yes)
            return false;
    }

    QString reason;
    try {
        m_text->SaveFile(path);
        return true;
    } catch (const platform::ControlError &e) {
        reason = e.message();
    } catch (const std::exception &e) {
        platform::reportUnexpectedError(e.what());
        reason = QString::fromLocal8Bit(e.what());
    }
    if (reason.isEmpty())
        reason = QStringLiteral("Unknown error");
    // Not saved: the window stays open with its notes unless the user
    // chooses to let them go.
    const QString text = QStringLiteral("The %1 notes could not be saved to \"%2\":\n%3\n\n"
                                        "Keep this window open with its notes, so that you can copy them, "
                                        "or remove the cause and close it again?\n\n"
                                        "No closes it and the notes are lost.")
                             .arg(windowTitle(), shownPath, reason);
    return ask(text, platform::Icon::Warning) == platform::Answer::No;
}

platform::Answer SideWindow::ask(const QString &text, platform::Icon icon)
{
    platform::Answer answer = platform::Answer::Cancel;
    platform::ignoreErrors([&] {
        answer = platform::ui().messageBox(this, text, platform::appTitle(), platform::Buttons::YesNo, icon);
    });
    return answer;
}

void SideWindow::storeGeometry()
{
    // A minimized window leaves the stored geometry as it was.
    if (isMinimized())
        return;
    // Left, top, width, height of the outer frame.
    const QRect outer = platform::outerGeometry(this);
    const std::pair<const char *, int> values[] = {
        {"Left", pixelsToTwipsX(outer.left())},
        {"Top", pixelsToTwipsY(outer.top())},
        {"Width", pixelsToTwipsX(outer.width())},
        {"Height", pixelsToTwipsY(outer.height())},
    };
    for (const auto &v : values) {
        platform::ignoreErrors(
            [&] { platform::writeSetting(kGeometry, key(m_kind, v.first), QString::number(v.second)); });
    }
}

void registerSideWindowCommands()
{
    frame::addCommand(QStringLiteral("mnuholder"), [](frame::Tree) { SideWindow::open(SideWindow::CodeKeeper); });
    frame::addCommand(QStringLiteral("mnuappbar"), [](frame::Tree) { SideWindow::open(SideWindow::AppBar); });
    // Notes journaled by an editor that ended uncleanly come back into their pane.
    files::recovery::setNotesRestorer([](const QString &pane) {
        const SideWindow::Kind kind = pane == QLatin1String("appbar") ? SideWindow::AppBar : SideWindow::CodeKeeper;
        return SideWindow::open(kind)->text();
    });
}

} // namespace tools
