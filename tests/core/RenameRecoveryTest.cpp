#include "RenameTestSupport.h"

#include "rename/RenameJournal.h"
#include "rename/RenameOperation.h"
#include "rename/UndoRecord.h"

#include <gtest/gtest.h>

#include <QSet>

#include <cerrno>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using tarvello::rename::testing::FaultyOps;
using tarvello::rename::testing::Killed;
using tarvello::rename::testing::Renames;
using tarvello::rename::testing::Tree;

namespace {

// How a run is cut: the file operation at which it dies, and how moves are made.
enum class MoveKind {
    Rename,        // renameat2
    LinkUnlink,    // the fallback, which can die between its two steps
    Copy,          // another file system: copy, check, remove
};

// File operations that count every step and die at the chosen one, leaving
// the disk exactly as a killed process would. Moves to the far paths act as
// if those lay on another file system.
class DyingOps : public FileOps
{
public:
    DyingOps(MoveKind kind, int dieAt, QSet<QByteArray> far = {})
        : m_kind(kind), m_dieAt(dieAt), m_far(std::move(far))
    {
    }

    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        if (m_kind == MoveKind::LinkUnlink) {
            step();
            if (::link(from.constData(), to.constData()) != 0)
                return errno;
            step();
            return ::unlink(from.constData()) == 0 ? 0 : errno;
        }
        if (m_kind == MoveKind::Copy && m_far.contains(to))
            return EXDEV;
        step();
        return FileOps::renameNoReplace(from, to);
    }

    int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr) override
    {
        // Dying in a copy leaves part of the file behind.
        if (++m_count == m_dieAt) {
            const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd >= 0) {
                EXPECT_EQ(::write(fd, "part", 4), 4);
                ::close(fd);
            }
            throw Killed();
        }
        return FileOps::copyNoReplace(from, to, lost);
    }

    int removeFile(const QByteArray &path) override
    {
        step();
        return FileOps::removeFile(path);
    }

private:
    void step()
    {
        if (++m_count == m_dieAt)
            throw Killed();
    }

    MoveKind m_kind;
    int m_dieAt;
    QSet<QByteArray> m_far;
    int m_count = 0;
};

class Scene
{
public:
    // Every source holds its own content, but a source named in links is a
    // hard link to the file of another.
    explicit Scene(const Renames &renames, const QHash<QByteArray, QByteArray> &links = {}) : m_renames(renames)
    {
        for (const auto &[from, to] : renames) {
            if (!m_contents.contains(from) && !links.contains(from)) {
                m_contents.insert(from, "content of " + from);
                m_tree.write(from, m_contents.value(from));
            }
        }
        for (auto it = links.cbegin(); it != links.cend(); ++it) {
            EXPECT_EQ(::link(m_tree.path(it.value()).constData(), m_tree.path(it.key()).constData()), 0);
            m_contents.insert(it.key(), m_contents.value(it.value()));
        }
        m_before = m_tree.files();
    }

    QString settings() const { return m_settings.path(); }

    QSet<QByteArray> newPaths() const
    {
        QSet<QByteArray> paths;
        for (const auto &[from, to] : m_renames)
            paths.insert(m_tree.path(to));
        return paths;
    }

    RenamePlan plan(FileOps &fs) const { return tarvello::rename::testing::planIn(m_tree, m_renames, fs); }

    // Every file at its old or its new path with its own content (with
    // allOld, at its old path), and nothing else in the tree but the reported
    // unfinished copies; with a report, the recovery counted them right.
    void expectSound(bool allOld = false, const QList<QByteArray> &unfinished = {},
                     const RecoveryReport *report = nullptr) const
    {
        QHash<QByteArray, QByteArray> files = m_tree.files();
        for (const QByteArray &path : unfinished)
            EXPECT_EQ(files.take(path.mid(m_tree.nativeRoot().size() + 1)), QByteArray("part"));
        if (allOld)
            EXPECT_EQ(files, m_before);
        else
            tarvello::rename::testing::expectEachAtOldOrNew(m_before, files, m_renames);
        if (report)
            tarvello::rename::testing::expectCounted(*report, m_before, files, m_renames);
    }

    const Tree &tree() const { return m_tree; }
    QByteArray content(const QByteArray &source) const { return m_contents.value(source); }

private:
    Renames m_renames;
    Tree m_tree;
    QTemporaryDir m_settings;
    QHash<QByteArray, QByteArray> m_contents;
    QHash<QByteArray, QByteArray> m_before;
};

struct SceneRow {
    const char *what;
    Renames renames;
    QHash<QByteArray, QByteArray> links;
};

const QList<SceneRow> kScenes = {
    {"swap and chain", {{"a", "b"}, {"b", "a"}, {"c", "d"}, {"d", "e"}}, {}},
    {"rotation", {{"f0", "f1"}, {"f1", "f2"}, {"f2", "f3"}, {"f3", "f4"}, {"f4", "f0"}}, {}},
    {"plain", {{"x", "x2"}, {"y", "y2"}, {"z", "z2"}}, {}},
    // Two names of one file exchanged, and two more names of it given new ones.
    {"hard links", {{"2.txt", "1.txt"}, {"1.txt", "2.txt"}, {"3.txt", "4.txt"}}, {{"1.txt", "2.txt"}, {"3.txt", "2.txt"}}},
};

} // namespace

// Every point a run can be killed at, for every way of moving, and a
// recovery killed in turn at one of its first steps: the next start's
// recovery leaves each file at its old or its new name and counts them where
// they are, then undo brings every one of them back.
TEST(RenameRecovery, killAtEveryStepOfTheRunThenRecover)
{
    for (const MoveKind kind : {MoveKind::Rename, MoveKind::LinkUnlink, MoveKind::Copy}) {
        for (const auto &[what, renames, links] : kScenes) {
            // Across file systems no new path can be another file's old path.
            if (kind == MoveKind::Copy && QByteArray(what) != "plain")
                continue;
            // Which of two names of one file a cut link left behind cannot be
            // told when listed names share that file: it is reported, not guessed.
            if (kind == MoveKind::LinkUnlink && !links.isEmpty())
                continue;
            for (int dieAt = 1;; ++dieAt) {
                SCOPED_TRACE(::testing::Message() << what << " kind " << int(kind) << " killed at step " << dieAt);
                Scene scene(renames, links);
                DyingOps dying(kind, dieAt, scene.newPaths());
                RenameObserver quiet;
                try {
                    runRename(scene.plan(dying), scene.settings(), quiet, dying);
                    EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
                    break;
                } catch (const Killed &) {
                }
                ASSERT_TRUE(interruptedRenameWaiting(scene.settings()));
                // The recovery moves the same way, and may die in turn.
                DyingOps dyingAgain(kind, 1 + dieAt % 3, scene.newPaths());
                DyingOps living(kind, 0, scene.newPaths());
                RecoveryReport report;
                try {
                    report = recoverInterruptedRename(scene.settings(), dyingAgain);
                } catch (const Killed &) {
                    report = recoverInterruptedRename(scene.settings(), living);
                }
                EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
                scene.expectSound(false, report.incompleteCopies, &report);
                FileOps fs;
                undoLastRename(scene.settings(), quiet, fs);
                scene.expectSound(true, report.incompleteCopies);
            }
        }
    }
}

// An undo killed at any point, then recovered: the files it took back leave
// the undo record, the others stay in it, and the next undo brings them back
// rather than renaming again those already back.
TEST(RenameRecovery, anUndoCutShortIsFinishedByTheNextUndo)
{
    for (const auto &[what, renames, links] : kScenes) {
        for (int dieAt = 1;; ++dieAt) {
            SCOPED_TRACE(::testing::Message() << what << " undo killed at step " << dieAt);
            Scene scene(renames, links);
            FileOps fs;
            RenameObserver quiet;
            ASSERT_EQ(runRename(scene.plan(fs), scene.settings(), quiet, fs).report.renamed, renames.size());
            DyingOps dying(MoveKind::Rename, dieAt);
            try {
                undoLastRename(scene.settings(), quiet, dying);
                break;
            } catch (const Killed &) {
            }
            const RecoveryReport report = recoverInterruptedRename(scene.settings(), fs);
            EXPECT_EQ(report.kind, JournalKind::Undo);
            EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
            scene.expectSound();
            // Still to take back: exactly the files not at their old names.
            const QHash<QByteArray, QByteArray> files = scene.tree().files();
            QSet<QByteArray> notBack;
            for (const auto &[from, to] : renames) {
                if (files.value(from) != scene.content(from))
                    notBack.insert(scene.tree().path(to));
            }
            QSet<QByteArray> recorded;
            for (const UndoPair &pair : UndoRecord(scene.settings()).load().value_or(QList<UndoPair>()))
                recorded.insert(pair.newPath);
            // Names of one file hold the same content wherever they are.
            if (links.isEmpty()) {
                EXPECT_EQ(recorded, notBack);
            }
            undoLastRename(scene.settings(), quiet, fs);
            scene.expectSound(true);
        }
    }
}

TEST(RenameRecovery, aJournalCutWhileBeingWrittenMeansNothingMoved)
{
    Scene scene(Renames{{"a", "b"}});
    const QString part = RenameJournal(scene.settings()).path() + QStringLiteral(".4242.part");
    QFile half(part);
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write("TARVELLO RENAME JOURNAL 1\nE 1 - - - YQ== dG1w");
    half.close();
    EXPECT_FALSE(interruptedRenameWaiting(scene.settings()));
    FileOps fs;
    const RecoveryReport report = recoverInterruptedRename(scene.settings(), fs);
    EXPECT_FALSE(report.found);
    EXPECT_FALSE(QFile::exists(part));
    scene.expectSound(true);
}

TEST(RenameRecovery, aWaitingJournalBlocksTheNextRename)
{
    Scene scene(Renames{{"a", "b"}});
    FileOps fs;
    const RenamePlan plan = scene.plan(fs);
    RenameJournal journal(scene.settings());
    ASSERT_EQ(journal.begin(plan), 0);
    EXPECT_EQ(journal.begin(plan), EEXIST);
    RenameObserver quiet;
    const RenameRun run = runRename(plan, scene.settings(), quiet, fs);
    EXPECT_EQ(run.journalError, EEXIST);
    EXPECT_TRUE(run.report.outcomes.isEmpty());
    scene.expectSound(true);
}

// Both record files give back every byte of their paths, and the identity.
TEST(RenameRecovery, recordsKeepEveryByteOfTheirPaths)
{
    Tree tree;
    const QByteArray odd = "line\nbreak \xFF\xFE name%20";
    tree.write(odd, "odd");
    QTemporaryDir settings;
    FileOps fs;
    const RenamePlan plan = planRename(QList<PathPair>{{tree.path(odd), "/" + odd, false, Conflict::None}}, fs);
    RenameJournal journal(settings.path());
    ASSERT_EQ(journal.begin(plan), 0);
    journal.mark(JournalMark::FirstPhaseDone);
    journal.mark(JournalMark::CopyStarted, 1);
    const auto content = journal.load();
    ASSERT_TRUE(content.has_value());
    ASSERT_EQ(content->entries.size(), 1);
    EXPECT_EQ(content->entries[0].oldPath, tree.path(odd));
    EXPECT_EQ(content->entries[0].tempPath, tree.path("tmp_Tarv_1_" + odd));
    EXPECT_EQ(content->entries[0].newPath, "/" + odd);
    EXPECT_EQ(content->entries[0].identity, fs.identity(tree.path(odd)));
    EXPECT_TRUE(content->firstPhaseDone && !content->secondPhaseDone && content->copying.contains(1));

    const UndoRecord record(settings.path());
    const QList<UndoPair> pairs = {{tree.path(odd), "/" + odd, FileIdentity{7, 42, 1234567890123}}, {"/c", "/d", std::nullopt}};
    ASSERT_EQ(record.save(pairs), 0);
    const auto loaded = record.load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ((*loaded)[i].oldPath, pairs[i].oldPath);
        EXPECT_EQ((*loaded)[i].newPath, pairs[i].newPath);
        EXPECT_EQ((*loaded)[i].identity, pairs[i].identity);
    }
    ASSERT_EQ(record.save({}), 0);
    EXPECT_TRUE(record.load()->isEmpty());
}
