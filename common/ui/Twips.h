#pragma once

class QPaintDevice;

// Twips conversions on the screen a window or picture is drawn on (the
// arithmetic is in common/Twips.h).
namespace tarvello::common::ui {

// Logical dpi of the device (a widget, a picture; the primary screen when null).
double logicalDpi(const QPaintDevice *device = nullptr);

// Pixels for a length in twips, to the nearest pixel.
int twipsToPixels(double twips, const QPaintDevice *device = nullptr);

// Twips for a length in pixels.
double pixelsToTwips(int pixels, const QPaintDevice *device = nullptr);

} // namespace tarvello::common::ui
