#pragma once

#include "rename/FileOps.h"
#include "rename/RenameExecutor.h"
#include "rename/RenameHistory.h"
#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"
#include "rename/UndoRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The rename operation as its callers (the main window, the command line) run
// it: the journal around the two phases, the undo record after them, the
// recovery of a run cut short and the undo of the last rename. Every file of
// the program's own lives in the settings folder.
namespace tarvello::rename {

struct RenameRun {
    // The journal could not be begun, so nothing was renamed (EEXIST: an
    // interrupted rename waits for recovery; EBUSY: another process renames).
    int journalError = 0;
    RenameReport report;
    // The undo record could not be written (errno); the renames stand.
    int undoError = 0;
    // The history could not be written (errno); the renames stand.
    int historyError = 0;
};

// Runs a plan with its journal and, when files got new names, makes it the
// rename that undo takes back and writes it in the history at that time (an
// invalid time: now). The journal stays only when a file had to keep its
// temporary name.
RenameRun runRename(const RenamePlan &plan, const QString &settingsFolder, RenameObserver &observer,
                    FileOps &fs, const QDateTime &when = {});

// A rename stopped because the program was closing (a signal, the end of the
// session): the files it renamed and those it did not, kept in the settings
// folder until the next start tells them.
struct CutShortRun {
    int renamed = 0;
    int notRenamed = 0;
};

// Keeps the run for the next start; 0 or errno.
int noteCutShortRun(const QString &settingsFolder, const CutShortRun &run);
// The run kept, taken away so that it is told once; nullopt when none is kept.
std::optional<CutShortRun> takeCutShortRun(const QString &settingsFolder);

// True when a rename was cut short and waits for recovery.
bool interruptedRenameWaiting(const QString &settingsFolder);

// Recovers the interrupted rename, if any: every file to its new or its old
// name. The files found at their new names become the rename undo takes back
// and a run of the history;
// after an interrupted undo, the files it took back leave the undo record and
// the others stay in it. The journal goes, unless a file had to stay under
// its temporary name, a file is at none of its paths or the journal cannot be
// read (it is then kept for another attempt).
RecoveryReport recoverInterruptedRename(const QString &settingsFolder, FileOps &fs);

// The two records of the program's own that an operation acts on.
enum class RecordKind {
    Journal, // the rename journal: it blocks every rename while it waits
    Undo,    // the undo record
};

// A record that is there but that the program refuses to act on: damaged,
// edited, cut short, of an older form or unreadable.
struct DamagedRecord {
    RecordKind kind = RecordKind::Journal;
    QString path;
    int error = 0;            // EBADMSG, or why it could not be opened
    QList<FileToCheck> files; // what it still names that is worth a look
};

// The record of that kind when it is there and cannot be used; nullopt when
// it is absent or sound.
std::optional<DamagedRecord> damagedRecord(RecordKind kind, const QString &settingsFolder, FileOps &fs);

struct SetAsideResult {
    QString path;       // the record
    int error = 0;      // ENOENT: no such record; EBUSY: an operation runs; else errno
    bool sound = false; // the record can be used, so it stays where it is
    QString asidePath;  // where the record now is
};

// Moves a damaged record to a dated name beside it, never deleting it, so
// that renames (for the journal) or undos work again. A sound record stays.
SetAsideResult setAsideRecord(RecordKind kind, const QString &settingsFolder);

struct UndoReport {
    bool nothingToUndo = false;
    int recordError = 0;           // the undo record could not be read
    int journalError = 0;          // as in RenameRun: nothing was undone
    QList<UndoPair> movedSince;    // no longer at their new path: left alone
    RenamePlan plan;               // the way back; its held-back positions were not undone
    RenameReport report;
    int historyError = 0;          // the history could not be written (errno)

    // Every file of the record went back.
    bool complete() const
    {
        return recordError == 0 && journalError == 0 && movedSince.isEmpty() && report.renamed == int(plan.entries.size());
    }
};

// The undo record read under the rename lock, which it holds until it goes:
// the window asks whether to undo between the reading and the undo, and no
// other process may rename (and replace the record) in between. A million
// pairs take seconds to read, so they are read once for both.
class PendingUndo
{
public:
    explicit PendingUndo(const QString &settingsFolder);
    PendingUndo(const PendingUndo &) = delete;
    PendingUndo &operator=(const PendingUndo &) = delete;

    // As UndoReport::journalError: EBUSY when another process renames.
    int lockError() const { return m_lock.error(); }
    // As UndoReport::recordError: the record is damaged or unreadable.
    int recordError() const { return m_recordError; }
    // The files the record names (0 as well when it cannot be used).
    qsizetype count() const { return m_pairs ? m_pairs->size() : 0; }

private:
    friend UndoReport undoLastRename(PendingUndo &pending, RenameObserver &observer, FileOps &fs,
                                     const QDateTime &when);
    QString m_settingsFolder;
    RenameLock m_lock;
    int m_recordError = 0;
    std::optional<QList<UndoPair>> m_pairs;
};

// Brings every file of the last rename that is still where that rename put
// it back to its old path, through the same planning and two phases. What
// could not go back (a conflict, a failure, a stop) stays in the record for
// another attempt; files moved since are reported and dropped from it.
UndoReport undoLastRename(const QString &settingsFolder, RenameObserver &observer, FileOps &fs,
                          const QDateTime &when = {});
// The same for a record already read; its pairs are used up.
UndoReport undoLastRename(PendingUndo &pending, RenameObserver &observer, FileOps &fs, const QDateTime &when = {});

// The same for run number (1 for the newest) of the history, one of its
// last RenameHistory::kUndoableRuns: the files of that run still where it
// put them go back. A number out of that range is nothing to undo. The
// undo record is left as it is: a file it names that this brings back is
// found moved since by the next undo.
UndoReport undoHistoryRun(const QString &settingsFolder, int number, RenameObserver &observer, FileOps &fs,
                          const QDateTime &when = {});

} // namespace tarvello::rename
