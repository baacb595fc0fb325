#pragma once

#include <functional>

class QWidget;

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::app::ui {

// What the options dialog asks of the main window: how many files its list
// holds, the recomputation of their new names, and the redrawing of its
// thumbnails once what they show changed.
struct OptionHooks {
    std::function<int()> fileCount;
    std::function<void()> updateNames;
    std::function<void()> refreshThumbnails;
};

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

    // Shows the Exif tool choice over the main window (first run, no reader chosen yet).
    virtual void chooseExifTool(QWidget *mainWindow);
    // Starts and stops the resident exiftool of batch mode.
    virtual void startExifBatch();
    virtual void stopExifBatch();

    // Asks the maker's site whether a newer version exists, without holding
    // up the start; a newer one is offered over the main window.
    virtual void checkVersion(QWidget *mainWindow);

    // Opens the about box modally over the main window.
    virtual void showAbout(QWidget *mainWindow);

    // Opens the options dialog modally over the main window.
    virtual void showOptions(QWidget *mainWindow, const OptionHooks &hooks);
};

} // namespace tarvello::app::ui
