#include "RenameTestSupport.h"

#include <QProcess>

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

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

Renames renamedEach(const QList<QByteArray> &names, const std::function<QByteArray(const QByteArray &)> &newName)
{
    Renames run;
    for (const QByteArray &name : names)
        run.append({name, newName(name)});
    return run;
}

} // namespace

// While a rename runs in another process its journal is no interrupted one:
// nothing may recover it, undo or rename beside it. Once that process is
// killed, the journal is recovered.
TEST(RenameKill, aRunningRenameIsNotTakenForAnInterruptedOne)
{
    const QList<QByteArray> names = numbered("photo ", 20);
    const Renames run = renamedEach(names, [](const QByteArray &name) { return "n_" + name; });
    Scene scene(names);
    const Files before = scene.files();
    QProcess driver;
    driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), driverArguments(scene, run, {QStringLiteral("pause=60000")}));
    ASSERT_TRUE(driver.waitForStarted(10000));
    QByteArray said;
    while (!said.contains("between") && driver.state() == QProcess::Running) {
        driver.waitForReadyRead(10000);
        said += driver.readAllStandardOutput();
    }
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
         {renamedEach(far, [](const QByteArray &name) { return name.mid(1); })},
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
