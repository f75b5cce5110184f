// The main window's document operations: New document, the command-line
// open, and noticing files changed on disk when the editor or a document
// window becomes active.

#include "colouring/passes.h"
#include "document/filemodel.h"
#include "document/documentwindow.h"
#include "files/filecommands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace frame {

document::DocumentWindow *MainWindow::newdoc()
{
    return files::newDocument(m_documentCounter);
}

void MainWindow::openload()
{
    openload(m_commandLine);
}

void MainWindow::openload(const QString &text)
{
    using platform::ignoreErrors;
    // A folder, a device or a name that can't be written back opens no
    // window: nothing in it could ever be saved.
    if (files::refuseToOpen(text))
        return;
    document::DocumentWindow *doc = nullptr;
    ignoreErrors([&] { doc = newdoc(); });
    if (!doc)
        return;
    platform::RichTextBox &box = *doc->rtfText;
    bool loaded = false;
    ignoreErrors([&] {
        files::loadDocument(*doc, text);
        loaded = true;
    });
    // The caption names the file even when it could not be read; whatever
    // is there at the first save counts as changed since.
    if (!loaded)
        doc->file().attach(text);
    ignoreErrors([&] { doc->setCaption(text); });
    ignoreErrors([&] { colouring::htmlTagPass(box); });
    ignoreErrors([&] { colouring::editAreaPass(box); });
    ignoreErrors([&] { colouring::variablePass(box); });
    ignoreErrors([&] { colouring::commentPass(box); });
    ignoreErrors([&] { doc->filesize->setVisible(false); });
    ignoreErrors([&] {
        const bool on = platform::readSetting(QStringLiteral("settings"), QStringLiteral("setto"),
                                              QStringLiteral("on")) == QLatin1String("on");
        checkPair(menuItem(on ? QStringLiteral("mnucoloron") : QStringLiteral("mnucoloroff")), nullptr);
    });
    setPanelText(2, QString());
}

void MainWindow::watchFilesOnDisk()
{
    // Checked once control is back in the event loop, never inside the
    // activation itself (which may come from a closing question box).
    auto checkLater = [this](const QList<QPointer<document::DocumentWindow>> &docs) {
        QTimer::singleShot(0, this, [docs] {
            for (const QPointer<document::DocumentWindow> &doc : docs) {
                if (doc)
                    files::checkFileOnDisk(*doc);
            }
        });
    };
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [checkLater](QMdiSubWindow *sub) {
        if (auto *doc = sub ? qobject_cast<document::DocumentWindow *>(sub->widget()) : nullptr)
            checkLater({doc});
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this, checkLater](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            return;
        QList<QPointer<document::DocumentWindow>> docs;
        for (document::DocumentWindow *doc : documents())
            docs << doc;
        checkLater(docs);
    });
}

} // namespace frame
