#include "EngineFakes.h"
#include "QtPrint.h"

#include "controller/MainController.h"
#include "rename/RenameOperation.h"
#include "settings/Settings.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvello;
using controller::State;

namespace {

// Stands where the main window stands: records what the controller shows and
// tells, and lets a test act when an add pauses.
class RecordingUi : public controller::ControllerUi
{
public:
    void stateChanged(State state) override { states.append(state); }
    bool autoRefresh() const override { return refresh; }
    void tellPositionError(const QString &message) override { told.append(message); }
    void tellRunError(const QString &text) override { told.append(text); }
    void recomputeProgress(int, int) override {}
    void workEnded() override {}
    void namesEnded() override {}
    void addPaused(int) override
    {
        if (onPause)
            onPause();
    }

    void addPlanned(int, int) override {}
    bool askToAddFolders(int, int) override { return false; }
    void tellRenameRefused(controller::RenameRefusal) override { told.append(QStringLiteral("refused")); }
    bool acceptNarrowCounter(const rename::CounterCapacity &) override { return false; }
    bool reviewConflicts(const rename::RenamePlan &) override { return review; }
    std::unique_ptr<rename::RenameObserver> renameFrame(State) override { return std::make_unique<rename::RenameObserver>(); }
    bool askUndo(int) override { return false; }
    bool askRecovery() override { return false; }
    void tellRecovery(const rename::RecoveryReport &) override {}
    bool askSetAside(const rename::DamagedRecord &) override { return false; }
    void tellSetAside(const rename::SetAsideResult &) override {}

    bool refresh = true;
    bool review = false;
    QList<State> states;
    QStringList told;
    std::function<void()> onPause;
};

class ControllerTest : public ::testing::Test
{
protected:
    QStringList newNames()
    {
        QStringList names;
        for (const filelist::FileEntry &entry : main.files().entries())
            names.append(entry.newName);
        return names;
    }

    void add(const QStringList &paths)
    {
        for (const QString &path : paths)
            main.addName(path);
    }

    settings::Settings settings;
    fakes::FakeMessages messages;
    RecordingUi ui;
    // No settings folder: no rename journal, no undo record.
    const QString settingsFolder;
    controller::MainController main{settings, settingsFolder, messages, ui};
};

struct RecomputeCase {
    const char *label;
    const char *rule;
    const char *start;
    QStringList expected;
    QStringList told;
};

void PrintTo(const RecomputeCase &c, std::ostream *os)
{
    *os << c.label;
}

class ControllerRecompute : public ControllerTest, public ::testing::WithParamInterface<RecomputeCase>
{
};

// The names are first computed under a plain rule, then recomputed under the
// case's rule: the list is rebuilt in order, errors are told once per run.
TEST_P(ControllerRecompute, rebuildsTheListInOrderAndTellsEachErrorOnce)
{
    const RecomputeCase &c = GetParam();
    settings.rule.rule = QStringLiteral("x");
    add({"/d/abcdefg.txt", "/d/b.txt", "/d/c.txt", "/d/e.txt"});
    settings.rule.rule = QString::fromUtf8(c.rule);
    settings.rule.startText = QString::fromUtf8(c.start);
    main.recompute();
    EXPECT_EQ(newNames(), c.expected);
    EXPECT_EQ(ui.told, c.told);
    EXPECT_EQ(ui.states, (QList<State>{State::Recomputing, State::Idle}));
}

const RecomputeCase kRecomputeCases[] = {
    {"numbersInListOrder", "A_#", "1", {"A_1.txt", "A_2.txt", "A_3.txt", "A_4.txt"}, {}},
    {"identicalNamesFromAFreshTable", "Image", "1", {"Image.txt", "Image_1.txt", "Image_2.txt", "Image_3.txt"}, {}},
    // The list was emptied before the loop: the files after the first are gone.
    {"positionErrorStopsAtTheFirstFile", "$REPP///1/X$", "1", {""}, {"message 45"}},
    {"overflowToldOnceForThreeFiles", "big_#", "2147483646", {"big_2147483646.txt", "big_2147483647.txt", "", ""},
     {"Error 6 (Overflow) in procedure affiche_nom of Feuille frmMain"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ControllerRecompute, ::testing::ValuesIn(kRecomputeCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(ControllerTest, withoutAutomaticRefreshTheNamesStayAsTheyWere)
{
    settings.rule.rule = QStringLiteral("A_#");
    add({"/d/x.txt", "/d/y.txt"});
    ui.refresh = false;
    settings.rule.rule = QStringLiteral("B_#");
    main.files().removeEntries({0});
    main.recompute();
    EXPECT_EQ(newNames(), QStringList{"A_2.txt"});
}

TEST_F(ControllerTest, aRecomputationAskedForDuringAnAddIsMadeOnceWhenItEnds)
{
    settings.rule.rule = QStringLiteral("A_#");
    main.beginAdd();
    main.addName(QStringLiteral("/d/x.txt"));
    settings.rule.rule = QStringLiteral("B_#");
    main.recompute();
    main.recompute();
    // Inside the add, the rule read at its beginning goes on.
    main.addName(QStringLiteral("/d/y.txt"));
    EXPECT_EQ(main.state(), State::Adding);
    main.endAdd();
    EXPECT_EQ(newNames(), (QStringList{"B_1.txt", "B_2.txt"}));
    EXPECT_EQ(ui.states, (QList<State>{State::Adding, State::Idle, State::Recomputing, State::Idle}));
}

// A name that is not UTF-8 goes into the list by its bytes, shown with U+FFFD
// and marked; the rule reads it as Windows-1252, so "*" repairs it, and the
// rename moves the file by its own bytes.
TEST_F(ControllerTest, aNameThatIsNotTextIsListedMarkedAndRepairedByTheStar)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray broken = folder + "/caf\xE9.jpg";
    const QByteArray repaired = folder + "/caf\xC3\xA9.jpg";
    // QTemporaryDir removes only what it can name as text.
    const auto cleanUp = qScopeGuard([&broken] { ::unlink(broken.constData()); });
    FILE *file = std::fopen(broken.constData(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    // The rename keeps its journal and undo record in the tree.
    const QString records = dir.path() + QStringLiteral("/records");
    controller::MainController withRecords{settings, records, messages, ui};
    withRecords.files().setNotTextMark(QStringLiteral(" [mark]"), QStringLiteral("%1|%2"));
    settings.rule.rule = QStringLiteral("x");
    withRecords.beginAdd();
    withRecords.addDropped({broken, folder + "/gone\xE9.jpg"}, QStringLiteral("*"));
    withRecords.endAdd();
    ASSERT_EQ(withRecords.files().count(), 1);
    EXPECT_EQ(withRecords.files().entry(0).nativePath().bytes(), broken);
    const QModelIndex name = withRecords.files().index(0, 0);
    EXPECT_EQ(withRecords.files().data(name, Qt::DisplayRole).toString(), QStringLiteral("caf\uFFFD.jpg [mark]"));
    EXPECT_EQ(withRecords.files().data(name, Qt::ToolTipRole).toString(), dir.path() + QStringLiteral("/caf\uFFFD.jpg|café.jpg"));

    settings.rule.rule = QStringLiteral("*");
    settings.rule.replaceForbidden = 0;
    withRecords.recompute();
    EXPECT_EQ(withRecords.files().entry(0).newName, QStringLiteral("café.jpg"));
    ui.review = true;
    rename::FileOps fs;
    const auto renamed = withRecords.renameList(fs);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->second.report.renamed, 1);
    EXPECT_NE(::access(broken.constData(), F_OK), 0);
    EXPECT_EQ(::access(repaired.constData(), F_OK), 0);
}

// Sizes, modification times and dates of shooting with ties and a missing
// date, in a list order that is none of the sorted ones.
TEST(ListSort, eachKeyBothWaysStableWithUnknownValuesLast)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char *name;
        int size;
        int minutes;
        const char *taken;
    } files[] = {{"IMG_10.jpg", 30, 20, "2004:01:02 00:00:00"},
                 {"img_2.jpg", 10, 30, ""},
                 {"IMG_1.jpg", 30, 10, "2003:12:31 23:59:59"},
                 {"b.jpg", 20, 20, "2004:01:02 00:00:00"}};
    QList<filelist::FileEntry> entries;
    fakes::FakeExif exif;
    for (const auto &f : files) {
        const QString path = dir.path() + QLatin1Char('/') + QLatin1String(f.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(f.size, 'x'));
        file.close();
        const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000 + 60 * f.minutes, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        exif.records.insert(path, exif::ExifInfo{.DateTaken = QLatin1String(f.taken)});
        entries.append(filelist::FileEntry::of(common::NativePath::fromText(path)));
    }
    using controller::SortKey;
    const struct {
        SortKey key;
        bool descending;
        QList<int> rows;
    } cases[] = {
        {SortKey::Name, false, {3, 2, 0, 1}},
        {SortKey::Natural, false, {3, 2, 1, 0}},
        {SortKey::Natural, true, {0, 1, 2, 3}},
        {SortKey::Modified, false, {2, 0, 3, 1}},
        {SortKey::Modified, true, {1, 0, 3, 2}},
        {SortKey::Size, false, {1, 3, 0, 2}},
        {SortKey::Size, true, {0, 2, 3, 1}},
        {SortKey::Taken, false, {2, 0, 3, 1}},
        {SortKey::Taken, true, {0, 3, 2, 1}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(controller::sortedRows(entries, {c.key, c.descending}, exif), c.rows) << int(c.key) << c.descending;
    for (const char *name : {"name", "natural", "mtime", "taken", "size"})
        EXPECT_TRUE(controller::sortKeyOf(QLatin1String(name))) << name;
    EXPECT_FALSE(controller::sortKeyOf(QStringLiteral("date")));
}

TEST_F(ControllerTest, theCounterFollowsTheSortedList)
{
    settings.rule.rule = QStringLiteral("#_*");
    add({"/d/b10.txt", "/d/b9.txt", "/d/a.txt"});
    main.sortList({controller::SortKey::Natural, false});
    EXPECT_EQ(newNames(), (QStringList{"1_a.txt", "2_b9.txt", "3_b10.txt"}));
    main.sortList({controller::SortKey::Name, true});
    EXPECT_EQ(newNames(), (QStringList{"1_b9.txt", "2_b10.txt", "3_a.txt"}));
}

TEST_F(ControllerTest, aStopRequestEndsTheRunningAddAndTheNextAddForgetsIt)
{
    main.beginAdd();
    EXPECT_TRUE(main.pauseAdd(1));
    ui.onPause = [this] { main.requestStop(); };
    EXPECT_FALSE(main.pauseAdd(2));
    main.endAdd();
    ui.onPause = nullptr;
    main.beginAdd();
    EXPECT_TRUE(main.pauseAdd(1));
    main.endAdd();
}

} // namespace
