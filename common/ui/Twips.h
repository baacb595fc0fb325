#pragma once

class QWidget;

// Window geometry is stored and specified in twips (1/1440 inch): 15 twips a
// pixel at 96 dpi, scaled by the screen's logical dpi.
namespace tarvello::common::ui {

// Twips per pixel on the screen of the widget (the primary screen when null).
double twipsPerPixel(const QWidget *widget = nullptr);

// Pixels for a length in twips, to the nearest pixel.
int twipsToPixels(double twips, const QWidget *widget = nullptr);

// Twips for a length in pixels.
double pixelsToTwips(int pixels, const QWidget *widget = nullptr);

} // namespace tarvello::common::ui
