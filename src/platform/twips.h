#pragma once

namespace platform {

// Window geometry is kept in twips (1/1440 inch), converted with the
// screen's logical DPI.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
int pixelsToTwipsX(int pixels);
int pixelsToTwipsY(int pixels);

} // namespace platform
