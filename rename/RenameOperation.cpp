#include "rename/RenameOperation.h"

#include "rename/SideBySide.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <functional>
#include <optional>
#include <utility>

namespace tarvello::rename {

namespace {

// meanwhile, when given, runs aside while the files move: the renames are
// the system's work, one file after the other, and leave the second core idle.
RenameRun runWithJournal(const RenamePlan &plan, JournalKind kind, RenameJournal &journal, RenameObserver &observer,
                         FileOps &fs, const std::function<void()> &meanwhile = {})
{
    RenameRun run;
    run.journalError = journal.begin(plan, kind);
    if (run.journalError != 0)
        return run;
    std::optional<Aside> aside;
    if (meanwhile)
        aside.emplace(meanwhile);
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
// Without a report, the record of a run that went as planned: every position
// not held back renamed in place.
QList<UndoPair> renamedPairs(const RenamePlan &plan, const RenameReport *report, FileOps &fs)
{
    const QSet<int> copied = report ? QSet<int>(report->copied.cbegin(), report->copied.cend()) : QSet<int>();
    QList<UndoPair> pairs;
    pairs.reserve(report ? report->renamed : plan.entries.size());
    for (qsizetype i = 0; i < plan.entries.size(); ++i) {
        const PlannedRename &entry = plan.entries[i];
        const bool renamed = report ? report->outcomes[i] == Outcome::Renamed : !entry.heldBack();
        // A name given again unchanged is nothing to take back.
        if (!renamed || entry.newPath == entry.oldPath)
            continue;
        pairs.append({entry.oldPath, entry.newPath,
                      copied.contains(entry.position) ? fs.identity(entry.newPath) : entry.identity});
    }
    return pairs;
}

QDateTime timeOf(const QDateTime &when)
{
    return when.isValid() ? when : QDateTime::currentDateTime();
}

// The files of a recovered run found at their new names.
QList<UndoPair> recoveredPairs(const RecoveryReport &report)
{
    QList<UndoPair> pairs;
    for (const JournalEntry &entry : report.renamed) {
        if (entry.newPath != entry.oldPath)
            pairs.append({entry.oldPath, entry.newPath, entry.identity});
    }
    return pairs;
}

// An undo is cut short with its record still naming every file it was to
// take back (it is rewritten only once the files have moved): those that got
// their old names back leave it, the others stay for the next undo.
void keepWhatTheUndoDidNotTakeBack(const QString &settingsFolder, const RecoveryReport &report)
{
    const UndoRecord record(settingsFolder);
    const auto pairs = record.load();
    if (!pairs)
        return;
    QSet<std::pair<QByteArray, QByteArray>> takenBack;
    for (const JournalEntry &entry : report.renamed)
        takenBack.insert({entry.newPath, entry.oldPath});
    QList<UndoPair> remaining;
    for (const UndoPair &pair : *pairs) {
        if (!takenBack.contains({pair.oldPath, pair.newPath}))
            remaining.append(pair);
    }
    if (remaining.size() != pairs->size())
        record.save(remaining);
}

} // namespace

RenameRun runRename(const RenamePlan &plan, const QString &settingsFolder, RenameObserver &observer, FileOps &fs,
                    const QDateTime &when)
{
    const RenameLock lock(settingsFolder);
    if (lock.error() != 0)
        return RenameRun{lock.error(), {}, 0};
    RenameJournal journal(settingsFolder);
    // The records of the run as planned are made while the files move (of
    // the history, as much as a few tens of megabytes hold); a run that went
    // otherwise makes its own after. So does a run of hundreds of thousands
    // of files: made ahead, its records would sit beside the plan and the
    // renames' own memory at the run's peak, for a gain that its renames dwarf.
    constexpr std::size_t kHistoryMadeAhead = 32 << 20;
    constexpr qsizetype kMostMadeAhead = 250000;
    QList<UndoPair> planned;
    std::optional<UndoRecord::Text> plannedText;
    std::optional<RenameHistory::Lines> plannedLines;
    std::function<void()> makeAhead;
    if (plan.entries.size() <= kMostMadeAhead) {
        makeAhead = [&] {
            planned = renamedPairs(plan, nullptr, fs);
            plannedText.emplace(planned, UndoRecord::Text::Threads::One);
            plannedLines.emplace(timeOf(when), false, planned, kHistoryMadeAhead);
        };
    }
    RenameRun run = runWithJournal(plan, JournalKind::Rename, journal, observer, fs, makeAhead);
    if (run.journalError != 0)
        return run;
    const bool asPlanned = plannedText && run.report.copied.isEmpty()
        && run.report.renamed == plan.entries.size() - plan.conflictCount();
    if (!asPlanned) {
        planned = renamedPairs(plan, &run.report, fs);
        plannedText.reset();
        plannedLines.reset();
    }
    // A rename that changed nothing leaves the last one to undo as it was.
    if (const QList<UndoPair> &pairs = planned; !pairs.isEmpty()) {
        // Each record is a pass over every file and a wait for the disk. Both
        // are written before the journal ends: a crash in between writes the
        // run again at recovery rather than leave it out.
        const auto appendHistory = [&] {
            const RenameHistory history(settingsFolder);
            run.historyError = plannedLines ? history.append(*plannedLines, pairs) : history.append(timeOf(when), false, pairs);
        };
        const auto saveUndo = [&] {
            const UndoRecord record(settingsFolder);
            run.undoError = plannedText ? record.save(*plannedText) : record.save(pairs);
        };
        sideBySide(appendHistory, saveUndo);
    }
    endJournal(journal, run.report);
    return run;
}

namespace {

QString cutShortPath(const QString &settingsFolder)
{
    return settingsFolder + QStringLiteral("/rename.stopped");
}

} // namespace

int noteCutShortRun(const QString &settingsFolder, const CutShortRun &run)
{
    QSaveFile file(cutShortPath(settingsFolder));
    if (!file.open(QIODevice::WriteOnly))
        return EACCES;
    file.write(QByteArray::number(run.renamed) + ' ' + QByteArray::number(run.notRenamed) + '\n');
    return file.commit() ? 0 : EIO;
}

std::optional<CutShortRun> takeCutShortRun(const QString &settingsFolder)
{
    QFile file(cutShortPath(settingsFolder));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> numbers = file.readAll().trimmed().split(' ');
    file.close();
    file.remove();
    bool renamedOk = false;
    bool notRenamedOk = false;
    CutShortRun run;
    if (numbers.size() == 2) {
        run.renamed = numbers[0].toInt(&renamedOk);
        run.notRenamed = numbers[1].toInt(&notRenamedOk);
    }
    if (!renamedOk || !notRenamedOk || run.renamed < 0 || run.notRenamed < 0)
        return std::nullopt;
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
    // The files found at their new names of a recovered rename become the
    // rename undo takes back.
    const QList<UndoPair> recovered = recoveredPairs(report);
    if (content->kind == JournalKind::Undo)
        keepWhatTheUndoDidNotTakeBack(settingsFolder, report);
    else if (!recovered.isEmpty())
        UndoRecord(settingsFolder).save(recovered);
    RenameHistory(settingsFolder).append(QDateTime::currentDateTime(), content->kind == JournalKind::Undo, recovered);
    // A file that could not be brought out, or that is nowhere to be found,
    // keeps the journal for another attempt once the user has looked.
    if (report.leftAtTemporary.isEmpty() && report.missing.isEmpty())
        journal.finish();
    return report;
}

namespace {

// Takes the files of the pairs still at their new paths back to their old
// ones under the journal, and writes the undo in the history. The pairs that
// did not go back, files moved since aside, for the caller's record.
// The pairs are let go once the way back holds their paths.
QList<UndoPair> takeBack(QList<UndoPair> pairs, const QString &settingsFolder, RenameJournal &journal,
                         RenameObserver &observer, FileOps &fs, const QDateTime &when, UndoReport &undo)
{
    QList<PathPair> way;
    QList<UndoPair> going;
    way.reserve(pairs.size());
    going.reserve(pairs.size());
    {
        const FileOps::FolderHold hold(fs);
        for (const UndoPair &pair : pairs) {
            const auto now = fs.identity(pair.newPath);
            if (!now || (pair.identity && now != pair.identity)) {
                undo.movedSince.append(pair);
                continue;
            }
            // The old folder may have gone since (emptied by the rename itself).
            way.append({pair.newPath, pair.oldPath, true, Conflict::None});
            going.append({pair.oldPath, pair.newPath, now});
        }
    }
    pairs = {};
    undo.plan = planRename(std::move(way), fs, Targets::FormerNames);
    const RenameRun run = runWithJournal(undo.plan, JournalKind::Undo, journal, observer, fs);
    undo.journalError = run.journalError;
    if (run.journalError != 0)
        return going;
    undo.report = run.report;
    QList<UndoPair> remaining;
    for (qsizetype i = 0; i < going.size(); ++i) {
        if (undo.report.outcomes[i] != Outcome::Renamed)
            remaining.append(going[i]);
    }
    undo.historyError = RenameHistory(settingsFolder).append(timeOf(when), true, renamedPairs(undo.plan, &undo.report, fs));
    return remaining;
}

} // namespace

PendingUndo::PendingUndo(const QString &settingsFolder)
    : m_settingsFolder(settingsFolder)
    , m_lock(settingsFolder)
{
    if (m_lock.error() == 0)
        m_pairs = UndoRecord(settingsFolder).load(&m_recordError);
}

UndoReport undoLastRename(const QString &settingsFolder, RenameObserver &observer, FileOps &fs, const QDateTime &when)
{
    PendingUndo pending(settingsFolder);
    return undoLastRename(pending, observer, fs, when);
}

UndoReport undoLastRename(PendingUndo &pending, RenameObserver &observer, FileOps &fs, const QDateTime &when)
{
    UndoReport undo;
    undo.journalError = pending.lockError();
    undo.recordError = pending.m_recordError;
    if (undo.journalError != 0 || !pending.m_pairs)
        return undo;
    QList<UndoPair> pairs = *std::exchange(pending.m_pairs, std::nullopt);
    if (pairs.isEmpty()) {
        undo.nothingToUndo = true;
        return undo;
    }
    RenameJournal journal(pending.m_settingsFolder);
    const QList<UndoPair> remaining =
        takeBack(std::move(pairs), pending.m_settingsFolder, journal, observer, fs, when, undo);
    if (undo.journalError != 0)
        return undo;
    UndoRecord(pending.m_settingsFolder).save(remaining);
    endJournal(journal, undo.report);
    return undo;
}

UndoReport undoHistoryRun(const QString &settingsFolder, int number, RenameObserver &observer, FileOps &fs,
                          const QDateTime &when)
{
    UndoReport undo;
    const RenameLock lock(settingsFolder);
    if (lock.error() != 0) {
        undo.journalError = lock.error();
        return undo;
    }
    QList<HistoryRun> runs = RenameHistory(settingsFolder).runs(RenameHistory::kUndoableRuns);
    if (number < 1 || number > runs.size()) {
        undo.nothingToUndo = true;
        return undo;
    }
    QList<UndoPair> files = std::move(runs[number - 1].files);
    runs = {};
    RenameJournal journal(settingsFolder);
    takeBack(std::move(files), settingsFolder, journal, observer, fs, when, undo);
    if (undo.journalError == 0)
        endJournal(journal, undo.report);
    return undo;
}

namespace {

QString recordPath(RecordKind kind, const QString &settingsFolder)
{
    return kind == RecordKind::Journal ? RenameJournal(settingsFolder).path() : UndoRecord(settingsFolder).path();
}

// 0 when the record can be used, ENOENT when there is none, else why not.
int recordError(RecordKind kind, const QString &settingsFolder)
{
    int error = 0;
    if (kind == RecordKind::Journal) {
        RenameJournal(settingsFolder).load(&error);
        return error;
    }
    if (!QFile::exists(UndoRecord(settingsFolder).path()))
        return ENOENT;
    UndoRecord(settingsFolder).load(&error);
    return error;
}

} // namespace

std::optional<DamagedRecord> damagedRecord(RecordKind kind, const QString &settingsFolder, FileOps &fs)
{
    const int error = recordError(kind, settingsFolder);
    if (error == 0 || error == ENOENT)
        return std::nullopt;
    DamagedRecord damaged{kind, recordPath(kind, settingsFolder), error, {}};
    damaged.files = kind == RecordKind::Journal ? RenameJournal(settingsFolder).filesToCheck(fs)
                                                : UndoRecord(settingsFolder).filesToCheck(fs);
    return damaged;
}

SetAsideResult setAsideRecord(RecordKind kind, const QString &settingsFolder)
{
    SetAsideResult result;
    result.path = recordPath(kind, settingsFolder);
    const RenameLock lock(settingsFolder);
    if (lock.error() != 0) {
        result.error = lock.error();
        return result;
    }
    const int error = recordError(kind, settingsFolder);
    if (error == 0 || error == ENOENT) {
        result.error = error;
        result.sound = error == 0;
        return result;
    }
    result.error = moveAside(result.path, result.asidePath);
    return result;
}

} // namespace tarvello::rename
