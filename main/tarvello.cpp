#include "app/ui/Main.h"
#include "dialogs/ui/ProgramServices.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarvello"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarvello"));
    QApplication::setQuitOnLastWindowClosed(false);

    tarvello::dialogs::ui::ProgramServices services;
    tarvello::app::ui::Program program(QCoreApplication::applicationDirPath(),
                                       QCoreApplication::arguments().mid(1), services);
    services.attach(program.context());
    if (!program.Main())
        return 0;
    return QApplication::exec();
}
