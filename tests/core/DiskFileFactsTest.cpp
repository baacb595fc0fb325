#include "QtPrint.h"

#include "../gui/support/FolderFixture.h"

#include "rules/Environment.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarvello::rules;

namespace {

TEST(DiskFileFacts, sizeAndTimeOfFilesThatAreThere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a b\\c.txt");
    const QDateTime written(QDate(2004, 3, 5), QTime(9, 7, 2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("12345") == 5 && file.flush());
    ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    file.close();
    const DiskFileFacts facts;
    EXPECT_EQ(facts.size(path), 5);
    EXPECT_EQ(facts.lastWriteTime(path), written);
    EXPECT_EQ(facts.size(dir.filePath("gone.txt")), std::nullopt);
    EXPECT_EQ(facts.size(path + QChar(0) + "more"), std::nullopt);
    EXPECT_EQ(facts.folderEntries(dir.path() + QChar(0) + "x"), QStringList());
    EXPECT_EQ(facts.lastWriteTime(dir.filePath("gone.txt")), std::nullopt);

    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("dangling")));
    EXPECT_EQ(facts.size(dir.filePath("dangling")), std::nullopt);
}

TEST(DiskFileFacts, folderEntriesLeaveFoldersOut)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(folderfixture::makeFiles(dir.path(), {"Scan_007", ".hidden"}) && QDir(dir.path()).mkdir("Scan_099"));
    ASSERT_TRUE(QFile::link(dir.filePath("Scan_099"), dir.filePath("folderLink")));
    ASSERT_TRUE(QFile::link(dir.filePath("Scan_007"), dir.filePath("fileLink")));
    // A name that is not valid UTF-8 still lists, decoded.
    ASSERT_TRUE(folderfixture::makeRawFile(dir.path(), "caf\xE9"));
    const auto entries = DiskFileFacts().folderEntries(dir.path());
    // QTemporaryDir cannot name it to remove it.
    folderfixture::removeRaw(dir.path(), "caf\xE9");
    ASSERT_TRUE(entries);
    QStringList sorted = *entries;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{".hidden", "Scan_007", QFile::decodeName("caf\xE9"), "fileLink"}));

    EXPECT_EQ(DiskFileFacts().folderEntries(dir.filePath("missing")), QStringList());
}

TEST(DiskFileFacts, unreadableFolderIsNotAnEmptyOne)
{
    QTemporaryDir dir;
    const QString locked = folderfixture::makeLockedFolder(dir.path(), "locked");
    if (locked.isEmpty())
        GTEST_SKIP() << "this system lets the test read every folder";
    const auto unlock = qScopeGuard([&locked] { folderfixture::unlockFolder(locked); });
    EXPECT_EQ(DiskFileFacts().folderEntries(locked), std::nullopt);
}

} // namespace
