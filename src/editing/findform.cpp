#include "editing/findform.h"

#include "document/documentwindow.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace editing {

using platform::ignoreErrors;

namespace {
} // namespace

int &quickLinkCounter()
{
    return frame::frmMain()->quickLinkCounter();
}

FindForm::FindForm(QWidget *owner) : QDialog(owner, Qt::Dialog)
{
    setObjectName(QStringLiteral("frmlink"));
    setWindowTitle(QStringLiteral("Find"));
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(QStringLiteral("Find What?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    platform::setTwipsGeometry(Label1, 120, 120, 855, 255);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    platform::setTwipsGeometry(Text1, 1080, 120, 1935, 285);
    Label1->setBuddy(Text1);
    Command3 = new QPushButton(QStringLiteral("&Find"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    platform::setTwipsGeometry(Command3, 120, 720, 735, 375);
    Command1 = new QPushButton(QStringLiteral("Find &Next"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    platform::setTwipsGeometry(Command1, 1080, 720, 855, 375);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    platform::setTwipsGeometry(Command2, 2160, 720, 855, 375);
    platform::layoutForm(this, 3165, 1290);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    // Enter in the box finds, Escape closes.
    Command3->setDefault(true);
    platform::escapeClicks(this, Command2);

    connect(Command3, &QPushButton::clicked, this, &FindForm::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &FindForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FindForm::Command2_Click);
    connect(Text1, &QLineEdit::textChanged, this, [this] { Command1->setEnabled(true); });

    // The Quick Link menu, built afresh with the form.
    m_mnun = new QMenu(this);
    m_mnun->setObjectName(QStringLiteral("mnun"));
    m_menus = frame::buildQuickLinkMenus(m_mnun);
    frame::connectMenuCommands(m_menus, frame::Tree::QuickLink, this);

    // Load: the box gets the active document's selected text.
    ignoreErrors([this] { Text1->setText(frame::frmMain()->requireText().SelText()); });
    if (Text1->text().isEmpty())
        Command1->setEnabled(false);
}

FindForm::~FindForm() = default;

void FindForm::showFromMainMenu()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w->activeText())
        return;
    ignoreErrors([&] { Text1->setText(w->requireText().SelText()); });
    // A dialog of the main window: while it is active its own access keys
    // count, not the main window's.
    if (parentWidget() != w || windowType() != Qt::Dialog)
        setParent(w, Qt::Dialog);
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    show();
    raise();
    activateWindow();
}

void FindForm::showFromQuickLink()
{
    if (parentWidget())
        setParent(nullptr, Qt::Tool);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    placeForQuickLink();
    show();
    // The frame is known once the window is shown (with some window
    // managers only a moment later): the outer size is what counts.
    placeForQuickLink();
    QTimer::singleShot(0, this, [this] {
        if (!parentWidget() && isVisible())
            placeForQuickLink();
    });
}

void FindForm::placeForQuickLink()
{
    // Outer size 220 by 100 pixels at 300, 200; the size is the design
    // font's pixels, scaled with the form.
    const QSize frame = frameGeometry().size() - geometry().size();
    setFixedSize(platform::formX(this, 220 * 15) - frame.width(), platform::formY(this, 100 * 15) - frame.height());
    move(300, 200);
}

void FindForm::Command3_Click()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w->activeText())
        return;
    ignoreErrors([&] { m_searchText = Text1->text(); });
    ignoreErrors([&] { giveKeyboardToDocument(); });
    ignoreErrors([&] { w->requireText().Find(m_searchText); });
}

void FindForm::giveKeyboardToDocument()
{
    frame::MainWindow *w = frame::frmMain();
    platform::RichTextBox &box = w->requireText();
    // Focus alone stays inside this dialog's window: the main window must
    // become the active one for typed keys to reach the document.
    w->activateWindow();
    if (document::DocumentWindow *doc = w->activeDocument())
        doc->setFocus();
    box.SetFocus();
}

void FindForm::Command1_Click()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w->activeText())
        return;
    // The next search starts where the current match ends, so no match
    // is skipped.
    ignoreErrors([&] {
        platform::RichTextBox &box = w->requireText();
        box.setSelStart(box.SelStart() + box.SelLength());
    });
    ignoreErrors([&] {
        platform::RichTextBox &box = w->requireText();
        box.Find(m_searchText, -1, box.TextLength());
    });
    ignoreErrors([&] { giveKeyboardToDocument(); });
}

void FindForm::Command2_Click()
{
    close();
}

void registerFindCommands()
{
    frame::addCommand(QStringLiteral("menufind"), [](frame::Tree tree) {
        frame::MainWindow *w = frame::frmMain();
        if (tree == frame::Tree::Main) {
            if (!w->activeText())
                return;
            w->frmlink()->showFromMainMenu();
        } else {
            w->frmlink()->showFromQuickLink();
        }
    });
}

} // namespace editing
