#include "document/documentwindow.h"

#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/textfile.h"
#include "platform/twips.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>

#include <algorithm>

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

void DocumentWindow::placeReadouts()
{
    // Each at its place in the design, or further right where the one
    // before it would reach it with the largest numbers it can show.
    const QFontMetrics fm(lblCurrLineNo->font());
    const QString most = formatCount(9999999);
    const int lineWidth = fm.horizontalAdvance(QStringLiteral("Line Number = ") + most);
    const int linesWidth = fm.horizontalAdvance(QStringLiteral("Total Number Of Lines = ") + most);
    const int bytesWidth = fm.horizontalAdvance(QStringLiteral("Total Bytes = ") + QString::number(999999999));
    const int gap = fm.horizontalAdvance(QStringLiteral("  "));
    const int top = platform::formY(this, 5);
    const int height = fm.height();
    const int lineLeft = platform::formX(this, 100);
    const int linesLeft = std::max(platform::formX(this, 1700), lineLeft + lineWidth + gap);
    const int bytesLeft = std::max(platform::formX(this, 4000), linesLeft + linesWidth + gap);
    filesize->setGeometry(bytesLeft, top, std::max(platform::formX(this, 3975), bytesWidth), height);
    linetotal->setGeometry(linesLeft, top, std::max(platform::formX(this, 2775), linesWidth), height);
    lblCurrLineNo->move(lineLeft, top);
}

int DocumentWindow::readoutsBottom() const
{
    return platform::formY(this, 5) + QFontMetrics(lblCurrLineNo->font()).height();
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
