#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace platform {

// Window geometry is kept in twips (1/1440 inch), converted with the
// screen's logical DPI.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
int pixelsToTwipsX(int pixels);
int pixelsToTwipsY(int pixels);

// A rectangle given in twips, in pixels; any values, absurd ones
// included, give a rectangle whose edges can be computed.
QRect twipsRect(int left, int top, int width, int height);

// Names a control and places it at a rectangle given in twips.
template <typename W>
W *placeTwips(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

// Moves a window so that its frame is centred over another window's.
void centreOver(QWidget *window, const QWidget *over);

} // namespace platform
