#include "editing/clipboard.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

#include <QTextDocument>

namespace editing {

using platform::ignoreErrors;

void registerTextSizeCommands()
{
    for (int i = 0; i < 10; ++i) {
        const double points = 9 + i;
        frame::addCommand(QStringLiteral("menusize%1").arg(i), [points](frame::Tree tree) {
            frame::MainWindow *w = frame::frmMain();
            platform::RichTextBox *box = w->activeText();
            // A size is not saved with the text: it doesn't make the
            // document's own text unsaved.
            const bool wasModified = box && box->document()->isModified();
            ignoreErrors([&] { w->requireText().setSelStart(0); });
            ignoreErrors([&] { w->requireText().setSelLength(w->requireText().TextLength()); });
            ignoreErrors([&] { w->requireText().setSelFontSize(points); });
            ignoreErrors([&] { w->requireText().setSelStart(0); });
            if (box && !wasModified)
                box->document()->setModified(false);
            if (tree == frame::Tree::Main)
                w->framclean();
        });
    }
}

} // namespace editing
