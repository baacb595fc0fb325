#pragma once

#include "filelist/FileList.h"
#include "rename/FileOps.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tarvello::settings {
struct Settings;
}
namespace tarvello::lang {
class Messages;
}

// Planning a rename: which rows take part, the paths of every position (old,
// temporary, new), the folders a new name asks for, and the positions that
// must be left alone. Nothing is renamed here; only folders are created.
namespace tarvello::rename {

// What the rename button reads besides the list.
struct RenameRequest {
    QString forbiddenFileText; // message 91, shown instead of a forbidden file's new name
    QString outsideFilterText; // message 97, shown for a file outside the rule's extension filter
    QString rule;
    QString startText; // txtDebut as typed ("#" in continuation mode)
    QString stepText;  // txtPas as typed
};

// The numbers of the counter-capacity question.
struct CounterCapacity {
    int digits = 0;   // d, every "#" of the rule
    QString largest;  // 10^d - 1
    qint64 last = 0;  // step x (n - 1) + start
    int needed = 0;   // m, the digits of last
};

enum class PrecheckOutcome {
    Ready,           // build the plan
    EmptyRule,       // message 37
    NothingToDo,     // an empty list or a rule of blanks: end without a message
    CounterTooSmall, // ask the capacity question; Yes builds the plan
};

struct Precheck {
    PrecheckOutcome outcome = PrecheckOutcome::NothingToDo;
    QList<int> dropped;       // 0-based rows to remove from the list first, ascending
    QList<filelist::FileEntry> entries; // the rows kept, in order: positions 1 to n
    CounterCapacity capacity; // filled for CounterTooSmall
};

// The checks made before any path is built. Throws VbError when the start or
// the step does not convert, as the operation's own error.
Precheck precheckRename(const QList<filelist::FileEntry> &list, const RenameRequest &request);

// The capacity question: message 32, message 33, a line break and message 34.
QString counterCapacityQuestion(lang::Messages &messages, const CounterCapacity &capacity);

// Why a position is left alone.
enum class Conflict {
    None,
    TargetExists,      // something has the new path and the operation does not move it away
    DuplicateTarget,   // another position gets the same new path, case ignored
    TargetHeldBack,    // the new path is, case ignored, the path of a file left in place
    InvalidName,       // an empty name, "." or "..", a NUL character, or a name too long
    NoFolderRoot,      // a folder part that starts neither with "." nor with a separator
    FolderUnavailable, // the folder of the new path could not be created
    DuplicateSource,   // the same file is listed twice
    InvalidSource,     // the old path is ".", "..", the root, or not written plainly
    RenamedInside,     // a folder holding (or receiving) an entry of the same operation
};

// One rename as asked, before planning.
struct PathPair {
    QByteArray oldPath;
    QByteArray newPath;
    bool makeFolder = false;          // create the new path's folder when it is missing
    Conflict preset = Conflict::None; // a fault found while reading the new name
};

// The old and new path of a list row. "$MKDIR" is only the rule's permission
// to make folders and leaves the name. "\" and "/" separate folders: a name
// with a folder part is relative to the file's folder when it starts with ".",
// a full path when it starts with a separator, refused otherwise (it would
// depend on the program's working folder).
PathPair pathPairFor(const filelist::FileEntry &entry);

// The same for a file known by the bytes of its path, which need not be valid
// text: the old path keeps them, and so does the folder of a new name without
// a folder part.
PathPair pathPairFor(const QByteArray &nativePath, const filelist::FileEntry &entry);

// The pairs of list rows, in order (the folder of a run of rows read once).
QList<PathPair> pathPairsFor(const QList<filelist::FileEntry> &entries);

// The path as new names are compared, without regard to case: its upper
// case, in bytes.
QByteArray caseKey(const QByteArray &path);

// Whether a new path ends in a name the system can give: not empty, not "."
// or "..", no NUL and at most 255 bytes.
bool validTarget(const QByteArray &newPath);

// One position of the operation. Its temporary path is made from its old
// path when needed (RenamePlan::temporaryPath): a plan of a million positions
// would hold a million more paths.
struct PlannedRename {
    QByteArray oldPath;
    QByteArray newPath;
    std::optional<FileIdentity> identity; // the file at the old path when planned
    int position = 0;
    Conflict conflict = Conflict::None;

    bool heldBack() const { return conflict != Conflict::None; }
};

// The identities of a plan's old paths, looked up on a thread of their own
// while the pairs are still being made: on a long run the lookups take
// longer than the names, and the plan would otherwise begin by waiting for
// them. Given each pair's old path in the pairs' order; the plan takes the
// identities and looks up again any path it was not given.
class IdentitiesAhead
{
public:
    // Room for at most the given number of paths; later ones are left to the plan.
    IdentitiesAhead(FileOps &fs, qsizetype most);
    ~IdentitiesAhead();
    IdentitiesAhead(const IdentitiesAhead &) = delete;
    IdentitiesAhead &operator=(const IdentitiesAhead &) = delete;

    void add(const QByteArray &oldPath);

    // Sets the identity of every entry, taking a share of the lookups still
    // to do rather than wait for them (once; later calls return at once).
    void deliver(PlannedRename *entries, qsizetype count);

private:
    struct Found {
        FileIdentity identity;
        bool present;
    };
    // Looks up paths not yet claimed, up to those given; false once none is left.
    bool lookUpNext(qsizetype given);
    void lookUp();
    void close();

    // Set on close, above any count.
    static constexpr qsizetype kClosed = qsizetype(1) << 62;

    FileOps &m_fs;
    const qsizetype m_most;
    // Reserved once and never grown: the thread reads the paths given
    // through m_given while more are added.
    std::vector<QByteArray> m_paths;
    const QByteArray *m_given = nullptr;
    // Written by whichever thread claimed the path, read once both are done.
    std::unique_ptr<Found[]> m_found;
    qsizetype m_added = 0;
    std::atomic<qsizetype> m_published{0}; // paths given, and kClosed
    std::atomic<qsizetype> m_claimed{0};   // paths either thread took to look up
    std::atomic<bool> m_dropped{false};    // closed without a plan to deliver to
    bool m_delivered = false;
    const std::thread::id m_owner;
    // Last, so that it starts once the rest is set, and ends first.
    std::optional<FileOps::LookupsAside> m_lookups;
};

struct RenamePlan {
    QList<PlannedRename> entries; // entries[i] is position i + 1
    QByteArray tempPrefix;        // the temporary prefix as it ended
    QList<int> prefixGrowths;     // the positions from which the prefix had one "_" more, ascending
    QHash<int, QByteArray> insidePaths; // by position, for RenamedInside

    int conflictCount() const;
    // For RenamedInside: the path of the entry inside the folder; else "".
    QByteArray conflictPath(const PlannedRename &entry) const { return insidePaths.value(entry.position); }
    // The temporary path of a position: in the old path's folder, the prefix
    // as it was when the position was planned, "_", the position, "_" and as
    // much of the old name as the system's limit on a name leaves (cut where
    // a UTF-8 character begins).
    QByteArray temporaryPath(const PlannedRename &entry) const;
    // The same, written into path, whose room serves again: a run makes
    // several a position.
    void temporaryPath(const PlannedRename &entry, QByteArray &path) const;
};

// What the new paths of a plan are. New names, as a rule made them, must
// differ from each other even when case is ignored, as the identical-name
// rule gives them. Former names (an undo's way back) were all present at
// once, so only equal paths are refused.
enum class Targets {
    NewNames,
    FormerNames,
};

// Builds the plan: creates the folders new paths ask for (at once, so they
// exist even when the user then cancels), gives every position a free
// temporary name, and holds back positions until no position left to run
// could meet a file in its way. A folder is held back when an entry of the
// same plan lies inside it or would land there: every other path of the plan
// then stays true while the operation runs. Linear in the number of positions
// (times the depth of their folders).
RenamePlan planRename(const QList<PathPair> &pairs, FileOps &fs, Targets targets = Targets::NewNames);
// The same, letting the pairs go as soon as the plan holds their paths.
RenamePlan planRename(QList<PathPair> &&pairs, FileOps &fs, Targets targets = Targets::NewNames);
// The same, with the identities looked up ahead for these pairs.
RenamePlan planRename(QList<PathPair> &&pairs, FileOps &fs, IdentitiesAhead &ahead);

// The plan of the kept list rows.
RenamePlan planRename(const QList<filelist::FileEntry> &entries, FileOps &fs);

// A native path as text for messages and the window.
QString displayPath(const QByteArray &nativePath);

// The rule and counter fields after a rename of count entries, as the options
// say. start and step are the stored counter start and step.
struct RuleAfterRename {
    bool clearRule = false;
    std::optional<QString> startText; // the new text of txtDebut
    std::optional<QString> stepText;  // the new text of txtPas
};
RuleAfterRename ruleAfterRename(const settings::Settings &settings, qint32 start, qint16 step, int count);

} // namespace tarvello::rename
