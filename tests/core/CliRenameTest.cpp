#include "CliTestSupport.h"
#include "QtPrint.h"
#include "RenameTestSupport.h"

#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"
#include "rename/UndoRecord.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

#include <unistd.h>

using namespace tarvello;
using namespace tarvello::clitest;
using rename::testing::Tree;

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
    EXPECT_EQ(run.code, cli::CliSuccess) << run.err.constData();
    // Positions count every file given, the one the rule leaves alone too.
    EXPECT_EQ(run.out, line(tree.path("a.jpg"), tree.path("x_001.jpg")) + line(tree.path("b.jpg"), tree.path("x_003.jpg"))
                           + line(tree.path("sub/c.jpg"), tree.path("sub/x_004.jpg")));
    EXPECT_TRUE(run.err.contains(tree.path("Thumbs.db") + ": " + utf8(message(91)))) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{
                                {"x_001.jpg", "a.jpg"}, {"x_003.jpg", "b.jpg"}, {"sub/x_004.jpg", "sub/c.jpg"}, {"Thumbs.db", "Thumbs.db"}}));

    const CliRun undo = runCli({"undo"});
    EXPECT_EQ(undo.code, cli::CliSuccess) << undo.err.constData();
    EXPECT_EQ(undo.out, line(tree.path("x_001.jpg"), tree.path("a.jpg")) + line(tree.path("x_003.jpg"), tree.path("b.jpg"))
                            + line(tree.path("sub/x_004.jpg"), tree.path("sub/c.jpg")));
    EXPECT_TRUE(undo.err.contains(utf8(extra("UndoDone", QStringLiteral("3"))))) << undo.err.constData();
    for (const QByteArray name : {"a.jpg", "Thumbs.db", "b.jpg", "sub/c.jpg"})
        EXPECT_EQ(tree.read(name), name);

    const CliRun again = runCli({"undo"});
    EXPECT_EQ(again.code, cli::CliSuccess);
    EXPECT_EQ(again.out, QByteArray());
    EXPECT_TRUE(again.err.contains(utf8(extra("UndoNothing"))));

    // The history holds the undo above the rename; undoing the undo renames again.
    const CliRun history = runCli({"history"});
    EXPECT_EQ(history.code, cli::CliSuccess);
    EXPECT_TRUE(history.out.startsWith("1\t")) << history.out.constData();
    EXPECT_TRUE(history.out.contains("\t" + tree.path("x_003.jpg") + "\t" + tree.path("b.jpg") + "\n"));
    EXPECT_TRUE(history.out.contains("\n2\t"));
    EXPECT_EQ(runCli({"undo", "--run", "2"}).code, cli::CliIncomplete);
    const CliRun redo = runCli({"undo", "--run", "1"});
    EXPECT_EQ(redo.code, cli::CliSuccess) << redo.err.constData();
    EXPECT_EQ(tree.read("x_003.jpg"), "b.jpg");
    EXPECT_EQ(runCli({"undo", "--run", "11"}).code, cli::CliUsageError);
    EXPECT_EQ(runCli({"history", "--csv"}).out.count("\r\n"), 1 + 3 * 3);
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
            EXPECT_EQ(run.code, cli::CliSuccess);
            EXPECT_EQ(run.out, line(files.path("b.jpg"), files.path("b.png")));
            expected.remove("b.jpg");
            expected.insert("b.png", "b.jpg");
        } else {
            EXPECT_EQ(run.code, cli::CliConflicts);
            EXPECT_EQ(run.out, QByteArray());
            EXPECT_TRUE(run.err.contains(utf8(extra("cliConflictsNothingRenamed"))));
        }
        EXPECT_EQ(files.files(), expected);
    }
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
            EXPECT_EQ(run.code, cli::CliUsageError);
            EXPECT_EQ(run.out, QByteArray());
            EXPECT_TRUE(run.err.contains(utf8(extra("cliErrNotAnEntry", QFile::decodeName(given))))) << run.err.constData();
        }
    }
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"P/C/f", "f"}}));
    // A trailing "/" still names the entry.
    EXPECT_EQ(runCli({"preview", "--rule", "x_*", tree.path("P/C") + "/"}).code, cli::CliSuccess);
}

TEST_F(CliRename, oddPathsFromStandardInputIntoAFolder)
{
    tree.write("caf\xC3\xA9.jpg", "accented name");
    tree.write("b.jpg", "b");
    // Cut at its NUL, this path would name the file "nul".
    tree.write("nul", "bystander");
    const QByteArray withNul = tree.path(QByteArray("nul\0.jpg", 8));
    const CliRun run = runCli({"rename", "--no-forbidden", "--rule", ".\\tri\\photo_#", "-"},
                              tree.path("caf\xC3\xA9.jpg") + '\n' + withNul + "\r\n" + tree.path("b.jpg") + '\n');
    EXPECT_EQ(run.code, cli::CliIncomplete);
    EXPECT_EQ(run.out, line(tree.path("caf\xC3\xA9.jpg"), tree.path("tri/photo_1.jpg")) + line(tree.path("b.jpg"), tree.path("tri/photo_3.jpg")));
    EXPECT_TRUE(run.err.contains(utf8(extra("RenameErrorMissing")))) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{
                                {"tri/photo_1.jpg", "accented name"}, {"tri/photo_3.jpg", "b"}, {"nul", "bystander"}}));
}

// A path whose folders do not read as text (the current folder's included)
// would be reached through a text that names another folder: both commands
// leave it out and name it, do the others and say so in their exit code. A
// name that is not text is no reason: the rule reads it as Windows-1252, so
// "*" repairs it, and the file is renamed by its own bytes.
TEST_F(CliRename, pathsInFoldersThatAreNotTextAreLeftOutNamesAreRepaired)
{
    for (const QByteArray name : {"a.jpg", "caf\xE9.jpg", "d\xE9/b.jpg", "d\xE9/e.jpg"})
        tree.write(name, name);
    const QByteArray cwd = QFile::encodeName(QDir::currentPath());
    const QByteArrayList refused = {tree.path("d\xE9/b.jpg"), "e.jpg"};
    for (const QByteArray command : {"preview", "rename"}) {
        SCOPED_TRACE(command.constData());
        ASSERT_EQ(::chdir(tree.path("d\xE9").constData()), 0);
        const CliRun run = runCli({command, "--rule", "*", "--no-forbidden", tree.path("a.jpg"), "-", refused[1], tree.path("caf\xE9.jpg")},
                                  refused[0] + '\n');
        ASSERT_EQ(::chdir(cwd.constData()), 0);
        EXPECT_EQ(run.code, cli::CliPathsNotText);
        EXPECT_TRUE(run.err.contains(utf8(extra("cliNotText")))) << run.err.constData();
        for (const QByteArray &path : refused)
            EXPECT_EQ(run.err.count(path), 1) << path.constData();
        EXPECT_FALSE(run.err.contains(tree.path("a.jpg")) || run.err.contains(tree.path("caf\xE9.jpg")));
        if (command == "preview")
            EXPECT_EQ(run.out, tree.path("a.jpg") + "\ta.jpg\n" + tree.path("caf\xE9.jpg") + "\tcaf\xC3\xA9.jpg\n");
        else
            EXPECT_EQ(run.out, line(tree.path("caf\xE9.jpg"), tree.path("caf\xC3\xA9.jpg")));
    }
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"a.jpg", "a.jpg"},
                                                           {"caf\xC3\xA9.jpg", "caf\xE9.jpg"},
                                                           {"d\xE9/b.jpg", "d\xE9/b.jpg"},
                                                           {"d\xE9/e.jpg", "d\xE9/e.jpg"}}));

    // As in the window, the first twenty are named and the rest counted.
    const CliRun many = runCli(QByteArrayList{"preview", "--rule", "x"} + QByteArrayList(22, refused[0]));
    EXPECT_EQ(many.code, cli::CliPathsNotText);
    EXPECT_EQ(many.out, QByteArray());
    EXPECT_EQ(many.err.count(refused[0]), 20);
    EXPECT_TRUE(many.err.contains(utf8(extra("AddNotTextMore", QStringLiteral("2"))))) << many.err.constData();
}

TEST_F(CliRename, aWaitingJournalBlocksRenameAndUndoUntilRecovered)
{
    tree.write("a.jpg", "a");
    tree.write("b.jpg", "b");
    ASSERT_EQ(runCli({"rename", "--rule", "n_*", tree.path("a.jpg")}).code, cli::CliSuccess);
    // A run cut in its first phase: b.jpg already under its temporary name.
    rename::FileOps fs;
    const rename::RenamePlan plan = rename::planRename(
        QList<rename::PathPair>{{tree.path("b.jpg"), tree.path("c.jpg"), false, rename::Conflict::None}}, fs);
    ASSERT_EQ(rename::RenameJournal(settingsFolder()).begin(plan), 0);
    ASSERT_EQ(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);

    for (const QByteArrayList &arguments : {QByteArrayList{"rename", "--rule", "z", tree.path("n_a.jpg")}, QByteArrayList{"undo"}}) {
        const CliRun blocked = runCli(arguments);
        EXPECT_EQ(blocked.code, cli::CliIncomplete) << arguments.first().constData();
        EXPECT_EQ(blocked.out, QByteArray());
        EXPECT_TRUE(blocked.err.contains(utf8(extra("RenameJournalWaiting")))) << blocked.err.constData();
        EXPECT_TRUE(blocked.err.contains(utf8(extra("cliRecoverHint"))));
    }
    EXPECT_TRUE(tree.exists("n_a.jpg"));

    // The recovery finishes the move, which becomes the rename to undo.
    const CliRun recover = runCli({"recover"});
    EXPECT_EQ(recover.code, cli::CliSuccess) << recover.err.constData();
    EXPECT_EQ(recover.out, line(tree.path("b.jpg"), tree.path("c.jpg")));
    EXPECT_TRUE(recover.err.contains(utf8(extra("RecoverDone", QStringLiteral("1"), QStringLiteral("0")))))
        << recover.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"n_a.jpg", "a"}, {"c.jpg", "b"}}));
    EXPECT_TRUE(runCli({"recover"}).err.contains(utf8(extra("cliNothingToRecover"))));
    EXPECT_EQ(runCli({"undo"}).code, cli::CliSuccess);
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"n_a.jpg", "a"}, {"b.jpg", "b"}}));
}

// A language file that cannot be read is told once, naming it, and another
// readable one speaks instead; with none readable, a fixed line in both
// languages names the file and nothing is done.
TEST_F(CliRename, damagedLanguageFilesFallBackOrStopEverything)
{
    const auto read = [](const char *name) {
        QFile file(binFolder() + QStringLiteral("/langages/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray french = read("Francais.lng");
    const QByteArray english = read("English.lng");
    ASSERT_FALSE(french.isEmpty() || english.isEmpty());
    const QByteArray garbled = QByteArray("\xFF\xFE[LANG\x01UAGE]\r\nlang") + QByteArray(300, '\x9D');
    const std::optional<QByteArray> missing;
    const struct {
        const char *label;
        std::optional<QByteArray> french;
        std::optional<QByteArray> english;
        QByteArrayList options;
        const char *unreadable; // the file told about
        const char *speaking;   // the language that stands in; none when nothing can
    } cases[] = {
        {"french garbled", garbled, english, {}, "Francais.lng", "English"},
        {"english asked and garbled", french, garbled, {"--lang", "English"}, "English.lng", "Français"},
        {"none at all", missing, missing, {"--lang", "English"}, "English.lng", nullptr},
    };
    tree.write("a.txt", "a");
    const QByteArray file = tree.path("a.txt");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir program;
        ASSERT_TRUE(QDir(program.path()).mkdir(QStringLiteral("langages")));
        for (const auto &[name, content] : {std::pair{"Francais.lng", c.french}, std::pair{"English.lng", c.english}}) {
            QFile lng(program.path() + QStringLiteral("/langages/") + QLatin1String(name));
            if (content) {
                ASSERT_TRUE(lng.open(QIODevice::WriteOnly) && lng.write(*content) == content->size());
            }
        }
        const QString unreadable = program.path() + QStringLiteral("/langages/") + QLatin1String(c.unreadable);
        for (const QByteArrayList &command : {QByteArrayList{"preview", "--help"}, QByteArrayList{"preview", file},
                                              QByteArrayList{"undo"}}) {
            const CliRun run = runCli(command + c.options, {}, program.path());
            const QByteArray shown = command.join(' ');
            if (!c.speaking) {
                EXPECT_EQ(run.code, cli::CliBrokenInstallation) << shown.constData();
                EXPECT_EQ(run.out, QByteArray()) << shown.constData();
                const QList<QByteArray> lines = run.err.trimmed().split('\n');
                EXPECT_EQ(lines.size(), 2) << run.err.constData();
                for (const QByteArray &line : lines)
                    EXPECT_TRUE(line.contains(QFile::encodeName(unreadable))) << run.err.constData();
                continue;
            }
            // What the readable language says, from the installed files.
            const CliRun standIn = runCli(command + QByteArrayList{"--lang", c.speaking});
            lang::Language language(binFolder());
            language.setLanguage(QString::fromUtf8(c.speaking));
            EXPECT_EQ(run.code, standIn.code) << shown.constData();
            EXPECT_EQ(run.out, standIn.out) << shown.constData();
            EXPECT_EQ(run.err, "tarvello-cli: "
                                   + language.extra(QStringLiteral("LanguageUnreadable"), unreadable, language.displayName()).toUtf8()
                                   + '\n' + standIn.err)
                << shown.constData();
        }
    }
}

// The real program: its exit codes, and paths relative to its working folder.
TEST_F(CliRename, programRenamesRelativePathsWithItsExitCodes)
{
    if (!QFileInfo(binFolder() + "/tarvello-cli").isExecutable())
        GTEST_SKIP() << "tarvello-cli not built";
    tree.write("a.jpg", "a");
    tree.write("b.jpg", "b");
    EXPECT_EQ(runProgram({"rename", "--rule", "b", "a.jpg"}, tree.root()).code, cli::CliConflicts);
    const CliRun renamed = runProgram({"rename", "--rule", "x_*", "a.jpg", "./b.jpg"}, tree.root());
    EXPECT_EQ(renamed.code, cli::CliSuccess) << renamed.err.constData();
    EXPECT_EQ(renamed.out, line(tree.path("a.jpg"), tree.path("x_a.jpg")) + line(tree.path("b.jpg"), tree.path("x_b.jpg")));
    EXPECT_EQ(runProgram({"undo"}).code, cli::CliSuccess);
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
    const QString journal = rename::RenameJournal(settingsFolder()).path();
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(journal) && process.state() == QProcess::Running && clock.elapsed() < 30000)
        QThread::usleep(200);
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    const QByteArray err = process.readAllStandardError();
    if (process.exitCode() == cli::CliIncomplete)
        EXPECT_TRUE(err.contains(utf8(extra("cliStopped", QString())).left(20))) << err.constData();
    else
        EXPECT_EQ(process.exitCode(), cli::CliSuccess) << err.constData();
    EXPECT_FALSE(QFile::exists(journal));
    const QList<QByteArray> names = tree.names();
    EXPECT_EQ(names.size(), kFiles);
    int renamed = 0;
    for (const QByteArray &name : names) {
        EXPECT_FALSE(rename::testing::isTemporaryName(name)) << name.constData();
        renamed += name.startsWith("n_") ? 1 : 0;
    }
    EXPECT_EQ(process.readAllStandardOutput().count('\n'), renamed);
}
