#include "RenameTestSupport.h"

#include "rename/RenameExecutor.h"
#include "rename/RenamePlan.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

class Recorder : public RenameObserver
{
public:
    int stopAfter = -1; // the stop request comes once this many first-phase positions asked
    QList<int> steps;   // total x 1000 + step
    QList<int> renamedPositions;

    void progress(int step, int total) override { steps.append(total * 1000 + step); }
    bool stopRequested() override { return stopAfter >= 0 && asked++ >= stopAfter; }
    void renamed(const PlannedRename &entry) override { renamedPositions.append(entry.position); }

private:
    int asked = 0;
};

} // namespace

TEST(RenameExecutor, swapsTwoNamesThroughTemporaryNames)
{
    const Renames renames = {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}};
    Tree tree;
    writeSources(tree, renames);
    FileOps fs;
    Recorder observer;
    const RenameReport report = executeRename(planIn(tree, renames, fs), observer, fs);
    EXPECT_EQ(report.renamed, 2);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}}));
    // The window removes rows by position: the second phase goes downwards.
    EXPECT_EQ(observer.renamedPositions, (QList<int>{2, 1}));
    EXPECT_EQ(observer.steps, (QList<int>{4001, 4002, 4003, 4004}));
}

TEST(RenameExecutor, leavesHeldBackPositionsAndTheFileInTheirWayAlone)
{
    const Renames renames = {{"a.jpg", "outside.jpg"}, {"b.jpg", "c.jpg"}};
    Tree tree;
    writeSources(tree, renames);
    tree.write("outside.jpg", "O");
    FileOps fs;
    Recorder observer;
    const RenameReport report = executeRename(planIn(tree, renames, fs), observer, fs);
    EXPECT_EQ(report.outcomes, (QList<Outcome>{Outcome::HeldBack, Outcome::Renamed}));
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"outside.jpg", "O"}, {"a.jpg", "a.jpg"}, {"c.jpg", "b.jpg"}}));
}

TEST(RenameExecutor, movesIntoRelativeAndFullFolders)
{
    Tree tree;
    writeSources(tree, {{"album/a.jpg", {}}, {"album/b.jpg", {}}});
    const QString album = tree.root() + QStringLiteral("/album");
    const QString full = QStringLiteral("\\") + tree.root().mid(1).replace(QLatin1Char('/'), QLatin1Char('\\'))
        + QStringLiteral("\\archive\\2024\\b.jpg");
    FileOps fs;
    const RenamePlan plan = planRename(QList<FileEntry>{{QStringLiteral("a.jpg"), album, QStringLiteral("$MKDIR.\\sub\\a1.jpg")},
                                                        {QStringLiteral("b.jpg"), album, full}},
                                       fs);
    Recorder observer;
    EXPECT_EQ(executeRename(plan, observer, fs).renamed, 2);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"album/sub/a1.jpg", "album/a.jpg"},
                                                           {"archive/2024/b.jpg", "album/b.jpg"}}));
}

TEST(RenameExecutor, stopRequestEndsTheFirstPhaseButNoFileStaysTemporary)
{
    const Renames renames = {{"f0", "g0"}, {"f1", "g1"}, {"f2", "g2"}, {"f3", "g3"}};
    Tree tree;
    writeSources(tree, renames);
    FileOps fs;
    Recorder observer;
    observer.stopAfter = 2;
    const RenameReport report = executeRename(planIn(tree, renames, fs), observer, fs);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.outcomes, (QList<Outcome>{Outcome::Renamed, Outcome::Renamed, Outcome::NotReached, Outcome::NotReached}));
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"g0", "f0"}, {"g1", "f1"}, {"f2", "f2"}, {"f3", "f3"}}));
    // Progress still runs to its end, the second phase counting from n + 1.
    EXPECT_EQ(observer.steps.last(), 8008);
}

TEST(RenameExecutor, targetAppearingAfterPlanningIsAFailureNotAnOverwrite)
{
    const Renames renames = {{"a.jpg", "new.jpg"}, {"b.jpg", "b2.jpg"}};
    Tree tree;
    writeSources(tree, renames);
    FileOps fs;
    const RenamePlan plan = planIn(tree, renames, fs);
    tree.write("new.jpg", "intruder");
    tree.write(nativeNameOf(plan.entries[1].tempPath), "another");
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"new.jpg", "intruder"}, {"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"},
                                                           {nativeNameOf(plan.entries[1].tempPath), "another"}}));
    ASSERT_EQ(report.failures.size(), 2);
    EXPECT_EQ(report.failures[0].position, 1);
    EXPECT_EQ(report.failures[0].stage, FailureStage::ToNew);
    EXPECT_EQ(report.failures[0].error, EEXIST);
    EXPECT_TRUE(report.failures[0].leftAt.isEmpty());
    // Each failure keeps the paths that were in its way.
    EXPECT_EQ(report.failures[0].newPath, tree.path("new.jpg"));
    EXPECT_EQ(report.failures[1].stage, FailureStage::ToTemporary);
    EXPECT_EQ(report.failures[1].error, EEXIST);
    EXPECT_EQ(report.failures[1].tempPath, plan.entries[1].tempPath);
}

TEST(RenameExecutor, aFileThatCanTakeNeitherNameKeepsItsTemporaryNameAndIsReported)
{
    const Renames renames = {{"a.jpg", "b.jpg"}};
    Tree tree;
    writeSources(tree, renames);
    FaultyOps fs;
    const RenamePlan plan = planIn(tree, renames, fs);
    fs.hook = [&](FaultyOps::Op, const QByteArray &from, const QByteArray &) { return from == plan.entries[0].tempPath ? EIO : 0; };
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.outcomes[0], Outcome::LeftAtTemporary);
    EXPECT_EQ(report.failures[0].leftAt, tree.path("tmp_Tarv_1_a.jpg"));
    EXPECT_EQ(report.failures[0].error, EIO);
    EXPECT_EQ(tree.read("tmp_Tarv_1_a.jpg"), QByteArray("a.jpg"));
}

TEST(RenameExecutor, aFileThatCannotMoveKeepsItsPathTakenForTheOthers)
{
    // a -> b -> c -> d: when b cannot leave, a must not need b's path and goes
    // back to its own old path before the second phase; c still moves.
    const Renames renames = {{"a", "b"}, {"b", "c"}, {"c", "d"}};
    Tree tree;
    writeSources(tree, renames);
    FaultyOps fs;
    fs.hook = [&](FaultyOps::Op, const QByteArray &from, const QByteArray &) { return from == tree.path("b") ? EACCES : 0; };
    Recorder observer;
    const RenameReport report = executeRename(planIn(tree, renames, fs), observer, fs);
    EXPECT_EQ(report.outcomes, (QList<Outcome>{Outcome::Failed, Outcome::Failed, Outcome::Renamed}));
    ASSERT_EQ(report.failures.size(), 2);
    EXPECT_EQ(report.failures[0].stage, FailureStage::TargetStayed);
    EXPECT_EQ(report.failures[1].stage, FailureStage::ToTemporary);
    EXPECT_EQ(report.failures[1].error, EACCES);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a", "a"}, {"b", "b"}, {"d", "c"}}));
}

TEST(RenameExecutor, missingFilesFailCleanlyAndTheOthersGoOn)
{
    // One vanished after planning; one listed under a name text cannot hold
    // (invalid UTF-8), which points at a path that does not exist.
    Tree tree;
    writeSources(tree, {{"gone.jpg", {}}, {"bad\xFF.jpg", {}}, {"fine.jpg", {}}});
    FileOps fs;
    const RenamePlan plan = planRename(QList<FileEntry>{{QStringLiteral("gone.jpg"), tree.root(), QStringLiteral("g2.jpg")},
                                                        {QFile::decodeName("bad\xFF.jpg"), tree.root(), QStringLiteral("b2.jpg")},
                                                        {QStringLiteral("fine.jpg"), tree.root(), QStringLiteral("f2.jpg")}},
                                       fs);
    ::unlink(tree.path("gone.jpg").constData());
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 2);
    EXPECT_EQ(report.failures[0].error, ENOENT);
    EXPECT_EQ(report.failures[1].error, ENOENT);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"bad\xFF.jpg", "bad\xFF.jpg"}, {"f2.jpg", "fine.jpg"}}));
}

TEST(RenameExecutor, aPathHoldingNulNamesNoFile)
{
    // The system would read both paths only up to the NUL: "a" and "b".
    Tree tree;
    writeSources(tree, {{"a", {}}});
    FileOps fs;
    const RenamePlan plan = planRename(QList<PathPair>{{tree.path("a") + '\0' + "x", tree.path("b"), false, Conflict::None},
                                                       {tree.path("a"), tree.path("b") + '\0' + "y", false, Conflict::None}},
                                       fs);
    EXPECT_EQ(plan.entries[1].conflict, Conflict::InvalidName);
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].error, ENOENT);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a", "a"}}));
}

TEST(RenameExecutor, namesWithAnyBytesSurvive)
{
    Renames renames;
    QHash<QByteArray, QByteArray> expected;
    for (const QByteArray &name : {QByteArray("line\nbreak.jpg"), QByteArray("tab\there"), QByteArray("back\\slash"),
                                   QByteArray("quote\"' %25"), QByteArray(" lead space"), QByteArray("\xC3\xA9t\xC3\xA9.jpg"),
                                   QByteArray("invalid\xFF\xFEutf8"), QByteArray(200, 'z'), QByteArray("-dash"),
                                   // As long as a name can be, less the new name's "x_".
                                   "a" + QByteArray("\xC3\xA9").repeated(125) + "bc"}) {
        renames.append({name, "x_" + name});
        expected.insert("x_" + name, name);
    }
    Tree tree;
    writeSources(tree, renames);
    FileOps fs;
    const RenamePlan plan = planIn(tree, renames, fs);
    EXPECT_EQ(plan.conflictCount(), 0);
    Recorder observer;
    executeRename(plan, observer, fs);
    EXPECT_EQ(tree.files(), expected);
}

TEST(FileOps, noReplaceRenameNeverReplacesInEitherForm)
{
    for (const bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink);
        Tree tree;
    writeSources(tree, {{"a", {}}, {"b", {}}});
        FileOps fs;
        auto move = [&](const QByteArray &from, const QByteArray &to) {
            return viaLink ? FileOps::linkNoReplace(tree.path(from), tree.path(to)) : fs.renameNoReplace(tree.path(from), tree.path(to));
        };
        EXPECT_EQ(move("a", "b"), EEXIST);
        EXPECT_EQ(move("a", "c"), 0);
        EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"b", "b"}, {"c", "a"}}));
    }
}

// A temporary tree and a folder on another file system (/dev/shm).
class AcrossFileSystems : public ::testing::Test
{
protected:
    void SetUp() override
    {
        struct stat here {};
        struct stat there {};
        if (!other.isValid() || ::stat(tree.nativeRoot().constData(), &here) != 0
            || ::stat(QFile::encodeName(other.path()).constData(), &there) != 0 || here.st_dev == there.st_dev)
            GTEST_SKIP() << "no second file system at /dev/shm";
    }

    QByteArray elsewhere(const QByteArray &name) const { return QFile::encodeName(other.path()) + '/' + name; }

    QTemporaryDir other{QStringLiteral("/dev/shm/tarvello-test-XXXXXX")};
    Tree tree;
};

TEST_F(AcrossFileSystems, moveCopiesChecksAndRemovesTheSource)
{
    const QByteArray content = QByteArray(3 << 20, 'x') + "end";
    tree.write("big.bin", content);
    ::chmod(tree.path("big.bin").constData(), 0640);
    const struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    ::utimensat(AT_FDCWD, tree.path("big.bin").constData(), times, 0);
    FileOps fs;
    bool told = false;
    EXPECT_EQ(fs.move(tree.path("big.bin"), elsewhere("moved.bin"), [&] { told = true; }), 0);
    EXPECT_TRUE(told);
    EXPECT_FALSE(tree.exists("big.bin"));
    QFile moved(QFile::decodeName(elsewhere("moved.bin")));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), content);
    struct stat st {};
    ASSERT_EQ(::stat(elsewhere("moved.bin").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    // An existing target stays untouched; so does the source.
    tree.write("again.bin", "again");
    EXPECT_EQ(fs.move(tree.path("again.bin"), elsewhere("moved.bin")), EEXIST);
    EXPECT_EQ(tree.read("again.bin"), QByteArray("again"));
    EXPECT_EQ(moved.size(), content.size());
}

TEST_F(AcrossFileSystems, aCopyThatCannotFinishLeavesOnlyTheSource)
{
    tree.write("a", "A");
    for (const int fault : {int(ENOSPC), int(EACCES)}) {
        FaultyOps fs;
        // The copy fails, or the source cannot be removed after a good copy.
        fs.hook = [&](FaultyOps::Op op, const QByteArray &path, const QByteArray &) {
            const bool copyFails = fault == ENOSPC && op == FaultyOps::Op::Copy;
            const bool sourceStays = fault == EACCES && op == FaultyOps::Op::Remove && path == tree.path("a");
            return copyFails || sourceStays ? fault : 0;
        };
        EXPECT_EQ(fs.move(tree.path("a"), elsewhere("a")), fault);
        EXPECT_EQ(tree.read("a"), QByteArray("A"));
        EXPECT_FALSE(FileOps().exists(elsewhere("a")));
    }
}

// Carried to another file system, a file keeps its owner, group, mode (set-ID
// bits included) and times, and a symbolic link moves as a link with its own
// owner and times; a user whom the system does not let give a file its
// group still moves it, and the rename says what was not kept.
TEST_F(AcrossFileSystems, aMoveKeepsOwnerModeAndTimesOrSaysWhatItCouldNot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make files of other users";
    constexpr uid_t kOwner = 4242;
    constexpr gid_t kGroup = 4343;
    constexpr uid_t kNobody = 65534;
    const struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    tree.write("photo.jpg", "photo");
    tree.write("theirs.jpg", "theirs");
    ASSERT_EQ(::symlink("photo.jpg", tree.path("link").constData()), 0);
    for (const QByteArray name : {"photo.jpg", "link"}) {
        ASSERT_EQ(::lchown(tree.path(name).constData(), kOwner, kGroup), 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, tree.path(name).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    ASSERT_EQ(::chmod(tree.path("photo.jpg").constData(), 06750), 0);

    FileOps fs;
    for (const QByteArray name : {"photo.jpg", "link"}) {
        SCOPED_TRACE(name.constData());
        AttributesLost lost;
        ASSERT_EQ(fs.move(tree.path(name), elsewhere(name), {}, &lost), 0);
        EXPECT_FALSE(lost.any());
        struct stat st {};
        ASSERT_EQ(::lstat(elsewhere(name).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, kOwner);
        EXPECT_EQ(st.st_gid, kGroup);
        EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
        EXPECT_EQ(S_ISLNK(st.st_mode), name == "link");
        if (name == "photo.jpg") {
            EXPECT_EQ(st.st_mode & 07777, 06750u);
        }
    }
    char target[32] = {};
    EXPECT_EQ(::readlink(elsewhere("link").constData(), target, sizeof target - 1), 9);
    EXPECT_STREQ(target, "photo.jpg");

    // Another user, moving a file of theirs whose group is not theirs.
    ASSERT_EQ(::chown(tree.path("theirs.jpg").constData(), kNobody, 0), 0);
    for (const QString &folder : {tree.root(), other.path()})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    const RenamePlan plan = planRename(QList<PathPair>{{tree.path("theirs.jpg"), elsewhere("theirs.jpg"), false, Conflict::None}}, fs);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        RenameObserver quiet;
        const RenameReport report = executeRename(plan, quiet, fs);
        const bool told = report.attributesNotKept.size() == 1 && report.attributesNotKept[0].path == elsewhere("theirs.jpg")
            && report.attributesNotKept[0].lost.owner && !report.attributesNotKept[0].lost.mode
            && !report.attributesNotKept[0].lost.times;
        ::_exit(report.renamed == 1 && told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat st {};
    ASSERT_EQ(::stat(elsewhere("theirs.jpg").constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_FALSE(tree.exists("theirs.jpg"));
}
