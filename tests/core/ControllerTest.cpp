#include "EngineFakes.h"
#include "QtPrint.h"

#include "controller/MainController.h"
#include "rename/RenameOperation.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <functional>

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
    bool reviewConflicts(const rename::RenamePlan &) override { return false; }
    std::unique_ptr<rename::RenameObserver> renameFrame(State) override { return std::make_unique<rename::RenameObserver>(); }
    bool askUndo(int) override { return false; }
    bool askRecovery() override { return false; }
    void tellRecovery(const rename::RecoveryReport &) override {}
    bool askSetAside(const rename::DamagedRecord &) override { return false; }
    void tellSetAside(const rename::SetAsideResult &) override {}
    void conflictsCounted(int count) override { conflicts = count; }

    bool refresh = true;
    int conflicts = -1;
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

// The statuses follow the names: marked when a run of names ends, cleared
// when the other row of a duplicate leaves the list.
TEST_F(ControllerTest, conflictsAreMarkedWhenNamesEndAndWhenRowsLeave)
{
    settings.rule.rule = QStringLiteral("same");
    settings.rule.numberIdentical = 0;
    add({"/d/x.txt", "/d/y.txt", "/d/z.jpg"});
    EXPECT_EQ(ui.conflicts, 2);
    EXPECT_EQ(main.files().status(0), quint8(rename::NameStatus::Duplicate));
    EXPECT_EQ(main.files().status(2), 0);
    main.files().removeEntries({0});
    EXPECT_EQ(ui.conflicts, 0);
    EXPECT_EQ(main.files().status(0), 0);
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
