#pragma once

#include "rename/FileOps.h"
#include "rename/RenamePlan.h"

#include <QByteArray>
#include <QList>

namespace tarvello::rename {

class RenameJournal;

// What the window (or a terminal) does while a rename runs.
class RenameObserver
{
public:
    virtual ~RenameObserver() = default;
    // Before each position of both phases, step running from 1 to total
    // (twice the number of positions): show it and let pending events run.
    virtual void progress(int step, int total) {}
    // Asked before each position of the first phase only: the second phase
    // always brings every file out of its temporary name.
    virtual bool stopRequested() { return false; }
    // A position has its new name (called in the second phase's descending
    // order, so list rows can be removed by position).
    virtual void renamed(const PlannedRename &entry) {}
};

// Where a position ended.
enum class Outcome {
    Renamed,           // at its new path
    HeldBack,          // a conflict of the plan: untouched
    NotReached,        // the stop request came first: untouched
    Failed,            // not renamed; the file is at its old path
    LeftAtTemporary,   // neither the new nor the old path could be taken: at its temporary path
};

// The step at which a failure happened.
enum class FailureStage {
    ToTemporary,   // first phase: old path to temporary path
    ToNew,         // second phase: temporary path to new path
    TargetStayed,  // the new path is the old path of a file that could not move
};

struct RenameFailure {
    int position = 0;
    FailureStage stage = FailureStage::ToTemporary;
    int error = 0;        // errno of the failing operation (0 for TargetStayed)
    QByteArray oldPath;
    QByteArray newPath;
    QByteArray leftAt;    // the temporary path, for LeftAtTemporary
    QByteArray tempPath;  // the position's temporary path, wherever the file is
};

// A file carried to another file system whose copy could not keep all of
// the original's attributes.
struct AttributesNotKept {
    QByteArray path; // where the file now is
    AttributesLost lost;
};

struct RenameReport {
    QList<Outcome> outcomes; // outcomes[i] is position i + 1
    QList<RenameFailure> failures;
    QList<int> copied; // positions carried to another file system (a new file there)
    QList<AttributesNotKept> attributesNotKept;
    int renamed = 0;
    bool stopped = false;
};

// Runs the two phases: old to temporary path in ascending order, then
// temporary to new path in descending order, never replacing a file. A file
// whose new path cannot be taken goes back to its old path. The journal, when
// given, has already been begun; it receives the phase marks.
RenameReport executeRename(const RenamePlan &plan, RenameObserver &observer, FileOps &fs,
                           RenameJournal *journal = nullptr);

} // namespace tarvello::rename
