#include "common/NativePath.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using tarvello::common::NativePath;

namespace {

TEST(NativePath, folderAndNameJoinBackIntoThePath)
{
    const char *cases[][3] = {{"/a/b/c.jpg", "/a/b", "c.jpg"}, {"/top.txt", "/", "top.txt"}, {"photo.jpg", "", "photo.jpg"},
                              {"/a/b/", "/a/b", ""},           {"/x/a\\b.jpg", "/x", "a\\b.jpg"},
                              {"/d/caf\xE9.jpg", "/d", "caf\xE9.jpg"}};
    for (const auto &[bytes, folder, name] : cases) {
        const NativePath path = NativePath::fromBytes(bytes);
        EXPECT_EQ(path.folder().bytes(), folder);
        EXPECT_EQ(path.name().bytes(), name);
        EXPECT_EQ(path.folder().child(path.name()), path);
    }
}

TEST(NativePath, aNameThatIsNotUtf8KeepsItsBytesAndShowsAReplacement)
{
    const NativePath latin1 = NativePath::fromBytes("/d/caf\xE9.jpg");
    EXPECT_TRUE(latin1.text().contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(latin1.textIsExact());
    EXPECT_NE(NativePath::fromText(latin1.text()), latin1) << "the text alone loses the file";

    const NativePath utf8 = NativePath::fromText("/d/café.jpg");
    EXPECT_TRUE(utf8.textIsExact());
    EXPECT_EQ(NativePath::fromBytes(utf8.bytes()).text(), "/d/café.jpg");
}

TEST(NativePath, onlyANewNameTakesTheBackslashAsAFolderSeparator)
{
    EXPECT_EQ(NativePath::fromNewName("sub\\a.jpg").bytes(), QByteArray("sub/a.jpg"));
    EXPECT_EQ(NativePath::fromText("/x/a\\b.jpg").name().bytes(), QByteArray("a\\b.jpg"));
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
