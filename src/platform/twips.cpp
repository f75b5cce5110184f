#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double dpiX()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
double dpiY()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}
// Far beyond any screen, yet twice it still fits an int.
constexpr int kFar = 1 << 24;
} // namespace

int twipsToPixelsX(double twips)
{
    return int(std::lround(twips * dpiX() / 1440.0));
}

int twipsToPixelsY(double twips)
{
    return int(std::lround(twips * dpiY() / 1440.0));
}

int pixelsToTwipsX(int pixels)
{
    return int(std::lround(pixels * 1440.0 / dpiX()));
}

int pixelsToTwipsY(int pixels)
{
    return int(std::lround(pixels * 1440.0 / dpiY()));
}

QRect twipsRect(int left, int top, int width, int height)
{
    // Stored geometry may hold any number. Each side is kept far inside
    // the range a QRect can hold (kFar), so its edges never overflow.
    const auto x = [](int twips) { return std::clamp(twipsToPixelsX(twips), -kFar, kFar); };
    const auto y = [](int twips) { return std::clamp(twipsToPixelsY(twips), -kFar, kFar); };
    return QRect(x(left), y(top), x(width), y(height));
}

void centreOver(QWidget *window, const QWidget *over)
{
    if (!window || !over)
        return;
    const QPoint centre = over->frameGeometry().center();
    const QSize size = window->frameGeometry().size();
    window->move(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
}

} // namespace platform
