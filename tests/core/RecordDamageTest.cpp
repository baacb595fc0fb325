#include "QtPrint.h"
#include "RenameTestSupport.h"

#include "rename/RecordFormat.h"
#include "rename/RenameJournal.h"
#include "rename/RenameOperation.h"
#include "rename/UndoRecord.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using tarvello::rename::testing::Renames;
using tarvello::rename::testing::Tree;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Every text the bytes become when one of them changes, with where and how.
void forEachChangedByte(const QByteArray &bytes, const std::function<void(const QByteArray &)> &check)
{
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        for (const char mask : {'\x01', '\x20', '\x80'}) {
            SCOPED_TRACE(::testing::Message() << "byte " << at << " xor " << int(uchar(mask)));
            QByteArray changed = bytes;
            changed[at] = char(changed[at] ^ mask);
            check(changed);
        }
    }
}

// The first line of a record, which names its kind and form.
QByteArray headerOf(const QByteArray &record)
{
    return record.left(record.indexOf('\n'));
}

// The record as written before records had checksums: no check on the
// closing line nor on the marks, and the form's number one lower.
QByteArray withoutChecks(const QByteArray &record)
{
    const QByteArray header = headerOf(record);
    QString old = QString::fromLatin1(header.left(header.size() - 1) + QByteArray::number(header.right(1).toInt() - 1)
                                      + record.mid(header.size()));
    return old.replace(QRegularExpression(QStringLiteral(" [0-9a-f]{8}\n")), QStringLiteral("\n")).toLatin1();
}

// A journal written with the program's own writer, checksums and all, but
// with whatever entries and marks a hand that knows the format chose.
QByteArray sealedJournal(const QByteArray &header, const QList<PlannedRename> &entries, const QList<QByteArray> &marks)
{
    RecordWriter writer(header);
    for (const PlannedRename &entry : entries) {
        writer.beginRow('E');
        writer.addNumber(entry.position);
        writer.addIdentity(entry.identity);
        writer.addPath(entry.oldPath);
        writer.addName(nativeNameOf(entry.tempPath));
        writer.addPath(entry.newPath);
    }
    quint32 seal = 0;
    QByteArray text = writer.text(&seal);
    for (const QByteArray &mark : marks)
        text += markLine(seal, mark);
    return text;
}

QByteArray sealedUndo(const QByteArray &header, const QList<UndoPair> &pairs)
{
    RecordWriter writer(header);
    for (const UndoPair &pair : pairs) {
        writer.beginRow('U');
        writer.addIdentity(pair.identity);
        writer.addPath(pair.oldPath);
        writer.addPath(pair.newPath);
    }
    return writer.text();
}

// A swap and a plain rename cut in their second phase: a and b under their
// temporary names, c already at d, an unrelated victim.txt beside them, and
// the journal as the run left it, with the lengths it had after each step.
class CutRun
{
public:
    CutRun()
    {
        for (const QByteArray name : {"a", "b", "c", "victim.txt"})
            tree.write(name, "content of " + name);
        plan = tarvello::rename::testing::planIn(tree, Renames{{"a", "b"}, {"b", "a"}, {"c", "d"}}, fs);
        RenameJournal journal(settings());
        EXPECT_EQ(journal.begin(plan), 0);
        planEnd = readFile(journalPath()).size();
        for (const PlannedRename &entry : std::as_const(plan.entries))
            EXPECT_EQ(fs.renameNoReplace(entry.oldPath, entry.tempPath), 0);
        journal.mark(JournalMark::FirstPhaseDone);
        firstMarkEnd = readFile(journalPath()).size();
        journal.mark(JournalMark::CopyStarted, 3);
        EXPECT_EQ(fs.move(plan.entries[2].tempPath, plan.entries[2].newPath), 0);
        text = readFile(journalPath());
        disk = tree.files();
    }

    QString settings() const { return m_settings.path(); }
    QString journalPath() const { return RenameJournal(settings()).path(); }

    // Put in place of the journal, the bytes are refused: recovery moves
    // nothing and keeps them for the user.
    void expectRefused(const QByteArray &bytes)
    {
        writeFile(journalPath(), bytes);
        const RecoveryReport report = recoverInterruptedRename(settings(), fs);
        EXPECT_TRUE(report.unreadable);
        EXPECT_EQ(tree.files(), disk);
        EXPECT_EQ(readFile(journalPath()), bytes);
    }

    Tree tree;
    FileOps fs;
    RenamePlan plan;
    qsizetype planEnd = 0;
    qsizetype firstMarkEnd = 0;
    QByteArray text;
    QHash<QByteArray, QByteArray> disk;

private:
    QTemporaryDir m_settings;
};

// A finished rename of a and b, with its undo record.
class FinishedRun
{
public:
    FinishedRun()
    {
        for (const QByteArray name : {"a", "b", "victim.txt"})
            tree.write(name, "content of " + name);
        RenameObserver quiet;
        const RenameRun run =
            runRename(tarvello::rename::testing::planIn(tree, Renames{{"a", "x"}, {"b", "y"}}, fs), settings(), quiet, fs);
        EXPECT_EQ(run.report.renamed, 2);
        text = readFile(recordPath());
        disk = tree.files();
    }

    QString settings() const { return m_settings.path(); }
    QString recordPath() const { return UndoRecord(settings()).path(); }

    void expectRefused(const QByteArray &bytes)
    {
        writeFile(recordPath(), bytes);
        RenameObserver quiet;
        const UndoReport undo = undoLastRename(settings(), quiet, fs);
        EXPECT_EQ(undo.recordError, EBADMSG);
        EXPECT_EQ(tree.files(), disk);
        EXPECT_EQ(readFile(recordPath()), bytes);
    }

    Tree tree;
    FileOps fs;
    QByteArray text;
    QHash<QByteArray, QByteArray> disk;

private:
    QTemporaryDir m_settings;
};

} // namespace

TEST(DamagedJournal, everyChangedByteAndEveryCutInThePlanIsRefused)
{
    CutRun run;
    const auto sound = RenameJournal(run.settings()).load();
    ASSERT_TRUE(sound.has_value());
    EXPECT_TRUE(sound->firstPhaseDone && sound->copying.contains(3));
    forEachChangedByte(run.text, [&](const QByteArray &changed) { run.expectRefused(changed); });
    for (qsizetype size = 0; size < run.planEnd; ++size) {
        SCOPED_TRACE(::testing::Message() << "cut to " << size << " bytes");
        run.expectRefused(run.text.left(size));
    }
}

// Checksums keep out accidents; what they cannot keep out is a journal that
// was written whole by another hand. Each of these names a path the plan
// never put there.
TEST(DamagedJournal, aSealedJournalThatNoPlanGivesIsRefused)
{
    CutRun run;
    const QByteArray header = headerOf(run.text);
    const QList<PlannedRename> entries = run.plan.entries;
    const QList<QByteArray> marks = {"PHASE1", "COPY 3"};
    ASSERT_EQ(sealedJournal(header, entries, marks), run.text);

    const auto changed = [&](const std::function<void(QList<PlannedRename> &)> &change) {
        QList<PlannedRename> bad = entries;
        change(bad);
        return sealedJournal(header, bad, marks);
    };
    const QList<std::pair<const char *, QByteArray>> cases = {
        {"temporary name of an unrelated file", changed([&](auto &e) { e[0].tempPath = run.tree.path("victim.txt"); })},
        {"temporary names of two positions swapped", changed([](auto &e) { std::swap(e[0].tempPath, e[1].tempPath); })},
        {"rows swapped", changed([](auto &e) { e.swapItemsAt(0, 1); })},
        {"a position given twice", changed([](auto &e) { e[1].position = e[0].position; })},
        {"a relative old path", changed([](auto &e) { e[0].oldPath = "a"; e[0].tempPath = "tmp_Tarv_1_a"; })},
        {"a new path through ..", changed([&](auto &e) { e[2].newPath = run.tree.path("c/../d"); })},
        {"a new path given twice", changed([](auto &e) { e[1].newPath = e[0].newPath; })},
        {"a temporary path that is a new path", changed([](auto &e) { e[2].newPath = e[0].tempPath; })},
        {"a copy of a position it does not hold", sealedJournal(header, entries, {"PHASE1", "COPY 9"})},
        {"a mark it does not write", sealedJournal(header, entries, {"PHASE3"})},
        {"the form written before checksums", withoutChecks(run.text)},
    };
    for (const auto &[what, bytes] : cases) {
        SCOPED_TRACE(what);
        run.expectRefused(bytes);
    }
}

// A crash while a mark is appended leaves part of its line: the journal still
// reads as before that mark, and the next mark does not run into it.
TEST(DamagedJournal, aMarkCutShortIsIgnoredAndTheNextStillCounts)
{
    CutRun run;
    for (qsizetype size = run.planEnd; size <= run.text.size(); ++size) {
        SCOPED_TRACE(::testing::Message() << "cut to " << size << " bytes");
        writeFile(run.journalPath(), run.text.left(size));
        const auto cut = RenameJournal(run.settings()).load();
        ASSERT_TRUE(cut.has_value());
        EXPECT_EQ(cut->firstPhaseDone, size >= run.firstMarkEnd);
        EXPECT_EQ(cut->copying.contains(3), size == run.text.size());
        RenameJournal(run.settings()).mark(JournalMark::SecondPhaseDone);
        const auto marked = RenameJournal(run.settings()).load();
        ASSERT_TRUE(marked.has_value());
        EXPECT_TRUE(marked->secondPhaseDone);
        EXPECT_EQ(marked->firstPhaseDone, cut->firstPhaseDone);
        EXPECT_EQ(marked->copying, cut->copying);
    }
}

TEST(DamagedJournal, itNamesTheFilesToLookAtAndCanBeSetAside)
{
    CutRun run;
    const PlannedRename &a = run.plan.entries[0];
    const PlannedRename &b = run.plan.entries[1];
    const PlannedRename &c = run.plan.entries[2];
    // a's row no longer names its temporary file, which is found in its folder all the same.
    QByteArray damaged = run.text;
    damaged.replace(nativeNameOf(a.tempPath), nativeNameOf(a.tempPath).chopped(1) + 'q');
    writeFile(run.journalPath(), damaged);
    const auto record = damagedRecord(RecordKind::Journal, run.settings(), run.fs);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->path, run.journalPath());
    EXPECT_EQ(record->error, EBADMSG);
    EXPECT_EQ(record->files, (QList<FileToCheck>{{a.tempPath, {}, true}, {b.tempPath, b.oldPath, true},
                                                 {c.newPath, c.oldPath, false}}));

    // A sound journal waits for recovery, not to be set aside.
    writeFile(run.journalPath(), run.text);
    EXPECT_FALSE(damagedRecord(RecordKind::Journal, run.settings(), run.fs).has_value());
    const SetAsideResult sound = setAsideRecord(RecordKind::Journal, run.settings());
    EXPECT_TRUE(sound.sound);
    EXPECT_EQ(readFile(run.journalPath()), run.text);

    // Set aside twice, maybe within the same second: neither replaces the other.
    QSet<QString> aside;
    for (const QByteArray &bytes : {damaged, run.text.left(run.planEnd - 1)}) {
        writeFile(run.journalPath(), bytes);
        const SetAsideResult result = setAsideRecord(RecordKind::Journal, run.settings());
        EXPECT_EQ(result.error, 0);
        EXPECT_FALSE(result.sound);
        EXPECT_EQ(QFileInfo(result.asidePath).path(), run.settings());
        EXPECT_EQ(readFile(result.asidePath), bytes);
        aside.insert(result.asidePath);
        EXPECT_FALSE(interruptedRenameWaiting(run.settings()));
    }
    EXPECT_EQ(aside.size(), 2);
    EXPECT_EQ(setAsideRecord(RecordKind::Journal, run.settings()).error, ENOENT);
    EXPECT_EQ(run.tree.files(), run.disk);

    // Renames work again.
    RenameObserver quiet;
    const RenameRun next =
        runRename(tarvello::rename::testing::planIn(run.tree, Renames{{"victim.txt", "v"}}, run.fs), run.settings(), quiet, run.fs);
    EXPECT_EQ(next.journalError, 0);
    EXPECT_EQ(next.report.renamed, 1);
}

TEST(DamagedUndoRecord, everyChangedByteAndEveryCutIsRefused)
{
    FinishedRun run;
    ASSERT_EQ(UndoRecord(run.settings()).load()->size(), 2);
    forEachChangedByte(run.text, [&](const QByteArray &changed) { run.expectRefused(changed); });
    for (qsizetype size = 0; size < run.text.size(); ++size) {
        SCOPED_TRACE(::testing::Message() << "cut to " << size << " bytes");
        run.expectRefused(run.text.left(size));
    }
}

TEST(DamagedUndoRecord, aSealedRecordThatNoRenameLeavesIsRefused)
{
    FinishedRun run;
    const QByteArray header = headerOf(run.text);
    const QList<UndoPair> pairs = *UndoRecord(run.settings()).load();
    ASSERT_EQ(sealedUndo(header, pairs), run.text);
    const auto changed = [&](const std::function<void(QList<UndoPair> &)> &change) {
        QList<UndoPair> bad = pairs;
        change(bad);
        return sealedUndo(header, bad);
    };
    const QList<std::pair<const char *, QByteArray>> cases = {
        {"a relative old path", changed([](auto &p) { p[0].oldPath = "a"; })},
        {"an old path through ..", changed([&](auto &p) { p[0].oldPath = run.tree.path("x/../victim.txt"); })},
        {"an old path given twice", changed([](auto &p) { p[1].oldPath = p[0].oldPath; })},
        {"a new path given twice", changed([](auto &p) { p[1].newPath = p[0].newPath; })},
        {"a trailing slash", changed([](auto &p) { p[0].oldPath += '/'; })},
        {"the form written before checksums", withoutChecks(run.text)},
        {"anything after its closing line", run.text + "PHASE1\n"},
    };
    for (const auto &[what, bytes] : cases) {
        SCOPED_TRACE(what);
        run.expectRefused(bytes);
    }
}

TEST(DamagedUndoRecord, itNamesTheRenamedFilesAndCanBeSetAside)
{
    FinishedRun run;
    QByteArray damaged = run.text;
    damaged[damaged.size() - 2] = char(damaged[damaged.size() - 2] ^ 1);
    writeFile(run.recordPath(), damaged);
    const auto record = damagedRecord(RecordKind::Undo, run.settings(), run.fs);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->files, (QList<FileToCheck>{{run.tree.path("x"), run.tree.path("a"), false},
                                                 {run.tree.path("y"), run.tree.path("b"), false}}));

    const SetAsideResult result = setAsideRecord(RecordKind::Undo, run.settings());
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(readFile(result.asidePath), damaged);
    RenameObserver quiet;
    EXPECT_TRUE(undoLastRename(run.settings(), quiet, run.fs).nothingToUndo);
    EXPECT_EQ(run.tree.files(), run.disk);
}
