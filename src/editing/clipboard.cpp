#include "editing/clipboard.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

#include <QClipboard>
#include <QGuiApplication>

namespace editing {

using platform::ignoreErrors;

namespace {
platform::RichTextBox &text()
{
    return frame::frmMain()->requireText();
}
QClipboard *clipboard()
{
    return QGuiApplication::clipboard();
}
} // namespace

void registerClipboardCommands()
{
    frame::addCommand(QStringLiteral("mnuEditCut"), [](frame::Tree) {
        ignoreErrors([] { clipboard()->clear(); });
        ignoreErrors([] { clipboard()->setText(text().SelText()); });
        ignoreErrors([] { text().setSelText(QString()); });
    });
    frame::addCommand(QStringLiteral("mnuEditCopy"), [](frame::Tree) {
        ignoreErrors([] { clipboard()->clear(); });
        ignoreErrors([] { clipboard()->setText(text().SelText()); });
    });
    frame::addCommand(QStringLiteral("mnuEditPaste"), [](frame::Tree) {
        QString s;
        ignoreErrors([&] { s = clipboard()->text(); });
        ignoreErrors([&] { text().setSelRTF(s); });
    });
    frame::addCommand(QStringLiteral("mnudelete"), [](frame::Tree) {
        ignoreErrors([] { text().setSelText(QString()); });
    });
    frame::addCommand(QStringLiteral("mnuSelectAll"), [](frame::Tree) {
        ignoreErrors([] { text().setSelStart(0); });
        ignoreErrors([] { text().setSelLength(text().TextLength()); });
    });
}

} // namespace editing
