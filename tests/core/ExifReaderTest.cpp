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
        for (const char *folder : {"prog/bin", "tmp", "photos"})
            QDir(m_root.path()).mkpath(folder);
        options.programFolder = m_root.path() + "/prog";
        options.tempFolder = m_root.path() + "/tmp";
        options.outputFile = options.tempFolder + "/tests_exif.txt";
    }

    QString root() const { return m_root.path(); }

    // A file of the photos folder holding the given bytes.
    QString photo(const QString &name, const QByteArray &bytes = "not a picture")
    {
        const QString path = m_root.path() + "/photos/" + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    void writeTool(const QString &name, const QByteArray &script, bool executable = true)
    {
        const QString path = options.programFolder + "/bin/" + name;
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
        writeTool("jhead", "#!/bin/sh\n"
                                           "echo \"jhead $*\" >> \"$(dirname \"$0\")/../calls.log\"\n"
                                           "echo 'Camera model : jhead'\n");
        writeTool("exiftool",
                  "#!/bin/sh\n"
                  "here=$(dirname \"$0\")\n"
                  "[ \"$1\" = -stay_open ] && exec python3 \"$here/batch.py\" \"$@\"\n"
                  "echo \"exiftool $*\" >> \"$here/../calls.log\"\n"
                  "printf '%-32s: %s\\n' 'Camera Model Name' exiftool\n");
        writeTool("batch.py",
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
        QFile file(options.programFolder + '/' + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

    ExifOptions options;
    ExifCache cache;

private:
    QTemporaryDir m_root;
};

// The extension lists pick the tool that runs ("" for none); jhead's list is
// "JPG JPEG" throughout.
TEST_F(ReaderWorld, extensionListsPickTheTool)
{
    writeFakeTools();
    const struct { int choice; const char *file; const char *exiftoolList; const char *tool; } cases[] = {
        // No choice yet reads as jhead.
        {0, "a.jpg", "JPG TIF", "jhead"},    {1, "a.JPEG", "JPG TIF", "jhead"},   {1, "a.tif", "JPG TIF", ""},
        {2, "a.jpg", "JPG TIF", "jhead"},    {2, "a.tif", "JPG TIF", "exiftool"}, {3, "a.jpg", "JPG TIF", "exiftool"},
        // A lower-case entry never matches, a double blank is harmless, an empty list has no entry.
        {3, "a.jpg", "jpg tif", ""},         {3, "a.jpg", "TIF  JPG", "exiftool"}, {3, "noextension", "", ""},
        {7, "a.jpg", "JPG TIF", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1 %2 [%3]").arg(c.choice).arg(c.file, c.exiftoolList).toStdString());
        QFile::remove(options.programFolder + "/calls.log");
        cache.clear();
        options.choice = c.choice;
        options.exiftoolExtensions = c.exiftoolList;
        ExifReader reader(options, cache);
        QList<ExifInfo> shown;
        reader.setEvents({.shown = [&shown](const ExifInfo &info) { shown.append(info); }});
        const ExifInfo info = reader.getExif(photo(c.file));
        EXPECT_EQ(info.CameraModel, c.tool);
        EXPECT_EQ(shown, QList<ExifInfo>{info});
        const QString call = QString(c.tool) + ' ' + options.tempFolder + "/tarvello.tmp";
        EXPECT_EQ(log("calls.log"), *c.tool ? QStringList{call} : QStringList());
        EXPECT_EQ(cache.count(), *c.tool ? 1 : 0);
    }
}

TEST_F(ReaderWorld, cacheServesTheSamePathAndReadsAnotherCaseAgain)
{
    writeFakeTools();
    options.choice = ChoiceExifTool;
    ExifReader reader(options, cache);
    const QString lower = photo("a.jpg");
    const QString upper = photo("A.jpg");
    for (const QString &path : {lower, lower, upper, lower})
        EXPECT_EQ(reader.getExif(path).CameraModel, "exiftool");
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
    const QString gone = root() + "/photos/gone.jpg";
    for (const int choice : {1, 2, 3, 4, 5}) {
        options.choice = choice;
        ExifReader reader(options, cache);
        EXPECT_EQ(reader.getExif(gone), ExifInfo()) << choice;
    }
    // No tool in bin/ nor on the path given.
    options.programFolder = root() + "/nowhere";
    options.searchPath = {root() + "/nowhere"};
    for (const int choice : {1, 3}) {
        options.choice = choice;
        ExifReader reader(options, cache);
        EXPECT_EQ(reader.getExif(photo("a.jpg")), ExifInfo()) << choice;
        EXPECT_FALSE(reader.startBatch());
        EXPECT_EQ(reader.choice(), choice);
    }
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(log("calls.log"), QStringList());
}

TEST_F(ReaderWorld, toolRunningPastItsTimeIsStopped)
{
    writeTool("jhead", "#!/bin/sh\nexec sleep 60\n");
    options.choice = ChoiceJhead;
    options.toolTimeout = 200ms;
    ExifReader reader(options, cache);
    EXPECT_EQ(reader.getExif(photo("a.jpg")), ExifInfo());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_FALSE(QFile::exists(options.outputFile));
}

class BatchWorld : public ReaderWorld
{
protected:
    void SetUp() override
    {
        ReaderWorld::SetUp();
        if (QStandardPaths::findExecutable("python3").isEmpty())
            GTEST_SKIP() << "the fake exiftool needs python3";
        writeFakeTools();
        options.choice = ChoiceExifToolBatch;
        // Room for a loaded machine to start the fake.
        options.batchSilence = 5s;
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
    QStringList expected{"start"};
    for (int i = 0; i <= 500; ++i)
        expected.append(QString::number(i));
    expected << QStringLiteral("stop") << QStringLiteral("start") << "1";
    EXPECT_EQ(log("batch.log"), expected);
    EXPECT_EQ(reader.batchCounter(), 2);
    // A cached path sends nothing.
    reader.getExif(paths.at(7));
    EXPECT_EQ(reader.batchCounter(), 2);
    reader.stopBatch();
    EXPECT_FALSE(reader.batchRunning());
    EXPECT_EQ(log("batch.log").last(), "stop");
}
INSTANTIATE_TEST_SUITE_P(Ahead, BatchRestart, testing::Bool());

// A silent tool is restarted, and what was sent ahead is sent again.
TEST_F(BatchWorld, requestsSentAheadAreSentAgainAfterARestart)
{
    writeTool("silent-once", "");
    ExifReader reader(options, cache);
    ASSERT_TRUE(reader.startBatch());
    const QStringList paths{photo("a.jpg"), photo("b.jpg"), photo("c.jpg")};
    reader.prefetch(paths);
    QStringList models;
    for (const QString &path : paths)
        models.append(reader.getExif(path).CameraModel);
    EXPECT_EQ(models, (QStringList{"request 3", "request 4", "request 5"}));
    EXPECT_EQ(log("batch.log"), (QStringList{"start", "0", "1", "2", "stop", "start", "3", "4", "5"}));
}

TEST_F(BatchWorld, requestSentThreeTimesAtMost)
{
    writeTool("silent", "");
    // Long enough for a loaded machine to start the fake each time.
    options.batchSilence = 2s;
    ExifReader reader(options, cache);
    ASSERT_TRUE(reader.startBatch());
    EXPECT_EQ(reader.getExif(photo("a.jpg")), ExifInfo());
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(log("batch.log").filter(QRegularExpression("^\\d+$")), (QStringList{"0", "1", "2"}));
    EXPECT_EQ(reader.batchCounter(), 3);
    // Restarted for the next request.
    EXPECT_TRUE(reader.batchRunning());
}

TEST_F(BatchWorld, failedStartFallsBackToStandardModeAndSaysSoOnce)
{
    writeTool("exiftool", "#!/bin/sh\nexit 0\n", false);
    ExifReader reader(options, cache);
    int failures = 0;
    reader.setEvents({.batchStartFailed = [&failures] { ++failures; }});
    EXPECT_FALSE(reader.startBatch());
    EXPECT_EQ(reader.choice(), ChoiceExifTool);
    EXPECT_EQ(failures, 1);
    writeFakeTools();
    EXPECT_EQ(reader.getExif(photo("a.jpg")).CameraModel, "exiftool");
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
    paths.append(photo("skipped.png"));
    reader.prefetch(paths);
    // Asked for in another order than read ahead.
    std::reverse(paths.begin(), paths.end());
    for (const QString &path : paths) {
        const ExifInfo info = reader.getExif(path);
        EXPECT_EQ(info, path.endsWith(u".png") ? ExifInfo() : readBuiltin(path).value()) << path.toStdString();
    }
    EXPECT_EQ(cache.count(), 40);
}

// Each reader on the real photographs, against what jhead or exiftool print
// when run by hand over all of them at once.
TEST_F(ReaderWorld, eachReaderAgreesWithTheToolsRunByHand)
{
    const QString photos = sharedPhotos();
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    if (photos.isEmpty() || exiftool.isEmpty())
        GTEST_SKIP() << "needs the shared photographs and exiftool";
    options.programFolder.clear();
    // Settings exiftool takes from a maker's own notes (or Canon's CIFF block
    // and Olympus' picture information), which the built-in reader leaves to
    // the standard Exif tags. Nothing the program shows or names files with.
    const QHash<QString, QStringList> makerNotes = {
        {"cameras/Canon_DIGITAL_IXUS_400.jpg", {"MeteringMode"}},
        {"cameras/Fujifilm_FinePix6900ZOOM.jpg", {"WhiteBalance"}},
        {"cameras/corrupted.jpg", {"FocalLength", "MeteringMode"}},
        {"exif-org/canon-ixus.jpg", {"WhiteBalance", "MeteringMode"}},
        {"exif-org/fujifilm-finepix40i.jpg", {"WhiteBalance"}},
        {"exif-org/kodak-dc240.jpg", {"ExposureTime"}},
        {"exif-org/olympus-c960.jpg", {"FocalLength"}},
        {"exif-org/olympus-d320l.jpg", {"Flash", "ExposureTime"}},
        {"exif-org/sony-powershota5.jpg", {"FocalLength", "Aperture"}},
    };
    const QStringList all = photoFiles(photos);
    const QHash<QString, ExifInfo> byExiftool = exiftoolRecords(exiftool, all);
    ASSERT_EQ(byExiftool.size(), all.size());
    const struct {
        int choice;
        const char *only; // the photographs read
        QStringList allowed;
    } cases[] = {
        {ChoiceBuiltin, "", {}},
        // jhead reads a copy of the photograph; standard mode starts exiftool
        // once per photograph, so it reads a few of them.
        {ChoiceJhead, "\\.jpg$", {"FileName", "FileDate"}},
        {ChoiceExifTool, "Nikon_D70|landscape_6|Arbitro", {"FileName", "FileDate"}},
        {ChoiceExifToolBatch, "", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.choice);
        const QStringList files = all.filter(QRegularExpression(c.only));
        QHash<QString, ExifInfo> expected = byExiftool;
        if (c.choice == ChoiceJhead) {
            const QString jhead = QStandardPaths::findExecutable("jhead");
            if (jhead.isEmpty()) {
                std::printf("skipped jhead: it is not installed\n");
                continue;
            }
            const QHash<QString, QString> texts = toolTexts(jhead, files, "File name    : ");
            for (const QString &file : files)
                expected.insert(file, ExifTextParser::parse(ExifTextParser::Format::Jhead, texts.value(file)));
        }
        cache.clear();
        options.choice = c.choice;
        ExifReader reader(options, cache);
        if (c.choice == ChoiceExifToolBatch) {
            ASSERT_TRUE(reader.startBatch());
        }
        if (c.choice == ChoiceBuiltin || c.choice == ChoiceExifToolBatch)
            reader.prefetch(files);
        for (const QString &file : files) {
            const QStringList allowed =
                c.allowed + (c.choice == ChoiceBuiltin ? makerNotes.value(file.mid(photos.size() + 1)) : QStringList());
            EXPECT_EQ(differences(reader.getExif(file), expected.value(file), allowed), QStringList()) << file.toStdString();
        }
        EXPECT_EQ(cache.count(), files.size());
    }
}

} // namespace
