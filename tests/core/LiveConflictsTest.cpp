#include "RenameTestSupport.h"

#include "rename/LiveConflicts.h"

using namespace tarvello;
using namespace tarvello::filelist;
using namespace tarvello::rename;
using tarvello::rename::testing::Tree;

namespace {

const QString kForbiddenFile = QStringLiteral("<< fichier interdit >>");

using S = NameStatus;

ConflictCheck checkIn(const Tree &tree, const QList<std::pair<QString, QString>> &renames, FolderListings &folders)
{
    QList<FileEntry> list;
    for (const auto &[name, newName] : renames)
        list.append({name, tree.root(), newName});
    return checkConflicts(list, {QStringLiteral("?:/\\"), {kForbiddenFile}}, folders);
}

// Stamps that never change by themselves and a count of the folder readings.
class CountingOps : public FileOps
{
public:
    std::optional<FolderStamp> folderStamp(const QByteArray &) override { return stamp; }
    std::optional<QSet<QByteArray>> folderNames(const QByteArray &, qsizetype) override
    {
        ++readings;
        return names;
    }
    FolderStamp stamp{1, 1, 1, 1};
    QSet<QByteArray> names{"taken.jpg"};
    int readings = 0;
};

} // namespace

TEST(LiveConflicts, marksEachRowByTheFirstReason)
{
    Tree tree;
    for (const QByteArray name : {"a.jpg", "b.jpg", "c.jpg", "other.jpg"})
        tree.write(name, name);
    const QString longName = QString(251, QLatin1Char('n')) + QStringLiteral(".jpg");
    struct Case {
        const char *what;
        QList<std::pair<QString, QString>> renames;
        QList<S> expected;
    } cases[] = {
        {"same name, case ignored", {{"a.jpg", "x.jpg"}, {"b.jpg", "X.JPG"}, {"c.jpg", "y.jpg"}}, {S::Duplicate, S::Duplicate, S::Fine}},
        {"a file outside the list", {{"a.jpg", "other.jpg"}}, {S::OnDisk}},
        {"a rotation inside the list", {{"a.jpg", "b.jpg"}, {"b.jpg", "c.jpg"}, {"c.jpg", "a.jpg"}}, {S::Fine, S::Fine, S::Fine}},
        {"unchanged and case only", {{"a.jpg", "a.jpg"}, {"b.jpg", "B.jpg"}}, {S::Fine, S::Fine}},
        {"invalid names",
         {{"a.jpg", ""}, {"b.jpg", longName + "x"}, {"c.jpg", "sub\\x.jpg"}},
         {S::Invalid, S::Invalid, S::Invalid}},
        {"longest name and a rooted folder", {{"a.jpg", longName}, {"b.jpg", ".\\sub\\b.jpg"}}, {S::Fine, S::Fine}},
        {"forbidden characters, separators aside", {{"a.jpg", "x?.jpg"}, {"b.jpg", "y:.jpg"}}, {S::Forbidden, S::Forbidden}},
        {"onto a row that cannot move, down the chain",
         {{"a.jpg", "other.jpg"}, {"b.jpg", "a.jpg"}, {"c.jpg", "b.jpg"}},
         {S::OnDisk, S::Blocked, S::Blocked}},
        {"onto a row that is not renamed", {{"a.jpg", "b.jpg"}, {"b.jpg", kForbiddenFile}}, {S::OnDisk, S::Fine}},
    };
    FileOps fs;
    for (const Case &c : cases) {
        FolderListings folders(fs);
        const ConflictCheck check = checkIn(tree, c.renames, folders);
        EXPECT_EQ(check.statuses, c.expected) << c.what;
        EXPECT_EQ(check.count, c.expected.size() - c.expected.count(S::Fine)) << c.what;
    }
}

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

    fs.names.clear();
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
    EXPECT_EQ(checkIn(tree, {{"a.jpg", "new.jpg"}}, folders).statuses, QList<S>{S::Fine});
    tree.write("new.jpg", "someone else's");
    EXPECT_EQ(checkIn(tree, {{"a.jpg", "new.jpg"}}, folders).statuses, QList<S>{S::OnDisk});
}
