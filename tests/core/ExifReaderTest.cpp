#include "ExifTestSupport.h"
#include "QtPrint.h"

#include "exif/BuiltinReader.h"
#include "exif/ExifReader.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

#include <gtest/gtest.h>

using namespace tarvello::exif;
using namespace std::chrono_literals;

namespace {

// A reader with its own program folder (bin/ for fake tools), temporary
// folder and cache, in a temporary tree removed afterwards.
class ReaderWorld : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        QDir(m_root.path()).mkpath(QStringLiteral("prog/bin"));
        QDir(m_root.path()).mkpath(QStringLiteral("tmp"));
        QDir(m_root.path()).mkpath(QStringLiteral("photos"));
        options.programFolder = m_root.path() + QStringLiteral("/prog");
        options.tempFolder = m_root.path() + QStringLiteral("/tmp");
        options.outputFile = options.tempFolder + QStringLiteral("/tests_exif.txt");
    }

    QString root() const { return m_root.path(); }

    // A file of the photos folder holding the given bytes.
    QString photo(const QString &name, const QByteArray &bytes = "not a picture")
    {
        const QString path = m_root.path() + QStringLiteral("/photos/") + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    void writeTool(const QString &name, const QByteArray &script, bool executable = true)
    {
        const QString path = options.programFolder + QStringLiteral("/bin/") + name;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions()));
    }

    // Fake jhead and exiftool that log each call and name themselves as the
    // camera model; in batch mode exiftool answers each request with its
    // number, unless told to stay silent.
    void writeFakeTools()
    {
        writeTool(QStringLiteral("jhead"), "#!/bin/sh\n"
                                           "echo \"jhead $*\" >> \"$(dirname \"$0\")/../calls.log\"\n"
                                           "echo 'Camera model : jhead'\n");
        writeTool(QStringLiteral("exiftool"),
                  "#!/bin/sh\n"
                  "here=$(dirname \"$0\")\n"
                  "[ \"$1\" = -stay_open ] && exec python3 \"$here/batch.py\" \"$@\"\n"
                  "echo \"exiftool $*\" >> \"$here/../calls.log\"\n"
                  "printf '%-32s: %s\\n' 'Camera Model Name' exiftool\n");
        writeTool(QStringLiteral("batch.py"),
                  "import os, sys, time\n"
                  "here = os.path.dirname(os.path.abspath(__file__))\n"
                  "log = open(os.path.join(here, '..', 'batch.log'), 'a')\n"
                  "def note(text):\n"
                  "    log.write(text + '\\n'); log.flush()\n"
                  "note('start')\n"
                  "once = os.path.join(here, 'silent-once')\n"
                  "silent = os.path.exists(os.path.join(here, 'silent')) or os.path.exists(once)\n"
                  "if os.path.exists(once): os.remove(once)\n"
                  "args = open(sys.argv[sys.argv.index('-@') + 1], 'rb')\n"
                  "pending = b''\n"
                  "while True:\n"
                  "    pending += args.readline()\n"
                  "    if not pending.endswith(b'\\n'):\n"
                  "        time.sleep(0.0005); continue\n"
                  "    line = pending[:-1].decode(); pending = b''\n"
                  "    if line == 'false':\n"
                  "        note('stop'); sys.exit(0)\n"
                  "    if line.startswith('-execute'):\n"
                  "        number = line[len('-execute'):]\n"
                  "        note(number)\n"
                  "        if not silent:\n"
                  "            sys.stdout.write('%-32s: request %s\\n{ready%s}\\n' % ('Camera Model Name', number, number))\n"
                  "            sys.stdout.flush()\n");
    }

    QStringList log(const char *name) const
    {
        QFile file(options.programFolder + QLatin1Char('/') + QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    ExifOptions options;
    ExifCache cache;

private:
    QTemporaryDir m_root;
};

struct ChoiceCase {
    const char *label;
    int choice;
    const char *file;
    const char *jheadList;
    const char *exiftoolList;
    // The tool that runs ("" for none).
    const char *tool;
};

void PrintTo(const ChoiceCase &c, std::ostream *os)
{
    *os << c.label;
}

class ReaderChoice : public ReaderWorld, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(ReaderChoice, extensionListsPickTheTool)
{
    const ChoiceCase &c = GetParam();
    writeFakeTools();
    options.choice = c.choice;
    options.jheadExtensions = QString::fromLatin1(c.jheadList);
    options.exiftoolExtensions = QString::fromLatin1(c.exiftoolList);
    ExifReader reader(options, cache);
    QList<ExifInfo> shown;
    reader.setEvents({.shown = [&shown](const ExifInfo &info) { shown.append(info); }});

    const QString path = photo(QString::fromLatin1(c.file));
    const ExifInfo info = reader.getExif(path);
    const QString tool = QString::fromLatin1(c.tool);
    EXPECT_EQ(info.CameraModel, tool);
    EXPECT_EQ(shown, QList<ExifInfo>{info});
    const QString call = tool + QLatin1Char(' ') + options.tempFolder + QStringLiteral("/tarvello.tmp");
    EXPECT_EQ(log("calls.log"), tool.isEmpty() ? QStringList() : QStringList{call});
    EXPECT_EQ(cache.count(), tool.isEmpty() ? 0 : 1);
}

const ChoiceCase kChoiceCases[] = {
    {"noChoiceYetReadsAsJhead", 0, "a.jpg", "JPG JPEG", "JPG TIF", "jhead"},
    {"jhead", 1, "a.JPEG", "JPG JPEG", "JPG TIF", "jhead"},
    {"jheadNotForATif", 1, "a.tif", "JPG JPEG", "JPG TIF", ""},
    {"mixedTakesJheadForItsList", 2, "a.jpg", "JPG JPEG", "JPG TIF", "jhead"},
    {"mixedTakesExiftoolForATif", 2, "a.tif", "JPG JPEG", "JPG TIF", "exiftool"},
    {"exiftool", 3, "a.jpg", "JPG JPEG", "JPG TIF", "exiftool"},
    {"lowerCaseEntryNeverMatches", 3, "a.jpg", "JPG JPEG", "jpg tif", ""},
    {"doubleBlankHarmless", 3, "a.jpg", "JPG JPEG", "TIF  JPG", "exiftool"},
    {"emptyListHasNoEntry", 3, "noextension", "JPG JPEG", "", ""},
    {"unknownChoiceReadsNothing", 7, "a.jpg", "JPG JPEG", "JPG TIF", ""},
};
INSTANTIATE_TEST_SUITE_P(Lists, ReaderChoice, testing::ValuesIn(kChoiceCases));

TEST_F(ReaderWorld, builtinReadsOnlyTheExiftoolList)
{
    options.choice = ChoiceBuiltin;
    ExifReader reader(options, cache);
    const QByteArray bytes(2500, 'x');
    EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.png"), bytes)), ExifInfo());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.jpg"), bytes)).FileSize, QStringLiteral("2.5 kB"));
    EXPECT_EQ(cache.count(), 1);
}

TEST_F(ReaderWorld, cacheServesTheSamePathAndReadsAnotherCaseAgain)
{
    writeFakeTools();
    options.choice = ChoiceExifTool;
    ExifReader reader(options, cache);
    const QString lower = photo(QStringLiteral("a.jpg"));
    const QString upper = photo(QStringLiteral("A.jpg"));
    for (const QString &path : {lower, lower, upper, lower})
        EXPECT_EQ(reader.getExif(path).CameraModel, QStringLiteral("exiftool"));
    EXPECT_EQ(log("calls.log").size(), 2);
    EXPECT_EQ(cache.count(), 2);
    // Cleared, the photographs are read again.
    reader.clearCache();
    reader.getExif(lower);
    EXPECT_EQ(log("calls.log").size(), 3);
}

TEST_F(ReaderWorld, missingPhotoOrToolGivesTheEmptyRecordUncached)
{
    writeFakeTools();
    const QString gone = root() + QStringLiteral("/photos/gone.jpg");
    for (const int choice : {1, 2, 3, 4, 5}) {
        options.choice = choice;
        ExifReader reader(options, cache);
        EXPECT_EQ(reader.getExif(gone), ExifInfo()) << choice;
    }
    // No tool in bin/ nor on the path given.
    options.programFolder = root() + QStringLiteral("/nowhere");
    options.searchPath = {root() + QStringLiteral("/nowhere")};
    for (const int choice : {1, 3}) {
        options.choice = choice;
        ExifReader reader(options, cache);
        EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.jpg"))), ExifInfo()) << choice;
        EXPECT_FALSE(reader.startBatch());
        EXPECT_EQ(reader.choice(), choice);
    }
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(log("calls.log"), QStringList());
}

TEST_F(ReaderWorld, toolRunningPastItsTimeIsStopped)
{
    writeTool(QStringLiteral("jhead"), "#!/bin/sh\nexec sleep 60\n");
    options.choice = ChoiceJhead;
    options.toolTimeout = 200ms;
    ExifReader reader(options, cache);
    EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.jpg"))), ExifInfo());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_FALSE(QFile::exists(options.outputFile));
}

class BatchWorld : public ReaderWorld
{
protected:
    void SetUp() override
    {
        ReaderWorld::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            GTEST_SKIP() << "the fake exiftool needs python3";
        writeFakeTools();
        options.choice = ChoiceExifToolBatch;
        // Room for a loaded machine to start the fake.
        options.batchSilence = 2s;
    }
};

// With and without the requests sent ahead.
class BatchRestart : public BatchWorld, public testing::WithParamInterface<bool> {};

TEST_P(BatchRestart, afterRequest500CountingFromOne)
{
    ExifReader reader(options, cache);
    ASSERT_TRUE(reader.startBatch());
    QStringList paths;
    for (int i = 0; i <= 501; ++i)
        paths.append(photo(QStringLiteral("p%1.jpg").arg(i)));
    if (GetParam())
        reader.prefetch(paths);
    for (int i = 0; i <= 501; ++i)
        ASSERT_EQ(reader.getExif(paths.at(i)).CameraModel, QStringLiteral("request %1").arg(i <= 500 ? i : i - 500)) << i;
    QStringList expected{QStringLiteral("start")};
    for (int i = 0; i <= 500; ++i)
        expected.append(QString::number(i));
    expected << QStringLiteral("stop") << QStringLiteral("start") << QStringLiteral("1");
    EXPECT_EQ(log("batch.log"), expected);
    EXPECT_EQ(reader.batchCounter(), 2);
    // A cached path sends nothing.
    reader.getExif(paths.at(7));
    EXPECT_EQ(reader.batchCounter(), 2);
    reader.stopBatch();
    EXPECT_FALSE(reader.batchRunning());
    EXPECT_EQ(log("batch.log").last(), QStringLiteral("stop"));
}
INSTANTIATE_TEST_SUITE_P(Ahead, BatchRestart, testing::Bool());

// A silent tool is restarted, and what was sent ahead is sent again.
TEST_F(BatchWorld, requestsSentAheadAreSentAgainAfterARestart)
{
    writeTool(QStringLiteral("silent-once"), "");
    ExifReader reader(options, cache);
    ASSERT_TRUE(reader.startBatch());
    const QStringList paths{photo(QStringLiteral("a.jpg")), photo(QStringLiteral("b.jpg")), photo(QStringLiteral("c.jpg"))};
    reader.prefetch(paths);
    QStringList models;
    for (const QString &path : paths)
        models.append(reader.getExif(path).CameraModel);
    EXPECT_EQ(models, (QStringList{"request 3", "request 4", "request 5"}));
    EXPECT_EQ(log("batch.log"), (QStringList{"start", "0", "1", "2", "stop", "start", "3", "4", "5"}));
}

TEST_F(BatchWorld, requestSentThreeTimesAtMost)
{
    writeTool(QStringLiteral("silent"), "");
    options.batchSilence = 300ms;
    ExifReader reader(options, cache);
    ASSERT_TRUE(reader.startBatch());
    EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.jpg"))), ExifInfo());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(log("batch.log").filter(QRegularExpression(QStringLiteral("^\\d+$"))), (QStringList{"0", "1", "2"}));
    EXPECT_EQ(reader.batchCounter(), 3);
    // Restarted for the next request.
    EXPECT_TRUE(reader.batchRunning());
}

TEST_F(BatchWorld, failedStartFallsBackToStandardModeAndSaysSoOnce)
{
    writeTool(QStringLiteral("exiftool"), "#!/bin/sh\nexit 0\n", false);
    ExifReader reader(options, cache);
    int failures = 0;
    reader.setEvents({.batchStartFailed = [&failures] { ++failures; }});
    EXPECT_FALSE(reader.startBatch());
    EXPECT_EQ(reader.choice(), ChoiceExifTool);
    EXPECT_EQ(failures, 1);
    writeFakeTools();
    EXPECT_EQ(reader.getExif(photo(QStringLiteral("a.jpg"))).CameraModel, QStringLiteral("exiftool"));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(log("batch.log"), QStringList());
}

TEST_F(ReaderWorld, readAheadGivesTheRecordsOfDirectReads)
{
    options.choice = ChoiceBuiltin;
    ExifReader reader(options, cache);
    QStringList paths;
    for (int i = 0; i < 40; ++i)
        paths.append(photo(QStringLiteral("p%1.jpg").arg(i), QByteArray(i * 100, 'x')));
    paths.append(photo(QStringLiteral("skipped.png")));
    reader.prefetch(paths);
    // Asked for in another order than read ahead.
    std::reverse(paths.begin(), paths.end());
    for (const QString &path : paths) {
        const ExifInfo info = reader.getExif(path);
        EXPECT_EQ(info, path.endsWith(u".png") ? ExifInfo() : readBuiltin(path).value()) << path.toStdString();
    }
    EXPECT_EQ(cache.count(), 40);
}

// The external readers on the real photographs, against what the same tools
// print when run by hand over all of them at once.
class RealTools : public ReaderWorld
{
protected:
    void SetUp() override
    {
        ReaderWorld::SetUp();
        m_photos = sharedPhotos();
        if (m_photos.isEmpty())
            GTEST_SKIP() << "needs the shared photographs";
        options.programFolder.clear();
    }

    QStringList photos() const { return photoFiles(m_photos); }

private:
    QString m_photos;
};

// Each reader against what the same reader or tool gives when run by hand
// over all of the photographs at once.
TEST_F(RealTools, eachReaderAgreesWithItsToolRunByHand)
{
    struct Case {
        int choice;
        const char *tool; // "" for the built-in reader
        const char *only; // the photographs read
        QStringList allowed;
    };
    // jhead reads a copy of the photograph; standard mode starts exiftool
    // once per photograph, so it reads a few of them.
    for (const Case &c : {Case{ChoiceBuiltin, "", "", {}}, Case{ChoiceJhead, "jhead", "\\.jpg$", {"FileName", "FileDate"}},
                          Case{ChoiceExifTool, "exiftool", "Nikon_D70|landscape_6|Arbitro", {"FileName", "FileDate"}},
                          Case{ChoiceExifToolBatch, "exiftool", "", {}}}) {
        SCOPED_TRACE(c.choice);
        const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(c.tool));
        if (*c.tool && tool.isEmpty()) {
            std::printf("skipped choice %d: %s is not installed\n", c.choice, c.tool);
            continue;
        }
        const QStringList files = photos().filter(QRegularExpression(QString::fromLatin1(c.only)));
        QHash<QString, ExifInfo> expected;
        if (c.choice == ChoiceBuiltin) {
            for (const QString &file : files)
                expected.insert(file, readBuiltin(file).value());
        } else if (c.choice == ChoiceJhead) {
            const QHash<QString, QString> texts = toolTexts(tool, files, QStringLiteral("File name    : "));
            for (const QString &file : files)
                expected.insert(file, ExifTextParser::parse(ExifTextParser::Format::Jhead, texts.value(file)));
        } else {
            expected = exiftoolRecords(tool, files);
        }
        cache.clear();
        options.choice = c.choice;
        ExifReader reader(options, cache);
        if (c.choice == ChoiceExifToolBatch) {
            ASSERT_TRUE(reader.startBatch());
        }
        if (c.choice == ChoiceBuiltin || c.choice == ChoiceExifToolBatch)
            reader.prefetch(files);
        for (const QString &file : files)
            EXPECT_EQ(differences(reader.getExif(file), expected.value(file), c.allowed), QStringList()) << file.toStdString();
        EXPECT_EQ(cache.count(), files.size());
    }
}

} // namespace
