#include "document/documentwindow.h"

#include "document/filemodel.h"
#include "editing/findform.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "files/recovery.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/ui.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTextDocument>

#include <algorithm>
#include <optional>

namespace document {

using platform::ignoreErrors;

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, int l, int t, int w, int h)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    platform::setTwipsGeometry(label, l, t, w, h);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Window);
    label->setForegroundRole(QPalette::WindowText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(0, 0, 0, 0);
    return label;
}

} // namespace

DocumentWindow::DocumentWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmDocument"));
    setAttribute(Qt::WA_DeleteOnClose);
    lblCurrLineNo = makeLabel(this, "lblCurrLineNo", 0, 0, 1365, 315);
    linetotal = makeLabel(this, "linetotal", 1080, 2520, 2775, 375);
    filesize = makeLabel(this, "filesize", 360, 2280, 3975, 375);
    filesize->setVisible(false);

    rtfText = new platform::RichTextBox(this);
    rtfText->setObjectName(QStringLiteral("rtfText"));
    platform::setTwipsGeometry(rtfText, 120, 120, 3000, 1995);
    rtfText->setAccessibleName(QStringLiteral("Document text"));
    setFocusProxy(rtfText);
    m_file = std::make_unique<FileModel>(rtfText);

    connect(rtfText, &platform::RichTextBox::Change, this, &DocumentWindow::rtfText_Change);
    connect(rtfText, &platform::RichTextBox::SelChange, this, &DocumentWindow::rtfText_SelChange);
    connect(rtfText, &platform::RichTextBox::KeyDown, this, &DocumentWindow::rtfText_KeyDown);
    connect(rtfText, &platform::RichTextBox::MouseDown, this, &DocumentWindow::rtfText_MouseDown);
    connect(rtfText, &platform::RichTextBox::KeyDown, this, &DocumentWindow::rtfText_QuickLinkKey);

    // Design client area 4680 by 3195 twips.
    platform::layoutForm(this, 4680, 3195, false);
    Load();
}

DocumentWindow::~DocumentWindow() = default;

QString DocumentWindow::caption() const
{
    return windowTitle();
}

void DocumentWindow::setCaption(const QString &caption)
{
    setWindowTitle(caption);
    // A screen reader tells documents apart by their text's name.
    rtfText->setAccessibleName(caption);
    if (QMdiSubWindow *sub = subWindow())
        sub->setWindowTitle(caption);
}

bool DocumentWindow::hasFile() const
{
    return caption().left(8) != QLatin1String("Untitled");
}

QMdiSubWindow *DocumentWindow::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

QSize DocumentWindow::sizeHint() const
{
    return QSize(platform::formX(this, 4680), platform::formY(this, 3195));
}

bool DocumentWindow::hasUnsavedEdits() const
{
    return m_file->hasUnsavedEdits();
}

void DocumentWindow::markSaved()
{
    m_file->setUnsavedEdits(false);
}

// ---------------------------------------------------------------- Load

void DocumentWindow::Load()
{
    frame::MainWindow *w = frame::frmMain();
    ignoreErrors([this] { Resize(); });
    if (!w)
        return;
    ignoreErrors([w] {
        w->menuItem(QStringLiteral("mnuhtmlpreview"))->setEnabled(true);
        w->quickItem(QStringLiteral("mnuhtmlpreview"))->setEnabled(true);
    });
    ignoreErrors([w] {
        w->menuItem(QStringLiteral("mnuhtmltags"))->setVisible(true);
        w->quickItem(QStringLiteral("mnuhtmltags"))->setVisible(true);
    });
    ignoreErrors([w] { w->menuItem(QStringLiteral("mnuautoinsert"))->setEnabled(true); });
    ignoreErrors([w] {
        w->menuItem(QStringLiteral("mnuedit"))->setVisible(true);
        w->quickItem(QStringLiteral("mnuedit"))->setVisible(true);
    });
    // The Script menu, of the main menu only, needs a document too.
    ignoreErrors([w] { w->menuItem(QStringLiteral("mnuScript"))->setVisible(true); });
    ignoreErrors([this] { filesize->setVisible(true); });
}

// ---------------------------------------------------------------- Resize

void DocumentWindow::Resize()
{
    // The three read-outs in a row along the top edge.
    ignoreErrors([this] { placeReadouts(); });
    // The text fills the rest; a window too small keeps the text where it
    // was. Positions are the form's twips, scaled with its font.
    const int top = std::max(platform::formY(this, 200), readoutsBottom());
    const int textW = width() - platform::formX(this, 100);
    const int textH = height() - top;
    if (textW < 0 || textH < 0)
        return;
    rtfText->setGeometry(platform::formX(this, 60), top, textW, textH);
    const int margin = platform::pixelsToTwipsX(textW) - 400;
    if (margin < 0)
        return;
    ignoreErrors([&] { rtfText->setRightMargin(margin); });
}

void DocumentWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Resize();
}

// ---------------------------------------------------------------- closing

void DocumentWindow::closeEvent(QCloseEvent *event)
{
    if (closePrompt())
        event->accept();
    else
        event->ignore();
}

bool DocumentWindow::closePrompt()
{
    if (!askToSaveChanges())
        return false;
    // Saved, or let go by the user: nothing to recover.
    files::recovery::forget(rtfText);
    frame::MainWindow *w = frame::frmMain();
    ignoreErrors([] { html::closePageViewer(); });
    if (w)
        w->framclean();
    return true;
}

bool DocumentWindow::askToSaveChanges()
{
    frame::MainWindow *w = frame::frmMain();
    // Ask while the changed marker is set, and also when this document's
    // own text has edits not saved, so that no typed text is lost without
    // a question.
    const bool markerSet = w && w->panelText(2) == QLatin1String("File - Changed");
    if (!markerSet && !hasUnsavedEdits())
        return true;
    const platform::Answer answer = platform::ui().messageBox(
        w, QStringLiteral(" Do You Want To Save Changes?"), QStringLiteral("File Has Changed"),
        platform::Buttons::YesNo, platform::Icon::None);
    // Escape and the close box are no answer: the text stays.
    if (answer == platform::Answer::Cancel)
        return false;
    return answer == platform::Answer::No || saveOnClose();
}

bool DocumentWindow::saveOnClose()
{
    return files::saveDocument(*this, files::SaveKind::OnClose) == files::SaveResult::Saved;
}

// ---------------------------------------------------------------- Quick Link

namespace {

// The Quick Link menu's rules: nothing while "Quick Link Off" is checked;
// otherwise the form holding the menu is loaded, and the menu pops up at
// the given place when there is one. Opened from the keyboard, its first
// item is highlighted, as menus opened by keys are (a screen reader then
// starts reading it).
void quickLink(std::optional<QPoint> at, bool byKeyboard = false)
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    ignoreErrors([&] {
        QAction *off = w->menuItem(QStringLiteral("mnqloff"));
        if (off && off->isChecked())
            return;
        QMenu *menu = w->frmlink()->mnun();
        if (!at)
            return;
        menu->popup(*at);
        if (byKeyboard && !menu->actions().isEmpty())
            menu->setActiveAction(menu->actions().constFirst());
    });
}

} // namespace

void DocumentWindow::rtfText_MouseDown(int button, int, int x, int y)
{
    quickLink(button == 2 ? std::optional<QPoint>(rtfText->viewport()->mapToGlobal(QPoint(x, y)))
                          : std::nullopt);
}

void DocumentWindow::rtfText_QuickLinkKey(int keyCode, int shift)
{
    // Shift+F10 and the Menu key: the keyboard's right button, at the caret.
    if ((keyCode == Qt::Key_F10 && shift == 1) || (keyCode == Qt::Key_Menu && shift == 0))
        quickLink(rtfText->viewport()->mapToGlobal(rtfText->cursorRect().bottomLeft()), true);
}

} // namespace document
