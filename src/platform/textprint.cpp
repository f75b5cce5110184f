#include "platform/textprint.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
#include <QTextDocument>
#include <QTextFrame>

namespace platform {

void printText(QTextDocument &document, QPrinter *printer)
{
    // A document that already has a page size prints as it is laid out,
    // scaled to the printer; one without gets a page number at the foot of
    // every page. So the pages are made here: the printer's page at the
    // screen's resolution, with 2 cm margins.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
    const qreal dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
    const QRectF page = printer->pageRect(QPrinter::Inch);
    QTextFrameFormat frame = document.rootFrame()->frameFormat();
    frame.setMargin(2.0 / 2.54 * dpiY);
    document.rootFrame()->setFrameFormat(frame);
    document.setPageSize(QSizeF(page.width() * dpiX, page.height() * dpiY));
    document.print(printer);
}

} // namespace platform
