#include "html/inserter.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/toolwindows.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace html {


namespace {

QPointer<Inserter> g_window;

} // namespace

Inserter::Inserter(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frminsert"));
    setWindowTitle(QStringLiteral("Quillet Inserter"));
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = platform::placeTwips(new QLabel(QStringLiteral("This is the text you want to change"), this), "Label1", 240, 120,
                   2475, 195);
    Text1 = platform::placeTwips(new QLineEdit(this), "Text1", 120, 360, 3255, 285);
    Label1->setBuddy(Text1); // both boxes are named after their labels
    Label2 = platform::placeTwips(new QLabel(QStringLiteral("Enter What you want it to be changed to"), this), "Label2", 240,
                   720, 2880, 195);
    Text2 = platform::placeTwips(new QLineEdit(this), "Text2", 120, 960, 3255, 285);
    Label2->setBuddy(Text2);
    Command1 = platform::placeTwips(new QPushButton(QStringLiteral("Insert"), this), "Command1", 120, 1440, 855, 375);
    Command1->setAccessibleDescription(QStringLiteral("Replace the first occurrence of the text to change"));
    Command2 = platform::placeTwips(new QPushButton(QStringLiteral("Get Text"), this), "Command2", 1200, 1440, 1095, 375);
    Command2->setAccessibleDescription(QStringLiteral("Put the document's selected text into the first box"));
    Command3 = platform::placeTwips(new QPushButton(QStringLiteral("&Close"), this), "Command3", 2520, 1440, 855, 375);
    platform::layoutForm(this, 3510, 2070);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    // Enter in a box inserts, Escape closes.
    Command1->setDefault(true);
    platform::escapeClicks(this, Command3);

    connect(Command1, &QPushButton::clicked, this, &Inserter::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Inserter::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Inserter::Command3_Click);

    // Load: the search box starts with the document's selection.
    platform::ignoreErrors([this] { Text1->setText(frame::frmMain()->requireText().SelText()); });
}

Inserter::~Inserter() = default;

Inserter *Inserter::instance()
{
    return g_window.data();
}

Inserter *Inserter::openWindow(bool owned)
{
    frame::MainWindow *w = frame::frmMain();
    if (!g_window) {
        g_window = new Inserter(owned ? w : nullptr);
        // An unowned window would otherwise outlive the main window.
        if (!owned && w) {
            connect(w, &frame::MainWindow::closed, g_window.data(), &QWidget::close);
            connect(w, &QObject::destroyed, g_window.data(), &QObject::deleteLater);
        }
        platform::centreOver(g_window, frame::frmMain());
        g_window->show();
        // Now that the frame is known, centre the whole window.
        platform::centreOver(g_window, frame::frmMain());
    }
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

void Inserter::Command1_Click()
{
    platform::endOnError([this] {
        const QString find = Text1->text();
        const QString replacement = Text2->text();
        frame::MainWindow *w = frame::frmMain();
        platform::RichTextBox &box = w->requireText();
        // Found or not, the replacement goes over whatever is selected then.
        box.Find(find);
        box.setSelText(replacement);
        box.window()->activateWindow();
        box.SetFocus();
        w->setPanelText(2, QStringLiteral("File - Changed"));
    });
}

void Inserter::Command2_Click()
{
    platform::ignoreErrors([this] { Text1->setText(frame::frmMain()->requireText().SelText()); });
}

void Inserter::Command3_Click()
{
    close();
}

void registerInserterCommands()
{
    frame::addCommand(QStringLiteral("mnuautoinsert"), [](frame::Tree tree) {
        if (tree == frame::Tree::Main) {
            if (!frame::frmMain()->activeChild())
                return;
            Inserter::openWindow(true);
        } else {
            Inserter::openWindow(false);
        }
    });
    frame::addCommand(QStringLiteral("mnuinserter"), [](frame::Tree) { Inserter::openWindow(false); });
}

} // namespace html
