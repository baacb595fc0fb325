#include "EngineFakes.h"
#include "ExifTestSupport.h"
#include "QtPrint.h"
#include "../gui/support/FolderFixture.h"

#include "controller/MainController.h"
#include "common/VbError.h"
#include "rename/FileOps.h"
#include "rename/RenameJournal.h"
#include "exif/ExifReader.h"
#include "rename/RenameOperation.h"
#include "rename/RenamePlan.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

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
    void addPaused(int) override { if (onPause) onPause(); }
    void addPlanned(int, int) override {}
    bool askToAddFolders(int files, int folders) override
    {
        return ask(folders < 0 ? QString("add %1").arg(files) : QString("add %1 in %2").arg(files).arg(folders));
    }
    void tellRenameRefused(controller::RenameRefusal why) override
    {
        using enum controller::RenameRefusal;
        told.append(why == EmptyRule ? "empty rule" : why == RefusedRule ? "refused" : "control");
    }
    bool acceptNarrowCounter(const rename::CounterCapacity &capacity) override
    {
        return ask(QString("counter of %1 digits").arg(capacity.digits));
    }
    bool reviewConflicts(const rename::RenamePlan &plan) override
    {
        return plan.conflictCount() == 0 || ask(QString("%1 conflicts").arg(plan.conflictCount()));
    }
    std::unique_ptr<rename::RenameObserver> renameFrame(State) override
    {
        struct Frame : rename::RenameObserver {
            std::function<bool()> stop;
            bool stopRequested() override { return stop && stop(); }
        };
        auto frame = std::make_unique<Frame>();
        frame->stop = stopAsked;
        return frame;
    }
    bool askUndo(int count) override { return ask(QString("undo %1").arg(count)); }
    bool askRecovery() override { return ask("recover"); }
    void tellRecovery(const rename::RecoveryReport &r) override { told.append(QString("recovered %1").arg(r.atNew + r.atOld)); }
    void tellCutShort(const rename::CutShortRun &run) override
    {
        told.append(QString("cut short: %1 renamed, %2 not").arg(run.renamed).arg(run.notRenamed));
    }
    bool askSetAside(const rename::DamagedRecord &) override { return ask("set aside"); }
    void tellSetAside(const rename::SetAsideResult &result) override { told.append(QString("set aside: %1").arg(result.error)); }
    void conflictsCounted(int count) override { conflicts = count; }

    bool ask(const QString &question)
    {
        told.append(question);
        return agree;
    }

    bool agree = false; // the answer to every question
    bool refresh = true;
    int conflicts = -1;
    QList<State> states;
    QStringList told;
    std::function<void()> onPause;
    std::function<bool()> stopAsked; // asked before each file of a rename's first phase
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
    // Unless a test gives one, no settings folder: no rename journal, no undo record.
    QString settingsFolder;
    // The built-in reader, which needs no tool.
    exif::ExifCache exifCache;
    exif::ExifReader exif{exif::ExifOptions{}, exifCache};
    controller::MainController main{settings, settingsFolder, messages, ui, exif};
};

// The names are first computed under a plain rule, then recomputed under each
// rule: the list is rebuilt in order, errors are told once per run.
TEST_F(ControllerTest, recomputingRebuildsTheListInOrderAndTellsEachErrorOnce)
{
    const struct { const char *rule; const char *start; QStringList expected; QStringList told; } cases[] = {
        {"A_#", "1", {"A_1.txt", "A_2.txt", "A_3.txt", "A_4.txt"}, {}},
        {"Image", "1", {"Image.txt", "Image_1.txt", "Image_2.txt", "Image_3.txt"}, {}},
        // Every entry stays, none with a name to be renamed to.
        {"$REPP///1/X$", "1", {"", "", "", ""}, {"message 45"}},
        {"big_#", "2147483646", {"big_2147483646.txt", "big_2147483647.txt", "", ""},
         {"Error 6 (Overflow) in procedure affiche_nom of Feuille frmMain"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        main.files().clear();
        settings.rule = {.rule = "x"};
        add({"/d/abcdefg.txt", "/d/b.txt", "/d/c.txt", "/d/e.txt"});
        settings.rule = {.rule = c.rule, .startText = c.start};
        ui.told.clear();
        ui.states.clear();
        main.recompute();
        EXPECT_EQ(newNames(), c.expected);
        EXPECT_EQ(ui.told, c.told);
        EXPECT_EQ(ui.states, (QList<State>{State::Recomputing, State::Idle}));
    }
}

TEST_F(ControllerTest, withoutAutomaticRefreshTheNamesStayAsTheyWere)
{
    settings.rule.rule = "A_#";
    add({"/d/x.txt", "/d/y.txt"});
    ui.refresh = false;
    settings.rule.rule = "B_#";
    main.files().removeEntries({0});
    main.recompute();
    EXPECT_EQ(newNames(), QStringList{"A_2.txt"});
}

// The statuses follow the names: marked when a run of names ends, cleared
// when the other row of a duplicate leaves the list.
TEST_F(ControllerTest, conflictsAreMarkedWhenNamesEndAndWhenRowsLeave)
{
    settings.rule = {.rule = "same", .numberIdentical = 0};
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
    settings.rule.rule = "A_#";
    main.beginAdd();
    main.addName("/d/x.txt");
    settings.rule.rule = "B_#";
    main.recompute();
    main.recompute();
    // Inside the add, the rule read at its beginning goes on.
    main.addName("/d/y.txt");
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
    // QTemporaryDir removes only what it can name as text.
    const auto cleanUp = qScopeGuard([&broken] { ::unlink(broken.constData()); });
    FILE *file = std::fopen(broken.constData(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    // The rename keeps its journal and undo record in the tree.
    settingsFolder = dir.path() + "/records";
    main.files().setNotTextMark(" [mark]", "%1|%2");
    settings.rule.rule = "x";
    main.beginAdd();
    main.addDropped({broken, folder + "/gone\xE9.jpg"}, "*");
    main.endAdd();
    ASSERT_EQ(main.files().count(), 1);
    EXPECT_EQ(main.files().entry(0).nativePath().bytes(), broken);
    const QModelIndex name = main.files().index(0, 0);
    EXPECT_EQ(main.files().data(name, Qt::DisplayRole).toString(), QString("caf\uFFFD.jpg [mark]"));
    EXPECT_EQ(main.files().data(name, Qt::ToolTipRole).toString(), dir.path() + QString("/caf\uFFFD.jpg|café.jpg"));

    settings.rule = {.rule = "*", .replaceForbidden = 0};
    main.recompute();
    EXPECT_EQ(main.files().entry(0).newName, "café.jpg");
    rename::FileOps fs;
    const auto renamed = main.renameList(fs);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->second.report.renamed, 1);
    EXPECT_NE(::access(broken.constData(), F_OK), 0);
    EXPECT_EQ(::access((folder + "/caf\xC3\xA9.jpg").constData(), F_OK), 0);
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
    } files[] = {{"IMG_10.jpg", 30, 20, "2004:01:02 00:00:00"}, {"img_2.jpg", 10, 30, ""},
                 {"IMG_1.jpg", 30, 10, "2003:12:31 23:59:59"}, {"b.jpg", 20, 20, "2004:01:02 00:00:00"}};
    QList<filelist::FileEntry> entries;
    fakes::FakeExif exif;
    for (const auto &f : files) {
        const QString path = dir.filePath(f.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(f.size, 'x')) == f.size && file.flush());
        const QDateTime modified = QDateTime::fromSecsSinceEpoch(1'000'000'000 + 60 * f.minutes);
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
        exif.records.insert(path, exif::ExifInfo{.DateTaken = f.taken});
        entries.append(filelist::FileEntry::of(common::NativePath::fromText(path)));
    }
    using enum controller::SortKey;
    const struct { controller::SortKey key; bool descending; QList<int> rows; } cases[] = {
        {Name, false, {3, 2, 0, 1}},     {Natural, false, {3, 2, 1, 0}}, {Natural, true, {0, 1, 2, 3}},
        {Modified, false, {2, 0, 3, 1}}, {Modified, true, {1, 0, 3, 2}}, {Size, false, {1, 3, 0, 2}},
        {Size, true, {0, 2, 3, 1}},      {Taken, false, {2, 0, 3, 1}},   {Taken, true, {0, 3, 2, 1}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(controller::sortedRows(entries, {c.key, c.descending}, exif), c.rows) << int(c.key) << c.descending;
}

TEST_F(ControllerTest, theCounterFollowsTheSortedList)
{
    settings.rule.rule = "#_*";
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

// What the rule and counter become after a rename of 5 files, as the options say.
TEST_F(ControllerTest, theRuleRecordTakesWhatTheOptionsMakeOfItAfterARename)
{
    struct Case {
        qint16 ruleAfter, startAfter, startReset, stepAfter, stepReset;
        const char *startText;
        qint16 step;
        bool clearRule;
        std::optional<QString> startShown, stepShown;
        qint32 start;
    };
    const QList<Case> cases = {
        {1, 2, 1, 1, 1, "1", 2, false, "11", std::nullopt, 11}, // 1 + 2 x 5
        {1, 2, 1, 1, 1, "10", -3, false, "-5", std::nullopt, -5},
        {0, 0, 7, 0, 3, "1", 2, true, "7", "3", 7},
        {1, 1, 7, 1, 3, "1", 2, false, std::nullopt, std::nullopt, 1},
        // "#" keeps continuation mode; a next start past 32 bits leaves the start alone.
        {1, 2, 1, 1, 1, "#", 1, false, std::nullopt, std::nullopt, 1},
        {1, 2, 1, 1, 1, "2147483000", 1000, false, std::nullopt, std::nullopt, 2147483000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.startText);
        settings.Option_RegleApresRenommage = c.ruleAfter;
        settings.Option_RegleDebutApresRenommage = c.startAfter;
        settings.Option_RegleDebutResetRenommage = c.startReset;
        settings.Option_ReglePasApresRenommage = c.stepAfter;
        settings.Option_ReglePasResetRenommage = c.stepReset;
        settings.rule = {.rule = "A_#", .startText = c.startText,
                         .counterStart = c.startText[0] == '#' ? 1 : QString(c.startText).toInt(),
                         .stepText = QString::number(c.step), .counterStep = c.step};
        const rename::RuleAfterRename after = main.takeRuleAfterRename(5);
        EXPECT_EQ(after.clearRule, c.clearRule);
        EXPECT_EQ(after.startText, c.startShown);
        EXPECT_EQ(after.stepText, c.stepShown);
        EXPECT_EQ(settings.rule.rule.isEmpty(), c.clearRule);
        EXPECT_EQ(settings.rule.counterStart, c.start);
        EXPECT_EQ(settings.rule.startText, c.startShown.value_or(c.startText));
        EXPECT_EQ(settings.rule.counterStep, c.stepShown ? c.stepShown->toInt() : c.step);
    }
}

// Names chosen in the file view or among its thumbnails: a name that is not
// text keeps its bytes; a thumbnail takes the bytes of the view's file of its
// name; only files the list lacks are added, by name (chosen) or path (all shown).
TEST_F(ControllerTest, chosenFilesBecomePathsOnceEach)
{
    using common::NativePath;
    EXPECT_EQ(controller::chosenFiles("/d", {"a.txt", "caf\uFFFD.txt", "b.txt"}, {"a.txt", "caf\xe9.txt", "b.txt"}),
              (QList<NativePath>{NativePath::fromBytes("/d/a.txt"), NativePath::fromBytes("/d/caf\xe9.txt"),
                                 NativePath::fromBytes("/d/b.txt")}));
    EXPECT_EQ(controller::thumbnailNativeNames({"caf\uFFFD.txt", "gone.txt"}, {"a.txt", "caf\uFFFD.txt"},
                                               {"a.txt", "caf\xe9.txt"}),
              (QList<QByteArray>{"caf\xe9.txt", "gone.txt"}));

    settings.rule.rule = "x";
    add({"/d/a.txt"});
    const QList<NativePath> chosen = {NativePath::fromText("/e/a.txt"), NativePath::fromText("/e/c.txt")};
    main.addChosen(chosen);
    main.addShown(int(chosen.size()), [&chosen](int i) { return chosen.at(i); });
    QStringList paths;
    for (const filelist::FileEntry &entry : main.files().entries())
        paths.append(entry.path());
    EXPECT_EQ(paths, (QStringList{"/d/a.txt", "/e/c.txt", "/e/a.txt"}));
}

// During a rename, renamed rows leave the list in runs; a row that no longer
// holds its file stays; the running total counts every renamed file.
TEST_F(ControllerTest, renamedRowsLeaveTheListOnlyWhereTheyStillHoldTheirFile)
{
    settings.rule.rule = "x";
    add({"/d/a", "/d/b", "/d/c", "/d/d"});
    settings.General_NombreFichierRenomme = 2147483646;
    rename::PlannedRename entry;
    for (const auto &[position, path] : {std::pair{4, "/d/d"}, {3, "/d/c"}, {1, "/d/b"}}) {
        entry.position = position;
        entry.oldPath = path;
        main.noteRenamed(entry);
    }
    main.dropRenamedRows();
    EXPECT_EQ(main.files().count(), 2);
    EXPECT_EQ(main.files().entry(0).path(), "/d/a");
    EXPECT_EQ(settings.General_NombreFichierRenomme, 2147483647);
    main.dropRenamedRows();
    EXPECT_EQ(main.files().count(), 2);
}

// The rename of the list, in a folder of its own with its journal and undo
// record beside it.
class ControllerRename : public ControllerTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid() && QDir().mkdir(m_dir.filePath("settings")));
        settingsFolder = m_dir.filePath("settings");
    }

    QString folder() const { return m_dir.filePath("files"); }
    QString path(const QString &name) const { return folder() + '/' + name; }

    void make(const QStringList &names) { ASSERT_TRUE(folderfixture::makeFiles(folder(), names)); }

    void addFiles(const QStringList &names)
    {
        make(names);
        for (const QString &name : names)
            main.addName(path(name));
    }

    QStringList disk() const { return QDir(folder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name); }

    bool rename()
    {
        rename::FileOps fs;
        return main.renameList(fs).has_value();
    }

    QTemporaryDir m_dir;
};

// A rule that gives no name, with a line break or a tab pasted in it, with a
// character no name may hold, or a counter too narrow that the user does not
// accept, renames nothing; a refused rule names no file added under it.
TEST_F(ControllerRename, aRenameThatIsRefusedOrNotAcceptedMovesNothing)
{
    const struct { const char *rule; QStringList told; const char *lateName; } cases[] = {
        {"", {"empty rule"}, nullptr}, {"   ", {}, nullptr},          {"x\ty", {"control"}, ""},
        {"x\n", {"control"}, ""},      {"a:b", {"refused"}, ""}, {"x_#", {"counter of 1 digits"}, "x_10"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        settings.rule.rule = "n_#";
        main.files().clear();
        QStringList names;
        for (int i = 0; i < 9; ++i)
            names.append(QString("f%1").arg(i));
        addFiles(names);
        settings.rule.rule = c.rule;
        addFiles({"late"});
        if (c.lateName) {
            EXPECT_EQ(newNames().constLast(), c.lateName);
        }
        names.append("late");
        ui.told.clear();
        EXPECT_FALSE(rename());
        EXPECT_EQ(ui.told, c.told);
        EXPECT_EQ(disk(), names);
    }
}

// Accepted, the rename moves every file; while passes are left, the files
// come back for a further pass under their new names, those of the list once;
// undo takes them back and their entries, which name no file now, leave the list.
TEST_F(ControllerRename, aRenameCanBeFollowedByAFurtherPassAndUndone)
{
    ui.agree = true;
    settings.rule.rule = "x_#";
    const QStringList names{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    addFiles(names);
    EXPECT_FALSE(main.undoAvailable());
    rename::FileOps fs;
    const auto renamed = main.renameList(fs);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(ui.told, QStringList{"counter of 1 digits"});
    EXPECT_EQ(disk().size(), 10);
    EXPECT_TRUE(disk().contains("x_10"));
    EXPECT_TRUE(main.undoAvailable());
    settings.rule.rule = "p_*";
    main.files().clear();
    main.addName(path("x_1"));
    for (const char *passes : {"0", "deux"})
        EXPECT_FALSE(main.furtherPass(passes, renamed->first, renamed->second.report));
    EXPECT_EQ(main.files().count(), 1);
    EXPECT_EQ(main.furtherPass("2", renamed->first, renamed->second.report), 1);
    EXPECT_EQ(main.files().count(), 10);
    EXPECT_EQ(newNames().first(), "p_x_1");

    ui.told.clear();
    const auto undo = main.undo();
    ASSERT_TRUE(undo);
    EXPECT_TRUE(undo->complete());
    EXPECT_EQ(ui.told, QStringList{"undo 10"});
    EXPECT_EQ(disk(), names);
    EXPECT_EQ(main.files().count(), 0);
    EXPECT_FALSE(main.undoAvailable());
}

// A conflict the user does not pass over, and a step that is not a number,
// stop the rename before any file moves.
TEST_F(ControllerRename, aRenameStoppedBeforeItBeganMovesNothing)
{
    make({"a", "b"});
    settings.rule.rule = "b";
    main.files().appendAll({{"a", folder(), "b"}});
    EXPECT_FALSE(rename());
    EXPECT_EQ(ui.told, QStringList{"1 conflicts"});
    settings.rule.rule = "n_#";
    main.addName(path("b"));
    settings.rule.stepText = "beaucoup";
    main.files().removeEntries({0});
    EXPECT_THROW(rename(), common::VbError);
    EXPECT_EQ(disk(), (QStringList{"a", "b"}));
}

// A rename cut short waits: offered before the next rename, on no it stays,
// on yes it is recovered; a damaged journal is offered to be set aside.
TEST_F(ControllerRename, aRenameCutShortIsRecoveredOrItsDamagedJournalSetAside)
{
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged);
        make({"a"});
        rename::FileOps fs;
        const rename::RenamePlan plan = rename::planRename(
            QList<rename::PathPair>{{QFile::encodeName(path("a")), QFile::encodeName(path("b")), false, rename::Conflict::None}}, fs);
        rename::RenameJournal journal(settingsFolder);
        ASSERT_EQ(journal.begin(plan), 0);
        ASSERT_EQ(fs.renameNoReplace(plan.entries[0].oldPath, plan.temporaryPath(plan.entries[0])), 0);
        if (damaged) {
            // The last digit of its checksum changed.
            QFile file(journal.path());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(file.size() - 2));
            char digit = 0;
            ASSERT_TRUE(file.getChar(&digit) && file.seek(file.size() - 2) && file.putChar(char(digit ^ 1)));
        }
        // Listed before the run, under the name the recovery takes from it.
        main.files().appendAll({{"a", folder(), "b"}});
        const QString question = damaged ? "set aside" : "recover";
        ui.told.clear();
        ui.agree = false;
        EXPECT_TRUE(main.offerRecovery());
        EXPECT_TRUE(rename::interruptedRenameWaiting(settingsFolder));
        ui.agree = true;
        EXPECT_TRUE(main.offerRecovery());
        EXPECT_FALSE(main.offerRecovery());
        EXPECT_EQ(ui.told, (QStringList{question, question, damaged ? "set aside: 0" : "recovered 1"}));
        EXPECT_EQ(disk().size(), 1);
        EXPECT_EQ(main.files().count(), damaged ? 1 : 0);
        main.files().clear();
        QDir(folder()).removeRecursively();
    }
}

// A rename the closing program stops in its first phase is told at the next
// start, once; one the user stopped is not.
TEST_F(ControllerRename, aRenameStoppedByTheClosingIsToldAtTheNextStart)
{
    settings.rule.rule = "n_*";
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing);
        const QString prefix = closing ? "c" : "u";
        main.files().clear();
        addFiles({prefix + "1", prefix + "2", prefix + "3", prefix + "4"});
        int asked = 0;
        ui.stopAsked = [&] {
            if (++asked == 3)
                closing ? main.requestQuit() : main.requestStop();
            return asked >= 3;
        };
        ui.told.clear();
        EXPECT_TRUE(rename());
        EXPECT_TRUE(disk().contains("n_" + prefix + "2"));
        EXPECT_TRUE(disk().contains(prefix + "3"));
        main.tellCutShortRun();
        main.tellCutShortRun();
        EXPECT_EQ(ui.told, closing ? QStringList{"cut short: 2 renamed, 2 not"} : QStringList{});
    }
}

// The date of shooting reaches the names of an add and of a recomputation,
// which reads the photographs ahead.
TEST_F(ControllerTest, exifTokensGiveThePhotographsDateOfShooting)
{
    const QString photos = exif::sharedPhotos();
    if (photos.isEmpty())
        GTEST_SKIP() << "needs the shared photographs";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList copies = {dir.filePath("a.jpg"), dir.filePath("b.JPG")};
    for (const QString &copy : copies)
        ASSERT_TRUE(QFile::copy(photos + "/cameras/Canon_40D.jpg", copy));
    settings.rule.rule = "Photo_$dA$-$dM$_###";
    main.addPaths({common::NativePath::fromText(copies[0]), common::NativePath::fromText(copies[1])},
                  [](const common::NativePath &) { return true; });
    EXPECT_EQ(newNames(), (QStringList{"Photo_2008-05_001.jpg", "Photo_2008-05_002.JPG"}));

    exif.clearCache();
    settings.rule.rule = "$dJ$_$dh$$dm$$ds$_$K$";
    main.recompute();
    EXPECT_EQ(newNames(), (QStringList{"30_155601_Canon EOS 40D.jpg", "30_155601_Canon EOS 40D_1.JPG"}));
}

// The files under folders are added once the user agrees to their number,
// asked even when it is 0 ("*.*" leaves a name without a dot out); a dropped
// file goes in at once, and only once.
TEST_F(ControllerRename, foldersAreAddedOnceTheUserAgreesToTheirNumber)
{
    make({"empty/README", "full/PHOTO.JPG", "full/notes.txt", "full/x.JPG/README", "loose/f.jpg", "C1/2.jpg", "C1/1.jpg", "C1/deep/3.jpg",
          "C2/4.jpg", "C2/s/5.jpg", "C2/s/notes"});
    settings.rule.rule = "x";
    const auto listed = [this] {
        QStringList paths;
        for (const filelist::FileEntry &entry : main.files().entries())
            paths.append(entry.path().mid(folder().size() + 1));
        return paths;
    };
    for (const auto &[start, pattern, agree] : {std::tuple{"empty", "*.*", true}, {"full", "*", false}, {"full", "*.jpg", true}}) {
        ui.agree = agree;
        EXPECT_TRUE(main.addHierarchy(path(start), pattern).isEmpty());
    }
    EXPECT_EQ(ui.told, (QStringList{"add 0", "add 3", "add 1"}));
    EXPECT_EQ(listed(), QStringList{"full/PHOTO.JPG"});
    EXPECT_EQ(main.conflictCount(), 1); // its new name is a folder's

    main.files().clear();
    ui.told.clear();
    QList<QByteArray> dropped;
    for (const char *name : {"loose/f.jpg", "C1", "gone.jpg", "C2"})
        dropped.append(QFile::encodeName(path(name)));
    for (const bool agree : {false, true}) {
        ui.agree = agree;
        main.addDropped(dropped, "*.jpg");
        EXPECT_EQ(listed().size(), agree ? 6 : 1);
    }
    EXPECT_EQ(ui.told, (QStringList{"add 5 in 2", "add 5 in 2"}));
    EXPECT_EQ(listed(), (QStringList{"loose/f.jpg", "C1/1.jpg", "C1/2.jpg", "C1/deep/3.jpg", "C2/4.jpg", "C2/s/5.jpg"}));
}

} // namespace
