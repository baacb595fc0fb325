#include "rename/RenameExecutor.h"

#include "rename/RenameJournal.h"

#include <QHash>

#include <algorithm>

namespace tarvello::rename {

namespace {

// Between the phases: a file still at its old path keeps that path taken, so
// a file that would move onto it goes back to its own old path instead,
// which keeps that one taken in turn. Says, position by position, which go back.
QList<bool> sendBack(const RenamePlan &plan, const QList<bool> &inTemporary)
{
    const qsizetype n = plan.entries.size();
    QList<bool> back(n, false);
    QList<qsizetype> staying;
    for (qsizetype i = 0; i < n; ++i) {
        if (!inTemporary[i])
            staying.append(i);
    }
    if (staying.isEmpty())
        return back;
    QMultiHash<QByteArray, qsizetype> byNewPath;
    byNewPath.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        if (inTemporary[i])
            byNewPath.insert(plan.entries[i].newPath, i);
    }
    while (!staying.isEmpty()) {
        const QByteArray &taken = plan.entries[staying.takeLast()].oldPath;
        for (auto it = byNewPath.constFind(taken); it != byNewPath.constEnd() && it.key() == taken; ++it) {
            if (!back[*it]) {
                back[*it] = true;
                staying.append(*it);
            }
        }
    }
    return back;
}

} // namespace

RenameReport executeRename(const RenamePlan &plan, RenameObserver &observer, FileOps &fs, RenameJournal *journal)
{
    // No folder of a running position moves while the run lasts: the plan
    // holds such folders back.
    const FileOps::FolderHold hold(fs);
    const qsizetype n = plan.entries.size();
    const int total = int(2 * n);
    int step = 1;
    RenameReport report;
    report.outcomes.fill(Outcome::NotReached, n);
    QList<bool> inTemporary(n, false);
    QByteArray tempPath;

    for (qsizetype i = 0; i < n; ++i) {
        const PlannedRename &entry = plan.entries[i];
        observer.progress(step++, total);
        if (entry.heldBack()) {
            report.outcomes[i] = Outcome::HeldBack;
            continue;
        }
        if (observer.stopRequested()) {
            report.stopped = true;
            for (qsizetype rest = i; rest < n; ++rest) {
                if (plan.entries[rest].heldBack())
                    report.outcomes[rest] = Outcome::HeldBack;
            }
            step = int(n + 1);
            break;
        }
        plan.temporaryPath(entry, tempPath);
        if (const int error = fs.renameNoReplace(entry.oldPath, tempPath)) {
            report.outcomes[i] = Outcome::Failed;
            report.failures.append(
                {entry.position, FailureStage::ToTemporary, error, entry.oldPath, entry.newPath, {}, tempPath});
        } else {
            inTemporary[i] = true;
        }
    }
    if (journal)
        journal->mark(JournalMark::FirstPhaseDone);

    const QList<bool> back = sendBack(plan, inTemporary);
    for (qsizetype i = n - 1; i >= 0; --i) {
        const PlannedRename &entry = plan.entries[i];
        observer.progress(step++, total);
        if (!inTemporary[i])
            continue;
        plan.temporaryPath(entry, tempPath);
        RenameFailure failure{entry.position, FailureStage::TargetStayed, 0, entry.oldPath, entry.newPath, {}, tempPath};
        if (!back[i]) {
            const JournalledMove move = moveToNewPath(fs, tempPath, entry.newPath, entry.position, journal);
            const int error = move.error;
            if (error == 0) {
                report.outcomes[i] = Outcome::Renamed;
                ++report.renamed;
                if (move.copied)
                    report.copied.append(entry.position);
                if (move.copied && move.lost.any())
                    report.attributesNotKept.append({entry.newPath, move.lost});
                observer.renamed(entry);
                continue;
            }
            failure.stage = FailureStage::ToNew;
            failure.error = error;
        }
        if (fs.renameNoReplace(tempPath, entry.oldPath) == 0) {
            report.outcomes[i] = Outcome::Failed;
        } else {
            report.outcomes[i] = Outcome::LeftAtTemporary;
            failure.leftAt = tempPath;
        }
        report.failures.append(failure);
    }
    if (journal)
        journal->mark(JournalMark::SecondPhaseDone);

    // One report in position order (the second phase ran downwards).
    std::stable_sort(report.failures.begin(), report.failures.end(),
                     [](const RenameFailure &x, const RenameFailure &y) { return x.position < y.position; });
    return report;
}

} // namespace tarvello::rename
