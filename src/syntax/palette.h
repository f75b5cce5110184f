#pragma once

#include "syntax/tokens.h"

#include <QColor>

#include <array>

namespace syntax {

// One colour per token class (plain text keeps the control's own). Every
// colour has a contrast ratio of at least 4.5:1 (WCAG AA for body text)
// against the background it is made for.
class Palette
{
public:
    constexpr Palette(std::array<QRgb, size_t(TokenClass::Count)> rgb) : m_rgb(rgb) {}
    // Invalid for plain text.
    QColor colour(TokenClass cls) const
    {
        return cls == TokenClass::Plain ? QColor() : QColor::fromRgb(m_rgb[size_t(cls)]);
    }

private:
    std::array<QRgb, size_t(TokenClass::Count)> m_rgb;
};

// For light backgrounds (the control's white) and for dark ones.
const Palette &lightPalette();
const Palette &darkPalette();
// The one of the two that reads better on `background`.
const Palette &paletteFor(const QColor &background);

// WCAG 2 relative luminance and contrast ratio (1 to 21).
double relativeLuminance(const QColor &colour);
double contrastRatio(const QColor &a, const QColor &b);

} // namespace syntax
