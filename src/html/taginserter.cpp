#include "html/taginserter.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/snippets.h"
#include "html/toolwindows.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace html {


namespace {

QPointer<TagInserter> g_window;

} // namespace

TagInserter::TagInserter(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("tagwiz"));
    setWindowTitle(QStringLiteral("Tag Inserter"));
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = platform::placeTwips(new QLabel(QStringLiteral("Tag Name"), this), "Label1", 120, 120, 750, 195);
    Text1 = platform::placeTwips(new QLineEdit(this), "Text1", 960, 120, 3495, 285);
    Label1->setBuddy(Text1); // named after its label
    rtf1 = platform::placeTwips(new platform::RichTextBox(this), "rtf1", 0, 480, 5415, 2055);
    rtf1->setAccessibleName(QStringLiteral("Tag content"));
    rtf1->setAccessibleDescription(
        QStringLiteral("The text to put inside the tag or comment; when empty, the document's selection"));
    // Tab moves on, as in every other box; the content is one text.
    rtf1->setTabChangesFocus(true);
    rtf1->installEventFilter(this);
    Command2 = platform::placeTwips(new QPushButton(QStringLiteral("&Insert Tag"), this), "Command2", 120, 2640, 975, 375);
    Command4 = platform::placeTwips(new QPushButton(QStringLiteral("Comments"), this), "Command4", 1200, 2640, 1095, 375);
    Command4->setAccessibleDescription(QStringLiteral("Insert the content as an HTML comment"));
    Command1 = platform::placeTwips(new QPushButton(QStringLiteral("Get Text"), this), "Command1", 2400, 2640, 975, 375);
    Command1->setAccessibleDescription(QStringLiteral("Put the document's selected text into the content box"));
    Command5 = platform::placeTwips(new QPushButton(QStringLiteral("Reset"), this), "Command5", 3480, 2640, 855, 375);
    Command3 = platform::placeTwips(new QPushButton(QStringLiteral("&Close"), this), "Command3", 4440, 2640, 975, 375);
    platform::layoutForm(this, 5520, 3105);

    // Text1, rtf1, (Label1), Command2, Command3, Command1, Command4, Command5.
    setTabOrder(Text1, rtf1);
    setTabOrder(rtf1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command1);
    setTabOrder(Command1, Command4);
    setTabOrder(Command4, Command5);
    // Enter in the tag box inserts the tag, Escape closes.
    Command2->setDefault(true);
    platform::escapeClicks(this, Command3);

    connect(Command2, &QPushButton::clicked, this, &TagInserter::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &TagInserter::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &TagInserter::Command1_Click);
    connect(Command5, &QPushButton::clicked, this, &TagInserter::Command5_Click);
    connect(Command3, &QPushButton::clicked, this, &TagInserter::Command3_Click);

    // Load: the content box starts with the document's selection.
    platform::ignoreErrors([this] { rtf1->setText(frame::frmMain()->requireText().SelText()); });
}

TagInserter::~TagInserter() = default;

TagInserter *TagInserter::instance()
{
    return g_window.data();
}

TagInserter *TagInserter::openWindow()
{
    if (!g_window) {
        g_window = new TagInserter(frame::frmMain());
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

bool TagInserter::eventFilter(QObject *watched, QEvent *event)
{
    // Ctrl+Tab leaves the content box as Tab does, instead of typing a tab.
    if (watched == rtf1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && (key->modifiers() & Qt::ControlModifier)) {
            const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
            focusNextPrevChild(forward);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TagInserter::body() const
{
    const QString content = rtf1->Text();
    return content.isEmpty() ? frame::frmMain()->requireText().SelText() : content;
}

void TagInserter::Command2_Click()
{
    platform::endOnError([this] {
        const QString tag = Text1->text();
        insertFixed(QLatin1Char('<') + tag + QLatin1Char('>') + body() + QStringLiteral("</") + tag
                    + QLatin1Char('>'));
    });
}

void TagInserter::Command4_Click()
{
    platform::endOnError([this] { insertFixed(QStringLiteral("<!-- ") + body() + QStringLiteral(" -->")); });
}

void TagInserter::Command1_Click()
{
    // Without a document the box keeps what it holds.
    platform::ignoreErrors([this] { rtf1->setText(frame::frmMain()->requireText().SelText()); });
}

void TagInserter::Command5_Click()
{
    rtf1->setText(QString());
    Text1->clear();
}

void TagInserter::Command3_Click()
{
    close();
}

void registerTagInserterCommands()
{
    frame::addCommand(QStringLiteral("mnutagwiz"), [](frame::Tree) { TagInserter::openWindow(); });
}

} // namespace html
