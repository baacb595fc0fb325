#include "RenameTestSupport.h"

#include <cerrno>

#include <dirent.h>

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

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
    std::optional<tarvello::common::FolderNames> folderNames(const QByteArray &, qsizetype) override { return std::nullopt; }

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

TEST(RenameUndo, namesDifferingInCaseOnAFileSystemThatIgnoresCase)
{
    // A name changed in case only is the same file: renamed and undone.
    CaseBlindOps caseBlind;
    Scene changed({"a.jpg"});
    EXPECT_EQ(changed.rename({{"a.jpg", "A.jpg"}}, caseBlind).report.renamed, 1);
    EXPECT_EQ(changed.files(), (Files{{"A.jpg", "a.jpg"}}));
    EXPECT_EQ(changed.undo(caseBlind).report.renamed, 1);
    EXPECT_EQ(changed.files(), (Files{{"a.jpg", "a.jpg"}}));

    // Two former names such a file system cannot hold both: one goes back,
    // the other stays where it is, and nothing is replaced.
    Scene both({"a.jpg", "A.jpg"});
    FileOps fs;
    both.rename({{"a.jpg", "n_1.jpg"}, {"A.jpg", "n_2.jpg"}}, fs);
    const UndoReport undo = both.undo(caseBlind);
    EXPECT_EQ(undo.report.renamed, 1);
    EXPECT_EQ(undo.report.failures.size(), 1);
    EXPECT_EQ(both.files().size(), 2);
    for (const QByteArray &name : both.tree().names())
        EXPECT_FALSE(isTemporaryName(name)) << name.constData();
}

TEST(RenameUndo, reportsFilesMovedOrReplacedSinceAndRestoresTheRest)
{
    Scene scene({"a", "b", "c"});
    FileOps fs;
    scene.rename({{"a", "a2"}, {"b", "b2"}, {"c", "c2"}}, fs);
    // a2 moved away; b2 deleted and another file made under its name.
    ASSERT_EQ(::rename(scene.path("a2").constData(), scene.path("moved").constData()), 0);
    ASSERT_EQ(::unlink(scene.path("b2").constData()), 0);
    scene.tree().write("x", "stranger");
    ASSERT_EQ(::rename(scene.path("x").constData(), scene.path("b2").constData()), 0);

    const UndoReport undo = scene.undo(fs);
    ASSERT_EQ(undo.movedSince.size(), 2);
    EXPECT_EQ(undo.movedSince[0].newPath, scene.path("a2"));
    EXPECT_EQ(undo.movedSince[1].newPath, scene.path("b2"));
    EXPECT_EQ(undo.report.renamed, 1);
    EXPECT_EQ(scene.files(), (Files{{"c", "c"}, {"moved", "a"}, {"b2", "stranger"}}));
    EXPECT_TRUE(scene.undo(fs).nothingToUndo);
}

TEST(RenameUndo, aFileBlockedFromItsOldNameStaysInTheRecordForLater)
{
    Scene scene({"a", "b"});
    FileOps fs;
    scene.rename({{"a", "a2"}, {"b", "b2"}}, fs);
    scene.tree().write("a", "newcomer");
    const UndoReport first = scene.undo(fs);
    EXPECT_EQ(first.plan.entries[0].conflict, Conflict::TargetExists);
    EXPECT_EQ(first.report.renamed, 1);
    EXPECT_EQ(scene.files(), (Files{{"a", "newcomer"}, {"a2", "a"}, {"b", "b"}}));

    ASSERT_EQ(::unlink(scene.path("a").constData()), 0);
    EXPECT_EQ(scene.undo(fs).report.renamed, 1);
    EXPECT_EQ(scene.files(), (Files{{"a", "a"}, {"b", "b"}}));
}

// A rename held back by a conflict, and one that gives a name again
// unchanged, leave the earlier rename to undo.
TEST(RenameUndo, aRenameThatChangedNothingKeepsTheEarlierOneToUndo)
{
    for (const QByteArray target : {"taken", "z"}) {
        SCOPED_TRACE(target.constData());
        Scene scene({"a", "z", "taken"});
        FileOps fs;
        scene.rename({{"a", "a2"}}, fs);
        EXPECT_TRUE(scene.rename({{"z", target}}, fs).report.failures.isEmpty());
        EXPECT_EQ(scene.undo(fs).report.renamed, 1);
        EXPECT_EQ(scene.files(), (Files{{"a", "a"}, {"z", "z"}, {"taken", "taken"}}));
    }
}
