#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>

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

} // namespace platform
