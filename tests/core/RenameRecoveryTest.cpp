#include "RenameTestSupport.h"

#include "rename/UndoRecord.h"

#include <QProcess>

#include <cerrno>

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

// How a killed run moves its files.
enum class MoveKind {
    Rename,     // renameat2
    LinkUnlink, // the fallback, which can die between its two steps
    Copy,       // another file system: copy, check, remove
};

// File operations that count every step and die at the chosen one (never
// with 0), leaving the disk exactly as a killed process would; dying in a
// copy leaves part of the file behind. With Copy, moves to the far paths act
// as if those lay on another file system.
FaultyOps dyingAt(int step, MoveKind kind, const QSet<QByteArray> &far = {})
{
    FaultyOps fs;
    fs.linkThenUnlink = kind == MoveKind::LinkUnlink;
    fs.hook = [=, count = 0](FaultyOps::Op op, const QByteArray &, const QByteArray &to) mutable {
        if (kind == MoveKind::Copy && op == FaultyOps::Op::Rename && far.contains(to))
            return int(EXDEV);
        if (++count != step)
            return 0;
        const int fd = op == FaultyOps::Op::Copy ? ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600) : -1;
        if (fd >= 0) {
            EXPECT_EQ(::write(fd, "part", 4), 4);
            ::close(fd);
        }
        throw Killed();
    };
    return fs;
}

struct KillRow {
    const char *what;
    QList<QByteArray> files;
    Renames renames;
    Files links = {};
    bool makeFolders = false;
};

// Names with any bytes, the last as long as a name can be less the "x_" it
// gets, with two-byte characters up to its end.
const QList<QByteArray> kAnyBytes = {"line\nbreak.jpg", "tab\there", "back\\slash", "quote\"' %25", " lead space", "-dash",
                                     "\xC3\xA9t\xC3\xA9.jpg", "invalid\xFF\xFEutf8", QByteArray(200, 'z'),
                                     "a" + QByteArray("\xC3\xA9").repeated(125) + "bc"};

Renames prefixed(const QList<QByteArray> &names)
{
    Renames renames;
    for (const QByteArray &name : names)
        renames.append({name, "x_" + name});
    return renames;
}

const QList<KillRow> kRows = {
    {"an exchange of two names and a chain", {"a", "b", "c", "d"}, {{"a", "b"}, {"b", "a"}, {"c", "d"}, {"d", "e"}}},
    {"a rotation", {"f0", "f1", "f2", "f3", "f4"}, {{"f0", "f1"}, {"f1", "f2"}, {"f2", "f3"}, {"f3", "f4"}, {"f4", "f0"}}},
    {"hard links: two names of one file exchanged, two more given new ones",
     {"2.txt"}, {{"2.txt", "1.txt"}, {"1.txt", "2.txt"}, {"3.txt", "4.txt"}}, {{"1.txt", "2.txt"}, {"3.txt", "2.txt"}}},
    {"moves into nested folders made for them", {"c", "d"}, {{"c", "sub/deeper/c2"}, {"d", "sub/d2"}}, {}, true},
    {"names that differ in case only", {"e", "E"}, {{"e", "n_1"}, {"E", "n_2"}}},
    {"names with any bytes, the longest name", kAnyBytes, prefixed(kAnyBytes)},
};

// Across file systems no new path can be another file's old path.
bool chained(const Renames &renames)
{
    return std::any_of(renames.cbegin(), renames.cend(), [&](const auto &rename) {
        return std::any_of(renames.cbegin(), renames.cend(), [&](const auto &other) { return other.first == rename.second; });
    });
}

Files allMoved(const Files &before, const Renames &run)
{
    Files moved;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        moved.insert(movedBy(run, it.key()), it.value());
    return moved;
}

// The driver's command line (tests/support/rename_driver.cpp) for a run of
// the scene, after the given options.
QStringList driverArguments(const Scene &scene, const Renames &run, const QStringList &options)
{
    QStringList arguments = options;
    arguments << scene.settings();
    for (const auto &[from, to] : run)
        arguments << QFile::decodeName(scene.path(from)) << QFile::decodeName(scene.path(to));
    return arguments;
}

QList<QByteArray> numbered(const QByteArray &prefix, int count)
{
    QList<QByteArray> names;
    for (int i = 1; i <= count; ++i)
        names.append(prefix + QByteArray::number(100 + i) + ".jpg");
    return names;
}
} // namespace

// Every point a run can be killed at, for every way of moving, and a
// recovery killed in turn at one of its first steps: the next start's
// recovery leaves each file at its old or its new name and counts them where
// they are, then undo brings every one of them back. A run left to finish
// is undone whole.
TEST(RenameRecovery, killAtEveryStepOfTheRunThenRecoverThenUndo)
{
    for (const MoveKind kind : {MoveKind::Rename, MoveKind::LinkUnlink, MoveKind::Copy}) {
        for (const KillRow &row : kRows) {
            if (kind == MoveKind::Copy && chained(row.renames))
                continue;
            // Which of two names of one file a cut link left behind cannot be
            // told when listed names share that file: it is reported, not guessed.
            if (kind == MoveKind::LinkUnlink && !row.links.isEmpty())
                continue;
            for (int dieAt = 1;; ++dieAt) {
                SCOPED_TRACE(::testing::Message() << row.what << ", kind " << int(kind) << ", killed at step " << dieAt);
                Scene scene(row.files, row.links);
                const Files before = scene.files();
                QSet<QByteArray> far;
                for (const auto &[from, to] : row.renames)
                    far.insert(scene.path(to));
                FaultyOps dying = dyingAt(dieAt, kind, far);
                RenameObserver quiet;
                bool finished = true;
                try {
                    runRename(scene.plan(row.renames, dying, row.makeFolders), scene.settings(), quiet, dying);
                } catch (const Killed &) {
                    finished = false;
                }
                RecoveryReport report;
                if (finished) {
                    EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
                    EXPECT_EQ(scene.files(), allMoved(before, row.renames));
                } else {
                    ASSERT_TRUE(interruptedRenameWaiting(scene.settings()));
                    FaultyOps dyingAgain = dyingAt(1 + dieAt % 3, kind, far);
                    FaultyOps living = dyingAt(0, kind, far);
                    try {
                        report = recoverInterruptedRename(scene.settings(), dyingAgain);
                    } catch (const Killed &) {
                        report = recoverInterruptedRename(scene.settings(), living);
                    }
                    scene.expectRecovered(before, row.renames, report);
                }
                FileOps fs;
                scene.undo(fs);
                EXPECT_EQ(scene.files(report.incompleteCopies), before);
                if (finished)
                    break;
            }
        }
    }
}

// An undo killed at any point, then recovered: the files it took back leave
// the undo record, the others stay in it, and the next undo brings them back
// rather than renaming again those already back.
TEST(RenameRecovery, anUndoCutShortIsFinishedByTheNextUndo)
{
    for (const KillRow &row : kRows) {
        for (int dieAt = 1;; ++dieAt) {
            SCOPED_TRACE(::testing::Message() << row.what << ", undo killed at step " << dieAt);
            Scene scene(row.files, row.links);
            const Files before = scene.files();
            FileOps fs;
            RenameObserver quiet;
            ASSERT_EQ(runRename(scene.plan(row.renames, fs, row.makeFolders), scene.settings(), quiet, fs).report.renamed,
                      row.renames.size());
            FaultyOps dying = dyingAt(dieAt, MoveKind::Rename);
            try {
                undoLastRename(scene.settings(), quiet, dying);
                break;
            } catch (const Killed &) {
            }
            const RecoveryReport report = recoverInterruptedRename(scene.settings(), fs);
            EXPECT_EQ(report.kind, JournalKind::Undo);
            scene.expectRecovered(before, row.renames, {});
            // Still to take back: exactly the files not at their old names
            // (names of one file hold the same content wherever they are).
            const Files files = scene.files();
            QSet<QByteArray> notBack;
            for (const auto &[from, to] : row.renames) {
                if (files.value(from) != before.value(from))
                    notBack.insert(scene.path(to));
            }
            QSet<QByteArray> recorded;
            for (const UndoPair &pair : UndoRecord(scene.settings()).load().value_or(QList<UndoPair>()))
                recorded.insert(pair.newPath);
            EXPECT_TRUE(!row.links.isEmpty() || recorded == notBack);
            scene.undo(fs);
            EXPECT_EQ(scene.files(), before);
        }
    }
}

TEST(RenameRecovery, aJournalCutWhileBeingWrittenMeansNothingMoved)
{
    Scene scene({"a"});
    const QString part = RenameJournal(scene.settings()).path() + QStringLiteral(".4242.part");
    QFile half(part);
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write("TARVELLO RENAME JOURNAL 1\nE 1 - - - YQ== dG1w");
    half.close();
    EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
    FileOps fs;
    EXPECT_FALSE(recoverInterruptedRename(scene.settings(), fs).found);
    EXPECT_FALSE(QFile::exists(part));
    EXPECT_EQ(scene.files(), (Files{{"a", "a"}}));
}

TEST(RenameRecovery, aWaitingJournalBlocksTheNextRename)
{
    Scene scene({"a"});
    FileOps fs;
    const RenamePlan plan = scene.plan({{"a", "b"}}, fs);
    RenameJournal journal(scene.settings());
    ASSERT_EQ(journal.begin(plan), 0);
    EXPECT_EQ(journal.begin(plan), EEXIST);
    RenameObserver quiet;
    const RenameRun run = runRename(plan, scene.settings(), quiet, fs);
    EXPECT_EQ(run.journalError, EEXIST);
    EXPECT_TRUE(run.report.outcomes.isEmpty());
    EXPECT_EQ(scene.files(), (Files{{"a", "a"}}));
}

// While a rename runs in another process its journal is no interrupted one:
// nothing may recover it, undo or rename beside it. Once that process is
// killed, the journal is recovered.
TEST(RenameKill, aRunningRenameIsNotTakenForAnInterruptedOne)
{
    const QList<QByteArray> names = numbered("photo ", 20);
    const Renames run = prefixed(names);
    Scene scene(names);
    const Files before = scene.files();
    QProcess driver;
    driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), driverArguments(scene, run, {QStringLiteral("pause=60000")}));
    QByteArray said;
    while (!said.contains("between") && driver.waitForReadyRead(10000))
        said += driver.readAllStandardOutput();
    ASSERT_TRUE(said.contains("between"));

    FileOps fs;
    RenameObserver quiet;
    EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
    EXPECT_TRUE(recoverInterruptedRename(scene.settings(), fs).busy);
    EXPECT_EQ(undoLastRename(scene.settings(), quiet, fs).journalError, EBUSY);
    Scene other({"a"});
    EXPECT_EQ(runRename(other.plan({{"a", "b"}}, fs), scene.settings(), quiet, fs).journalError, EBUSY);
    EXPECT_EQ(other.files(), (Files{{"a", "a"}}));

    driver.kill();
    ASSERT_TRUE(driver.waitForFinished(10000));
    EXPECT_TRUE(interruptedRenameWaiting(scene.settings()));
    const RecoveryReport report = recoverInterruptedRename(scene.settings(), fs);
    EXPECT_FALSE(report.busy);
    scene.expectRecovered(before, run, report);
}

// Renames of folders and across file systems, each run killed at a chosen
// file operation and recovered, then undone: undo takes back every file the
// last run that changed anything moved.
TEST(RenameKill, runsKilledAtAChosenOperationAreRecoveredThenUndone)
{
    struct KillScene {
        const char *what;
        QList<QByteArray> files;
        QList<Renames> runs;     // one after the other, each cut at the same point
        QList<QByteArray> kills; // the operation each run dies at
        bool acrossFileSystems = false;
    };
    const QList<QByteArray> far = numbered("@f", 20);
    const QList<KillScene> scenes = {
        {"a folder renamed with its files inside",
         {"album/a.jpg", "album/b.jpg", "album/sub/c.jpg", "x.jpg"},
         {{{"album", "photos"}, {"x.jpg", "y.jpg"}}},
         {"rename:1", "rename:2", "rename:3", "rename:4"}},
        {"the files of a folder, then the folder",
         {"album/a.jpg", "album/b.jpg", "album/c.jpg"},
         {{{"album/a.jpg", "album/1.jpg"}, {"album/b.jpg", "album/2.jpg"}, {"album/c.jpg", "album/a.jpg"}}, {{"album", "photos"}}},
         {"rename:2", "rename:4", "rename:5"}},
        {"a move from another file system",
         far,
         {prefixed(far)},
         {"rename:21", "copy:7", "unlink:1", "unlink:6"},
         true},
    };
    const bool acrossAvailable = !otherFileSystem().isEmpty();
    for (const KillScene &kill : scenes) {
        if (kill.acrossFileSystems && !acrossAvailable) {
            std::printf("skipped \"%s\": no second file system at /dev/shm\n", kill.what);
            continue;
        }
        for (const QByteArray &at : kill.kills) {
            SCOPED_TRACE(::testing::Message() << kill.what << ", killed at " << at.constData());
            Scene scene(kill.files, {}, kill.acrossFileSystems);
            Files undone = scene.files();
            int killed = 0;
            for (const Renames &run : kill.runs) {
                const Files before = scene.files();
                QProcess driver;
                driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), driverArguments(scene, run, {"die=" + QString::fromLatin1(at)}));
                EXPECT_TRUE(driver.waitForFinished(60000));
                killed += driver.exitStatus() == QProcess::CrashExit ? 1 : 0;
                FileOps fs;
                scene.expectRecovered(before, run, recoverInterruptedRename(scene.settings(), fs));
                // A run that changed nothing leaves the one before it to undo.
                if (scene.files() != before)
                    undone = before;
            }
            EXPECT_GT(killed, 0);
            FileOps fs;
            scene.undo(fs);
            EXPECT_EQ(scene.files(), undone);
        }
    }
}
