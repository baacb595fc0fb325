#include "RenameTestSupport.h"

#include "files/RenameExecutor.h"
#include "files/RenamePlan.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

using namespace tarvello::files;
using tarvello::files::testing::FaultyOps;
using tarvello::files::testing::Tree;

namespace {

class Recorder : public RenameObserver
{
public:
    int stopAfter = -1; // stop request once this many first-phase positions were asked
    QList<int> steps;
    QList<int> renamedPositions;

    void progress(int step, int total) override
    {
        steps.append(step);
        lastTotal = total;
    }
    bool stopRequested() override { return stopAfter >= 0 && asked++ >= stopAfter; }
    void renamed(const PlannedRename &entry) override { renamedPositions.append(entry.position); }
    int lastTotal = 0;

private:
    int asked = 0;
};

RenamePlan planIn(const Tree &tree, const QList<std::pair<QByteArray, QByteArray>> &renames, FileOps &fs)
{
    QList<PathPair> pairs;
    for (const auto &[from, to] : renames)
        pairs.append({tree.path(from), tree.path(to), false, Conflict::None});
    return planRename(pairs, fs);
}

// Every name of the tree: no file may stay under a temporary name.
void expectNoTemporaryName(const Tree &tree)
{
    for (const QByteArray &name : tree.files().keys())
        EXPECT_FALSE(tarvello::files::testing::isTemporaryName(name)) << name.constData();
}

} // namespace

TEST(RenameExecutor, swapsTwoNamesThroughTemporaryNames)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    FileOps fs;
    const RenamePlan plan = planIn(tree, {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}}, fs);
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_EQ(report.renamed, 2);
    EXPECT_TRUE(report.failures.isEmpty());
    EXPECT_EQ(tree.read("a.jpg"), QByteArray("B"));
    EXPECT_EQ(tree.read("b.jpg"), QByteArray("A"));
    EXPECT_EQ(tree.files().size(), 2);
    // The window removes rows by position: the second phase goes downwards.
    EXPECT_EQ(observer.renamedPositions, (QList<int>{2, 1}));
    EXPECT_EQ(observer.steps, (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(observer.lastTotal, 4);
}

TEST(RenameExecutor, leavesHeldBackPositionsAndTheFileInTheirWayAlone)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    tree.write("outside.jpg", "O");
    FileOps fs;
    const RenamePlan plan = planIn(tree, {{"a.jpg", "outside.jpg"}, {"b.jpg", "c.jpg"}}, fs);
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_EQ(report.outcomes, (QList<Outcome>{Outcome::HeldBack, Outcome::Renamed}));
    EXPECT_EQ(tree.read("outside.jpg"), QByteArray("O"));
    EXPECT_EQ(tree.read("a.jpg"), QByteArray("A"));
    EXPECT_EQ(tree.read("c.jpg"), QByteArray("B"));
    EXPECT_EQ(observer.steps.size(), 4);
}

TEST(RenameExecutor, movesIntoRelativeAndFullFolders)
{
    Tree tree;
    tree.write("album/a.jpg", "A");
    tree.write("album/b.jpg", "B");
    const QString album = tree.root() + QStringLiteral("/album");
    const QString full = QStringLiteral("\\") + tree.root().mid(1).replace(QLatin1Char('/'), QLatin1Char('\\'))
        + QStringLiteral("\\archive\\2024\\b.jpg");
    FileOps fs;
    const RenamePlan plan = planRename(QList<ListEntry>{{album, QStringLiteral("a.jpg"), QStringLiteral("$MKDIR.\\sub\\a1.jpg")},
                                                        {album, QStringLiteral("b.jpg"), full}},
                                       fs);
    Recorder observer;
    EXPECT_EQ(executeRename(plan, observer, fs).renamed, 2);
    EXPECT_EQ(tree.read("album/sub/a1.jpg"), QByteArray("A"));
    EXPECT_EQ(tree.read("archive/2024/b.jpg"), QByteArray("B"));
    EXPECT_EQ(tree.files().size(), 2);
}

TEST(RenameExecutor, stopRequestEndsTheFirstPhaseButNoFileStaysTemporary)
{
    Tree tree;
    QList<std::pair<QByteArray, QByteArray>> renames;
    for (int i = 0; i < 6; ++i) {
        tree.write("f" + QByteArray::number(i), QByteArray::number(i));
        renames.append({"f" + QByteArray::number(i), "g" + QByteArray::number(i)});
    }
    FileOps fs;
    const RenamePlan plan = planIn(tree, renames, fs);
    Recorder observer;
    observer.stopAfter = 2;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.renamed, 2);
    for (int i = 0; i < 6; ++i) {
        const QByteArray expected = i < 2 ? "g" : "f";
        EXPECT_EQ(tree.read(expected + QByteArray::number(i)), QByteArray::number(i));
        EXPECT_EQ(report.outcomes[i], i < 2 ? Outcome::Renamed : Outcome::NotReached);
    }
    expectNoTemporaryName(tree);
    // Progress still runs to its end, the second phase counting from n + 1.
    EXPECT_EQ(observer.steps.last(), 12);
}

TEST(RenameExecutor, targetAppearingAfterPlanningIsAFailureNotAnOverwrite)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    FileOps fs;
    const RenamePlan plan = planIn(tree, {{"a.jpg", "new.jpg"}, {"b.jpg", "b2.jpg"}}, fs);
    tree.write("new.jpg", "intruder");
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_EQ(tree.read("new.jpg"), QByteArray("intruder"));
    EXPECT_EQ(tree.read("a.jpg"), QByteArray("A"));
    EXPECT_EQ(tree.read("b2.jpg"), QByteArray("B"));
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].position, 1);
    EXPECT_EQ(report.failures[0].stage, FailureStage::ToNew);
    EXPECT_EQ(report.failures[0].error, EEXIST);
    EXPECT_TRUE(report.failures[0].leftAt.isEmpty());
    expectNoTemporaryName(tree);
}

TEST(RenameExecutor, aFileThatCanTakeNeitherNameKeepsItsTemporaryNameAndIsReported)
{
    Tree tree;
    tree.write("a.jpg", "A");
    FaultyOps fs;
    const RenamePlan plan = planIn(tree, {{"a.jpg", "b.jpg"}}, fs);
    fs.hook = [&](FaultyOps::Op, const QByteArray &from, const QByteArray &) {
        return from == plan.entries[0].tempPath ? EIO : 0;
    };
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.outcomes[0], Outcome::LeftAtTemporary);
    EXPECT_EQ(report.failures[0].leftAt, tree.path("tmp_Tarv_1_a.jpg"));
    EXPECT_EQ(report.failures[0].error, EIO);
    EXPECT_EQ(tree.read("tmp_Tarv_1_a.jpg"), QByteArray("A"));
}

TEST(RenameExecutor, aFileThatCannotMoveKeepsItsPathTakenForTheOthers)
{
    // a -> b -> c -> d: when b cannot leave, a must not need b's path, and
    // goes back to its own old path before the second phase; c still moves.
    Tree tree;
    for (const QByteArray name : {"a", "b", "c"})
        tree.write(name, name);
    FaultyOps fs;
    const RenamePlan plan = planIn(tree, {{"a", "b"}, {"b", "c"}, {"c", "d"}}, fs);
    fs.hook = [&](FaultyOps::Op, const QByteArray &from, const QByteArray &) {
        return from == tree.path("b") ? EACCES : 0;
    };
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    EXPECT_EQ(report.outcomes, (QList<Outcome>{Outcome::Failed, Outcome::Failed, Outcome::Renamed}));
    ASSERT_EQ(report.failures.size(), 2);
    EXPECT_EQ(report.failures[0].stage, FailureStage::TargetStayed);
    EXPECT_EQ(report.failures[1].stage, FailureStage::ToTemporary);
    EXPECT_EQ(report.failures[1].error, EACCES);
    EXPECT_EQ(tree.read("a"), QByteArray("a"));
    EXPECT_EQ(tree.read("b"), QByteArray("b"));
    EXPECT_EQ(tree.read("d"), QByteArray("c"));
    expectNoTemporaryName(tree);
}

TEST(RenameExecutor, vanishedFileIsReportedAndTheOthersGoOn)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    FileOps fs;
    const RenamePlan plan = planIn(tree, {{"a.jpg", "a2.jpg"}, {"b.jpg", "b2.jpg"}}, fs);
    ::unlink(tree.path("a.jpg").constData());
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].error, ENOENT);
    EXPECT_EQ(tree.read("b2.jpg"), QByteArray("B"));
}

TEST(RenameExecutor, namesWithAnyBytesSurvive)
{
    Tree tree;
    const QList<QByteArray> names = {"line\nbreak.jpg", "tab\there", "back\\slash", "quote\"'", " lead space",
                                     "\xC3\xA9t\xC3\xA9.jpg", "invalid\xFF\xFEutf8", QByteArray(200, 'z'), "-dash", "%s%d"};
    QList<std::pair<QByteArray, QByteArray>> renames;
    for (const QByteArray &name : names) {
        tree.write(name, "content of " + name);
        renames.append({name, "x_" + name});
    }
    FileOps fs;
    const RenamePlan plan = planIn(tree, renames, fs);
    EXPECT_EQ(plan.conflictCount(), 0);
    Recorder observer;
    EXPECT_EQ(executeRename(plan, observer, fs).renamed, names.size());
    for (const QByteArray &name : names)
        EXPECT_EQ(tree.read("x_" + name), "content of " + name) << name.constData();
    EXPECT_EQ(tree.files().size(), names.size());
}

TEST(RenameExecutor, aListedNameThatDoesNotRoundTripFailsCleanly)
{
    // Text cannot hold every byte: a row made from such a name points at a
    // path that does not exist, and nothing else is touched.
    Tree tree;
    tree.write("bad\xFF.jpg", "B");
    const QString shown = QFile::decodeName(QByteArray("bad\xFF.jpg"));
    FileOps fs;
    const RenamePlan plan = planRename(QList<ListEntry>{{tree.root(), shown, QStringLiteral("good.jpg")}}, fs);
    Recorder observer;
    const RenameReport report = executeRename(plan, observer, fs);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].error, ENOENT);
    EXPECT_EQ(tree.read("bad\xFF.jpg"), QByteArray("B"));
    EXPECT_EQ(tree.files().size(), 1);
}

TEST(FileOps, noReplaceRenameNeverReplacesInEitherForm)
{
    for (const bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink);
        Tree tree;
        tree.write("a", "A");
        tree.write("b", "B");
        FileOps fs;
        auto move = [&](const QByteArray &from, const QByteArray &to) {
            return viaLink ? FileOps::linkNoReplace(tree.path(from), tree.path(to))
                           : fs.renameNoReplace(tree.path(from), tree.path(to));
        };
        EXPECT_EQ(move("a", "b"), EEXIST);
        EXPECT_EQ(tree.read("a"), QByteArray("A"));
        EXPECT_EQ(tree.read("b"), QByteArray("B"));
        EXPECT_EQ(move("a", "c"), 0);
        EXPECT_FALSE(tree.exists("a"));
        EXPECT_EQ(tree.read("c"), QByteArray("A"));
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
    ::symlink("big.bin", tree.path("link").constData());

    FileOps fs;
    const QByteArray target = elsewhere("moved.bin");
    bool told = false;
    EXPECT_EQ(fs.move(tree.path("big.bin"), target, [&] { told = true; }), 0);
    EXPECT_TRUE(told);
    EXPECT_FALSE(tree.exists("big.bin"));
    QFile moved(QFile::decodeName(target));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), content);
    struct stat st {};
    ASSERT_EQ(::stat(target.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);

    EXPECT_EQ(fs.move(tree.path("link"), elsewhere("link")), 0);
    char linked[16] = {};
    EXPECT_EQ(::readlink(elsewhere("link").constData(), linked, sizeof linked - 1), 7);
    EXPECT_STREQ(linked, "big.bin");

    // An existing target stays untouched; so does the source.
    tree.write("again.bin", "again");
    EXPECT_EQ(fs.move(tree.path("again.bin"), target), EEXIST);
    EXPECT_EQ(tree.read("again.bin"), QByteArray("again"));
    EXPECT_EQ(QFileInfo(QFile::decodeName(target)).size(), content.size());
}

TEST_F(AcrossFileSystems, aCopyThatCannotFinishLeavesOnlyTheSource)
{
    tree.write("a", "A");
    const QByteArray target = elsewhere("a");
    for (const int fault : {int(ENOSPC), int(EACCES)}) {
        FaultyOps fs;
        // The copy fails, or the source cannot be removed after a good copy.
        fs.hook = [&](FaultyOps::Op op, const QByteArray &path, const QByteArray &) {
            const bool copyFails = fault == ENOSPC && op == FaultyOps::Op::Copy;
            const bool sourceStays = fault == EACCES && op == FaultyOps::Op::Remove && path == tree.path("a");
            return copyFails || sourceStays ? fault : 0;
        };
        EXPECT_EQ(fs.move(tree.path("a"), target), fault);
        EXPECT_EQ(tree.read("a"), QByteArray("A"));
        EXPECT_FALSE(FileOps().exists(target));
    }
}
