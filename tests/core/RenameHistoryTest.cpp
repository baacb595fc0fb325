#include "RenameTestSupport.h"

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

namespace {

QDateTime at(int day, int hour)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0));
}

UndoReport undoRun(const Scene &scene, int number, const QDateTime &when)
{
    FileOps fs;
    RenameObserver quiet;
    return undoHistoryRun(scene.settings(), number, quiet, fs, when);
}

} // namespace

TEST(RenameHistory, keepsEveryRunAndUndoesAnyOfTheLastTen)
{
    const QByteArray odd = "sp ace,\"q\"\n\xff%.jpg";
    Scene scene({"a", "b", "c", odd});
    const RenameHistory history(scene.settings());
    FileOps fs;
    scene.rename({{"a", "a1"}}, fs, at(1, 9));
    scene.rename({{"b", "b1"}, {"c", "c1"}}, fs, at(2, 9));
    scene.rename({{odd, "d1"}}, fs, at(2, 10));

    QList<HistoryRun> runs = history.runs();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].time, at(2, 10));
    EXPECT_EQ(runs[0].files[0].oldPath, scene.path(odd));
    EXPECT_EQ(runs[1].files.size(), 2);
    EXPECT_EQ(runs[2].files[0].newPath, scene.path("a1"));
    EXPECT_EQ(filesInPlace(runs[1], fs), 2);

    // Not only the last run: the second newest goes back, the others stay.
    EXPECT_EQ(undoRun(scene, 2, at(3, 9)).report.renamed, 2);
    EXPECT_EQ(scene.files(), (Files{{"a1", "a"}, {"b", "b"}, {"c", "c"}, {"d1", odd}}));
    runs = history.runs();
    ASSERT_EQ(runs.size(), 4);
    EXPECT_TRUE(runs[0].undo);
    EXPECT_EQ(runs[0].files[0].newPath, scene.path("b"));
    EXPECT_EQ(filesInPlace(runs[2], fs), 0);

    // Its files are no longer where it put them: nothing moves a second time.
    const UndoReport again = undoRun(scene, 3, at(3, 10));
    EXPECT_EQ(again.report.renamed, 0);
    EXPECT_EQ(again.movedSince.size(), 2);

    // The undo of an undo renames again.
    EXPECT_EQ(undoRun(scene, 1, at(3, 11)).report.renamed, 2);
    EXPECT_TRUE(scene.tree().exists("b1") && scene.tree().exists("c1"));

    for (const int number : {0, 6})
        EXPECT_TRUE(undoRun(scene, number, at(4, 9)).nothingToUndo) << number;
}

TEST(RenameHistory, onlyTheLastTenRunsCanBeUndone)
{
    Scene scene({"f0"});
    FileOps fs;
    for (int i = 0; i < RenameHistory::kUndoableRuns + 1; ++i)
        scene.rename({{"f" + QByteArray::number(i), "f" + QByteArray::number(i + 1)}}, fs, at(1 + i % 3, i));
    const RenameHistory history(scene.settings());
    EXPECT_EQ(history.runs().size(), RenameHistory::kUndoableRuns + 1);
    EXPECT_EQ(history.runs(4).size(), 4);
    EXPECT_TRUE(undoRun(scene, RenameHistory::kUndoableRuns + 1, at(9, 9)).nothingToUndo);
    EXPECT_TRUE(scene.tree().exists("f11"));
}

TEST(RenameHistory, passesOverLinesThatDoNotRead)
{
    Scene scene({"a", "b"});
    FileOps fs;
    scene.rename({{"a", "a1"}}, fs, at(1, 9));
    QFile file(RenameHistory(scene.settings()).folder() + QStringLiteral("/2026-03-01.txt"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("edited by hand\n2026-03-01T09:00:00.000 0123456789abcdef R /x /y 1 2");
    file.close();
    scene.rename({{"b", "b1"}}, fs, at(1, 10));
    const QList<HistoryRun> runs = RenameHistory(scene.settings()).runs();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].files[0].newPath, scene.path("b1"));
    EXPECT_EQ(runs[1].files[0].newPath, scene.path("a1"));
}

TEST(RenameHistory, exportsCsvWithNamesQuotedAsNeeded)
{
    HistoryRun run;
    run.time = at(1, 9);
    run.files = {{"/t/a,\"b\"", "/t/c", std::nullopt}};
    const QList<QByteArray> lines = historyCsv({run}).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "1," + at(1, 9).toString(Qt::ISODateWithMs).toLatin1() + ",rename,\"/t/a,\"\"b\"\"\",/t/c\r");
}
