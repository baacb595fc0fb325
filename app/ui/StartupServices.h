#pragma once

#include <QString>

namespace tarvello::app::ui {

// What start-up and the exit path ask of windows and readers that live in
// other parts of the program. The program installs the real ones; a part not
// built yet keeps its default here.
class StartupServices
{
public:
    virtual ~StartupServices() = default;

    // Shows a message in the program's message box; returns the answer
    // (1 OK, 2 Annuler, 6 Oui, 7 Non, 8 Modifier).
    virtual int message(const QString &text, int style, const QString &title);

    // Opens the help of the current language at a topic.
    virtual void showHelp(int topic);
    // Closes the help window opened by showHelp, if one is open.
    virtual void closeHelp();

    // Shows the Exif tool choice (first run, no reader chosen yet).
    virtual void chooseExifTool();
    // Starts and stops the resident Exif reader.
    virtual void startExifBatch();
    virtual void stopExifBatch();

    // Asks the maker's site whether a newer version exists.
    virtual void checkVersion();
};

} // namespace tarvello::app::ui
