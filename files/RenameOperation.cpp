#include "files/RenameOperation.h"

#include <QSet>

#include <cerrno>

namespace tarvello::files {

namespace {

RenameRun runWithJournal(const RenamePlan &plan, RenameJournal &journal, RenameObserver &observer, FileOps &fs)
{
    RenameRun run;
    run.journalError = journal.begin(plan);
    if (run.journalError != 0)
        return run;
    run.report = executeRename(plan, observer, fs, &journal);
    return run;
}

// A file that could take neither name keeps the journal, so the next start
// offers to bring it out again.
void endJournal(RenameJournal &journal, const RenameReport &report)
{
    if (!report.outcomes.contains(Outcome::LeftAtTemporary))
        journal.finish();
}

// The record for the files of a run that now have their new names: a file
// copied to another file system is a new file, known by its new identity.
QList<UndoPair> renamedPairs(const RenamePlan &plan, const RenameReport &report, FileOps &fs)
{
    const QSet<int> copied(report.copied.cbegin(), report.copied.cend());
    QList<UndoPair> pairs;
    pairs.reserve(report.renamed);
    for (qsizetype i = 0; i < plan.entries.size(); ++i) {
        const PlannedRename &entry = plan.entries[i];
        // A name given again unchanged is nothing to take back.
        if (report.outcomes[i] != Outcome::Renamed || entry.newPath == entry.oldPath)
            continue;
        pairs.append({entry.oldPath, entry.newPath,
                      copied.contains(entry.position) ? fs.identity(entry.newPath) : entry.identity});
    }
    return pairs;
}

} // namespace

RenameRun runRename(const RenamePlan &plan, const QString &settingsFolder, RenameObserver &observer, FileOps &fs)
{
    const RenameLock lock(settingsFolder);
    if (lock.error() != 0)
        return RenameRun{lock.error(), {}, 0};
    RenameJournal journal(settingsFolder);
    RenameRun run = runWithJournal(plan, journal, observer, fs);
    if (run.journalError != 0)
        return run;
    // A rename that changed nothing leaves the last one to undo as it was.
    if (const QList<UndoPair> pairs = renamedPairs(plan, run.report, fs); !pairs.isEmpty())
        run.undoError = UndoRecord(settingsFolder).save(pairs);
    endJournal(journal, run.report);
    return run;
}

bool interruptedRenameWaiting(const QString &settingsFolder)
{
    // A journal whose operation still runs elsewhere is no interrupted one.
    const RenameLock lock(settingsFolder);
    return lock.error() != EBUSY && RenameJournal(settingsFolder).exists();
}

RecoveryReport recoverInterruptedRename(const QString &settingsFolder, FileOps &fs)
{
    const RenameLock lock(settingsFolder);
    if (lock.error() == EBUSY) {
        RecoveryReport report;
        report.busy = true;
        return report;
    }
    RenameJournal journal(settingsFolder);
    journal.removeUnfinishedWrites();
    int error = 0;
    const auto content = journal.load(&error);
    if (!content) {
        RecoveryReport report;
        report.found = error != ENOENT;
        report.unreadable = report.found;
        return report;
    }
    RecoveryReport report = recoverFromJournal(*content, fs, &journal);
    QList<UndoPair> pairs;
    for (const JournalEntry &entry : report.renamed) {
        if (entry.newPath != entry.oldPath)
            pairs.append({entry.oldPath, entry.newPath, entry.identity});
    }
    if (!pairs.isEmpty())
        UndoRecord(settingsFolder).save(pairs);
    if (report.leftAtTemporary.isEmpty())
        journal.finish();
    return report;
}

UndoReport undoLastRename(const QString &settingsFolder, RenameObserver &observer, FileOps &fs)
{
    UndoReport undo;
    const RenameLock lock(settingsFolder);
    if (lock.error() != 0) {
        undo.journalError = lock.error();
        return undo;
    }
    const UndoRecord record(settingsFolder);
    const auto pairs = record.load(&undo.recordError);
    if (!pairs)
        return undo;
    if (pairs->isEmpty()) {
        undo.nothingToUndo = true;
        return undo;
    }
    QList<PathPair> way;
    QList<UndoPair> going;
    for (const UndoPair &pair : *pairs) {
        const auto now = fs.identity(pair.newPath);
        if (!now || (pair.identity && now != pair.identity)) {
            undo.movedSince.append(pair);
            continue;
        }
        // The old folder may have gone since (emptied by the rename itself).
        way.append({pair.newPath, pair.oldPath, true, Conflict::None});
        going.append({pair.oldPath, pair.newPath, now});
    }
    undo.plan = planRename(way, fs, Targets::FormerNames);
    RenameJournal journal(settingsFolder);
    const RenameRun run = runWithJournal(undo.plan, journal, observer, fs);
    undo.journalError = run.journalError;
    if (run.journalError != 0)
        return undo;
    undo.report = run.report;
    QList<UndoPair> remaining;
    for (qsizetype i = 0; i < going.size(); ++i) {
        if (undo.report.outcomes[i] != Outcome::Renamed)
            remaining.append(going[i]);
    }
    record.save(remaining);
    endJournal(journal, undo.report);
    return undo;
}

} // namespace tarvello::files
