#include "common/ui/Twips.h"

#include "common/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarvello::common::ui {

double logicalDpi(const QWidget *widget)
{
    const QScreen *screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

int twipsToPixels(double twips, const QWidget *widget)
{
    return common::twipsToPixels(twips, logicalDpi(widget));
}

double pixelsToTwips(int pixels, const QWidget *widget)
{
    return pixels * common::twipsPerPixel(logicalDpi(widget));
}

} // namespace tarvello::common::ui
