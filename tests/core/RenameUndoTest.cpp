#include "RenameTestSupport.h"

#include "rename/RenameOperation.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <dirent.h>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

// A folder of files renamed once through the whole operation.
class RenamedFolder
{
public:
    explicit RenamedFolder(const Renames &renames)
    {
        FileOps fs;
        rename(renames, fs);
    }
    RenamedFolder(const Renames &renames, FileOps &fs) { rename(renames, fs); }

    UndoReport undo()
    {
        FileOps fs;
        return undo(fs);
    }
    UndoReport undo(FileOps &fs)
    {
        RenameObserver quiet;
        return undoLastRename(settings.path(), quiet, fs);
    }

    Tree tree;
    QTemporaryDir settings;

private:
    void rename(const Renames &renames, FileOps &fs)
    {
        for (const auto &[from, to] : renames)
            tree.write(from, "content of " + from);
        RenameObserver quiet;
        const RenameRun run = runRename(planIn(tree, renames, fs, true), settings.path(), quiet, fs);
        EXPECT_EQ(run.report.renamed, renames.size());
    }
};

// A file system that ignores case (ASCII letters), over a real tree: a path
// finds the entry of its folder whose name matches, and a rename refuses a
// target that matches one, the file itself included, as a case-folding file
// system does for a rename that must not replace.
class CaseBlindOps : public FileOps
{
public:
    bool exists(const QByteArray &path) override { return FileOps::exists(actual(path)); }
    std::optional<FileIdentity> identity(const QByteArray &path) override { return FileOps::identity(actual(path)); }
    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        return exists(to) ? EEXIST : FileOps::renameNoReplace(actual(from), to);
    }
    std::optional<QSet<QByteArray>> folderNames(const QByteArray &, qsizetype) override { return std::nullopt; }

private:
    static QByteArray actual(const QByteArray &path)
    {
        const QByteArray folder = nativeFolderOf(path);
        const QByteArray name = nativeNameOf(path).toLower();
        QByteArray found = path;
        if (DIR *dir = ::opendir(folder.constData())) {
            while (const dirent *entry = ::readdir(dir)) {
                if (QByteArray(entry->d_name).toLower() == name)
                    found = folder + '/' + entry->d_name;
            }
            ::closedir(dir);
        }
        return found;
    }
};

} // namespace

TEST(RenameUndo, bringsEveryFileBackIncludingSwapsAndMoves)
{
    // e and E: names that differ in case only are given back as they were.
    RenamedFolder folder({{"a", "b"}, {"b", "a"}, {"c", "sub/deeper/c2"}, {"d", "d2"}, {"e", "n_1"}, {"E", "n_2"}});
    EXPECT_EQ(folder.tree.read("sub/deeper/c2"), QByteArray("content of c"));
    const UndoReport undo = folder.undo();
    EXPECT_EQ(undo.report.renamed, 6);
    EXPECT_TRUE(undo.movedSince.isEmpty());
    for (const QByteArray name : {"a", "b", "c", "d", "e", "E"})
        EXPECT_EQ(folder.tree.read(name), "content of " + name);
    EXPECT_EQ(folder.tree.files().size(), 6);
    // Undone once, there is nothing left to undo.
    EXPECT_TRUE(folder.undo().nothingToUndo);
}

TEST(RenameUndo, namesDifferingInCaseOnAFileSystemThatIgnoresCase)
{
    // A name changed in case only is the same file: renamed and undone.
    CaseBlindOps caseBlind;
    RenamedFolder changed({{"a.jpg", "A.jpg"}}, caseBlind);
    EXPECT_EQ(changed.tree.names(), QList<QByteArray>{"A.jpg"});
    EXPECT_EQ(changed.undo(caseBlind).report.renamed, 1);
    EXPECT_EQ(changed.tree.files(), (QHash<QByteArray, QByteArray>{{"a.jpg", "content of a.jpg"}}));

    // Two former names such a file system cannot hold both: one goes back,
    // the other stays where it is, and nothing is replaced.
    RenamedFolder both({{"a.jpg", "n_1.jpg"}, {"A.jpg", "n_2.jpg"}});
    const UndoReport undo = both.undo(caseBlind);
    EXPECT_EQ(undo.report.renamed, 1);
    EXPECT_EQ(undo.report.failures.size(), 1);
    EXPECT_EQ(both.tree.files().size(), 2);
    for (const QByteArray &name : both.tree.names())
        EXPECT_FALSE(isTemporaryName(name)) << name.constData();
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
