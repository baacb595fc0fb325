#pragma once

#include "exif/ExifInfo.h"
#include "files/FileList.h"
#include "files/ui/MainWindowControls.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/RuleSettings.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

namespace tarvello::browser {
class FileView;
class FolderTree;
}

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::files {
class FileOps;
struct RenamePlan;
struct RenameReport;
struct RenameRun;
struct UndoReport;
}

namespace tarvello::files::ui {

// The program's main window: the folder browser, the list of files with their
// new names, the rule and its options, and the commands.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    frmMain(app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent = nullptr);
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

    // Appends a row for the file, computes its new name from the rule and
    // options on the window and writes it into the row. The file's position in
    // the list is its counter index, so files come in list order. True only
    // after the $REPP position error (shown once): the caller stops adding.
    bool affiche_nom(const QString &path);

    // Recomputes every new name in list order, the identical-name table
    // emptied first. Does nothing while a recomputation runs or when the
    // automatic refresh box is off (the count label is still rewritten).
    void update_names();

    // Brackets a run of affiche_nom calls (an add of many files): they share
    // one reading of the rule and of the folders, and their rows reach the
    // list together at flushNames() and endNames(), not one by one.
    void beginNames();
    void flushNames();
    void endNames();

    // The table of new names seen since the last full recomputation.
    rules::IdenticalNameTable &identicalNames() { return m_identical; }

    // The rule and its options as the window's controls hold them now.
    rules::RuleSettings ruleFromControls() const;

    // Selects exactly these rows of the file list (0-based), the last scrolled into view.
    void selectRows(const QList<int> &rows);

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
    void connectRuleOptions();
    void showTipTopic(int index);
    void colourRefreshBox();
    void showComment(const QString &comment, const QString &filter);

    struct NameBatch;

    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    MainWindowControls m_ui;
    FileListModel m_files;
    browser::FolderTree *m_tree = nullptr;
    browser::FileView *m_fileView = nullptr;
    rules::SystemClock m_clock;
    rules::DiskFileFacts m_fileFacts;
    exif::NoExifSource m_exif;
    rules::IdenticalNameTable m_identical;
    std::unique_ptr<NameBatch> m_batch;
    // update_names is running: a nested call returns at once.
    bool m_updating = false;
    // Set at the first activation: from then on, changes of the rule controls recompute.
    bool m_ready = false;
    // The window is closing on the program's own request; no second quit.
    bool m_closing = false;

    // The rename operation, its stop and undo, and the recovery of a rename
    // cut short (frmMain_Rename.cpp).
public:
    // The rename button: drops the entries the rule leaves alone, checks the
    // counter's width, plans every path (making the folders new names ask
    // for), lets the user review the conflicts, renames the others in two
    // phases, resets the rule and counter as the options say and prepares
    // the further passes. A rename cut short that waits is offered first.
    void cmdRenommer_Click();
    // Asks message 20; Yes stops the running rename or undo before its next
    // file (the files already on their way still reach a name).
    void cmdRenommerStop_Click();
    // The undo command: asks, then gives the files of the last rename their
    // old names back and tells which could not.
    void cmdDefaire_Click();
    // When a rename cut short waits: asks whether to recover it now and, on
    // Yes, does and tells how it went. False when none waits.
    bool offerRecovery();
    // True while a rename or an undo runs: the list must not change meanwhile.
    bool renameRunning() const { return m_renaming; }

private:
    class RenameSession;

    void connectRenameCommands();
    void translateRenameCommands();
    bool undoAvailable() const;
    void renameTheList();
    std::optional<QList<FileEntry>> entriesToRename();
    bool reviewConflicts(const RenamePlan &plan);
    RenameRun runRenameOf(const RenamePlan &plan, FileOps &fs);
    void resetRuleAfterRename(int count);
    void showRenameEnd();
    void addFurtherPasses(const RenamePlan &plan, const RenameReport &report);
    void showRenameProblems(const RenameRun &run);
    bool confirmUndo();
    void dropUndoneEntries(const UndoReport &undo);
    void showEntryCount();
    void closeIfAskedDuringRename();

    // A rename or an undo runs.
    bool m_renaming = false;
    // The rename stop flag, set by cmdRenommerStop.
    bool m_renameStop = false;
    // The window was closed while a rename ran: it closes once the rename ends.
    bool m_closeAfterRename = false;
    // The conflict review's answer: "" to go on, "ANNULER" to cancel.
    QString m_answer;
};

} // namespace tarvello::files::ui
