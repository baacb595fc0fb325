#include "common/NativePath.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using tarvello::common::NativePath;

namespace {

struct SplitCase {
    const char *path;
    const char *folder;
    const char *name;
};

class NativePathSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(NativePathSplit, folderAndNameJoinBackIntoThePath)
{
    const SplitCase &c = GetParam();
    const NativePath path = NativePath::fromBytes(c.path);
    EXPECT_EQ(path.folder().bytes(), QByteArray(c.folder));
    EXPECT_EQ(path.name().bytes(), QByteArray(c.name));
    EXPECT_EQ(path.folder().child(path.name()), path);
}

INSTANTIATE_TEST_SUITE_P(Paths, NativePathSplit,
                         testing::Values(SplitCase{"/a/b/c.jpg", "/a/b", "c.jpg"},
                                         SplitCase{"/top.txt", "/", "top.txt"},
                                         SplitCase{"photo.jpg", "", "photo.jpg"},
                                         SplitCase{"/a/b/", "/a/b", ""},
                                         SplitCase{"/x/a\\b.jpg", "/x", "a\\b.jpg"},
                                         SplitCase{"/d/caf\xE9.jpg", "/d", "caf\xE9.jpg"}));

TEST(NativePath, aNameThatIsNotUtf8KeepsItsBytesAndShowsAReplacement)
{
    const NativePath latin1 = NativePath::fromBytes("/d/caf\xE9.jpg");
    EXPECT_TRUE(latin1.text().contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(latin1.textIsExact());
    EXPECT_NE(NativePath::fromText(latin1.text()), latin1) << "the text alone loses the file";

    const NativePath utf8 = NativePath::fromText(QStringLiteral("/d/café.jpg"));
    EXPECT_TRUE(utf8.textIsExact());
    EXPECT_EQ(NativePath::fromBytes(utf8.bytes()).text(), QStringLiteral("/d/café.jpg"));
}

TEST(NativePath, onlyANewNameTakesTheBackslashAsAFolderSeparator)
{
    EXPECT_EQ(NativePath::fromNewName(QStringLiteral("sub\\a.jpg")).bytes(), QByteArray("sub/a.jpg"));
    EXPECT_EQ(NativePath::fromText(QStringLiteral("/x/a\\b.jpg")).name().bytes(), QByteArray("a\\b.jpg"));
}

TEST(NativePath, cleanedAsTheTextWouldBeKeepingItsBytes)
{
    const char *cases[] = {"/a/./b//c/", "/a/../../b", "a/../..", "a/..", "./x", "/..", "/", "d\xE9/./../e\xFF//"};
    for (const char *path : cases) {
        const NativePath native = NativePath::fromBytes(path);
        EXPECT_EQ(native.cleaned().text(), QDir::cleanPath(native.text())) << path;
    }
    EXPECT_EQ(NativePath::fromBytes("/x/d\xE9/../f\xFF").cleaned().bytes(), QByteArray("/x/f\xFF"));
}

TEST(NativePath, theBytesReachAFileWhoseNameIsNotUtf8)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const NativePath file = NativePath::fromText(dir.path()).child(NativePath::fromBytes("caf\xE9.jpg"));
    const int fd = ::open(file.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);

    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_NE(::stat(NativePath::fromText(file.text()).c_str(), &st), 0);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    EXPECT_EQ(::unlink(file.c_str()), 0);
}

} // namespace
