#pragma once

class QWidget;

// Twips conversions on the screen a widget stands on (the arithmetic is in
// common/Twips.h).
namespace tarvello::common::ui {

// Logical dpi of the widget's screen (the primary screen when null).
double logicalDpi(const QWidget *widget = nullptr);

// Pixels for a length in twips, to the nearest pixel.
int twipsToPixels(double twips, const QWidget *widget = nullptr);

// Twips for a length in pixels.
double pixelsToTwips(int pixels, const QWidget *widget = nullptr);

} // namespace tarvello::common::ui
