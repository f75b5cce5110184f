#include "editing/clipboard.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
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
// The control's text counts a line break as CR LF; text on this system's
// clipboard breaks lines with LF alone.
QString clipboardText(const QString &selText)
{
    QString s = selText;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}
// The page viewer, when it is the active child window.
html::PageViewer *activeViewer()
{
    return qobject_cast<html::PageViewer *>(frame::frmMain()->activeChild());
}
} // namespace

void registerClipboardCommands()
{
    frame::addCommand(QStringLiteral("mnuEditCut"), [](frame::Tree) {
        // A page can't be cut: nothing happens, and the clipboard keeps
        // what it holds.
        if (activeViewer())
            return;
        ignoreErrors([] { clipboard()->clear(); });
        ignoreErrors([] { clipboard()->setText(clipboardText(text().SelText())); });
        ignoreErrors([] { text().setSelText(QString()); });
    });
    frame::addCommand(QStringLiteral("mnuEditCopy"), [](frame::Tree) {
        // In the page viewer, the text selected in the page, if any.
        if (html::PageViewer *viewer = activeViewer()) {
            const QString selected = viewer->brwWebBrowser->selectedText();
            if (!selected.isEmpty())
                clipboard()->setText(selected);
            return;
        }
        ignoreErrors([] { clipboard()->clear(); });
        ignoreErrors([] { clipboard()->setText(clipboardText(text().SelText())); });
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
