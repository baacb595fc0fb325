#include "QtPrint.h"

#include "../gui/support/FolderFixture.h"
#include "filelist/FolderScan.h"

#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace tarvello::filelist;
using namespace folderfixture;

namespace {

const ScanBreak kNeverStop = [](int) { return true; };

// A tree with files at three depths, hidden ones, names with and without a
// dot, in an order that is neither the listing's nor the names'.
class FolderScanTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path();
        ASSERT_TRUE(makeFiles(m_root, {"b.jpg", "a.JPG", "notes.txt", "README", ".g.jpg", "sub2/c.jpg",
                                       "sub1/d.jpg", "sub1/deep/e.jpg", ".hidden/f.jpg", "sub10/h.jpg"}));
    }

    QStringList collect(const QStringList &starts, const QString &filter,
                        ListedFiles listed = ListedFiles(ListedFiles::Match::Name), FolderListings *kept = nullptr)
    {
        QStringList out;
        for (const FileEntry &file : entries(collectFiles(starts, DisplayFilter(filter), listed, kNeverStop, kept)))
            out.append(file.path());
        return out;
    }

    int count(const QString &start, const QString &filter = "*") const
    {
        return countFiles(start, true, DisplayFilter(filter), kNeverStop).files;
    }

    static QList<FileEntry> entries(const CollectedFiles &collected)
    {
        QList<FileEntry> out;
        for (qsizetype i = 0; i < collected.files.size(); ++i)
            out.append(collected.entry(i));
        return out;
    }

    QString path(const QString &relative) const { return m_root + QLatin1Char('/') + relative; }

    QStringList paths(const QStringList &relative) const
    {
        QStringList full;
        for (const QString &r : relative)
            full.append(path(r));
        return full;
    }

    QTemporaryDir m_dir;
    QString m_root;
};

TEST_F(FolderScanTree, collectionIsBreadthFirstInNameOrderWithHiddenFiles)
{
    EXPECT_EQ(collect({m_root}, "*.jpg"), paths({".g.jpg", "a.JPG", "b.jpg", ".hidden/f.jpg", "sub1/d.jpg", "sub2/c.jpg",
                                                 "sub10/h.jpg", "sub1/deep/e.jpg"}));
    // "*.*" leaves out a name without a dot; "*" takes it; case is ignored both ways.
    EXPECT_EQ(collect({path("sub1")}, "*.*"), paths({"sub1/d.jpg", "sub1/deep/e.jpg"}));
    EXPECT_FALSE(collect({m_root}, "*.*").contains(path("README")));
    EXPECT_TRUE(collect({m_root}, "*").contains(path("README")));
    EXPECT_EQ(collect({m_root}, "NOTES.T?T [ab].jpg"), paths({"a.JPG", "b.jpg", "notes.txt"}));
}

TEST_F(FolderScanTree, countPassesOverDotNamesAndCountsEntries)
{
    const FolderTally all = countFiles(m_root, true, DisplayFilter("*.JPG"), kNeverStop);
    EXPECT_EQ(all.files, 6);
    // root 7 (".g.jpg" and ".hidden" not), sub1 2, deep 1, sub2 1, sub10 1
    EXPECT_EQ(all.entries, 12);
    EXPECT_FALSE(all.stopped);
    const FolderTally top = countFiles(m_root, false, DisplayFilter("*.jpg"), kNeverStop);
    EXPECT_EQ(top.files, 2);
    EXPECT_EQ(top.entries, 7);
    EXPECT_EQ(count(path("missing")), 0);
    EXPECT_EQ(count(m_root, ""), 0);
}

// Dropped folders may overlap: by path, no file is taken twice.
TEST_F(FolderScanTree, overlappingFoldersGiveTheirFilesOnce)
{
    ListedFiles byPath(ListedFiles::Match::Path);
    byPath.addEntries({{"d.jpg", path("sub1"), ""}});
    EXPECT_EQ(collect({path("sub2"), path("sub1"), path("sub2")}, "*", byPath), paths({"sub2/c.jpg", "sub1/deep/e.jpg"}));
    EXPECT_EQ(collect({path("sub1/deep"), path("sub1")}, "*", ListedFiles(ListedFiles::Match::Path)),
              paths({"sub1/deep/e.jpg", "sub1/d.jpg"}));
}

// The count's folders serve the collection where their stamp, however recent,
// says nothing changed since; a folder changed since is read again.
TEST_F(FolderScanTree, keptListingsServeUnchangedFoldersOnly)
{
    // One stamp, this second, for every call: sub1 must look untouched after its second.
    const time_t now = ::time(nullptr);
    const auto stampNow = [this, now](const QString &relative) {
        timespec times[2] = {{0, UTIME_OMIT}, {now, 0}};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path(relative)).constData(), times, 0) == 0;
    };
    ASSERT_TRUE(stampNow("sub1") && stampNow("sub2") && stampNow(""));
    FolderListings listings;
    EXPECT_EQ(countFiles(m_root, true, DisplayFilter("*.jpg"), kNeverStop, &listings).files, 6);
    ASSERT_TRUE(makeFiles(m_root, {"sub2/new.jpg", "sub1/unseen.jpg"}) && stampNow("sub1"));
    ASSERT_TRUE(makeFile(path("root-new.jpg")));
    const QStringList collected = collect({m_root}, "*.jpg", ListedFiles(ListedFiles::Match::Name), &listings);
    EXPECT_TRUE(collected.contains(path("sub2/new.jpg")));
    EXPECT_TRUE(collected.contains(path("root-new.jpg")));
    EXPECT_FALSE(collected.contains(path("sub1/unseen.jpg")));
    EXPECT_TRUE(collected.contains(path("sub1/d.jpg")));
}

TEST_F(FolderScanTree, aStopEndsBothScans)
{
    int calls = 0;
    const ScanBreak stopAtThird = [&calls](int) { return ++calls < 3; };
    ListedFiles listed(ListedFiles::Match::Name);
    const CollectedFiles collected = collectFiles({m_root}, DisplayFilter("*"), listed, stopAtThird);
    EXPECT_TRUE(collected.stopped);
    EXPECT_EQ(calls, 3);
    calls = 0;
    const FolderTally tally = countFiles(m_root, true, DisplayFilter("*"), stopAtThird);
    EXPECT_TRUE(tally.stopped);
    EXPECT_EQ(tally.entries, 3);
}

TEST_F(FolderScanTree, linksToFilesAreFilesAndLinksToFoldersAreNotEntered)
{
    ASSERT_TRUE(QFile::link(m_root, path("sub1/up")));
    ASSERT_TRUE(QFile::link(path("b.jpg"), path("sub2/link.jpg")));
    ASSERT_TRUE(QFile::link(path("gone.jpg"), path("sub2/dangling.jpg")));
    EXPECT_EQ(collect({path("sub1"), path("sub2")}, "*.jpg", ListedFiles(ListedFiles::Match::Path)),
              paths({"sub1/d.jpg", "sub1/deep/e.jpg", "sub2/c.jpg", "sub2/dangling.jpg", "sub2/link.jpg"}));
    EXPECT_EQ(count(path("sub1")), 2);
}

// A file whose name is not text is taken by its bytes, and one listed by
// those bytes is not taken again; a folder whose name is not text is set apart.
TEST_F(FolderScanTree, filesThatAreNotTextAreTakenByTheirBytesFoldersSetApart)
{
    const QByteArray inside = QFile::encodeName(m_root) + "/bad\xff/inside.jpg";
    const auto cleanUp = qScopeGuard([this, &inside] {
        ::unlink(inside.constData());
        removeRaw(m_root, "bad\xff");
        removeRaw(m_root, "caf\xe9.jpg");
        removeRaw(m_root, "caf\xe9.txt");
    });
    ASSERT_TRUE(makeRawFile(m_root, "caf\xe9.jpg") && makeRawFile(m_root, "caf\xe9.txt") && makeRawFolder(m_root, "bad\xff"));
    const int fd = ::open(inside.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(makeFile(path("café.jpg")));
    using tarvello::common::NativePath;
    const NativePath notText = NativePath::fromBytes(QFile::encodeName(m_root) + "/caf\xe9.jpg");
    for (const ListedFiles::Match match : {ListedFiles::Match::Name, ListedFiles::Match::Path}) {
        ListedFiles listed(match);
        const CollectedFiles collected = collectFiles({m_root}, DisplayFilter("*.jpg"), listed, kNeverStop);
        EXPECT_TRUE(entries(collected).contains(FileEntry::of(NativePath::fromText(path("café.jpg")))));
        EXPECT_TRUE(entries(collected).contains(FileEntry::of(notText)));
        EXPECT_EQ(collected.notText, paths({"bad\uFFFD"}));
        ListedFiles holding(match);
        holding.addEntries({FileEntry::of(notText)});
        const QList<FileEntry> again = entries(collectFiles({m_root}, DisplayFilter("*.jpg"), holding, kNeverStop));
        EXPECT_FALSE(again.contains(FileEntry::of(notText)));
        EXPECT_TRUE(again.contains(FileEntry::of(NativePath::fromText(path("café.jpg")))));
    }
    EXPECT_EQ(count(m_root, "*.jpg"), 8);
}

TEST_F(FolderScanTree, anUnreadableFolderIsPassedOver)
{
    const QString locked = makeLockedFolder(path("sub1"), "locked");
    if (locked.isEmpty())
        GTEST_SKIP() << "this system lets the test read every folder";
    const auto cleanUp = qScopeGuard([&locked] { unlockFolder(locked); });
    EXPECT_EQ(collect({path("sub1")}, "*"), paths({"sub1/d.jpg", "sub1/deep/e.jpg"}));
    EXPECT_EQ(count(path("sub1")), 2);
    EXPECT_EQ(countFiles(locked, true, DisplayFilter("*"), kNeverStop).entries, 0);
}

// The temporary names of a rename cut short are neither counted nor added;
// names that only look like them are files like any other.
TEST_F(FolderScanTree, renameTemporaryNamesAreNeverOffered)
{
    const std::pair<const char *, bool> cases[] = {
        {"tmp_Tarv_1_a.jpg", true},  {"tmp_Tarv___12_b", true},  {"tmp_Tarv_7", true},
        {"tmp_Tarv_x_a.jpg", false}, {"tmp_Tarv1_a.jpg", false}, {"tmp_Tarv_3a.jpg", false},
        {"tmp_Tarvello.jpg", false}, {"a_tmp_Tarv_1_a.jpg", false}, {"tmp_tarv_1_a.jpg", false},
    };
    QTemporaryDir dir;
    QStringList kept;
    for (const auto &[name, temporary] : cases) {
        EXPECT_EQ(isRenameTemporaryName(name), temporary) << name;
        ASSERT_TRUE(makeFiles(dir.path(), {name}));
        if (!temporary)
            kept.append(dir.filePath(name));
    }
    QStringList collected = collect({dir.path()}, "*");
    collected.sort();
    kept.sort();
    EXPECT_EQ(collected, kept);
    EXPECT_EQ(count(dir.path()), kept.size());
}

TEST(FolderScan, textNames)
{
    for (const QByteArray text : {"photo.jpg", "", "caf\xc3\xa9.jpg", "\xef\xbf\xbd.jpg"})
        EXPECT_TRUE(isTextName(text)) << text.toHex().constData();
    for (const QByteArray bytes : {"caf\xe9.jpg", "\xff", "a\xc3", "\xed\xa0\x80"})
        EXPECT_FALSE(isTextName(bytes)) << bytes.toHex().constData();
}

// Entries made one after the other are those FileEntry::of makes, and those
// of one folder share its text, spoilt bytes or not.
TEST(EntryMaker, makesWhatFileEntryOfMakesSharingEachFolder)
{
    using tarvello::common::NativePath;
    EntryMaker maker;
    FileEntry previous;
    for (const char *path : {"/d/a.jpg", "/d/caf\xe9.jpg", "/d/caf\xc3\xa9.jpg", "/d\xe2\x82/x.jpg", "/d\xe2\x82/y",
                             "/top.jpg", "bare.jpg", "/d/", "/d/b.jpg"}) {
        const FileEntry made = maker.make(NativePath::fromBytes(path));
        EXPECT_EQ(made, FileEntry::of(NativePath::fromBytes(path))) << path;
        if (made.folder == previous.folder && !made.folder.isEmpty()) {
            EXPECT_TRUE(made.folder.isSharedWith(previous.folder)) << path;
        }
        previous = made;
    }
}

} // namespace
