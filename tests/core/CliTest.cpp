// tarvello-cli, run in the test process (and as its own program where its
// exit and its signals count) on temporary folder trees.

#include "ExifTestSupport.h"
#include "QtPrint.h"
#include "RenameTestSupport.h"

#include "cli/Cli.h"
#include "lang/Language.h"
#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>

#include <unistd.h>

using namespace tarvello;
using rename::testing::Tree;

namespace {

// The folder of the test program, where the build puts langages/ and the CLI.
QString binFolder()
{
    return QFileInfo(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string())).path();
}

QString message(int number)
{
    lang::Language lang(binFolder());
    lang.setLanguage(QStringLiteral("Français"));
    return lang.GetMessage(number);
}

QString extra(const char *key, const QString &param1 = {}, const QString &param2 = {})
{
    lang::Language lang(binFolder());
    lang.setLanguage(QStringLiteral("Français"));
    return lang.extra(QLatin1String(key), param1, param2);
}

struct CliRun {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runCli(const QByteArrayList &arguments, const QByteArray &input = {}, const QString &programFolder = binFolder())
{
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int code = cli::runCli(arguments, in, out, err, programFolder);
    return {code, out.data(), err.data()};
}

struct CliCase {
    const char *label;
    QByteArrayList options;
    QByteArrayList files;
    // "@1" stands for the path of the second file, "@m91" for the text of
    // message 91 in the language files, whatever their wording.
    const char *out;
    int code = cli::CliSuccess;
    const char *err = "";
};

// One example for each option; the name computation itself has its own tables.
const CliCase kCliCases[] = {
    {"counter", {"--rule", "Photo_###"}, {"a.jpg", "b.jpg"}, "@0\tPhoto_001.jpg\n@1\tPhoto_002.jpg\n"},
    {"startAndStep", {"--rule=Photo_###", "--start", "10", "--step", "5"}, {"a.jpg", "b.jpg"},
     "@0\tPhoto_010.jpg\n@1\tPhoto_015.jpg\n"},
    {"upperWithoutExtension", {"--rule", "Abc", "--case", "upper"}, {"README", "x.jpg"}, "@0\tAbc\n@1\tABC.JPG\n"},
    {"identicalNames", {"--rule", "*"}, {"a/Image.JPG", "b/Image.JPG", "c/image.jpg"},
     "@0\tImage.JPG\n@1\tImage_1.JPG\n@2\timage_2.jpg\n"},
    {"forbiddenFile", {"--rule", "x"}, {"a/Thumbs.db", "b/thumbs.db"}, "@0\t@m91\n@1\tx.db\n"},
    {"extensionFilter", {"--rule", "x", "--filter", "JPG"}, {"a.png", "b.jpg"}, "@0\t@m97\n@1\tx.jpg\n"},
    {"extensionChanged", {"--rule", "x", "--extension=png"}, {"a.jpg"}, "@0\tx.png\n"},
    {"noForbidden", {"--rule", "é\\*", "--no-forbidden"}, {"a.txt"}, "@0\té\\a.txt\n"},
    {"continuation", {"--rule", "Scan_###", "--start", "#", "--extension", ""}, {"Scan_007", "Scan_012", "x.jpg"},
     "@0\tScan_013\n@1\tScan_013_1\n@2\tScan_013_2\n"},
    {"optionsEnd", {"--rule", "*", "--"}, {"--odd.txt"}, "@0\t--odd.txt\n"},
    {"regex", {"--rule", R"($REGX/(\d+)-(\d+)/\2-\1$)"}, {"12-34.txt"}, "@0\t34-12.txt\n"},
    // The counter follows the sorted order, which is also the order printed.
    {"sortNatural", {"--rule", "#", "--sort", "natural"}, {"b10.txt", "b9.txt", "a.txt"}, "@2\t1.txt\n@1\t2.txt\n@0\t3.txt\n"},
    {"sortNameReversed", {"--rule", "#", "--sort=name", "--reverse"}, {"b10.txt", "b9.txt", "a.txt"},
     "@1\t1.txt\n@0\t2.txt\n@2\t3.txt\n"},
    {"reverse", {"--rule", "#", "--reverse"}, {"b10.txt", "b9.txt", "a.txt"}, "@2\t1.txt\n@1\t2.txt\n@0\t3.txt\n"},
    // A position error stops the preview there ($N$ is empty for b); a
    // run-time error leaves an empty name and the preview goes on.
    {"positionError", {"--rule", "$REPP/$N$//1/X$"}, {"a1", "b", "c2"}, "@0\tXa1\n", cli::CliNameErrors, "@1: @m45"},
    {"overflow", {"--rule", "#", "--start", "2147483646"}, {"a1", "b", "c2"}, "@0\t2147483646\n@1\t2147483647\n@2\t\n",
     cli::CliNameErrors, "@2: Error 6 (Overflow) in procedure affiche_nom of Feuille frmMain"},
};

TEST(Cli, previewPrintsEachPathWithItsNewName)
{
    for (const CliCase &c : kCliCases) {
        SCOPED_TRACE(c.label);
        Tree folder;
        QByteArrayList paths;
        for (const QByteArray &file : c.files)
            paths.append(folder.create(file));
        const auto expected = [&paths](const char *text) {
            QString out = QString::fromUtf8(text);
            for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("@m(\\d+)")).globalMatch(out))
                out.replace(m.captured(), message(m.captured(1).toInt()));
            for (int i = 0; i < paths.size(); ++i)
                out.replace(QLatin1Char('@') + QString::number(i), QFile::decodeName(paths[i]));
            return out.toUtf8();
        };
        const CliRun run = runCli(QByteArrayList{"preview"} + c.options + paths);
        EXPECT_EQ(run.code, c.code) << run.err.constData();
        EXPECT_EQ(run.out, expected(c.out));
        EXPECT_EQ(run.err, *c.err ? "tarvello-cli: " + expected(c.err) + '\n' : QByteArray());
    }
}

TEST(Cli, badCommandLinesSayWhyAndPrintNothing)
{
    const QByteArrayList cases[] = {
        {}, {"rename"}, {"undo", "a.jpg"}, {"recover", "--rule", "x"}, {"preview", "--skip-conflicts", "a.jpg"},
        {"rename", "--set-aside", "--rule", "x", "a.jpg"}, {"preview"}, {"preview", "--bogus", "a.jpg"},
        {"preview", "a.jpg", "--rule"}, {"preview", "--start", "abc", "a.jpg"},
        {"preview", "--step", "70000", "a.jpg"}, {"preview", "--case", "title", "a.jpg"},
        {"preview", "--settings", "/nonexistent/Tarvello.ini", "a.jpg"}, {"preview", "--lang", "Klingon", "a.jpg"},
        {"preview", "--extension", "jp\tg", "a.jpg"}, {"preview", "--rule", "$REGX/ab)c/x$", "a.jpg"},
        {"preview", "--sort", "date", "a.jpg"}, {"undo", "--sort", "name"}, {"preview", "--exif-tool", "0", "a.jpg"},
        {"preview", "--exif-tool", "batch", "a.jpg"}, {"undo", "--exif-tool", "5"},
    };
    for (const QByteArrayList &arguments : cases) {
        const CliRun run = runCli(arguments);
        const QByteArray shown = arguments.join(' ');
        EXPECT_EQ(run.code, cli::CliUsageError) << shown.constData();
        EXPECT_EQ(run.out, QByteArray()) << shown.constData();
        // The text itself comes from the language file: it must be there.
        EXPECT_GT(run.err.size(), QByteArray("tarvello-cli: \n").size() * 2) << shown.constData();
    }
}

TEST(Cli, settingsFileGivesTablesAndFormats)
{
    Tree folder;
    folder.write("Tarvello.ini", "[Option]\r\nOption_NombreCaractereInterdit=0\r\nOption_CharactereInterdit0=ab\r\n"
                                 "Option_CharactereReplacement0=-\r\nOption_NbFileNotRenamed=0\r\nOption_FileNotRenamed0=keep.txt\r\n"
                                 "Option_FormatMois=0\r\n[RegleRenommage]\r\nRegleRenommage_Regle=ignored\r\n");
    folder.write("broken.ini", "[Option]\r\nOption_NombreCaractereInterdit=many\r\n");
    const QByteArray dated = folder.create("dated.txt");
    const QByteArray kept = folder.create("keep.txt");
    const QByteArray thumbs = folder.create("Thumbs.db");
    for (const QByteArray &path : {dated, thumbs}) {
        QFile file(QFile::decodeName(path));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)), QFileDevice::FileModificationTime);
    }
    const CliRun run = runCli({"preview", "--settings", folder.path("Tarvello.ini"), "--rule", "cab/$DM$", dated, kept, thumbs});
    EXPECT_EQ(run.code, cli::CliSuccess) << run.err.constData();
    EXPECT_EQ(run.out, dated + "\tc--/3.txt\n" + kept + '\t' + message(91).toUtf8() + '\n' + thumbs + "\tc--/3.d-\n");

    const CliRun bad = runCli({"preview", "--settings", folder.path("broken.ini"), dated});
    EXPECT_EQ(bad.code, cli::CliUsageError);
    EXPECT_TRUE(bad.err.contains("Error 13 (Type mismatch) in procedure ReadIniFile")) << bad.err.constData();
    EXPECT_TRUE(bad.err.contains("Option_NombreCaractereInterdit, ligne 2")) << bad.err.constData();
    EXPECT_EQ(bad.out, QByteArray());
}

// Each reader choice dates a real photograph; jhead prints the file size in
// bytes, exiftool and the built-in reader in kilobytes, which tells which
// reader the default took.
TEST(Cli, everyExifToolChoiceReadsTheDateOfShooting)
{
    const QString photos = exif::sharedPhotos();
    if (photos.isEmpty())
        GTEST_SKIP() << "needs the shared photographs";
    Tree folder;
    const QByteArray photo = folder.path("IMG_1.jpg");
    ASSERT_TRUE(QFile::copy(photos + "/cameras/Canon_40D.jpg", QFile::decodeName(photo)));
    folder.write("jhead.ini", "[Option]\r\nOption_OutilExifChoisi=1\r\n");
    // The external tools exchange their files under the test's own folder.
    const QByteArray temporary = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] { temporary.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temporary); });
    qputenv("TMPDIR", folder.path("tmp"));
    QDir().mkpath(QFile::decodeName(folder.path("tmp")));
    const struct {
        QByteArrayList options;
        const char *tool;
        const char *size;
    } cases[] = {
        {{"--exif-tool", "1"}, "jhead", "7958 bytes"},
        {{"--exif-tool", "3"}, "exiftool", "8.0 kB"},
        {{"--exif-tool", "5"}, "", "8.0 kB"},
        {{}, "", "8.0 kB"},
        {{"--settings", folder.path("jhead.ini")}, "jhead", "7958 bytes"},
    };
    for (const auto &c : cases) {
        const QByteArray shown = c.options.join(' ');
        if (*c.tool && QStandardPaths::findExecutable(QString::fromLatin1(c.tool)).isEmpty())
            continue;
        const CliRun run = runCli(QByteArrayList{"preview", "--rule", "Photo_$dA$-$dM$_### $T$"} + c.options + QByteArrayList{photo});
        EXPECT_EQ(run.code, cli::CliSuccess) << shown.constData() << run.err.constData();
        EXPECT_EQ(run.out, photo + "\tPhoto_2008-05_001 " + c.size + ".jpg\n") << shown.constData();
    }
    EXPECT_EQ(QDir(QFile::decodeName(folder.path("tmp"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("tarvello-%1").arg(::getuid())});
    EXPECT_TRUE(QDir(QFile::decodeName(folder.path("tmp")) + QStringLiteral("/tarvello-%1").arg(::getuid())).isEmpty())
        << "each run removes its own folder";
}

// Both languages document the same options, and every command.
TEST(Cli, helpDocumentsTheSameOptionsInEachLanguage)
{
    QList<QSet<QByteArray>> documented;
    for (const char *language : {"Français", "English"}) {
        const CliRun run = runCli({"preview", "--help", "--lang", language});
        EXPECT_EQ(run.code, cli::CliSuccess);
        QSet<QByteArray> options;
        for (const QByteArray &line : run.out.split('\n')) {
            const QRegularExpressionMatch option = QRegularExpression("^  (--[a-z-]+)").match(QString::fromUtf8(line));
            if (option.hasMatch())
                options.insert(option.captured(1).toUtf8());
        }
        EXPECT_GE(options.size(), 10) << language;
        documented.append(options);
        for (const char *command : {"preview", "rename", "undo", "recover"})
            EXPECT_TRUE(run.out.contains(QByteArray("tarvello-cli ") + command)) << language << ' ' << command;
    }
    EXPECT_EQ(documented[0], documented[1]);
}

// The settings folder of the command line in a temporary configuration
// folder, for the test and the programs it starts.
class CliRename : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void TearDown() override { m_oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", m_oldConfig); }

    QString settingsFolder() const { return m_config.path() + QStringLiteral("/Tarvello"); }

    // The real program, with this test's configuration folder.
    CliRun runProgram(const QStringList &arguments, const QString &workingFolder = {}) const
    {
        QProcess process;
        process.setWorkingDirectory(workingFolder);
        process.start(binFolder() + QStringLiteral("/tarvello-cli"), arguments);
        const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
        return {ended ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
    }

    Tree tree;

private:
    QTemporaryDir m_config;
    const QByteArray m_oldConfig = qgetenv("XDG_CONFIG_HOME");
};

QByteArray line(const QByteArray &from, const QByteArray &to)
{
    return from + '\t' + to + '\n';
}

QByteArray extraBytes(const char *key, const QString &param1 = {}, const QString &param2 = {})
{
    return extra(key, param1, param2).toUtf8();
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
    EXPECT_TRUE(run.err.contains(tree.path("Thumbs.db") + ": " + message(91).toUtf8())) << run.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{
                                {"x_001.jpg", "a.jpg"}, {"x_003.jpg", "b.jpg"}, {"sub/x_004.jpg", "sub/c.jpg"}, {"Thumbs.db", "Thumbs.db"}}));

    const CliRun undo = runCli({"undo"});
    EXPECT_EQ(undo.code, cli::CliSuccess) << undo.err.constData();
    EXPECT_EQ(undo.out, line(tree.path("x_001.jpg"), tree.path("a.jpg")) + line(tree.path("x_003.jpg"), tree.path("b.jpg"))
                            + line(tree.path("sub/x_004.jpg"), tree.path("sub/c.jpg")));
    EXPECT_TRUE(undo.err.contains(extraBytes("UndoDone", QStringLiteral("3")))) << undo.err.constData();
    for (const QByteArray name : {"a.jpg", "Thumbs.db", "b.jpg", "sub/c.jpg"})
        EXPECT_EQ(tree.read(name), name);

    const CliRun again = runCli({"undo"});
    EXPECT_EQ(again.code, cli::CliSuccess);
    EXPECT_EQ(again.out, QByteArray());
    EXPECT_TRUE(again.err.contains(extraBytes("UndoNothing")));

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
        const QByteArray targetExists = extraBytes("RenameFailureLine", QFile::decodeName(files.path("a.jpg")) + " -> "
                                                       + QFile::decodeName(files.path("a.png")),
                                                   extra("ConflictTargetExists"));
        EXPECT_TRUE(run.err.contains(targetExists)) << run.err.constData();
        EXPECT_EQ(run.err.count(extraBytes("ConflictDuplicateTarget")), 2);
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
            EXPECT_TRUE(run.err.contains(extraBytes("cliConflictsNothingRenamed")));
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
            EXPECT_TRUE(run.err.contains(extraBytes("cliErrNotAnEntry", QFile::decodeName(given)))) << run.err.constData();
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
    EXPECT_TRUE(run.err.contains(extraBytes("RenameErrorMissing"))) << run.err.constData();
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
        EXPECT_TRUE(run.err.contains(extraBytes("cliNotText"))) << run.err.constData();
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
    EXPECT_TRUE(many.err.contains(extraBytes("AddNotTextMore", QStringLiteral("2")))) << many.err.constData();
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
    ASSERT_EQ(fs.renameNoReplace(plan.entries[0].oldPath, plan.temporaryPath(plan.entries[0])), 0);

    for (const QByteArrayList &arguments : {QByteArrayList{"rename", "--rule", "z", tree.path("n_a.jpg")}, QByteArrayList{"undo"}}) {
        const CliRun blocked = runCli(arguments);
        EXPECT_EQ(blocked.code, cli::CliIncomplete) << arguments.first().constData();
        EXPECT_EQ(blocked.out, QByteArray());
        EXPECT_TRUE(blocked.err.contains(extraBytes("RenameJournalWaiting"))) << blocked.err.constData();
        EXPECT_TRUE(blocked.err.contains(extraBytes("cliRecoverHint")));
    }
    EXPECT_TRUE(tree.exists("n_a.jpg"));

    // The recovery finishes the move, which becomes the rename to undo.
    const CliRun recover = runCli({"recover"});
    EXPECT_EQ(recover.code, cli::CliSuccess) << recover.err.constData();
    EXPECT_EQ(recover.out, line(tree.path("b.jpg"), tree.path("c.jpg")));
    EXPECT_TRUE(recover.err.contains(extraBytes("RecoverDone", QStringLiteral("1"), QStringLiteral("0"))))
        << recover.err.constData();
    EXPECT_EQ(tree.files(), (QHash<QByteArray, QByteArray>{{"n_a.jpg", "a"}, {"c.jpg", "b"}}));
    EXPECT_TRUE(runCli({"recover"}).err.contains(extraBytes("cliNothingToRecover")));
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
        Tree program;
        ASSERT_TRUE(QDir(program.root()).mkdir(QStringLiteral("langages")));
        for (const auto &[name, content] : {std::pair{"Francais.lng", c.french}, std::pair{"English.lng", c.english}}) {
            if (content)
                program.write(QByteArray("langages/") + name, *content);
        }
        const QString unreadable = program.root() + QStringLiteral("/langages/") + QLatin1String(c.unreadable);
        for (const QByteArrayList &command : {QByteArrayList{"preview", "--help"}, QByteArrayList{"preview", file},
                                              QByteArrayList{"undo"}}) {
            const CliRun run = runCli(command + c.options, {}, program.root());
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
        EXPECT_TRUE(err.contains(extraBytes("cliStopped", QString()).left(20))) << err.constData();
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
