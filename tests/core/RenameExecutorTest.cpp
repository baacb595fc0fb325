#include "RenameTestSupport.h"

#include "rename/RenameExecutor.h"

#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>

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
    bool stopRequested() override { return stopAfter >= 0 && m_asked++ >= stopAfter; }
    void renamed(const PlannedRename &entry) override { renamedPositions.append(entry.position); }

private:
    int m_asked = 0;
};

using O = Outcome;
using Meddle = std::function<void(const Scene &, const RenamePlan &, FaultyOps &)>;

struct ExecutorRow {
    const char *what;
    QList<QByteArray> files;
    Renames renames;
    QList<Outcome> outcomes;
    QList<std::pair<FailureStage, int>> failures;
    Files after;
    Meddle meddle = {}; // between planning and the run
    int stopAfter = -1;
};

QList<ExecutorRow> executorRows()
{
    return {
        {"an exchange of two names", {"a", "b"}, {{"a", "b"}, {"b", "a"}}, {O::Renamed, O::Renamed}, {}, {{"a", "b"}, {"b", "a"}}},
        {"a held-back position and the file in its way",
         {"a", "b", "outside"}, {{"a", "outside"}, {"b", "c"}}, {O::HeldBack, O::Renamed}, {},
         {{"outside", "outside"}, {"a", "a"}, {"c", "b"}}},
        {"a stop request: no file stays temporary",
         {"f0", "f1", "f2", "f3"}, {{"f0", "g0"}, {"f1", "g1"}, {"f2", "g2"}, {"f3", "g3"}},
         {O::Renamed, O::Renamed, O::NotReached, O::NotReached}, {}, {{"g0", "f0"}, {"g1", "f1"}, {"f2", "f2"}, {"f3", "f3"}}, {}, 2},
        {"a new and a temporary path taken after planning: failures, not overwrites",
         {"a", "b"}, {{"a", "new"}, {"b", "b2"}}, {O::Failed, O::Failed},
         {{FailureStage::ToNew, EEXIST}, {FailureStage::ToTemporary, EEXIST}},
         {{"new", "intruder"}, {"a", "a"}, {"b", "b"}, {"tmp_Tarv_2_b", "another"}},
         [](const Scene &scene, const RenamePlan &plan, FaultyOps &) {
             scene.tree().write("new", "intruder");
             scene.tree().write(nativeNameOf(plan.temporaryPath(plan.entries[1])), "another");
         }},
        {"a file that can take neither name keeps its temporary name",
         {"a"}, {{"a", "b"}}, {O::LeftAtTemporary}, {{FailureStage::ToNew, EIO}}, {{"tmp_Tarv_1_a", "a"}},
         [](const Scene &, const RenamePlan &plan, FaultyOps &fs) {
             fs.hook = [tempPath = plan.temporaryPath(plan.entries[0])](FaultyOps::Op, const QByteArray &from, const QByteArray &) {
                 return from == tempPath ? EIO : 0;
             };
         }},
        // When b cannot leave, a must not need b's path and goes back to its
        // own old path before the second phase; c still moves.
        {"a file that cannot leave keeps its path taken for the others",
         {"a", "b", "c"}, {{"a", "b"}, {"b", "c"}, {"c", "d"}}, {O::Failed, O::Failed, O::Renamed},
         {{FailureStage::TargetStayed, 0}, {FailureStage::ToTemporary, EACCES}}, {{"a", "a"}, {"b", "b"}, {"d", "c"}},
         [](const Scene &scene, const RenamePlan &, FaultyOps &fs) {
             fs.hook = [b = scene.path("b")](FaultyOps::Op, const QByteArray &from, const QByteArray &) { return from == b ? EACCES : 0; };
         }},
        // A name read as text has U+FFFD for its invalid byte: it names no file.
        {"a file gone since planning and a name read as text",
         {"gone", "bad\xFF", "fine"}, {{"gone", "g2"}, {"bad\xEF\xBF\xBD", "b2"}, {"fine", "f2"}}, {O::Failed, O::Failed, O::Renamed},
         {{FailureStage::ToTemporary, ENOENT}, {FailureStage::ToTemporary, ENOENT}}, {{"bad\xFF", "bad\xFF"}, {"f2", "fine"}},
         [](const Scene &scene, const RenamePlan &, FaultyOps &) { ::unlink(scene.path("gone").constData()); }},
        // The system would read both paths only up to the NUL: "a" and "b".
        {"paths holding NUL name no file",
         {"a"}, {{QByteArray("a\0x", 3), "b"}, {"a", QByteArray("b\0y", 3)}}, {O::Failed, O::HeldBack},
         {{FailureStage::ToTemporary, ENOENT}}, {{"a", "a"}}},
    };
}

} // namespace

// Each position ends as told, each failure with its stage, errno and paths,
// and nothing replaces a file. The second phase goes downwards (the window
// removes rows by position) and progress runs to its end even when stopped.
TEST(RenameExecutor, positionsEndAsToldAndNoFileIsReplaced)
{
    for (const ExecutorRow &row : executorRows()) {
        SCOPED_TRACE(row.what);
        Scene scene(row.files);
        FaultyOps fs;
        const RenamePlan plan = scene.plan(row.renames, fs);
        if (row.meddle)
            row.meddle(scene, plan, fs);
        Recorder observer;
        observer.stopAfter = row.stopAfter;
        const RenameReport report = executeRename(plan, observer, fs);
        EXPECT_EQ(report.outcomes, row.outcomes);
        EXPECT_EQ(report.stopped, row.stopAfter >= 0);
        EXPECT_EQ(scene.files(), row.after);
        ASSERT_EQ(report.failures.size(), row.failures.size());
        for (qsizetype i = 0; i < report.failures.size(); ++i) {
            const RenameFailure &failure = report.failures[i];
            const PlannedRename &entry = plan.entries[failure.position - 1];
            EXPECT_EQ(std::make_pair(failure.stage, failure.error), row.failures[i]);
            EXPECT_EQ(failure.newPath, entry.newPath);
            EXPECT_EQ(failure.tempPath, plan.temporaryPath(entry));
            EXPECT_EQ(failure.leftAt, report.outcomes[failure.position - 1] == O::LeftAtTemporary ? failure.tempPath : QByteArray());
        }
        QList<int> renamedDownwards;
        for (qsizetype i = report.outcomes.size(); i > 0; --i) {
            if (report.outcomes[i - 1] == O::Renamed)
                renamedDownwards.append(int(i));
        }
        EXPECT_EQ(observer.renamedPositions, renamedDownwards);
        EXPECT_EQ(report.renamed, renamedDownwards.size());
        const int total = 2 * int(row.renames.size());
        ASSERT_FALSE(observer.steps.isEmpty());
        EXPECT_EQ(observer.steps.last(), total * 1000 + total);
    }
}

TEST(FileOps, noReplaceRenameNeverReplacesInEitherForm)
{
    for (const bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink);
        Scene scene({"a", "b"});
        FileOps fs;
        auto move = [&](const QByteArray &from, const QByteArray &to) {
            return viaLink ? FileOps::linkNoReplace(scene.path(from), scene.path(to)) : fs.renameNoReplace(scene.path(from), scene.path(to));
        };
        EXPECT_EQ(move("a", "b"), EEXIST);
        EXPECT_EQ(move("a", "c"), 0);
        EXPECT_EQ(scene.files(), (Files{{"b", "b"}, {"c", "a"}}));
    }
}

TEST(AcrossFileSystems, aCopyThatCannotFinishLeavesOnlyTheSource)
{
    if (otherFileSystem().isEmpty())
        GTEST_SKIP() << "no second file system at /dev/shm";
    Scene scene({"a"}, {}, true);
    for (const int fault : {int(ENOSPC), int(EACCES)}) {
        FaultyOps fs;
        // The copy fails, or the source cannot be removed after a good copy.
        fs.hook = [&](FaultyOps::Op op, const QByteArray &path, const QByteArray &) {
            const bool copyFails = fault == ENOSPC && op == FaultyOps::Op::Copy;
            const bool sourceStays = fault == EACCES && op == FaultyOps::Op::Remove && path == scene.path("a");
            return copyFails || sourceStays ? fault : 0;
        };
        EXPECT_EQ(fs.move(scene.path("a"), scene.path("@a")), fault);
        EXPECT_EQ(scene.files(), (Files{{"a", "a"}}));
    }
}

// Carried to another file system, a file keeps its content, mode (set-ID
// bits included), times and (when root can give them) owner and group; a
// symbolic link moves as a link with its own times and owner. A target there
// stays untouched, and so does the source. A user whom the system does not
// let give a file its group still moves it, and the rename says what was not
// kept.
TEST(AcrossFileSystems, aMoveCopiesContentAndAttributesThenRemovesTheSource)
{
    if (otherFileSystem().isEmpty())
        GTEST_SKIP() << "no second file system at /dev/shm";
    Scene scene({"theirs.jpg", "again.jpg"}, {}, true);
    const Tree &tree = scene.tree();
    const bool root = ::geteuid() == 0;
    constexpr uid_t kOwner = 4242;
    constexpr gid_t kGroup = 4343;
    constexpr uid_t kNobody = 65534;
    const struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    const QByteArray big = QByteArray(3 << 20, 'x') + "end";
    tree.write("photo.jpg", big);
    ASSERT_EQ(::symlink("photo.jpg", tree.path("link").constData()), 0);
    for (const QByteArray name : {"photo.jpg", "link"}) {
        ASSERT_TRUE(!root || ::lchown(tree.path(name).constData(), kOwner, kGroup) == 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, tree.path(name).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    const mode_t mode = root ? 06750 : 0640;
    ASSERT_EQ(::chmod(tree.path("photo.jpg").constData(), mode), 0);
    FileOps fs;
    for (const QByteArray name : {"photo.jpg", "link"}) {
        SCOPED_TRACE(name.constData());
        AttributesLost lost;
        bool told = false;
        ASSERT_EQ(fs.move(tree.path(name), scene.path("@" + name), [&] { told = true; }, &lost), 0);
        EXPECT_TRUE(told || name == "link");
        EXPECT_FALSE(lost.any());
        EXPECT_FALSE(FileOps().exists(tree.path(name)));
        struct stat st {};
        ASSERT_EQ(::lstat(scene.path("@" + name).constData(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
        EXPECT_EQ(S_ISLNK(st.st_mode), name == "link");
        EXPECT_TRUE(!root || std::make_pair(st.st_uid, st.st_gid) == std::make_pair(kOwner, kGroup)) << st.st_uid << ':' << st.st_gid;
        EXPECT_TRUE(name == "link" || (st.st_mode & 07777) == mode) << std::oct << st.st_mode;
    }
    EXPECT_EQ(scene.files().value("@photo.jpg"), big);
    char target[32] = {};
    EXPECT_EQ(::readlink(scene.path("@link").constData(), target, sizeof target - 1), 9);
    EXPECT_STREQ(target, "photo.jpg");
    EXPECT_EQ(fs.move(tree.path("again.jpg"), scene.path("@photo.jpg")), EEXIST);
    EXPECT_EQ(tree.read("again.jpg"), QByteArray("again.jpg"));
    EXPECT_EQ(scene.files().value("@photo.jpg"), big);
    if (!root)
        return;

    // Another user, moving a file of theirs whose group is not theirs.
    ASSERT_EQ(::chown(tree.path("theirs.jpg").constData(), kNobody, 0), 0);
    for (const QByteArray &folder : {scene.path(""), scene.path("@")})
        ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    const RenamePlan plan = planRename(QList<PathPair>{{tree.path("theirs.jpg"), scene.path("@theirs.jpg"), false, Conflict::None}}, fs);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        RenameObserver quiet;
        const RenameReport report = executeRename(plan, quiet, fs);
        const auto &notKept = report.attributesNotKept;
        const bool told = notKept.size() == 1 && notKept[0].path == scene.path("@theirs.jpg") && notKept[0].lost.owner
            && !notKept[0].lost.mode && !notKept[0].lost.times;
        ::_exit(report.renamed == 1 && told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat st {};
    ASSERT_EQ(::stat(scene.path("@theirs.jpg").constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_FALSE(tree.exists("theirs.jpg"));
}
