#include "app/ui/StartupServices.h"

namespace tarvello::app::ui {

void StartupServices::showHelp(int) {}
void StartupServices::closeHelp() {}
void StartupServices::chooseExifTool(QWidget *) {}
void StartupServices::startExifBatch() {}
void StartupServices::stopExifBatch() {}
void StartupServices::checkVersion(QWidget *) {}
void StartupServices::showAbout(QWidget *) {}
void StartupServices::showOptions(QWidget *, const OptionHooks &) {}

} // namespace tarvello::app::ui
