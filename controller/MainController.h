#pragma once

#include "controller/ListSort.h"
#include "controller/NameBatch.h"
#include "filelist/FileList.h"
#include "rename/LiveConflicts.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace tarvello::exif {
class ExifReader;
}

namespace tarvello::filelist {
struct CollectedFiles;
}

namespace tarvello::lang {
class Messages;
}

namespace tarvello::settings {
struct Settings;
}

namespace tarvello::rename {
class RenameObserver;
struct CounterCapacity;
struct CutShortRun;
struct DamagedRecord;
struct PlannedRename;
struct RecoveryReport;
struct SetAsideResult;
struct RenamePlan;
struct RenameReport;
struct RenameRun;
struct RuleAfterRename;
struct UndoReport;
}

namespace tarvello::controller {

// What the main job is doing. Only Idle takes new work; each other state
// offers at most its own stop.
enum class State {
    Idle,
    // Files go into the list; the stop request ends the add after its current file.
    Adding,
    // Every new name is computed again.
    Recomputing,
    // A rename runs; the stop request ends it before its next file.
    Renaming,
    // The last rename is undone; stopped as a rename is.
    Undoing,
    // A rename cut short is finished or rolled back.
    Recovering,
};

// Why a rename of the list does not start.
enum class RenameRefusal {
    EmptyRule,
    // A tab or a line break, which a paste can bring into the one-line rule box.
    ControlCharacter,
    // A character no name may hold (the rule box told so when it was typed).
    RefusedRule,
};

// The paths of files chosen by name in one folder: names are shown names,
// bytes the native names in the same order (a name without bytes is taken
// as its text).
QList<common::NativePath> chosenFiles(const QString &folder, const QStringList &names, const QList<QByteArray> &bytes);
// The native names of chosen thumbnails: a thumbnail is one of the file
// view's files, shown under the same name; one the view no longer shows
// takes the bytes of its text.
QList<QByteArray> thumbnailNativeNames(const QStringList &chosen, const QStringList &viewNames,
                                       const QList<QByteArray> &viewBytes);

// What the main job asks of whoever shows it (the main window, a test).
class ControllerUi
{
public:
    virtual ~ControllerUi() = default;
    // The state changed: the controls follow it.
    virtual void stateChanged(State state) = 0;
    // True when the new names follow every change of the rule (automatic refresh).
    virtual bool autoRefresh() const = 0;
    // Tells the position error (its message) or a run's first run-time error (its text).
    virtual void tellPositionError(const QString &message) = 0;
    virtual void tellRunError(const QString &text) = 0;
    // A recomputation of count files: begins (done 0), then pauses now and
    // then after done files: the progress moves and window events run (the
    // state is Recomputing, so nothing may change the list meanwhile).
    virtual void recomputeProgress(int done, int count) = 0;
    // A recomputation or an add ended: the progress goes, the count shows.
    virtual void workEnded() = 0;
    // A run of names put its last rows into the list.
    virtual void namesEnded() = 0;
    // An add pauses after done files (-1: while counting): the progress
    // moves and window events run, the stop button among them.
    virtual void addPaused(int done) = 0;
    // The add's progress runs over count files from minimum.
    virtual void addPlanned(int minimum, int count) = 0;
    // Whether to add the files found: under the folder shown and its
    // subfolders (folders is -1), or in the folders dropped.
    virtual bool askToAddFolders(int files, int folders) = 0;
    // Tells why a rename does not start.
    virtual void tellRenameRefused(RenameRefusal why) = 0;
    // True to rename although the counter is too narrow for the list.
    virtual bool acceptNarrowCounter(const rename::CounterCapacity &capacity) = 0;
    // The user's review of the plan's conflicts; true to go on.
    virtual bool reviewConflicts(const rename::RenamePlan &plan) = 0;
    // The frame a rename or an undo runs in (state is Renaming or Undoing):
    // it holds the state while it lives and follows each file. The run itself
    // goes on a thread of its own: stopRequested() is asked there, the
    // frame's other calls come on this thread.
    virtual std::unique_ptr<rename::RenameObserver> renameFrame(State state) = 0;
    // Whether to undo the last rename, of count files.
    virtual bool askUndo(int count) = 0;
    // Whether to recover the rename cut short now, and how it went.
    virtual bool askRecovery() = 0;
    virtual void tellRecovery(const rename::RecoveryReport &report) = 0;
    // The last run was stopped by the program's end: how far it went.
    virtual void tellCutShort(const rename::CutShortRun &run) = 0;
    // A record that cannot be read: whether to set it aside, and how that went.
    virtual bool askSetAside(const rename::DamagedRecord &record) = 0;
    virtual void tellSetAside(const rename::SetAsideResult &result) = 0;
    // The rows in conflict were counted again (their statuses are in the list).
    virtual void conflictsCounted(int count) {}
};

// The main job without a window: the list of files, the names the current
// rule gives them, and the state of the operation that runs on them.
class MainController
{
public:
    // settingsFolder holds the rename journal and the undo record ("" for none);
    // exif reads the photographs' metadata that rules ask for.
    MainController(settings::Settings &settings, const QString &settingsFolder, lang::Messages &messages, ControllerUi &ui,
                   exif::ExifReader &exif);

    State state() const { return m_state; }
    // Anything but idle: input that would change the list is refused.
    bool busy() const { return m_state != State::Idle; }
    // A rename or an undo runs: the list must not change.
    bool renaming() const { return m_state == State::Renaming || m_state == State::Undoing; }
    void setState(State state);

    filelist::FileList &files() { return m_files; }
    // The new names seen since the last full recomputation.
    rules::IdenticalNameTable &identicalNames() { return m_identical; }

    // Brackets a run of addName calls: they share one reading of the rule
    // and of the folders, and their rows reach the list together at
    // flushNames() and endNames(), not one by one.
    void beginNames();
    void flushNames();
    void endNames();
    // Appends a row for the file with the new name the rule gives it at the
    // end of the list. True only after the position error (told once): the
    // caller stops adding.
    bool addName(const QString &path);
    // The same for a file known by its bytes: a name that is not text is
    // shown with U+FFFD and read by the rule as Windows-1252.
    bool addFile(const common::NativePath &path);
    // Recomputes every new name in list order, the identical-name table
    // emptied first. Inside an add, it is made when the add ends; without
    // automatic refresh, only the count is shown again. A position error
    // (told once) leaves every entry in the list without a new name.
    void recompute();

    // Sorts the list and numbers its files again in their new order.
    void sortList(ListSort sort);

    // Marks every row whose new name would collide or is not valid, from the
    // names as they stand and one listing per target folder; the count goes
    // to the window. Made at the end of each run of names and after rows
    // leave the list.
    void checkConflicts();
    int conflictCount() const { return m_conflictCount; }

    // An add: the state, the stop request cleared, one run of names.
    void beginAdd();
    // Clears the stop request of the running add after a question asked during it.
    void resumeAdd();
    // The rows to the list, idle again, and the recomputation asked for meanwhile.
    void endAdd();
    // Adds the paths in order, those isNew accepts, pausing now and then;
    // false when the stop request or the position error ended it.
    bool addPaths(const QList<common::NativePath> &paths, const std::function<bool(const common::NativePath &)> &isNew);
    // The same for count paths that pathAt(i) makes as the add reaches them.
    bool addPaths(int count, const std::function<common::NativePath(int)> &pathAt,
                  const std::function<bool(const common::NativePath &)> &isNew);
    // Adds the files a scan collected, in order, pausing now and then; false
    // when the stop request or the position error ended it.
    bool addCollected(const filelist::CollectedFiles &collected);
    // The add of the files under a folder and its subfolders that the
    // pattern shows, once the user agrees to their number. Returns the
    // folders left out because their names are not text.
    QStringList addHierarchy(const QString &start, const QString &pattern);
    // The add of dropped paths: files at once, then, once the user agrees,
    // the files the pattern shows in the folders among them. Returns the
    // paths left out because they lie in folders whose names are not text.
    QStringList addDropped(const QList<QByteArray> &paths, const QString &pattern);
    // The add of files chosen in the file view: those whose names the list
    // does not hold yet, in any folder.
    void addChosen(const QList<common::NativePath> &paths);
    // The add of every file the file view shows, count files of one folder,
    // none twice, pathAt(i) making the path of the i-th: those whose path
    // the list does not hold.
    void addShown(int count, const std::function<common::NativePath(int)> &pathAt);
    // Lets window events run during an add; false once a stop was asked for.
    bool pauseAdd(int done);

    // Asks the running add, rename or undo to stop (after its current file).
    void requestStop() { m_stopRequested = true; }
    // The stop of a program that is closing: a rename it cuts short is told
    // at the next start, since no window is left to tell it now.
    void requestQuit()
    {
        m_stopRequested = true;
        m_quitRequested = true;
    }
    // Tells the run the last closing cut short, once.
    void tellCutShortRun();
    bool stopRequested() const { return m_stopRequested; }
    // A rename or an undo: the state, the stop request cleared; idle again at the end.
    void beginRename(State state);
    void endRename();
    // The rename of the list: drops the entries the rule leaves alone, checks
    // the counter's width, plans every path (making the folders new names ask
    // for), has the conflicts reviewed and runs the rename. The plan and the
    // run, when it ran.
    std::optional<std::pair<rename::RenamePlan, rename::RenameRun>> renameList(rename::FileOps &fs);
    // What the rule and counter become after a rename of count files, as the
    // options say; the rule record takes it, the window shows it.
    rename::RuleAfterRename takeRuleAfterRename(int count);
    // A file of the running rename reached its new name: its entry leaves
    // the list at the next dropRenamedRows(), and the running total grows.
    void noteRenamed(const rename::PlannedRename &entry);
    // Takes the rows renamed since the last call off the list. A row that no
    // longer holds its file stays rather than take another.
    void dropRenamedRows();
    // True when an undo record waits.
    bool undoAvailable() const;
    // A further pass when the passes box (its text) holds a number of 1 or
    // more: the files the rename gave their new names come back into the
    // list with the names the rule gives them now. Only files that now have
    // their new names come back (a new path held back by a conflict may be
    // another file, which was never listed), and no name twice. The passes
    // left, when a pass was made.
    std::optional<int> furtherPass(const QString &passesText, const rename::RenamePlan &plan,
                                   const rename::RenameReport &report);
    // The undo of the last rename, once confirmed; the entries of the files
    // it moved away leave the list. The report when it ran.
    std::optional<rename::UndoReport> undo();
    // The undo of run number (1 for the newest) of the rename history, which
    // the user has chosen and confirmed; the entries of the files it moved
    // away leave the list.
    rename::UndoReport undoHistoryRun(int number);
    // When a rename cut short waits: asks whether to recover it now and, on
    // yes, does and tells how it went; when its journal cannot be read,
    // offers to set it aside instead. False when none waits.
    bool offerRecovery();

private:
    void addRenamedBack(const rename::RenamePlan &plan, const rename::RenameReport &report);
    // Takes out the entries of files an undo moved away: they name nothing now.
    void dropUndone(const rename::UndoReport &undo);
    // Tells which files a damaged record names and, on yes, sets it aside.
    void offerSetAside(const rename::DamagedRecord &record);
    // Drops the entries whose file is no longer at their path.
    void dropMissingFiles();
    // True when the names of the running run, else of the rule, read the
    // photographs' metadata.
    bool namesReadExif() const;
    // Has the files' photographs read ahead.
    void readAhead(const QList<filelist::FileEntry> &files);
    // Hands the conflict check the names of the folders an add read since began.
    void keepFolderNames(filelist::CollectedFiles &collected, qint64 began);
    // Queues the row of a file of the running run, and tells its error when it is to be told.
    void showName(filelist::FileEntry file, const NameStep &step);

    settings::Settings &m_settings;
    const QString &m_settingsFolder;
    lang::Messages &m_messages;
    ControllerUi &m_ui;
    State m_state = State::Idle;
    // Asked by a rename's thread.
    std::atomic<bool> m_stopRequested = false;
    std::atomic<bool> m_quitRequested = false;
    // A recomputation asked for while an add ran, made at its end.
    bool m_recomputeAfterAdd = false;
    filelist::FileList m_files;
    filelist::EntryMaker m_entryMaker;
    rules::SystemClock m_clock;
    rules::DiskFileFacts m_fileFacts;
    exif::ExifReader &m_exif;
    rules::IdenticalNameTable m_identical;
    std::optional<NameBatch> m_batch;
    QList<filelist::FileEntry> m_pending;
    rename::FileOps m_diskOps;
    rename::FolderListings m_listings{m_diskOps};
    int m_conflictCount = 0;
    // Rows renamed and not yet taken off, with the path each held.
    QList<std::pair<int, QString>> m_renamedRows;
};

} // namespace tarvello::controller
