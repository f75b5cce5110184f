#include "syntax/palette.h"

#include <algorithm>
#include <cmath>

namespace syntax {

namespace {

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double worstContrast(const Palette &palette, const QColor &background)
{
    double worst = 21;
    for (int c = 1; c < int(TokenClass::Count); ++c)
        worst = std::min(worst, contrastRatio(palette.colour(TokenClass(c)), background));
    return worst;
}

} // namespace

// In class order: plain, keyword, variable, string, regex, number, comment,
// POD, data, tag, attribute name, attribute value, entity, HTML comment.
const Palette &lightPalette()
{
    static const Palette p({0, 0x1f2f9e, 0x7b2a8c, 0xa31515, 0x8b4000, 0x0b6e6e, 0x2e6b30, 0x55683a, 0x5f5f5f,
                            0x1a37c9, 0x964b0a, 0xa31515, 0x9b2a5f, 0x2e6b30});
    return p;
}

const Palette &darkPalette()
{
    static const Palette p({0, 0x8fb4ff, 0xe0a3f0, 0xf28b82, 0xf0b46e, 0x7fd6d0, 0x8cc98f, 0xb7c98a, 0xb0b0b0,
                            0x82aaff, 0xf0c27a, 0xf28b82, 0xf5a3c7, 0x8cc98f});
    return p;
}

const Palette &paletteFor(const QColor &background)
{
    return worstContrast(darkPalette(), background) > worstContrast(lightPalette(), background) ? darkPalette()
                                                                                                : lightPalette();
}

double relativeLuminance(const QColor &colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace syntax
