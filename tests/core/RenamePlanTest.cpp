#include "RenameTestSupport.h"

#include "rename/LiveConflicts.h"
#include "rename/RenameExecutor.h"

#include <QFileInfo>

using namespace tarvello;
using namespace tarvello::filelist;
using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

const QString kForbidden = QStringLiteral("<< fichier interdit >>");
const QString kOutside = QStringLiteral("<< hors filtre >>");

QList<FileEntry> entries(int count)
{
    QList<FileEntry> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("f%1.jpg").arg(i), QStringLiteral("/photos"), QStringLiteral("n%1.jpg").arg(i)});
    return list;
}

// File operations that always read a whole folder rather than look names up
// one by one, as the plan does for folders holding many of its paths.
class ListingOps : public FileOps
{
public:
    std::optional<common::FolderNames> folderNames(const QByteArray &folder, qsizetype) override
    {
        return FileOps::folderNames(folder, 1 << 30);
    }
};

RenamePlan planIn(const Tree &tree, const QList<std::pair<QString, QString>> &renames, bool listing = false)
{
    QList<FileEntry> list;
    for (const auto &[name, newName] : renames)
        list.append({name, tree.root(), newName});
    ListingOps listingOps;
    FileOps lookupOps;
    return planRename(list, listing ? listingOps : lookupOps);
}

} // namespace

TEST(RenamePrecheck, dropsForbiddenAndFilteredRowsFirst)
{
    QList<FileEntry> list = entries(5);
    list[1].newName = kForbidden;
    list[3].newName = kOutside;
    const Precheck check = precheckRename(list, {kForbidden, kOutside, QStringLiteral("*_###"), "1", "1"});
    EXPECT_EQ(check.outcome, PrecheckOutcome::Ready);
    EXPECT_EQ(check.dropped, (QList<int>{1, 3}));
    ASSERT_EQ(check.entries.size(), 3);
    EXPECT_EQ(check.entries[1].name, QStringLiteral("f2.jpg"));
    // Dropped even when the operation then ends.
    EXPECT_EQ(precheckRename(list, {kForbidden, kOutside, QString(), "1", "1"}).dropped, (QList<int>{1, 3}));
    EXPECT_EQ(precheckRename(list, {kForbidden, kOutside, QString(), "1", "1"}).outcome, PrecheckOutcome::EmptyRule);
    EXPECT_EQ(precheckRename(list, {kForbidden, kOutside, "   ", "1", "1"}).outcome, PrecheckOutcome::NothingToDo);
    EXPECT_EQ(precheckRename({list[1]}, {kForbidden, kOutside, "*", "1", "1"}).outcome, PrecheckOutcome::NothingToDo);
}

// A counter of "#" signs too short for the files asks first.
TEST(RenamePrecheck, counterCapacity)
{
    struct Case {
        const char *rule, *start, *step;
        int count;
        bool tooSmall;
    };
    const QList<Case> cases = {
        {"Photo_##", "1", "1", 100, true},
        {"Photo_##", "1", "1", 99, false},
        {"#a#", "1", "1", 100, true}, // every "#" counts, wherever it stands
        {"Photo_##", "1", "2", 50, false},
        {"Photo_##", "1", "2", 51, true},
        {"Photo_##", "95", "1", 6, true},
        {"Photo_##", "5", "-1", 200, false},
        {"Photo_##", "#", "1", 1000, false}, // continuation mode numbers from the folder
        {"####################", "2147483647", "32767", 100000, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rule << " start " << c.start << " step " << c.step << " x" << c.count);
        const Precheck check = precheckRename(entries(c.count), {kForbidden, kOutside, c.rule, c.start, c.step});
        EXPECT_EQ(check.outcome, c.tooSmall ? PrecheckOutcome::CounterTooSmall : PrecheckOutcome::Ready);
    }
}

TEST(RenamePlan, newPathFromTheNewName)
{
    struct Case {
        const char *newName, *newPath;
        bool makeFolder;
        Conflict preset;
    };
    const QList<Case> cases = {
        {"b.jpg", "/data/photos/b.jpg", false, Conflict::None},
        {".\\sub\\deep\\b.jpg", "/data/photos/sub/deep/b.jpg", true, Conflict::None},
        {"..\\b.jpg", "/data/b.jpg", true, Conflict::None},
        {"\\archive\\2024\\b.jpg", "/archive/2024/b.jpg", true, Conflict::None},
        {"/archive/b.jpg", "/archive/b.jpg", true, Conflict::None},
        {"$MKDIR.\\2024\\b.jpg", "/data/photos/2024/b.jpg", true, Conflict::None},
        {"b$MKDIR.jpg", "/data/photos/b.jpg", false, Conflict::None},
        {".hidden", "/data/photos/.hidden", false, Conflict::None},
        {"sub\\b.jpg", "", false, Conflict::NoFolderRoot},
        {"C:\\photos\\b.jpg", "", false, Conflict::NoFolderRoot},
        {".\\sub\\", "", false, Conflict::InvalidName},
        {".\\sub\\..", "", false, Conflict::InvalidName},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.newName);
        const PathPair pair = pathPairFor({QStringLiteral("a.jpg"), QStringLiteral("/data/photos"), QString::fromUtf8(c.newName)});
        EXPECT_EQ(pair.oldPath, QByteArray("/data/photos/a.jpg"));
        EXPECT_EQ(pair.preset, c.preset);
        if (c.preset == Conflict::None) {
            EXPECT_EQ(pair.newPath, QByteArray(c.newPath));
            EXPECT_EQ(pair.makeFolder, c.makeFolder);
        }
    }
}

TEST(RenamePlan, aPathThatIsNoTextKeepsItsBytes)
{
    const QByteArray oldPath("/data/caf\xE9/a\xFF.jpg");
    const FileEntry entry{QFile::decodeName("a\xFF.jpg"), QFile::decodeName("/data/caf\xE9"), QStringLiteral("b.jpg")};
    const PathPair pair = pathPairFor(oldPath, entry);
    EXPECT_EQ(pair.oldPath, oldPath);
    EXPECT_EQ(pair.newPath, QByteArray("/data/caf\xE9/b.jpg"));
    EXPECT_FALSE(pair.makeFolder);
    EXPECT_EQ(pair.preset, Conflict::None);
}

// Each position as the plan holds it back, and each row as the live check
// marks it while the rule is typed (first reason only; it leaves folders
// renamed with their content and paths not written plainly to the plan: no
// column). Both look the names up one by one or read a folder whole.
TEST(RenamePlan, conflictsByKindForThePlanAndTheLiveCheck)
{
    struct Case {
        const char *what;
        QList<QByteArray> present;
        QList<std::pair<QString, QString>> renames;
        QList<Conflict> plan;
        QList<NameStatus> live = {};
    };
    using C = Conflict;
    using S = NameStatus;
    const QString longest = QString(251, QLatin1Char('n')) + QStringLiteral(".jpg");
    const QList<Case> cases = {
        {"existing file outside the list", {"a.jpg", "b.jpg", "outside.jpg"},
         {{"a.jpg", "outside.jpg"}, {"b.jpg", "c.jpg"}}, {C::TargetExists, C::None}, {S::OnDisk, S::Fine}},
        {"an existing folder is in the way too", {"a.jpg", "folder/x"}, {{"a.jpg", "folder"}}, {C::TargetExists}, {S::OnDisk}},
        {"a rotation", {"a.jpg", "b.jpg", "c.jpg"}, {{"a.jpg", "b.jpg"}, {"b.jpg", "c.jpg"}, {"c.jpg", "a.jpg"}},
         {C::None, C::None, C::None}, {S::Fine, S::Fine, S::Fine}},
        {"equal new paths, case ignored", {"a.jpg", "b.jpg", "c.jpg"},
         {{"a.jpg", "Photo.JPG"}, {"b.jpg", "photo.jpg"}, {"c.jpg", "y.jpg"}}, {C::DuplicateTarget, C::DuplicateTarget, C::None},
         {S::Duplicate, S::Duplicate, S::Fine}},
        {"equal new paths, case ignored beyond ASCII", {"a.jpg", "b.jpg", "c.jpg", "d.jpg"},
         {{"a.jpg", "Été.jpg"}, {"b.jpg", "éTÉ.jpg"}, {"c.jpg", "ſ.jpg"}, {"d.jpg", "S.JPG"}}, QList<Conflict>(4, C::DuplicateTarget)},
        // b would move onto a, which stays because its own target is taken;
        // c onto B.JPG, the path of b (case ignored), which then stays too.
        {"held back until nothing changes", {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "z.jpg"},
         {{"a.jpg", "z.jpg"}, {"b.jpg", "a.jpg"}, {"c.jpg", "B.JPG"}, {"d.jpg", "e.jpg"}},
         {C::TargetExists, C::TargetHeldBack, C::TargetHeldBack, C::None}, {S::OnDisk, S::Blocked, S::Blocked, S::Fine}},
        {"unchanged and case only", {"a.jpg", "b.jpg"}, {{"a.jpg", "a.jpg"}, {"b.jpg", "B.jpg"}}, {C::None, C::None},
         {S::Fine, S::Fine}},
        {"listed twice", {"a.jpg"}, {{"a.jpg", "x.jpg"}, {"a.jpg", "y.jpg"}}, {C::None, C::DuplicateSource}},
        {"invalid names", {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"},
         {{"a.jpg", QString()}, {"b.jpg", longest + "x"}, {"c.jpg", QStringLiteral("x") + QChar(0) + "y"}, {"d.jpg", "..\\.."},
          {"e.jpg", "sub\\x.jpg"}},
         {C::InvalidName, C::InvalidName, C::InvalidName, C::InvalidName, C::NoFolderRoot},
         {S::Invalid, S::Invalid, S::Invalid, S::Invalid, S::Invalid}},
        {"the longest name and a rooted folder", {"a.jpg", "b.jpg"}, {{"a.jpg", longest}, {"b.jpg", ".\\sub\\b.jpg"}},
         {C::None, C::None}, {S::Fine, S::Fine}},
        // Left to the window's table of forbidden characters.
        {"forbidden characters", {"a.jpg", "b.jpg"}, {{"a.jpg", "x?.jpg"}, {"b.jpg", "y:.jpg"}}, {C::None, C::None},
         {S::Forbidden, S::Forbidden}},
        // A row that is not renamed (dropped before planning) keeps its path.
        {"onto a row that is not renamed", {"a.jpg", "b.jpg"}, {{"a.jpg", "b.jpg"}, {"b.jpg", kForbidden}}, {C::None, C::None},
         {S::OnDisk, S::Fine}},
        {"a file where a folder must be made", {"a.jpg", "blocker"}, {{"a.jpg", ".\\blocker\\a.jpg"}},
         {C::FolderUnavailable}},
        // The folder stays, and so does whoever would take its name.
        {"a folder renamed with an entry inside it", {"P/C/f", "Q"},
         {{"P/C", ".\\P\\C2"}, {"P", "P2"}, {"Q", "P"}}, {C::None, C::RenamedInside, C::TargetHeldBack}},
        {"listed deepest first", {"album/a/b/3", "album/1"},
         {{"album/a/b/3", ".\\album\\a\\b\\x3"}, {"album/a/b", ".\\album\\a\\xb"}, {"album/a", ".\\album\\xa"},
          {"album/1", ".\\album\\x1"}, {"album", "xalbum"}},
         {C::None, C::RenamedInside, C::RenamedInside, C::None, C::RenamedInside}},
        {"a file moved into a renamed folder", {"a.jpg", "P/x"}, {{"a.jpg", ".\\P\\a.jpg"}, {"P", "P2"}},
         {C::None, C::RenamedInside}},
        {"a folder and an entry inside it, case ignored", {"P/C"}, {{"p/C", ".\\p\\C2"}, {"P", "P2"}},
         {C::None, C::RenamedInside}},
        {"a folder moved into itself is left to fail", {"P/x"}, {{"P", ".\\P\\sub\\P"}}, {C::None}},
        {"the folder itself, its parent, paths not written plainly", {"a", "sub/b"},
         {{".", "x"}, {"..", "y"}, {"sub/..", "z"}, {"./a", "w"}, {"sub//b", "v"}},
         {C::InvalidSource, C::InvalidSource, C::InvalidSource, C::InvalidSource, C::InvalidSource}},
    };
    for (const bool listing : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(::testing::Message() << c.what << (listing ? ", folder read whole" : ", names looked up"));
            Tree tree;
            for (const QByteArray &name : c.present)
                tree.write(name, name);
            if (!c.live.isEmpty()) {
                QList<FileEntry> list;
                for (const auto &[name, newName] : c.renames)
                    list.append({name, tree.root(), newName});
                ListingOps listingOps;
                FileOps lookupOps;
                FolderListings folders(listing ? listingOps : lookupOps);
                const ConflictCheck check = checkConflicts(list, {QStringLiteral("?:/\\"), {kForbidden}}, folders);
                EXPECT_EQ(check.statuses, c.live);
                EXPECT_EQ(check.count, c.live.size() - c.live.count(S::Fine));
            }
            QList<Conflict> conflicts;
            for (const PlannedRename &entry : planIn(tree, c.renames, listing).entries)
                conflicts.append(entry.conflict);
            EXPECT_EQ(conflicts, c.plan);
        }
    }
}

TEST(RenamePlan, temporaryPrefixGrowsAndStaysGrown)
{
    Tree tree;
    for (const QByteArray name : {"x.jpg", "y.jpg", "z.jpg", "tmp_Tarv_1_x.jpg"})
        tree.write(name, name);
    for (const bool listing : {false, true}) {
        // z's new name is y's temporary name with the grown prefix: it grows again.
        const RenamePlan plan = planIn(tree, {{"x.jpg", "x2.jpg"}, {"y.jpg", "y2.jpg"}, {"z.jpg", "tmp_Tarv__2_y.jpg"}}, listing);
        EXPECT_EQ(plan.temporaryPath(plan.entries[0]), tree.path("tmp_Tarv__1_x.jpg"));
        EXPECT_EQ(plan.temporaryPath(plan.entries[1]), tree.path("tmp_Tarv___2_y.jpg"));
        EXPECT_EQ(plan.temporaryPath(plan.entries[2]), tree.path("tmp_Tarv___3_z.jpg"));
        EXPECT_EQ(plan.tempPrefix, QByteArray("tmp_Tarv__"));
        EXPECT_EQ(plan.conflictCount(), 0);
    }
}

TEST(RenamePlan, aFolderHeldBackNamesTheEntryInsideItEvenThroughALink)
{
    Scene scene({"P/C/f", "a"});
    ASSERT_EQ(::symlink("P", scene.path("L").constData()), 0);
    struct Case {
        const char *what;
        Renames renames; // the last one renames the folder
        QByteArray inside;
    };
    const QList<Case> cases = {
        {"an entry deeper inside", {{"P/C/f", "P/C/g"}, {"P", "P2"}}, "P/C/f"},
        {"an entry reached through a link", {{"L/C", "L/C2"}, {"P", "P2"}}, "L/C"},
        {"an entry moving in through a link", {{"a", "L/a"}, {"P", "P2"}}, "L/a"},
        {"a link with an entry reached through it", {{"L/C", "L/C2"}, {"L", "L2"}}, "L/C"},
    };
    FileOps fs;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const RenamePlan plan = scene.plan(c.renames, fs);
        EXPECT_EQ(plan.entries.first().conflict, Conflict::None);
        EXPECT_EQ(plan.entries.last().conflict, Conflict::RenamedInside);
        EXPECT_EQ(plan.conflictPath(plan.entries.last()), scene.path(c.inside));
    }
    // A link renamed beside an entry of the folder it points to moves nothing of it.
    EXPECT_EQ(scene.plan({{"P/C", "P/C2"}, {"L", "L2"}}, fs).conflictCount(), 0);
}

TEST(RenamePlan, temporaryNamesOfLongNamesStayWithinTheNameLimit)
{
    // 250 bytes, two-byte characters up to the end, where they differ.
    const QByteArray common = "a" + QByteArray("\xC3\xA9").repeated(124);
    Scene scene({common + "1", common + "2"});
    FileOps fs;
    const RenamePlan plan = scene.plan({{common + "1", "x"}, {common + "2", "y"}}, fs);
    EXPECT_EQ(plan.conflictCount(), 0);
    QSet<QByteArray> names;
    for (const PlannedRename &entry : plan.entries) {
        const QByteArray name = nativeNameOf(plan.temporaryPath(entry));
        SCOPED_TRACE(name.constData());
        EXPECT_TRUE(name.size() <= 255 && name.startsWith(plan.tempPrefix) && QUtf8StringView(name).isValidUtf8());
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 2);
}

// The folders of new paths are made while planning, before the user reviews
// the plan, whether or not the rename then runs; the rename moves the files in.
TEST(RenamePlan, foldersAreMadeWhilePlanningAndTheFilesMovedIn)
{
    Tree tree;
    for (const QByteArray name : {"a.jpg", "b.jpg", "taken.jpg"})
        tree.write(name, name);
    const QString full = QStringLiteral("\\") + tree.root().mid(1).replace(QLatin1Char('/'), QLatin1Char('\\'))
        + QStringLiteral("\\elsewhere\\deep\\b.jpg");
    const RenamePlan plan = planIn(tree, {{"a.jpg", "$MKDIR.\\made\\a.jpg"}, {"b.jpg", full}, {"taken.jpg", "a.jpg"}});
    EXPECT_TRUE(QFileInfo(tree.root() + QStringLiteral("/made")).isDir());
    EXPECT_TRUE(QFileInfo(tree.root() + QStringLiteral("/elsewhere/deep")).isDir());
    EXPECT_FALSE(tree.exists("$MKDIR"));
    EXPECT_EQ(tree.files().size(), 3);
    FileOps fs;
    RenameObserver quiet;
    EXPECT_EQ(executeRename(plan, quiet, fs).renamed, 3);
    EXPECT_EQ(tree.files(), (Files{{"made/a.jpg", "a.jpg"}, {"elsewhere/deep/b.jpg", "b.jpg"}, {"a.jpg", "taken.jpg"}}));
}
