#include "RenameTestSupport.h"

#include "files/RenameOperation.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarvello::files;
using namespace tarvello::files::testing;

namespace {

// A folder of files renamed once through the whole operation.
class RenamedFolder
{
public:
    explicit RenamedFolder(const Renames &renames)
    {
        for (const auto &[from, to] : renames)
            tree.write(from, "content of " + from);
        FileOps fs;
        RenameObserver quiet;
        const RenameRun run = runRename(planIn(tree, renames, fs, true), settings.path(), quiet, fs);
        EXPECT_EQ(run.report.renamed, renames.size());
    }

    UndoReport undo()
    {
        FileOps fs;
        RenameObserver quiet;
        return undoLastRename(settings.path(), quiet, fs);
    }

    Tree tree;
    QTemporaryDir settings;
};

} // namespace

TEST(RenameUndo, bringsEveryFileBackIncludingSwapsAndMoves)
{
    RenamedFolder folder({{"a", "b"}, {"b", "a"}, {"c", "sub/deeper/c2"}, {"d", "d2"}});
    EXPECT_EQ(folder.tree.read("sub/deeper/c2"), QByteArray("content of c"));
    const UndoReport undo = folder.undo();
    EXPECT_EQ(undo.report.renamed, 4);
    EXPECT_TRUE(undo.movedSince.isEmpty());
    for (const QByteArray name : {"a", "b", "c", "d"})
        EXPECT_EQ(folder.tree.read(name), "content of " + name);
    EXPECT_EQ(folder.tree.files().size(), 4);
    // Undone once, there is nothing left to undo.
    EXPECT_TRUE(folder.undo().nothingToUndo);
}

TEST(RenameUndo, reportsFilesMovedOrReplacedSinceAndRestoresTheRest)
{
    RenamedFolder folder({{"a", "a2"}, {"b", "b2"}, {"c", "c2"}});
    // a2 moved away; b2 deleted and another file made under its name.
    ASSERT_EQ(::rename(folder.tree.path("a2").constData(), folder.tree.path("moved").constData()), 0);
    ASSERT_EQ(::unlink(folder.tree.path("b2").constData()), 0);
    folder.tree.write("x", "stranger");
    ASSERT_EQ(::rename(folder.tree.path("x").constData(), folder.tree.path("b2").constData()), 0);

    const UndoReport undo = folder.undo();
    ASSERT_EQ(undo.movedSince.size(), 2);
    EXPECT_EQ(undo.movedSince[0].newPath, folder.tree.path("a2"));
    EXPECT_EQ(undo.movedSince[1].newPath, folder.tree.path("b2"));
    EXPECT_EQ(undo.report.renamed, 1);
    EXPECT_EQ(folder.tree.read("c"), QByteArray("content of c"));
    EXPECT_EQ(folder.tree.read("moved"), QByteArray("content of a"));
    EXPECT_EQ(folder.tree.read("b2"), QByteArray("stranger"));
    EXPECT_FALSE(folder.tree.exists("b"));
}

TEST(RenameUndo, aFileBlockedFromItsOldNameStaysInTheRecordForLater)
{
    RenamedFolder folder({{"a", "a2"}, {"b", "b2"}});
    folder.tree.write("a", "newcomer");
    const UndoReport first = folder.undo();
    EXPECT_EQ(first.plan.entries[0].conflict, Conflict::TargetExists);
    EXPECT_EQ(first.report.renamed, 1);
    EXPECT_EQ(folder.tree.read("a"), QByteArray("newcomer"));
    EXPECT_EQ(folder.tree.read("a2"), QByteArray("content of a"));

    ASSERT_EQ(::unlink(folder.tree.path("a").constData()), 0);
    const UndoReport second = folder.undo();
    EXPECT_EQ(second.report.renamed, 1);
    EXPECT_EQ(folder.tree.read("a"), QByteArray("content of a"));
    EXPECT_EQ(folder.tree.read("b"), QByteArray("content of b"));
}

TEST(RenameUndo, aRenameThatChangedNothingKeepsTheEarlierOneToUndo)
{
    // A rename held back by a conflict, and one that gives a name again unchanged.
    for (const QByteArray target : {"taken", "z"}) {
        SCOPED_TRACE(target.constData());
        RenamedFolder folder(Renames{{"a", "a2"}});
        folder.tree.write("z", "Z");
        folder.tree.write("taken", "T");
        FileOps fs;
        RenameObserver quiet;
        const RenamePlan plan = planRename(QList<PathPair>{{folder.tree.path("z"), folder.tree.path(target), false, Conflict::None}}, fs);
        const RenameRun run = runRename(plan, folder.settings.path(), quiet, fs);
        EXPECT_EQ(run.report.failures.size(), 0);
        EXPECT_EQ(folder.tree.read("z"), QByteArray("Z"));
        EXPECT_EQ(folder.undo().report.renamed, 1);
        EXPECT_EQ(folder.tree.read("a"), QByteArray("content of a"));
    }
}
