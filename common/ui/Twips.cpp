#include "common/ui/Twips.h"

#include "common/Twips.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QScreen>

namespace tarvello::common::ui {

double logicalDpi(const QPaintDevice *device)
{
    if (device)
        return device->logicalDpiX();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

int twipsToPixels(double twips, const QPaintDevice *device)
{
    return common::twipsToPixels(twips, logicalDpi(device));
}

double pixelsToTwips(int pixels, const QPaintDevice *device)
{
    return pixels * common::twipsPerPixel(logicalDpi(device));
}

} // namespace tarvello::common::ui
