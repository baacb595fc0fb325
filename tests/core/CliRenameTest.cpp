#include "CliTestSupport.h"
#include "QtPrint.h"
#include "RenameTestSupport.h"

#include "files/RenameJournal.h"
#include "files/RenamePlan.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace tarvello;
using namespace tarvello::clitest;
using files::testing::Tree;

namespace {

// The settings folder of the command line in a temporary configuration
// folder, for the test and the programs it starts.
class CliRename : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        m_hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    void TearDown() override
    {
        if (m_hadConfig)
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString settingsFolder() const { return m_config.path() + QStringLiteral("/Tarvello"); }

    // The real program, with this test's configuration folder.
    CliRun runProgram(const QStringList &arguments, const QString &workingFolder = {}) const
    {
        QProcess process;
        process.setWorkingDirectory(workingFolder);
        process.start(binFolder() + QStringLiteral("/tarvello-cli"), arguments);
        CliRun run;
        if (!process.waitForFinished(60000))
            return run;
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    Tree tree;

private:
    QTemporaryDir m_config;
    bool m_hadConfig = false;
    QByteArray m_oldConfig;
};

QByteArray line(const QByteArray &from, const QByteArray &to)
{
    return from + '\t' + to + '\n';
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

TEST_F(CliRename, renamesPrintsEachMoveAndUndoTakesThemBack)
{
    for (const QByteArray name : {"a.jpg", "Thumbs.db", "b.jpg", "sub/c.jpg"})
        tree.write(name, name);
    const CliRun run = runCli({"rename", "--rule", "x_###", tree.path("a.jpg"), tree.path("Thumbs.db"), tree.path("b.jpg"),
                               tree.path("sub/c.jpg")});
    EXPECT_EQ(run.code, app::CliSuccess) << run.err.constData();
    // Positions count every file given, the one the rule leaves alone too.
    EXPECT_EQ(run.out, line(tree.path("a.jpg"), tree.path("x_001.jpg")) + line(tree.path("b.jpg"), tree.path("x_003.jpg"))
                           + line(tree.path("sub/c.jpg"), tree.path("sub/x_004.jpg")));
    EXPECT_TRUE(run.err.contains(tree.path("Thumbs.db") + ": " + utf8(message(91)))) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{
                                {"x_001.jpg", "a.jpg"}, {"x_003.jpg", "b.jpg"}, {"sub/x_004.jpg", "sub/c.jpg"}, {"Thumbs.db", "Thumbs.db"}}));

    const CliRun undo = runCli({"undo"});
    EXPECT_EQ(undo.code, app::CliSuccess) << undo.err.constData();
    EXPECT_EQ(undo.out, line(tree.path("x_001.jpg"), tree.path("a.jpg")) + line(tree.path("x_003.jpg"), tree.path("b.jpg"))
                            + line(tree.path("sub/x_004.jpg"), tree.path("sub/c.jpg")));
    EXPECT_TRUE(undo.err.contains(utf8(extra("UndoDone", QStringLiteral("3"))))) << undo.err.constData();
    for (const QByteArray name : {"a.jpg", "Thumbs.db", "b.jpg", "sub/c.jpg"})
        EXPECT_EQ(tree.read(name), name);

    const CliRun again = runCli({"undo"});
    EXPECT_EQ(again.code, app::CliSuccess);
    EXPECT_EQ(again.out, QByteArray());
    EXPECT_TRUE(again.err.contains(utf8(extra("UndoNothing"))));
}

TEST_F(CliRename, conflictsRenameNothingUnlessSkipped)
{
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip);
        Tree files;
        // a.jpg would take the name of a.png, which is not given; both c files
        // would become c.png.
        for (const QByteArray name : {"a.jpg", "a.png", "b.jpg", "c.jpg", "c.jpeg"})
            files.write(name, name);
        QByteArrayList arguments = {"rename", "--rule", "*", "--extension", "png", "--no-numbering"};
        if (skip)
            arguments.append("--skip-conflicts");
        for (const QByteArray name : {"a.jpg", "b.jpg", "c.jpg", "c.jpeg"})
            arguments.append(files.path(name));
        const CliRun run = runCli(arguments);
        const QByteArray targetExists = utf8(extra("RenameFailureLine", QFile::decodeName(files.path("a.jpg")) + " -> "
                                                       + QFile::decodeName(files.path("a.png")),
                                                   extra("ConflictTargetExists")));
        EXPECT_TRUE(run.err.contains(targetExists)) << run.err.constData();
        EXPECT_EQ(run.err.count(utf8(extra("ConflictDuplicateTarget"))), 2);
        QHash<QByteArray, QByteArray> expected = {{"a.jpg", "a.jpg"}, {"a.png", "a.png"}, {"b.jpg", "b.jpg"},
                                                  {"c.jpg", "c.jpg"}, {"c.jpeg", "c.jpeg"}};
        if (skip) {
            EXPECT_EQ(run.code, app::CliSuccess);
            EXPECT_EQ(run.out, line(files.path("b.jpg"), files.path("b.png")));
            expected.remove("b.jpg");
            expected.insert("b.png", "b.jpg");
        } else {
            EXPECT_EQ(run.code, app::CliConflicts);
            EXPECT_EQ(run.out, QByteArray());
            EXPECT_TRUE(run.err.contains(utf8(extra("cliConflictsNothingRenamed"))));
        }
        EXPECT_EQ(files.files(), expected);
    }
}

// A name that cannot be computed renames nothing (the kinds of error are the
// preview's).
TEST_F(CliRename, namesThatCannotBeComputedRenameNothing)
{
    for (const QByteArray name : {"a1.jpg", "b.jpg", "c2.jpg"})
        tree.write(name, name);
    // $N$ is empty for b.jpg, which leaves the directive with no position.
    const CliRun run = runCli({"rename", "--rule", "$REPP/$N$//1/X$", tree.path("a1.jpg"), tree.path("b.jpg"),
                               tree.path("c2.jpg")});
    EXPECT_EQ(run.code, app::CliNameErrors);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_TRUE(run.err.contains(utf8(extra("cliNameErrorsNothingRenamed")))) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a1.jpg", "a1.jpg"}, {"b.jpg", "b.jpg"}, {"c2.jpg", "c2.jpg"}}));
}

// A folder renamed with what lies inside it is a conflict that names the
// entry inside; the entries inside can be renamed on their own first.
TEST_F(CliRename, aFolderWithAnEntryInsideIsAConflict)
{
    tree.write("P/C/f", "f");
    const CliRun held = runCli({"rename", "--rule", "x_*", tree.path("P/C"), tree.path("P")});
    EXPECT_EQ(held.code, app::CliConflicts);
    EXPECT_TRUE(held.err.contains(utf8(extra("ConflictRenamedInside", QFile::decodeName(tree.path("P/C"))))))
        << held.err.constData();
    // Listed as find -depth lists them: only the file is renamed.
    const CliRun skipped = runCli({"rename", "--skip-conflicts", "--rule", "x_*", "-"},
                                  tree.path("P/C/f") + '\n' + tree.path("P/C") + '\n' + tree.path("P") + '\n');
    EXPECT_EQ(skipped.code, app::CliSuccess) << skipped.err.constData();
    EXPECT_EQ(skipped.out, line(tree.path("P/C/f"), tree.path("P/C/x_f")));
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"P/C/x_f", "f"}}));
}

// ".", ".." and the root name no entry to rename, however they are written.
TEST_F(CliRename, theFolderItselfItsParentAndTheRootAreRefused)
{
    tree.write("P/C/f", "f");
    for (const QByteArray &given : {QByteArray("."), QByteArray(".."), QByteArray("/"), QByteArray("//"),
                                    tree.path("P/C/.."), tree.path("P/C/./"), tree.path("P/..") + "//"}) {
        SCOPED_TRACE(given.constData());
        // Relative ones name the test's own working folder: only previewed.
        const QByteArrayList commands = given.startsWith('/') ? QByteArrayList{"preview", "rename"} : QByteArrayList{"preview"};
        for (const QByteArray &command : commands) {
            const CliRun run = runCli({command, "--rule", "x_*", tree.path("P/C/f"), given});
            EXPECT_EQ(run.code, app::CliUsageError);
            EXPECT_EQ(run.out, QByteArray());
            EXPECT_TRUE(run.err.contains(utf8(extra("cliErrNotAnEntry", QFile::decodeName(given))))) << run.err.constData();
        }
    }
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"P/C/f", "f"}}));
    // A trailing "/" still names the entry.
    EXPECT_EQ(runCli({"preview", "--rule", "x_*", tree.path("P/C") + "/"}).code, app::CliSuccess);
}

TEST_F(CliRename, pathsOfAnyBytesFromStandardInputIntoAFolder)
{
    tree.write("caf\xE9.jpg", "latin-1 name");
    tree.write("b.jpg", "b");
    // Cut at its NUL, this path would name the file "nul".
    tree.write("nul", "bystander");
    const QByteArray withNul = tree.path(QByteArray("nul\0.jpg", 8));
    const CliRun run = runCli({"rename", "--no-forbidden", "--rule", ".\\tri\\photo_#", "-"},
                              tree.path("caf\xE9.jpg") + '\n' + withNul + "\r\n" + tree.path("b.jpg") + '\n');
    EXPECT_EQ(run.code, app::CliIncomplete);
    EXPECT_EQ(run.out, line(tree.path("caf\xE9.jpg"), tree.path("tri/photo_1.jpg")) + line(tree.path("b.jpg"), tree.path("tri/photo_3.jpg")));
    EXPECT_TRUE(run.err.contains(utf8(extra("RenameErrorMissing")))) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{
                                {"tri/photo_1.jpg", "latin-1 name"}, {"tri/photo_3.jpg", "b"}, {"nul", "bystander"}}));
}

TEST_F(CliRename, aWaitingJournalBlocksRenameAndUndoUntilRecovered)
{
    tree.write("a.jpg", "a");
    tree.write("b.jpg", "b");
    ASSERT_EQ(runCli({"rename", "--rule", "n_*", tree.path("a.jpg")}).code, app::CliSuccess);
    // A run cut in its first phase: b.jpg already under its temporary name.
    files::FileOps fs;
    const files::RenamePlan plan = files::planRename(
        QList<files::PathPair>{{tree.path("b.jpg"), tree.path("c.jpg"), false, files::Conflict::None}}, fs);
    ASSERT_EQ(files::RenameJournal(settingsFolder()).begin(plan), 0);
    ASSERT_EQ(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);

    for (const QByteArrayList &arguments : {QByteArrayList{"rename", "--rule", "z", tree.path("n_a.jpg")}, QByteArrayList{"undo"}}) {
        const CliRun blocked = runCli(arguments);
        EXPECT_EQ(blocked.code, app::CliIncomplete) << arguments.first().constData();
        EXPECT_EQ(blocked.out, QByteArray());
        EXPECT_TRUE(blocked.err.contains(utf8(extra("RenameJournalWaiting")))) << blocked.err.constData();
        EXPECT_TRUE(blocked.err.contains(utf8(extra("cliRecoverHint"))));
    }
    EXPECT_TRUE(tree.exists("n_a.jpg"));

    // The recovery finishes the move, which becomes the rename to undo.
    const CliRun recover = runCli({"recover"});
    EXPECT_EQ(recover.code, app::CliSuccess) << recover.err.constData();
    EXPECT_EQ(recover.out, line(tree.path("b.jpg"), tree.path("c.jpg")));
    EXPECT_TRUE(recover.err.contains(utf8(extra("RecoverDone", QStringLiteral("1"), QStringLiteral("0")))))
        << recover.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"n_a.jpg", "a"}, {"c.jpg", "b"}}));
    EXPECT_TRUE(runCli({"recover"}).err.contains(utf8(extra("cliNothingToRecover"))));
    EXPECT_EQ(runCli({"undo"}).code, app::CliSuccess);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"n_a.jpg", "a"}, {"b.jpg", "b"}}));
}

TEST_F(CliRename, damagedJournalIsReportedAndNothingMoves)
{
    tree.write("a.jpg", "a");
    QDir().mkpath(settingsFolder());
    QFile journal(files::RenameJournal(settingsFolder()).path());
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    journal.write("TARVELLO RENAME JOURNAL 1\ngarbage\n");
    journal.close();
    const CliRun recover = runCli({"recover"});
    EXPECT_EQ(recover.code, app::CliIncomplete);
    EXPECT_TRUE(recover.err.contains(utf8(extra("RecoverUnreadable", files::RenameJournal(settingsFolder()).path()))))
        << recover.err.constData();
    EXPECT_EQ(runCli({"rename", "--rule", "b", tree.path("a.jpg")}).code, app::CliIncomplete);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a.jpg", "a"}}));
}

// The real program: its exit codes, and paths relative to its working folder.
TEST_F(CliRename, programRenamesRelativePathsWithItsExitCodes)
{
    if (!QFileInfo(binFolder() + "/tarvello-cli").isExecutable())
        GTEST_SKIP() << "tarvello-cli not built";
    tree.write("a.jpg", "a");
    tree.write("b.jpg", "b");
    EXPECT_EQ(runProgram({"rename", "--rule", "b", "a.jpg"}, tree.root()).code, app::CliConflicts);
    const CliRun renamed = runProgram({"rename", "--rule", "x_*", "a.jpg", "./b.jpg"}, tree.root());
    EXPECT_EQ(renamed.code, app::CliSuccess) << renamed.err.constData();
    EXPECT_EQ(renamed.out, line(tree.path("a.jpg"), tree.path("x_a.jpg")) + line(tree.path("b.jpg"), tree.path("x_b.jpg")));
    EXPECT_EQ(runProgram({"undo"}).code, app::CliSuccess);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a.jpg", "a"}, {"b.jpg", "b"}}));
}

// An interrupt while the program renames stops it between two files: no file
// is left under a temporary name and no journal waits, wherever it landed.
TEST_F(CliRename, programStopsOnAnInterruptWithEveryFileAtAName)
{
    if (!QFileInfo(binFolder() + "/tarvello-cli").isExecutable())
        GTEST_SKIP() << "tarvello-cli not built";
    constexpr int kFiles = 20000;
    QStringList arguments = {QStringLiteral("rename"), QStringLiteral("--rule"), QStringLiteral("n_*")};
    for (int i = 0; i < kFiles; ++i) {
        tree.write("f" + QByteArray::number(i), {});
        arguments.append(QStringLiteral("f%1").arg(i));
    }
    QProcess process;
    process.setWorkingDirectory(tree.root());
    process.start(binFolder() + QStringLiteral("/tarvello-cli"), arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
    // The handlers are in place before the journal is written.
    const QString journal = files::RenameJournal(settingsFolder()).path();
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(journal) && process.state() == QProcess::Running && clock.elapsed() < 30000)
        QThread::usleep(200);
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    const QByteArray err = process.readAllStandardError();
    if (process.exitCode() == app::CliIncomplete)
        EXPECT_TRUE(err.contains(utf8(extra("cliStopped", QString())).left(20))) << err.constData();
    else
        EXPECT_EQ(process.exitCode(), app::CliSuccess) << err.constData();
    EXPECT_FALSE(QFile::exists(journal));
    const QList<QByteArray> names = tree.names();
    EXPECT_EQ(names.size(), kFiles);
    int renamed = 0;
    for (const QByteArray &name : names) {
        EXPECT_FALSE(files::testing::isTemporaryName(name)) << name.constData();
        renamed += name.startsWith("n_") ? 1 : 0;
    }
    EXPECT_EQ(process.readAllStandardOutput().count('\n'), renamed);
}
