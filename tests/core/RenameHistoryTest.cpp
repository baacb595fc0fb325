#include "RenameTestSupport.h"

#include "rename/RenameJournal.h"
#include "rename/RenameOperation.h"

#include <gtest/gtest.h>

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

QDateTime at(int day, int hour)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0));
}

struct History {
    RenameRun rename(const Renames &renames, const QDateTime &when)
    {
        writeSources(tree, renames);
        FileOps fs;
        RenameObserver quiet;
        return runRename(planIn(tree, renames, fs), settings.path(), quiet, fs, when);
    }
    UndoReport undo(int number, const QDateTime &when)
    {
        FileOps fs;
        RenameObserver quiet;
        return undoHistoryRun(settings.path(), number, quiet, fs, when);
    }
    QList<HistoryRun> runs() const { return RenameHistory(settings.path()).runs(); }

    Tree tree;
    QTemporaryDir settings;
};

} // namespace

TEST(RenameHistory, keepsEveryRunAndUndoesAnyOfTheLastTen)
{
    History history;
    const QByteArray odd = "sp ace,\"q\"\n\xff%.jpg";
    history.rename({{"a", "a1"}}, at(1, 9));
    history.rename({{"b", "b1"}, {"c", "c1"}}, at(2, 9));
    history.rename({{odd, "d1"}}, at(2, 10));

    QList<HistoryRun> runs = history.runs();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].time, at(2, 10));
    EXPECT_EQ(runs[0].files[0].oldPath, history.tree.path(odd));
    EXPECT_EQ(runs[1].files.size(), 2);
    EXPECT_EQ(runs[2].files[0].newPath, history.tree.path("a1"));
    FileOps fs;
    EXPECT_EQ(filesInPlace(runs[1], fs), 2);

    // Not only the last run: the second newest goes back, the others stay.
    const UndoReport undo = history.undo(2, at(3, 9));
    EXPECT_EQ(undo.report.renamed, 2);
    EXPECT_TRUE(history.tree.exists("b") && history.tree.exists("c") && history.tree.exists("d1") && history.tree.exists("a1"));
    runs = history.runs();
    ASSERT_EQ(runs.size(), 4);
    EXPECT_TRUE(runs[0].undo);
    EXPECT_EQ(runs[0].files[0].newPath, history.tree.path("b"));
    EXPECT_EQ(filesInPlace(runs[2], fs), 0);

    // Its files are no longer where it put them: nothing moves a second time.
    const UndoReport again = history.undo(3, at(3, 10));
    EXPECT_EQ(again.report.renamed, 0);
    EXPECT_EQ(again.movedSince.size(), 2);

    // The undo of an undo renames again.
    EXPECT_EQ(history.undo(1, at(3, 11)).report.renamed, 2);
    EXPECT_TRUE(history.tree.exists("b1") && history.tree.exists("c1"));

    for (const int number : {0, 6})
        EXPECT_TRUE(history.undo(number, at(4, 9)).nothingToUndo) << number;
}

TEST(RenameHistory, onlyTheLastTenRunsCanBeUndone)
{
    History history;
    const RenameHistory record(history.settings.path());
    history.tree.write("f0", "x");
    for (int i = 0; i < RenameHistory::kUndoableRuns + 1; ++i) {
        const QByteArray from = "f" + QByteArray::number(i);
        const QByteArray to = "f" + QByteArray::number(i + 1);
        FileOps fs;
        RenameObserver quiet;
        runRename(planIn(history.tree, {{from, to}}, fs), history.settings.path(), quiet, fs, at(1 + i % 3, i));
    }
    EXPECT_EQ(record.runs().size(), RenameHistory::kUndoableRuns + 1);
    EXPECT_EQ(record.runs(4).size(), 4);
    EXPECT_TRUE(history.undo(RenameHistory::kUndoableRuns + 1, at(9, 9)).nothingToUndo);
    EXPECT_TRUE(history.tree.exists("f11"));
}

TEST(RenameHistory, passesOverLinesThatDoNotRead)
{
    History history;
    history.rename({{"a", "a1"}}, at(1, 9));
    const QString day = RenameHistory(history.settings.path()).folder() + QStringLiteral("/2026-03-01.txt");
    QFile file(day);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("edited by hand\n2026-03-01T09:00:00.000 0123456789abcdef R /x /y 1 2");
    file.close();
    history.rename({{"b", "b1"}}, at(1, 10));
    const QList<HistoryRun> runs = history.runs();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].files[0].newPath, history.tree.path("b1"));
    EXPECT_EQ(runs[1].files[0].newPath, history.tree.path("a1"));
}

// A rename cut short in its second phase reaches the history once recovered,
// with every file it finished.
TEST(RenameHistory, aRecoveredRunIsWrittenToo)
{
    History history;
    writeSources(history.tree, {{"a", "b"}, {"c", "d"}});
    FileOps fs;
    const RenamePlan plan = planIn(history.tree, {{"a", "b"}, {"c", "d"}}, fs);
    RenameJournal journal(history.settings.path());
    ASSERT_EQ(journal.begin(plan), 0);
    ASSERT_EQ(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);
    ASSERT_EQ(fs.renameNoReplace(plan.entries[1].oldPath, plan.entries[1].tempPath), 0);
    journal.mark(JournalMark::FirstPhaseDone);
    ASSERT_EQ(fs.renameNoReplace(plan.entries[1].tempPath, plan.entries[1].newPath), 0);
    const RecoveryReport report = recoverInterruptedRename(history.settings.path(), fs);
    ASSERT_TRUE(report.complete());
    const QList<HistoryRun> runs = history.runs();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_FALSE(runs[0].undo);
    ASSERT_EQ(runs[0].files.size(), 2);
    EXPECT_TRUE(history.tree.exists("b") && history.tree.exists("d"));
}

TEST(RenameHistory, exportsCsvWithNamesQuotedAsNeeded)
{
    HistoryRun run;
    run.time = at(1, 9);
    run.files = {{"/t/a,\"b\"", "/t/c", std::nullopt}};
    const QList<QByteArray> lines = historyCsv({run}).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "1," + at(1, 9).toString(Qt::ISODateWithMs).toLatin1() + ",rename,\"/t/a,\"\"b\"\"\",/t/c\r");
}
