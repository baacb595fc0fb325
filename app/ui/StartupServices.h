#pragma once

class QWidget;

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::app::ui {

// What start-up, the exit path and the main window ask of windows and readers
// that live in other parts of the program. The program installs the real ones;
// a part not built yet keeps its default here.
class StartupServices
{
public:
    virtual ~StartupServices() = default;

    // The program's message box, shared by every window for the run.
    virtual lang::MsgBox &msgBox() = 0;

    // Opens the help of the current language at a topic.
    virtual void showHelp(int topic);
    // Closes the help window opened by showHelp, if one is open.
    virtual void closeHelp();

    // Shows the Exif tool choice (first run, no reader chosen yet).
    virtual void chooseExifTool();
    // Starts and stops the resident Exif reader.
    virtual void startExifBatch();
    virtual void stopExifBatch();

    // Asks the maker's site whether a newer version exists, without holding
    // up the start; a newer one is offered over the main window.
    virtual void checkVersion(QWidget *mainWindow);

    // Opens the about box modally over the main window.
    virtual void showAbout(QWidget *mainWindow);
};

} // namespace tarvello::app::ui
