#include "app/DataFolder.h"
#include "app/ui/Main.h"
#include "common/LargePages.h"
#include "dialogs/ui/ProgramServices.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    tarvello::common::shareOneHeap();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarvello"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarvello"));
    QApplication::setQuitOnLastWindowClosed(false);
    // The installed desktop entry and icon, which the desktop shows for the
    // program's windows (none in the build tree).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvello.Tarvello"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvello.Tarvello")));

    tarvello::dialogs::ui::ProgramServices services;
    tarvello::app::ui::Program program(tarvello::app::dataFolder(QCoreApplication::applicationDirPath()),
                                       QCoreApplication::arguments().mid(1), services);
    services.attach(program.context());
    if (!program.Main())
        return 0;
    return QApplication::exec();
}
