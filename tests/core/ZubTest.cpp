#include "common/Cp1252.h"
#include "common/Zub.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarvello::common;

namespace {

TEST(ZubPaths, splitAPathIntoItsParts)
{
    const struct {
        const char *path;
        const char *folder;
        const char *fileName;
        const char *extension;
        const char *withoutExtension;
    } cases[] = {
        {"/a/b/c.jpg", "/a/b", "c.jpg", "jpg", "/a/b/c"},
        {"/a/archive.tar.gz", "/a", "archive.tar.gz", "gz", "/a/archive.tar"},
        {"/a/README", "/a", "README", "", "/a/README"},
        {"/a.d/README", "/a.d", "README", "", "/a.d/README"},
        {"/home/.bashrc", "/home", ".bashrc", "", "/home/.bashrc"},
        {"/x/file.", "/x", "file.", "", "/x/file."},
        {"/x/a\\b.jpg", "/x", "a\\b.jpg", "jpg", "/x/a\\b"},
        {"/top.txt", "", "top.txt", "txt", "/top"},
        {"photo.JPEG", "", "photo.JPEG", "JPEG", "photo"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ((QStringList{ZubGetPath(c.path), ZubGetFileName(c.path), ZubGetExtension(c.path), ZubStrWithoutExt(c.path)}),
                  (QStringList{c.folder, c.fileName, c.extension, c.withoutExtension}))
            << c.path;
    }
}

TEST(ZubText, accentsAndNulls)
{
    EXPECT_EQ(ZubStringSansAccent("Français Éèôüñ"), "Francais Eeoun");
    EXPECT_EQ(ZubTrimNull(QString("abc") + QChar(0) + "junk"), "abc");
}

TEST(ZubFiles, existenceAndNestedFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString nested = dir.filePath("a/b/c");
    EXPECT_FALSE(ZubFileExists(nested));
    EXPECT_TRUE(ZubCreateNestedFolders(nested));
    EXPECT_TRUE(ZubIsDir(nested));
    const QString file = dir.filePath("file");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    EXPECT_TRUE(ZubFileExists(file));
    EXPECT_FALSE(ZubIsDir(file));
    const QString dangling = dir.filePath("dangling");
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dangling));
    EXPECT_FALSE(ZubFileExists(dangling));
}

TEST(ZubFiles, readFileToBufferReportsMissingAndUnreadableFiles)
{
    QTemporaryDir dir;
    int code = -1;
    QString why;
    ZubReadFileToBuffer(dir.filePath("absent"), code, why);
    EXPECT_EQ(code, 53);
    const QString path = dir.filePath("exif.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Make : Canon\nComment : été\n");
    f.close();
    EXPECT_EQ(ZubReadFileToBuffer(path, code, why), "Make : Canon\nComment : été\n");
    EXPECT_EQ(code, 0);
    if (::geteuid() != 0) {  // root reads whatever the mode says
        ::chmod(QFile::encodeName(path).constData(), 0);
        ZubReadFileToBuffer(path, code, why);
        EXPECT_EQ(code, 70);
        EXPECT_FALSE(why.isEmpty());
    }
}

class TempDirEnvironment : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_root.path()));
        m_expected = m_root.path() + QStringLiteral("/tarvello-") + QString::number(::getuid());
    }
    void TearDown() override { qputenv("TMPDIR", m_saved); }

    QTemporaryDir m_root;
    QByteArray m_saved;
    QString m_expected;
};

TEST_F(TempDirEnvironment, privateFolderIsCreatedWithMode0700)
{
    EXPECT_EQ(ZubGetTempDir(), m_expected);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(m_expected).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(QFile::encodeName(m_expected).constData(), 0755);
    EXPECT_EQ(ZubGetTempDir(), m_expected);
    ::stat(QFile::encodeName(m_expected).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a folder others could read is made private again";
}

TEST_F(TempDirEnvironment, aLinkInItsPlaceIsRefused)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), m_expected));
    QString why;
    EXPECT_EQ(ZubGetTempDir(&why), QString());
    EXPECT_TRUE(why.contains("link"));
}

TEST(Cp1252, everyByteRoundTripsAndOnlyItsCharactersEncode)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeCp1252(all);
    EXPECT_EQ(text.at(0x80), QChar(0x20AC));
    EXPECT_EQ(text.at(0xE9), QStringLiteral("é").at(0));
    QByteArray back;
    ASSERT_TRUE(encodeCp1252(text, back));
    EXPECT_EQ(back, all);
    QByteArray untouched("keep");
    EXPECT_FALSE(encodeCp1252("日本", untouched));
    EXPECT_EQ(untouched, QByteArray("keep"));
    bool utf8 = false;
    EXPECT_EQ(decodeProfileText(QByteArray("\xEF\xBB\xBF\xC3\xA9"), &utf8), "é");
    EXPECT_TRUE(utf8);
}

} // namespace
