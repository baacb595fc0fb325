#include "RenameTestSupport.h"

#include "rename/LiveConflicts.h"

using namespace tarvello;
using namespace tarvello::filelist;
using namespace tarvello::rename;
using tarvello::rename::testing::Tree;

namespace {

using S = NameStatus;

ConflictCheck checkIn(const Tree &tree, FolderListings &folders)
{
    return checkConflicts({{QStringLiteral("a.jpg"), tree.root(), QStringLiteral("new.jpg")}}, NameRules(), folders);
}

// Stamps that never change by themselves and a count of the folder readings.
class CountingOps : public FileOps
{
public:
    std::optional<FolderStamp> folderStamp(const QByteArray &) override { return stamp; }
    std::optional<common::FolderNames> folderNames(const QByteArray &, qsizetype) override
    {
        ++readings;
        return names;
    }
    FolderStamp stamp{1, 1, 1, 1};
    common::FolderNames names{"taken.jpg"};
    int readings = 0;
};

} // namespace

TEST(LiveConflicts, readsEachFolderOnceUntilItChanges)
{
    CountingOps fs;
    FolderListings folders(fs);
    QList<FileEntry> list;
    for (int i = 0; i < 1000; ++i)
        list.append({QStringLiteral("f%1.jpg").arg(i), QStringLiteral("/photos"), QStringLiteral("n%1.jpg").arg(i)});
    list.append({QStringLiteral("g.jpg"), QStringLiteral("/photos"), QStringLiteral("taken.jpg")});
    const NameRules rules;
    EXPECT_EQ(checkConflicts(list, rules, folders).count, 1);
    EXPECT_EQ(checkConflicts(list, rules, folders).count, 1);
    EXPECT_EQ(fs.readings, 1);

    fs.names = {};
    ++fs.stamp.modified;
    EXPECT_EQ(checkConflicts(list, rules, folders).count, 0);
    EXPECT_EQ(fs.readings, 2);
    folders.forget();
    checkConflicts(list, rules, folders);
    EXPECT_EQ(fs.readings, 3);
}

TEST(LiveConflicts, seesAFileMadeSinceTheLastCheck)
{
    Tree tree;
    tree.write("a.jpg", "a");
    FileOps fs;
    FolderListings folders(fs);
    EXPECT_EQ(checkIn(tree, folders).statuses, QList<S>{S::Fine});
    tree.write("new.jpg", "someone else's");
    EXPECT_EQ(checkIn(tree, folders).statuses, QList<S>{S::OnDisk});
}
