#pragma once

#include <QtGlobal>

// Window geometry is kept in twips (1/1440 inch), as the settings file and the
// windows' design sizes always were: 15 twips per pixel at 96 dpi.
namespace tarvello::common {

// Twips in one pixel of a screen with this logical dpi.
inline double twipsPerPixel(double logicalDpi)
{
    return 1440.0 / (logicalDpi > 0 ? logicalDpi : 96.0);
}

// A length in twips as whole pixels, rounded to the nearest.
inline int twipsToPixels(double twips, double logicalDpi)
{
    return qRound(twips / twipsPerPixel(logicalDpi));
}

// A length in pixels as whole twips.
inline int pixelsToTwips(double pixels, double logicalDpi)
{
    return qRound(pixels * twipsPerPixel(logicalDpi));
}

} // namespace tarvello::common
