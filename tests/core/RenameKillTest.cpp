#include "RenameTestSupport.h"

#include "rename/RenameJournal.h"
#include "rename/RenameOperation.h"

#include <QProcess>

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

constexpr int kFiles = 20;

// A folder of files, each holding its own name, that the driver renames with
// "n_" in front.
class Batch
{
public:
    Batch()
    {
        for (int i = 0; i < kFiles; ++i)
            m_tree.write(name(i), name(i));
    }

    static QByteArray name(int i) { return "photo " + QByteArray::number(100 + i) + ".jpg"; }

    QStringList arguments(int pauseMs) const
    {
        return {QStringLiteral("run"), m_settings.path(), m_tree.root(), QString::number(pauseMs)};
    }

    QString settings() const { return m_settings.path(); }

    // Each file at its old or its new name, unchanged; nothing else.
    void expectSound() const
    {
        const QHash<QByteArray, QByteArray> files = m_tree.files();
        ASSERT_EQ(files.size(), kFiles);
        for (int i = 0; i < kFiles; ++i)
            EXPECT_TRUE(files.value(name(i)) == name(i) || files.value("n_" + name(i)) == name(i)) << name(i).constData();
        EXPECT_FALSE(RenameJournal(m_settings.path()).exists());
    }

private:
    Tree m_tree;
    QTemporaryDir m_settings;
};

// Starts the driver and waits for it to say it begins the operation.
bool startDriver(QProcess &driver, const QStringList &arguments)
{
    driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), arguments);
    if (!driver.waitForStarted(10000))
        return false;
    while (!driver.canReadLine()) {
        if (!driver.waitForReadyRead(10000))
            return false;
    }
    return driver.readLine().trimmed() == "started";
}

} // namespace

// While a rename runs in another process its journal is no interrupted one:
// nothing may recover it, undo or rename beside it. Once that process is
// killed, the journal is recovered.
TEST(RenameKill, aRunningRenameIsNotTakenForAnInterruptedOne)
{
    Batch batch;
    QProcess driver;
    ASSERT_TRUE(startDriver(driver, batch.arguments(60000)));
    while (!driver.readAllStandardOutput().contains("between") && driver.state() == QProcess::Running)
        driver.waitForReadyRead(10000);

    FileOps fs;
    RenameObserver quiet;
    EXPECT_FALSE(interruptedRenameWaiting(batch.settings()));
    EXPECT_TRUE(recoverInterruptedRename(batch.settings(), fs).busy);
    EXPECT_EQ(undoLastRename(batch.settings(), quiet, fs).journalError, EBUSY);
    Tree other;
    other.write("a", "A");
    const RenamePlan plan = planRename(QList<PathPair>{{other.path("a"), other.path("b"), false, Conflict::None}}, fs);
    EXPECT_EQ(runRename(plan, batch.settings(), quiet, fs).journalError, EBUSY);
    EXPECT_EQ(other.read("a"), QByteArray("A"));

    driver.kill();
    ASSERT_TRUE(driver.waitForFinished(10000));
    EXPECT_TRUE(interruptedRenameWaiting(batch.settings()));
    const RecoveryReport report = recoverInterruptedRename(batch.settings(), fs);
    EXPECT_FALSE(report.busy);
    EXPECT_EQ(report.atNew + report.atOld, kFiles);
    batch.expectSound();
}

namespace {

const QString kOtherFileSystem = QStringLiteral("/dev/shm");

// True when /dev/shm is a folder on another file system than the temporary one.
bool otherFileSystemAvailable()
{
    struct stat here {};
    struct stat there {};
    return ::stat(QFile::encodeName(QDir::tempPath()).constData(), &here) == 0
        && ::stat(QFile::encodeName(kOtherFileSystem).constData(), &there) == 0 && S_ISDIR(there.st_mode)
        && ::access(QFile::encodeName(kOtherFileSystem).constData(), W_OK) == 0 && here.st_dev != there.st_dev;
}

// Files in a temporary tree and, for names that start with "@", in a tree on
// another file system.
class Places
{
public:
    explicit Places(bool acrossFileSystems)
    {
        if (acrossFileSystems)
            m_there = std::make_unique<Tree>(kOtherFileSystem + QStringLiteral("/tarvello-kill-XXXXXX"));
    }

    QString settings() const { return m_settings.path(); }

    QByteArray path(const QByteArray &name) const
    {
        return name.startsWith('@') ? m_there->path(name.mid(1)) : m_here.path(name);
    }

    // Each file holds its own name.
    void make(const QList<QByteArray> &names) const
    {
        for (const QByteArray &name : names) {
            if (name.startsWith('@'))
                m_there->write(name.mid(1), name);
            else
                m_here.write(name, name);
        }
    }

    QHash<QByteArray, QByteArray> files() const
    {
        QHash<QByteArray, QByteArray> found = m_here.files();
        if (m_there) {
            const QHash<QByteArray, QByteArray> there = m_there->files();
            for (auto it = there.cbegin(); it != there.cend(); ++it)
                found.insert('@' + it.key(), it.value());
        }
        return found;
    }

    QStringList arguments(const Renames &run) const
    {
        QStringList arguments;
        for (const auto &[from, to] : run)
            arguments << QFile::decodeName(path(from)) << QFile::decodeName(path(to));
        return arguments;
    }

private:
    Tree m_here;
    std::unique_ptr<Tree> m_there;
    QTemporaryDir m_settings;
};

// Runs the driver to its end or its death; true when it was killed.
bool killedDriver(const QStringList &arguments)
{
    QProcess driver;
    driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), arguments);
    EXPECT_TRUE(driver.waitForFinished(60000));
    return driver.exitStatus() == QProcess::CrashExit;
}

struct KillScene {
    const char *what;
    QList<QByteArray> files;
    QList<Renames> runs;     // one after the other, each cut at the same point
    QList<QByteArray> kills; // the operation each run dies at (see rename_driver)
    bool acrossFileSystems = false;
};

QList<QByteArray> numbered(const QByteArray &prefix, int count)
{
    QList<QByteArray> names;
    for (int i = 1; i <= count; ++i)
        names.append(prefix + QByteArray::number(100 + i) + ".jpg");
    return names;
}

Renames renamedEach(const QList<QByteArray> &names, const std::function<QByteArray(const QByteArray &)> &newName)
{
    Renames run;
    for (const QByteArray &name : names)
        run.append({name, newName(name)});
    return run;
}

QList<KillScene> killScenes()
{
    const QList<QByteArray> far = numbered("@f", 20);
    return {
        {"a folder renamed with its files inside",
         {"album/a.jpg", "album/b.jpg", "album/sub/c.jpg", "x.jpg"},
         {{{"album", "photos"}, {"x.jpg", "y.jpg"}}},
         {"rename:1", "rename:2", "rename:3", "rename:4"}},
        {"the files of a folder, then the folder",
         {"album/a.jpg", "album/b.jpg", "album/c.jpg"},
         {{{"album/a.jpg", "album/1.jpg"}, {"album/b.jpg", "album/2.jpg"}, {"album/c.jpg", "album/a.jpg"}}, {{"album", "photos"}}},
         {"rename:2", "rename:4", "rename:5"}},
        {"a move to another file system",
         far,
         {renamedEach(far, [](const QByteArray &name) { return name.mid(1); })},
         {"rename:21", "copy:7", "unlink:1", "unlink:6"},
         true},
    };
}

} // namespace

// Renames of folders and across file systems, each run
// killed at a chosen file operation and recovered: every file is at its old
// or its new place, none under a temporary name, the counts are the disk's,
// and undo then takes back every file the last run moved.
TEST(RenameKill, runsKilledAtAChosenOperationAreRecoveredThenUndone)
{
    const bool acrossAvailable = otherFileSystemAvailable();
    for (const KillScene &scene : killScenes()) {
        if (scene.acrossFileSystems && !acrossAvailable) {
            std::printf("skipped \"%s\": %s is missing or on the temporary folder's file system\n", scene.what,
                        qPrintable(kOtherFileSystem));
            continue;
        }
        for (const QByteArray &kill : scene.kills) {
            SCOPED_TRACE(::testing::Message() << scene.what << ", killed at " << kill.constData());
            Places places(scene.acrossFileSystems);
            places.make(scene.files);
            QHash<QByteArray, QByteArray> undone = places.files();
            int killed = 0;
            for (const Renames &run : scene.runs) {
                const QHash<QByteArray, QByteArray> before = places.files();
                killed += killedDriver(QStringList{"die=" + QString::fromLatin1(kill), QStringLiteral("pairs"), places.settings()}
                                       + places.arguments(run)) ? 1 : 0;
                FileOps fs;
                const RecoveryReport report = recoverInterruptedRename(places.settings(), fs);
                const QHash<QByteArray, QByteArray> after = places.files();
                expectEachAtOldOrNew(before, after, run);
                if (report.found) {
                    expectCounted(report, before, after, run);
                    EXPECT_TRUE(report.incompleteCopies.isEmpty());
                }
                EXPECT_FALSE(RenameJournal(places.settings()).exists());
                // A run that changed nothing leaves the one before it to undo.
                if (after != before)
                    undone = before;
            }
            EXPECT_GT(killed, 0);
            FileOps fs;
            RenameObserver quiet;
            undoLastRename(places.settings(), quiet, fs);
            EXPECT_EQ(places.files(), undone);
        }
    }
}
