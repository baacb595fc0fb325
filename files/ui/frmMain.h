#pragma once

#include "files/FileList.h"
#include "files/ui/MainWindowControls.h"

#include <QMainWindow>

#include <functional>

namespace tarvello::browser {
class FileView;
class FolderTree;
}

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::files::ui {

// The program's main window: the folder browser, the list of files with their
// new names, the rule and its options, and the commands.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(app::AppContext &context, QWidget *parent = nullptr);
    ~frmMain() override;

    MainWindowControls &controls() { return m_ui; }
    FileListModel &fileList() { return m_files; }
    browser::FolderTree &TreeView1() { return *m_tree; }
    browser::FileView &ListView1() { return *m_fileView; }

    // The folder the folder tree shows (full path, no trailing separator).
    QString CurrentPath() const;
    // Opens the folder tree on a folder.
    void setCurrentPath(const QString &folder);
    // The display filter of the file view (space-separated patterns).
    void setPattern(const QString &pattern);

    // Fills the controls from the settings: geometry, rule and options, the
    // memorised rules, the replacement aids, the filter and start folder.
    void pushSettings();
    // Reads the window's state back into the settings before they are saved.
    void pullSettings();

    // Title: program name, version and the running total of renamed files.
    void refreshTitle();
    // The label that names the chosen Exif reader.
    void showExifToolUsed();

    // Translates the window and sets the texts that come from messages.
    void translate();

    // Switches the window between its states: idle (true, false, false),
    // adding (false, true, false: only the stop button acts), recomputing
    // (false, false, false) and renaming (false, false, true: only the rename
    // stop button acts).
    void objetOnOff(bool on, bool showStop, bool renaming);

    // Called when the user leaves: the quit confirmation (quitButton) or any
    // other way of closing the window; the owner saves and ends the program.
    std::function<void()> onQuitRequested;
    std::function<void()> onQuitButton;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Activate();
    void setButtonImages();
    void showTipTopic(int index);
    void colourRefreshBox();
    void showComment(const QString &comment, const QString &filter);

    app::AppContext &m_context;
    MainWindowControls m_ui;
    FileListModel m_files;
    browser::FolderTree *m_tree = nullptr;
    browser::FileView *m_fileView = nullptr;
    // Set at the first activation: from then on, changes of the rule controls recompute.
    bool m_ready = false;
    // The window is closing on the program's own request; no second quit.
    bool m_closing = false;
};

} // namespace tarvello::files::ui
