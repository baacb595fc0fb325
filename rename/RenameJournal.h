#pragma once

#include "rename/FileOps.h"
#include "rename/RecordFormat.h"
#include "rename/RenameExecutor.h"
#include "rename/RenamePlan.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace tarvello::rename {

enum class JournalMark {
    FirstPhaseDone,
    CopyStarted, // a move to another file system begins for one position
    SecondPhaseDone,
};

// One position of a journal: the paths it moves through.
struct JournalEntry {
    int position = 0;
    QByteArray oldPath;
    QByteArray tempPath;
    QByteArray newPath;
    std::optional<FileIdentity> identity;
};

// What a journal's run does: a rename, or the undo of the last one.
enum class JournalKind {
    Rename,
    Undo,
};

struct JournalContent {
    JournalKind kind = JournalKind::Rename;
    QList<JournalEntry> entries;
    QSet<int> copying; // positions whose copy to another file system had begun
    bool firstPhaseDone = false;
    bool secondPhaseDone = false;
};

// The rename journal in the settings folder: the plan of the positions that
// run, on disk before the first file moves, so that a run cut short (a crash,
// a kill, a power cut) can be finished at the next start. Paths are stored as
// their bytes, so any name survives. Only one journal exists at a time: while
// one waits for recovery, no other rename can begin.
class RenameJournal
{
public:
    explicit RenameJournal(QString folder);

    QString path() const;
    bool exists() const;

    // Writes the plan's running positions and the run's kind and puts the
    // journal in place, both flushed to disk. 0 or errno; EEXIST when a
    // journal already waits, EINVAL when the plan is not one the journal can
    // hold (a path that is not absolute and clean, a temporary name not of the
    // planner's form).
    int begin(const RenamePlan &plan, JournalKind kind = JournalKind::Rename);

    // Appends a progress mark; a copy's mark is flushed to disk before the copy begins.
    void mark(JournalMark mark, int position = 0);

    // Removes the journal: the operation is over (or its leftovers are given up).
    int finish();

    // The journal's content; nullopt with error ENOENT when there is none,
    // EACCES when it cannot be opened, EBADMSG when it is not a journal as
    // this program writes it (damaged, edited, cut short, or of an older
    // form): such a journal is never acted on.
    std::optional<JournalContent> load(int *error = nullptr) const;

    // For a journal load refuses: the files it still names that are under a
    // temporary name (those found in its folders too), then those at a new
    // path whose old path is free. Nothing is moved.
    QList<FileToCheck> filesToCheck(FileOps &fs) const;

    // Removes the half-written journals and undo records of runs killed while
    // writing them.
    void removeUnfinishedWrites() const;

private:
    QString m_folder;
    // The checksum of the journal on disk, which its marks carry; known once
    // this object wrote or read it.
    mutable std::optional<quint32> m_seal;
};

// A file's move from its temporary path to its new one, as both the second
// phase and recovery make it: a copy to another file system is marked in the
// journal before it begins, so that recovery never takes a half-made copy for
// the file.
struct JournalledMove {
    int error = 0;
    bool copied = false;
    AttributesLost lost;
};
JournalledMove moveToNewPath(FileOps &fs, const QByteArray &from, const QByteArray &to, int position,
                             RenameJournal *journal);

// Held while an operation works with the journal (a rename, an undo, a
// recovery), so that another process cannot take a running rename for an
// interrupted one, nor run a second one beside it. The system lets it go when
// the process ends, however it ends.
class RenameLock
{
public:
    explicit RenameLock(const QString &folder);
    ~RenameLock();
    RenameLock(const RenameLock &) = delete;
    RenameLock &operator=(const RenameLock &) = delete;

    // 0 when held; EBUSY when another process holds it; else why it could not be taken.
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

// How a recovery ended.
struct RecoveryReport {
    bool busy = false;       // a rename is running in another process: nothing was touched
    bool found = false;      // a journal was waiting
    bool unreadable = false; // it could not be read; nothing was touched
    JournalKind kind = JournalKind::Rename;
    int atNew = 0;
    int atOld = 0;
    QList<JournalEntry> renamed;          // positions found at their new path (with the identity found there)
    QList<QByteArray> leftAtTemporary;    // files that could take neither name
    QList<QByteArray> incompleteCopies;   // new paths that may hold an unfinished copy
    QList<JournalEntry> missing;          // positions found at none of their paths
    QList<AttributesNotKept> attributesNotKept; // copies the recovery made

    // Every file is at its old or its new path and nothing is left to look at.
    bool complete() const
    {
        return !busy && !unreadable && leftAtTemporary.isEmpty() && incompleteCopies.isEmpty() && missing.isEmpty();
    }
};

// Brings every file of an interrupted run to its new path or back to its old
// path, from whatever point the run (or an earlier recovery) was cut at.
// Positions are finished in the second phase's order; a file whose new path is
// taken goes back, and so does any file that would take its old path. Never
// replaces a file, and removes a name only when it is a second name of the
// same file that a cut move left behind.
RecoveryReport recoverFromJournal(const JournalContent &content, FileOps &fs, RenameJournal *journal = nullptr);

} // namespace tarvello::rename
