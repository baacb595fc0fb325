#include "app/ui/Main.h"
#include "app/ui/StartupServices.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarvello"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarvello"));
    QApplication::setQuitOnLastWindowClosed(false);

    tarvello::app::ui::StartupServices services;
    tarvello::app::ui::Program program(QCoreApplication::applicationDirPath(),
                                       QCoreApplication::arguments().mid(1), services);
    if (!program.Main())
        return 0;
    return QApplication::exec();
}
