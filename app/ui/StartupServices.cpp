#include "app/ui/StartupServices.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvello::app::ui {

int StartupServices::message(const QString &text, int style, const QString &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    const int buttons = style % 16;
    const int icon = style - buttons;
    box.setIcon(icon >= 64 ? QMessageBox::Information
                : icon >= 48 ? QMessageBox::Warning
                : icon >= 32 ? QMessageBox::Question
                : icon >= 16 ? QMessageBox::Critical
                             : QMessageBox::NoIcon);
    if (buttons == 4)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    else if (buttons == 1)
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    else
        box.setStandardButtons(QMessageBox::Ok);
    switch (box.exec()) {
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    case QMessageBox::Cancel: return 2;
    default: return 1;
    }
}

void StartupServices::showHelp(int) {}
void StartupServices::closeHelp() {}
void StartupServices::chooseExifTool() {}
void StartupServices::startExifBatch() {}
void StartupServices::stopExifBatch() {}
void StartupServices::checkVersion() {}

} // namespace tarvello::app::ui
