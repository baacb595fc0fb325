#include "RenameTestSupport.h"

#include "app/Settings.h"
#include "common/VbError.h"
#include "files/RenamePlan.h"
#include "lang/Language.h"

#include <gtest/gtest.h>

using namespace tarvello;
using namespace tarvello::files;
using tarvello::files::testing::Tree;

namespace {

const QString kForbidden = QStringLiteral("<< fichier interdit >>");
const QString kOutside = QStringLiteral("<< hors filtre >>");

RenameRequest request(const QString &rule, const QString &start = QStringLiteral("1"),
                      const QString &step = QStringLiteral("1"))
{
    return {kForbidden, kOutside, rule, start, step};
}

QList<ListEntry> entries(int count)
{
    QList<ListEntry> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("/photos"), QStringLiteral("f%1.jpg").arg(i), QStringLiteral("n%1.jpg").arg(i)});
    return list;
}

// File operations that always read a whole folder rather than look names up
// one by one, as the plan does for folders holding many of its paths.
class ListingOps : public FileOps
{
public:
    std::optional<QSet<QByteArray>> folderNames(const QByteArray &folder, qsizetype) override
    {
        return FileOps::folderNames(folder, 1 << 30);
    }
};

// Plans renames of files in one folder of the tree, by name.
RenamePlan planIn(const Tree &tree, const QList<std::pair<QString, QString>> &renames, bool listing = false)
{
    QList<ListEntry> list;
    for (const auto &[name, newName] : renames)
        list.append({tree.root(), name, newName});
    ListingOps listingOps;
    FileOps lookupOps;
    return planRename(list, listing ? listingOps : lookupOps);
}

QList<Conflict> conflictsOf(const RenamePlan &plan)
{
    QList<Conflict> conflicts;
    for (const PlannedRename &entry : plan.entries)
        conflicts.append(entry.conflict);
    return conflicts;
}

class FakeMessages : public lang::Messages
{
public:
    QString GetMessage(int number, const QString &p1, const QString &p2) override
    {
        return QStringLiteral("m%1(%2,%3)").arg(number).arg(p1, p2);
    }
};

} // namespace

TEST(RenamePrecheck, dropsForbiddenAndFilteredRowsBeforeAnythingElse)
{
    QList<ListEntry> list = entries(5);
    list[1].newName = kForbidden;
    list[3].newName = kOutside;
    const Precheck check = precheckRename(list, request(QStringLiteral("*_###")));
    EXPECT_EQ(check.outcome, PrecheckOutcome::Ready);
    EXPECT_EQ(check.dropped, (QList<int>{1, 3}));
    ASSERT_EQ(check.entries.size(), 3);
    EXPECT_EQ(check.entries[0].name, QStringLiteral("f0.jpg"));
    EXPECT_EQ(check.entries[1].name, QStringLiteral("f2.jpg"));
    EXPECT_EQ(check.entries[2].name, QStringLiteral("f4.jpg"));

    // The rows are dropped even when the operation then stops.
    const Precheck empty = precheckRename(list, request(QString()));
    EXPECT_EQ(empty.outcome, PrecheckOutcome::EmptyRule);
    EXPECT_EQ(empty.dropped, (QList<int>{1, 3}));
}

TEST(RenamePrecheck, endsQuietlyWithoutFilesOrWithABlankRule)
{
    EXPECT_EQ(precheckRename({}, request(QStringLiteral("*"))).outcome, PrecheckOutcome::NothingToDo);
    EXPECT_EQ(precheckRename(entries(3), request(QStringLiteral("   "))).outcome, PrecheckOutcome::NothingToDo);
    QList<ListEntry> allForbidden = entries(2);
    for (ListEntry &entry : allForbidden)
        entry.newName = kForbidden;
    EXPECT_EQ(precheckRename(allForbidden, request(QStringLiteral("*"))).outcome, PrecheckOutcome::NothingToDo);
}

struct CapacityCase {
    const char *rule;
    const char *start;
    const char *step;
    int count;
    bool warns;
    int digits;
    const char *largest;
    qint64 last;
    int needed;
};

class CounterCapacityTest : public ::testing::TestWithParam<CapacityCase>
{
};

TEST_P(CounterCapacityTest, warnsWhenTheLastNumberNeedsMoreDigits)
{
    const CapacityCase &c = GetParam();
    const Precheck check = precheckRename(entries(c.count), request(QString::fromUtf8(c.rule), QString::fromUtf8(c.start),
                                                                     QString::fromUtf8(c.step)));
    if (!c.warns) {
        EXPECT_EQ(check.outcome, PrecheckOutcome::Ready);
        return;
    }
    ASSERT_EQ(check.outcome, PrecheckOutcome::CounterTooSmall);
    EXPECT_EQ(check.capacity.digits, c.digits);
    EXPECT_EQ(check.capacity.largest, QString::fromUtf8(c.largest));
    EXPECT_EQ(check.capacity.last, c.last);
    EXPECT_EQ(check.capacity.needed, c.needed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CounterCapacityTest,
    ::testing::Values(CapacityCase{"Photo_##", "1", "1", 100, true, 2, "99", 100, 3},
                      CapacityCase{"Photo_##", "1", "1", 99, false, 0, "", 0, 0},
                      CapacityCase{"Photo_##", "1", "1", 1000, true, 2, "99", 1000, 4},
                      CapacityCase{"Photo_###", "1", "1", 1000, true, 3, "999", 1000, 4},
                      // Every "#" counts, wherever it stands.
                      CapacityCase{"#a#", "1", "1", 100, true, 2, "99", 100, 3},
                      CapacityCase{"Photo_##", "1", "2", 50, false, 0, "", 0, 0},
                      CapacityCase{"Photo_##", "1", "2", 51, true, 2, "99", 101, 3},
                      CapacityCase{"Photo_##", "95", "1", 6, true, 2, "99", 100, 3},
                      CapacityCase{"Photo_##", "5", "-1", 200, false, 0, "", 0, 0},
                      // Continuation mode takes its numbers from the folder.
                      CapacityCase{"Photo_##", "#", "1", 1000, false, 0, "", 0, 0},
                      CapacityCase{"Photo", "1", "1", 1000, false, 0, "", 0, 0},
                      CapacityCase{"####################", "2147483647", "32767", 100000, false, 0, "", 0, 0}));

TEST(RenamePrecheck, aStartThatDoesNotFitIsTheOperationsError)
{
    try {
        precheckRename(entries(3), request(QStringLiteral("##"), QStringLiteral("99999999999")));
        FAIL() << "no error";
    } catch (const common::VbError &error) {
        EXPECT_EQ(error.number(), common::VbError::Overflow);
    }
}

TEST(RenamePrecheck, capacityQuestionJoinsItsThreeMessages)
{
    FakeMessages messages;
    const CounterCapacity capacity{2, QStringLiteral("99"), 100, 3};
    EXPECT_EQ(counterCapacityQuestion(messages, capacity), QStringLiteral("m32(2,99)m33(100,3)\r\nm34(,)"));
}

struct PathCase {
    const char *newName;
    const char *newPath;
    bool makeFolder;
    Conflict preset;
};

class NewPathTest : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(NewPathTest, buildsTheNewPathFromTheNewName)
{
    const PathCase &c = GetParam();
    const PathPair pair = pathPairFor({QStringLiteral("/data/photos"), QStringLiteral("a.jpg"), QString::fromUtf8(c.newName)});
    EXPECT_EQ(pair.oldPath, QByteArray("/data/photos/a.jpg"));
    EXPECT_EQ(pair.preset, c.preset);
    if (c.preset == Conflict::None) {
        EXPECT_EQ(pair.newPath, QByteArray(c.newPath));
        EXPECT_EQ(pair.makeFolder, c.makeFolder);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewPathTest,
    ::testing::Values(PathCase{"b.jpg", "/data/photos/b.jpg", false, Conflict::None},
                      PathCase{".\\sub\\deep\\b.jpg", "/data/photos/sub/deep/b.jpg", true, Conflict::None},
                      PathCase{"..\\b.jpg", "/data/b.jpg", true, Conflict::None},
                      PathCase{"\\archive\\2024\\b.jpg", "/archive/2024/b.jpg", true, Conflict::None},
                      PathCase{"/archive/b.jpg", "/archive/b.jpg", true, Conflict::None},
                      PathCase{"$MKDIR.\\2024\\b.jpg", "/data/photos/2024/b.jpg", true, Conflict::None},
                      PathCase{"b$MKDIR.jpg", "/data/photos/b.jpg", false, Conflict::None},
                      PathCase{".hidden", "/data/photos/.hidden", false, Conflict::None},
                      PathCase{"sub\\b.jpg", "", false, Conflict::NoFolderRoot},
                      PathCase{"C:\\photos\\b.jpg", "", false, Conflict::NoFolderRoot},
                      PathCase{".\\sub\\", "", false, Conflict::InvalidName},
                      PathCase{".\\sub\\..", "", false, Conflict::InvalidName}));

TEST(RenamePlan, swapNeedsNoReviewAndTemporaryNamesFollowTheFormat)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    const RenamePlan plan = planIn(tree, {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}});
    EXPECT_EQ(plan.conflictCount(), 0);
    EXPECT_EQ(plan.entries[0].tempPath, tree.path("tmp_Tarv_1_a.jpg"));
    EXPECT_EQ(plan.entries[1].tempPath, tree.path("tmp_Tarv_2_b.jpg"));
    EXPECT_EQ(plan.entries[1].newPath, tree.path("a.jpg"));
}

TEST(RenamePlan, conflictsByKind)
{
    struct Case {
        const char *what;
        QList<QByteArray> present;
        QList<std::pair<QString, QString>> renames;
        QList<Conflict> expected;
    };
    using C = Conflict;
    const QList<Case> cases = {
        {"existing file outside the list", {"a.jpg", "b.jpg", "outside.jpg"},
         {{"a.jpg", "outside.jpg"}, {"b.jpg", "c.jpg"}}, {C::TargetExists, C::None}},
        {"an existing folder is in the way too", {"a.jpg", "folder/x"}, {{"a.jpg", "folder"}}, {C::TargetExists}},
        {"equal new paths", {"a.jpg", "b.jpg", "c.jpg"},
         {{"a.jpg", "x.jpg"}, {"b.jpg", "x.jpg"}, {"c.jpg", "y.jpg"}}, {C::DuplicateTarget, C::DuplicateTarget, C::None}},
        {"new paths equal but for case", {"a.jpg", "b.jpg"}, {{"a.jpg", "Photo.JPG"}, {"b.jpg", "photo.jpg"}},
         {C::DuplicateTarget, C::DuplicateTarget}},
        // b would move onto a, which stays because its own target is taken;
        // c onto B.JPG, the path of b (case ignored), which then stays too.
        {"held back until nothing changes", {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "z.jpg"},
         {{"a.jpg", "z.jpg"}, {"b.jpg", "a.jpg"}, {"c.jpg", "B.JPG"}, {"d.jpg", "e.jpg"}},
         {C::TargetExists, C::TargetHeldBack, C::TargetHeldBack, C::None}},
        {"a chain whose files all move is fine", {"a.jpg", "b.jpg", "c.jpg"},
         {{"a.jpg", "b.jpg"}, {"b.jpg", "c.jpg"}, {"c.jpg", "d.jpg"}}, {C::None, C::None, C::None}},
        {"an unchanged name", {"a.jpg"}, {{"a.jpg", "a.jpg"}}, {C::None}},
        {"listed twice", {"a.jpg"}, {{"a.jpg", "x.jpg"}, {"a.jpg", "y.jpg"}}, {C::None, C::DuplicateSource}},
        {"invalid names", {"a.jpg", "b.jpg", "c.jpg", "d.jpg"},
         {{"a.jpg", QString()}, {"b.jpg", QString(300, QLatin1Char('n'))}, {"c.jpg", QStringLiteral("x") + QChar(0) + "y"},
          {"d.jpg", "..\\.."}},
         {C::InvalidName, C::InvalidName, C::InvalidName, C::InvalidName}},
        {"a file where a folder must be made", {"a.jpg", "blocker"}, {{"a.jpg", ".\\blocker\\a.jpg"}},
         {C::FolderUnavailable}},
    };
    for (const bool listing : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(::testing::Message() << c.what << (listing ? ", folder read whole" : ", names looked up"));
            Tree tree;
            for (const QByteArray &name : c.present)
                tree.write(name, name);
            EXPECT_EQ(conflictsOf(planIn(tree, c.renames, listing)), c.expected);
        }
    }
}

TEST(RenamePlan, temporaryPrefixGrowsAndStaysGrown)
{
    Tree tree;
    tree.write("x.jpg", "X");
    tree.write("y.jpg", "Y");
    tree.write("tmp_Tarv_1_x.jpg", "already there");
    for (const bool listing : {false, true}) {
        const RenamePlan plan = planIn(tree, {{"x.jpg", "x2.jpg"}, {"y.jpg", "y2.jpg"}}, listing);
        EXPECT_EQ(plan.entries[0].tempPath, tree.path("tmp_Tarv__1_x.jpg"));
        EXPECT_EQ(plan.entries[1].tempPath, tree.path("tmp_Tarv__2_y.jpg"));
        EXPECT_EQ(plan.tempPrefix, QByteArray("tmp_Tarv_"));
    }
}

TEST(RenamePlan, temporaryNameAvoidsAnotherPositionsNewPath)
{
    Tree tree;
    tree.write("x.jpg", "X");
    tree.write("y.jpg", "Y");
    const RenamePlan plan = planIn(tree, {{"x.jpg", "x2.jpg"}, {"y.jpg", "tmp_Tarv_1_x.jpg"}});
    EXPECT_EQ(plan.entries[0].tempPath, tree.path("tmp_Tarv__1_x.jpg"));
    EXPECT_EQ(plan.conflictCount(), 0);
}

TEST(RenamePlan, foldersAreMadeWhilePlanningEvenWhenTheReviewIsCancelled)
{
    Tree tree;
    tree.write("a.jpg", "A");
    tree.write("b.jpg", "B");
    tree.write("taken.jpg", "T");
    const QString full = QStringLiteral("\\") + tree.root().mid(1).replace(QLatin1Char('/'), QLatin1Char('\\'))
        + QStringLiteral("\\elsewhere\\deep\\b.jpg");
    const RenamePlan plan = planIn(tree, {{"a.jpg", "$MKDIR.\\made\\a.jpg"}, {"b.jpg", full}, {"taken.jpg", "a.jpg"}});
    EXPECT_EQ(plan.entries[0].newPath, tree.path("made/a.jpg"));
    EXPECT_EQ(plan.entries[1].newPath, tree.path("elsewhere/deep/b.jpg"));
    EXPECT_TRUE(QFileInfo(tree.root() + QStringLiteral("/made")).isDir());
    EXPECT_TRUE(QFileInfo(tree.root() + QStringLiteral("/elsewhere/deep")).isDir());
    EXPECT_FALSE(tree.exists("$MKDIR"));
    EXPECT_FALSE(tree.exists("made/a.jpg"));
    EXPECT_EQ(tree.read("a.jpg"), QByteArray("A"));
}

TEST(RenamePlan, holdBackRunsDownALongChain)
{
    // Positions each moving onto the next one's path, in shuffled order, the
    // last target taken by an outside file: every position must stay.
    Tree tree;
    const int n = 2000;
    QList<PathPair> pairs;
    for (int i = 0; i < n; ++i) {
        const int k = (i * 7919) % n;
        pairs.append({tree.path("f" + QByteArray::number(k)), tree.path("f" + QByteArray::number(k + 1)), false, Conflict::None});
    }
    tree.write("f" + QByteArray::number(n), "outside");
    FileOps fs;
    const RenamePlan plan = planRename(pairs, fs);
    int held = 0;
    for (const PlannedRename &entry : plan.entries) {
        const bool last = entry.newPath == tree.path("f" + QByteArray::number(n));
        EXPECT_EQ(entry.conflict, last ? Conflict::TargetExists : Conflict::TargetHeldBack);
        held += entry.heldBack() ? 1 : 0;
    }
    EXPECT_EQ(held, n);
}

struct AfterCase {
    qint16 ruleAfter, startAfter, startReset, stepAfter, stepReset;
    qint32 start;
    qint16 step;
    int count;
    bool clearRule;
    std::optional<QString> startText;
    std::optional<QString> stepText;
};

TEST(RuleAfterRename, followsTheThreeOptions)
{
    const QList<AfterCase> cases = {
        {1, 2, 1, 1, 1, 1, 2, 5, false, QStringLiteral("11"), std::nullopt},
        {1, 2, 1, 1, 1, 10, -3, 4, false, QStringLiteral("-2"), std::nullopt},
        {0, 0, 7, 0, 3, 1, 2, 5, true, QStringLiteral("7"), QStringLiteral("3")},
        {1, 1, 7, 1, 3, 1, 2, 5, false, std::nullopt, std::nullopt},
        // Continuation mode keeps its mark; a next start past 32 bits leaves the start alone.
        {1, 2, 1, 1, 1, app::kContinuationStart, 1, 5, false, std::nullopt, std::nullopt},
        {1, 2, 1, 1, 1, 2147483000, 1000, 5, false, std::nullopt, std::nullopt},
    };
    for (const AfterCase &c : cases) {
        app::Settings settings;
        settings.Option_RegleApresRenommage = c.ruleAfter;
        settings.Option_RegleDebutApresRenommage = c.startAfter;
        settings.Option_RegleDebutResetRenommage = c.startReset;
        settings.Option_ReglePasApresRenommage = c.stepAfter;
        settings.Option_ReglePasResetRenommage = c.stepReset;
        const RuleAfterRename after = ruleAfterRename(settings, c.start, c.step, c.count);
        SCOPED_TRACE(c.start);
        EXPECT_EQ(after.clearRule, c.clearRule);
        EXPECT_EQ(after.startText, c.startText);
        EXPECT_EQ(after.stepText, c.stepText);
    }
}
