#pragma once

#include <QRect>
#include <QString>

class QFont;
class QWidget;

namespace platform {

// Window geometry is kept in twips (1/1440 inch), converted with the
// screen's logical DPI.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
int pixelsToTwipsX(int pixels);
int pixelsToTwipsY(int pixels);

// A rectangle given in twips, in pixels.
QRect twipsRect(int left, int top, int width, int height);

// Forms are designed in twips for an 8-point dialog font whose average
// character is 6 by 13 pixels at 96 dpi (its dialog base units). Shown
// with another font, a form's twips are scaled by the ratio of that font's
// average character size to the design's, the way dialog units scale, so
// that the form keeps its proportions. Where a caption would still not fit
// (a font's letters can be wider than its average says), the whole form
// grows further until every caption fits.
struct FormScale
{
    double x = 1.0;
    double y = 1.0;
};

// The ratio of a font's average character size to the design font's.
FormScale dialogUnitScale(const QFont &font);

// Gives a control its design rectangle in twips, and places it there.
void setTwipsGeometry(QWidget *control, int left, int top, int width, int height);

// Names a control and gives it its design rectangle in twips.
template <typename W>
W *placeTwips(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(widget, left, top, width, height);
    return widget;
}

// Lays out a form designed in twips: every control at its design
// rectangle and the form's inside at its design size, scaled for the
// form's font so that every caption fits. With fixed, the form keeps that
// size. Returns the scale used.
FormScale layoutForm(QWidget *form, int designWidth, int designHeight, bool fixed = true);

// The scale of a form laid out by layoutForm (1 by 1 for any other).
FormScale formScale(const QWidget *form);
// A length in a form's twips, in pixels.
int formX(const QWidget *form, double twips);
int formY(const QWidget *form, double twips);
// A rectangle in a form's twips, in pixels.
QRect formRect(const QWidget *form, int left, int top, int width, int height);

// Moves a window so that its frame is centred over another window's.
void centreOver(QWidget *window, const QWidget *over);

} // namespace platform
