#include "QtPrint.h"

#include "../gui/support/FolderFixture.h"

#include "rules/Environment.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

using namespace tarvello::rules;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(DiskFileFacts, sizeAndTimeOfFilesThatAreThere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("a b\\c.txt"));
    writeFile(path, "12345");
    const QDateTime written(QDate(2004, 3, 5), QTime(9, 7, 2));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    const DiskFileFacts facts;
    EXPECT_EQ(facts.size(path), 5);
    EXPECT_EQ(facts.lastWriteTime(path), written);
    EXPECT_EQ(facts.size(dir.filePath(QStringLiteral("gone.txt"))), std::nullopt);
    EXPECT_EQ(facts.size(path + QChar(0) + QStringLiteral("more")), std::nullopt);
    EXPECT_EQ(facts.folderEntries(dir.path() + QChar(0) + QStringLiteral("x")), QStringList());
    EXPECT_EQ(facts.lastWriteTime(dir.filePath(QStringLiteral("gone.txt"))), std::nullopt);

    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("dangling"))));
    EXPECT_EQ(facts.size(dir.filePath(QStringLiteral("dangling"))), std::nullopt);
}

TEST(DiskFileFacts, folderEntriesLeaveFoldersOut)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("Scan_007")), "");
    writeFile(dir.filePath(QStringLiteral(".hidden")), "");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Scan_099")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("Scan_099")), dir.filePath(QStringLiteral("folderLink"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("Scan_007")), dir.filePath(QStringLiteral("fileLink"))));
    // A name that is not valid UTF-8 still lists, decoded.
    const QByteArray oddName = QFile::encodeName(dir.path()) + "/caf\xE9";
    {
        FILE *f = std::fopen(oddName.constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }

    const auto entries = DiskFileFacts().folderEntries(dir.path());
    // QTemporaryDir cannot name it to remove it.
    std::remove(oddName.constData());
    ASSERT_TRUE(entries);
    QStringList sorted = *entries;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{".hidden", "Scan_007", QFile::decodeName("caf\xE9"), "fileLink"}));

    EXPECT_EQ(DiskFileFacts().folderEntries(dir.filePath(QStringLiteral("missing"))), QStringList());
}

TEST(DiskFileFacts, unreadableFolderIsNotAnEmptyOne)
{
    QTemporaryDir dir;
    const QString locked = folderfixture::makeLockedFolder(dir.path(), QStringLiteral("locked"));
    if (locked.isEmpty())
        GTEST_SKIP() << "this system lets the test read every folder";
    const auto unlock = qScopeGuard([&locked] { folderfixture::unlockFolder(locked); });
    EXPECT_EQ(DiskFileFacts().folderEntries(locked), std::nullopt);
}

} // namespace
