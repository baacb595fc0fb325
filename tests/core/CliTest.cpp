#include "QtPrint.h"

#include "CliTestSupport.h"
#include "RenameTestSupport.h"

#include "ExifTestSupport.h"

#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <unistd.h>

using namespace tarvello;
using namespace tarvello::clitest;
using tarvello::rename::testing::Tree;

namespace {

// "@91" stands for the text of message 91 in the language files, whatever
// their wording.
QString expectedName(const char *name)
{
    const QString text = QString::fromUtf8(name);
    return text.startsWith(QLatin1Char('@')) ? message(text.mid(1).toInt()) : text;
}

struct CliCase {
    const char *label;
    QByteArrayList options;
    QByteArrayList files;
    QStringList expected;
};

void PrintTo(const CliCase &c, std::ostream *os)
{
    *os << c.label;
}

class CliPreview : public ::testing::TestWithParam<CliCase>
{
};

TEST_P(CliPreview, printsEachPathWithItsNewName)
{
    const CliCase &c = GetParam();
    Tree folder;
    QByteArrayList arguments = {"preview"};
    arguments += c.options;
    QByteArray expected;
    for (qsizetype i = 0; i < c.files.size(); ++i) {
        arguments.append(folder.create(c.files.at(i)));
        expected += arguments.last() + '\t' + expectedName(c.expected.at(i).toUtf8().constData()).toUtf8() + '\n';
    }
    const CliRun run = runCli(arguments);
    EXPECT_EQ(run.code, cli::CliSuccess) << run.err.constData();
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, QByteArray());
}

// One example for each option; the name computation itself has its own tables.
const CliCase kCliCases[] = {
    {"counter", {"--rule", "Photo_###"}, {"a.jpg", "b.jpg", "c.jpg"}, {"Photo_001.jpg", "Photo_002.jpg", "Photo_003.jpg"}},
    {"startAndStep", {"--rule=Photo_###", "--start", "10", "--step", "5"}, {"a.jpg", "b.jpg", "c.jpg"},
     {"Photo_010.jpg", "Photo_015.jpg", "Photo_020.jpg"}},
    {"upperWithoutExtension", {"--rule", "Abc", "--case", "upper"}, {"README", "x.jpg"}, {"Abc", "ABC.JPG"}},
    {"identicalNames", {"--rule", "*"}, {"a/Image.JPG", "b/Image.JPG", "c/image.jpg"},
     {"Image.JPG", "Image_1.JPG", "image_2.jpg"}},
    {"forbiddenFile", {"--rule", "x"}, {"a/Thumbs.db", "b/thumbs.db"}, {"@91", "x.db"}},
    {"extensionFilter", {"--rule", "x", "--filter", "JPG"}, {"a.png", "b.jpg"}, {"@97", "x.jpg"}},
    {"extensionChanged", {"--rule", "x", "--extension=png"}, {"a.jpg"}, {"x.png"}},
    {"noForbidden", {"--rule", "é\\*", "--no-forbidden"}, {"a.txt"}, {"é\\a.txt"}},
    {"continuation", {"--rule", "Scan_###", "--start", "#", "--extension", ""},
     {"Scan_007", "Scan_012", "x.jpg"}, {"Scan_013", "Scan_013_1", "Scan_013_2"}},
    {"optionsEnd", {"--rule", "*", "--"}, {"--odd.txt"}, {"--odd.txt"}},
    {"regex", {"--rule", R"($REGX/(\d+)-(\d+)/\2-\1$)"}, {"12-34.txt"}, {"34-12.txt"}},
};
INSTANTIATE_TEST_SUITE_P(Examples, CliPreview, ::testing::ValuesIn(kCliCases));

// The counter follows the sorted order, which is also the order printed.
TEST(Cli, sortAndReverseChooseWhoGetsWhichNumber)
{
    const struct {
        QByteArrayList options;
        QList<int> order; // of the files b10, b9, a, as given
    } cases[] = {
        {{"--sort", "natural"}, {2, 1, 0}},
        {{"--sort=name", "--reverse"}, {1, 0, 2}},
        {{"--reverse"}, {2, 1, 0}},
        {{}, {0, 1, 2}},
    };
    for (const auto &c : cases) {
        Tree folder;
        const QByteArrayList files = {folder.create("b10.txt"), folder.create("b9.txt"), folder.create("a.txt")};
        const CliRun run = runCli(QByteArrayList{"preview", "--rule", "#"} + c.options + files);
        QByteArray expected;
        for (int i = 0; i < 3; ++i)
            expected += files.at(c.order.at(i)) + '\t' + QByteArray::number(i + 1) + ".txt\n";
        EXPECT_EQ(run.out, expected) << c.options.join(' ').constData();
    }
}

TEST(Cli, badCommandLinesSayWhyAndPrintNothing)
{
    const QByteArrayList cases[] = {
        {},
        {"rename"},
        {"undo", "a.jpg"},
        {"recover", "--rule", "x"},
        {"preview", "--skip-conflicts", "a.jpg"},
        {"rename", "--set-aside", "--rule", "x", "a.jpg"},
        {"preview"},
        {"preview", "--bogus", "a.jpg"},
        {"preview", "a.jpg", "--rule"},
        {"preview", "--start", "abc", "a.jpg"},
        {"preview", "--step", "70000", "a.jpg"},
        {"preview", "--case", "title", "a.jpg"},
        {"preview", "--settings", "/nonexistent/Tarvello.ini", "a.jpg"},
        {"preview", "--lang", "Klingon", "a.jpg"},
        {"preview", "--extension", "jp\tg", "a.jpg"},
        {"preview", "--rule", "$REGX/ab)c/x$", "a.jpg"},
        {"preview", "--sort", "date", "a.jpg"},
        {"undo", "--sort", "name"},
        {"preview", "--exif-tool", "0", "a.jpg"},
        {"preview", "--exif-tool", "batch", "a.jpg"},
        {"undo", "--exif-tool", "5"},
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

// A position error stops the preview there; a run-time error leaves an empty
// name and the preview goes on.
TEST(Cli, nameErrorsAreReportedWithTheirPath)
{
    const struct {
        QByteArrayList options;
        const char *out; // "@a" stands for the path of a
        const char *err;
    } cases[] = {
        // $N$ is empty for b, which leaves the directive with no position.
        {{"--rule", "$REPP/$N$//1/X$"}, "@a\tXa1\n", "@b: m45"},
        {{"--rule", "#", "--start", "2147483646"}, "@a\t2147483646\n@b\t2147483647\n@c\t\n",
         "@c: Error 6 (Overflow) in procedure affiche_nom of Feuille frmMain"},
    };
    for (const auto &c : cases) {
        Tree folder;
        const QByteArrayList paths = {folder.create("a1"), folder.create("b"), folder.create("c2")};
        const auto withPaths = [&](QByteArray text) {
            for (int i = 0; i < 3; ++i)
                text.replace('@' + QByteArray(1, char('a' + i)), paths[i]);
            return text.replace("m45", message(45).toUtf8());
        };
        const CliRun run = runCli(QByteArrayList{"preview"} + c.options + paths);
        EXPECT_EQ(run.code, cli::CliNameErrors);
        EXPECT_EQ(run.out, withPaths(c.out));
        EXPECT_EQ(run.err, "tarvello-cli: " + withPaths(c.err) + '\n');
    }
}

TEST(Cli, settingsFileGivesTablesAndFormats)
{
    Tree folder;
    const QByteArray settings = folder.path("Tarvello.ini");
    {
        QFile file(QFile::decodeName(settings));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Option]\r\nOption_NombreCaractereInterdit=0\r\nOption_CharactereInterdit0=ab\r\n"
                   "Option_CharactereReplacement0=-\r\nOption_NbFileNotRenamed=0\r\nOption_FileNotRenamed0=keep.txt\r\n"
                   "Option_FormatMois=0\r\n[RegleRenommage]\r\nRegleRenommage_Regle=ignored\r\n");
    }
    const QByteArray dated = folder.create("dated.txt");
    const QByteArray kept = folder.create("keep.txt");
    const QByteArray thumbs = folder.create("Thumbs.db");
    for (const QByteArray &path : {dated, thumbs}) {
        QFile file(QFile::decodeName(path));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)), QFileDevice::FileModificationTime);
    }
    const CliRun run = runCli({"preview", "--settings", settings, "--rule", "cab/$DM$", dated, kept, thumbs});
    EXPECT_EQ(run.code, cli::CliSuccess) << run.err.constData();
    EXPECT_EQ(run.out, dated + "\tc--/3.txt\n" + kept + '\t' + message(91).toUtf8() + '\n' + thumbs + "\tc--/3.d-\n");

    const QByteArray broken = folder.path("broken.ini");
    {
        QFile file(QFile::decodeName(broken));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Option]\r\nOption_NombreCaractereInterdit=many\r\n");
    }
    const CliRun bad = runCli({"preview", "--settings", broken, dated});
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
    const QByteArray jheadSettings = folder.path("jhead.ini");
    {
        QFile file(QFile::decodeName(jheadSettings));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Option]\r\nOption_OutilExifChoisi=1\r\n");
    }
    // The external tools exchange their files under the test's own folder.
    const QByteArray temporary = qgetenv("TMPDIR");
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
        {{"--settings", jheadSettings}, "jhead", "7958 bytes"},
    };
    for (const auto &c : cases) {
        const QByteArray shown = c.options.join(' ');
        if (*c.tool && QStandardPaths::findExecutable(QString::fromLatin1(c.tool)).isEmpty())
            continue;
        const CliRun run = runCli(QByteArrayList{"preview", "--rule", "Photo_$dA$-$dM$_### $T$"} + c.options + QByteArrayList{photo});
        EXPECT_EQ(run.code, cli::CliSuccess) << shown.constData() << run.err.constData();
        EXPECT_EQ(run.out, photo + "\tPhoto_2008-05_001 " + c.size + ".jpg\n") << shown.constData();
    }
    if (temporary.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", temporary);
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

} // namespace
