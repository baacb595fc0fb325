#include "common/ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace tarvello::common::ui {

double twipsPerPixel(const QWidget *widget)
{
    const QScreen *screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int twipsToPixels(double twips, const QWidget *widget)
{
    return int(std::lround(twips / twipsPerPixel(widget)));
}

double pixelsToTwips(int pixels, const QWidget *widget)
{
    return pixels * twipsPerPixel(widget);
}

} // namespace tarvello::common::ui
