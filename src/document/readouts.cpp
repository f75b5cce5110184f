#include "document/documentwindow.h"

#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/textfile.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>

namespace document {

using platform::ignoreErrors;

namespace {
const QString kChanged = QStringLiteral("File - Changed");

void setByteCount(frame::MainWindow *w)
{
    // The active document's byte read-out shows the size on disk of the
    // file the shared dialog last named.
    DocumentWindow *active = w->activeDocument();
    if (!active)
        return;
    active->filesize->setText(QStringLiteral("Total Bytes = ") + QString::number(dialogFileSize()));
    // How the document's file is written, shown where no text of its own
    // changes.
    active->filesize->setToolTip(platform::describeFormat(active->rtfText->fileFormat()));
}
} // namespace

qint64 dialogFileSize()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return 0;
    const QString name = w->dlgCommonDialog().FileName();
    if (name.isEmpty())
        return 0;
    const QFileInfo info(name);
    return info.isFile() ? info.size() : 0;
}

QString formatCount(qint64 n)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return n == 0 ? QString() : locale.toString(n);
}

void DocumentWindow::rtfText_Change()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    ignoreErrors([w] { setByteCount(w); });
    ignoreErrors([this] {
        linetotal->setText(QStringLiteral("Total Number Of Lines = ") + formatCount(rtfText->GetLineCount()));
    });
    ignoreErrors([this] {
        lblCurrLineNo->setText(QStringLiteral("Line Number = ") + formatCount(rtfText->LineFromChar() + 1));
        lblCurrLineNo->adjustSize();
    });
    w->setPanelText(2, kChanged);
}

void DocumentWindow::rtfText_SelChange()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    ignoreErrors([w] { setByteCount(w); });
    ignoreErrors([this] {
        lblCurrLineNo->setText(QStringLiteral("Line Number= ") + formatCount(rtfText->LineFromChar() + 1));
        lblCurrLineNo->adjustSize();
    });
}

void DocumentWindow::rtfText_KeyDown(int, int)
{
    if (frame::MainWindow *w = frame::frmMain())
        w->setPanelText(2, kChanged);
}

} // namespace document
