#include "QtPrint.h"
#include "RenameTestSupport.h"

#include "rename/RecordFormat.h"
#include "rename/UndoRecord.h"

#include <QFileInfo>
#include <QRegularExpression>

using namespace tarvello::rename;
using namespace tarvello::rename::testing;

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

QByteArray headerOf(const QByteArray &record)
{
    return record.left(record.indexOf('\n'));
}

// The record as written before records had checksums: no check on the
// closing line nor on the marks, and the form's number one lower.
QByteArray withoutChecks(const QByteArray &record)
{
    const QByteArray header = headerOf(record);
    QString old = QString::fromLatin1(header.chopped(1) + QByteArray::number(header.right(1).toInt() - 1) + record.mid(header.size()));
    return old.replace(QRegularExpression(QStringLiteral(" [0-9a-f]{8}\n")), QStringLiteral("\n")).toLatin1();
}

// A record of either kind as the program leaves it, victim.txt beside the
// files it names. The journal: a swap of a and b and a rename of c to d cut in
// their second phase (a and b under their temporary names, c already at d),
// with the lengths it had after each step. The undo record: a finished rename
// of a to x and b to y.
class Record
{
public:
    explicit Record(RecordKind kind) : kind(kind)
    {
        if (kind == RecordKind::Undo) {
            EXPECT_EQ(scene.rename({{"a", "x"}, {"b", "y"}}, fs).report.renamed, 2);
            path = UndoRecord(scene.settings()).path();
        } else {
            RenameJournal journal(scene.settings());
            EXPECT_EQ(journal.begin(scene.plan({{"a", "b"}, {"b", "a"}, {"c", "d"}}, fs)), 0);
            entries = journal.load()->entries;
            path = journal.path();
            planEnd = readFile(path).size();
            for (const JournalEntry &entry : std::as_const(entries))
                EXPECT_EQ(fs.renameNoReplace(entry.oldPath, entry.tempPath), 0);
            journal.mark(JournalMark::FirstPhaseDone);
            firstMarkEnd = readFile(path).size();
            journal.mark(JournalMark::CopyStarted, 3);
            EXPECT_EQ(fs.move(entries[2].tempPath, entries[2].newPath), 0);
        }
        text = readFile(path);
        if (kind == RecordKind::Undo)
            planEnd = text.size();
        disk = scene.files();
    }

    // Put in place of the record, the bytes are refused: the operation moves
    // nothing and keeps them for the user.
    void expectRefused(const QByteArray &bytes)
    {
        writeFile(path, bytes);
        if (kind == RecordKind::Journal)
            EXPECT_TRUE(recoverInterruptedRename(scene.settings(), fs).unreadable);
        else
            EXPECT_EQ(scene.undo(fs).recordError, EBADMSG);
        EXPECT_EQ(scene.files(), disk);
        EXPECT_EQ(readFile(path), bytes);
    }

    RecordKind kind;
    Scene scene{{"a", "b", "c", "victim.txt"}};
    FileOps fs;
    QList<JournalEntry> entries; // the journal's
    QString path;
    QByteArray text;
    qsizetype planEnd = 0; // the journal's length without marks; all of the undo record
    qsizetype firstMarkEnd = 0;
    Files disk;
};

// A journal written with the program's own writer, checksums and all, but
// with whatever entries and marks a hand that knows the format chose.
QByteArray sealedJournal(const QByteArray &header, const QList<JournalEntry> &entries, const QList<QByteArray> &marks)
{
    RecordWriter writer(header);
    for (const JournalEntry &entry : entries) {
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

} // namespace

// One byte changed anywhere (three ways), or the record cut anywhere before
// its closing line: refused. Marks after the plan may be cut (see below).
TEST(DamagedRecord, everyChangedByteAndEveryCutIsRefused)
{
    for (const RecordKind kind : {RecordKind::Journal, RecordKind::Undo}) {
        Record record(kind);
        SCOPED_TRACE(record.path.toStdString());
        if (kind == RecordKind::Journal)
            ASSERT_TRUE(RenameJournal(record.scene.settings()).load().has_value());
        else
            ASSERT_EQ(UndoRecord(record.scene.settings()).load()->size(), 2);
        for (qsizetype at = 0; at < record.text.size(); ++at) {
            for (const char mask : {'\x01', '\x20', '\x80'}) {
                SCOPED_TRACE(::testing::Message() << "byte " << at << " xor " << int(uchar(mask)));
                QByteArray changed = record.text;
                changed[at] = char(changed[at] ^ mask);
                record.expectRefused(changed);
            }
        }
        for (qsizetype size = 0; size < record.planEnd; ++size) {
            SCOPED_TRACE(::testing::Message() << "cut to " << size << " bytes");
            record.expectRefused(record.text.left(size));
        }
    }
}

// A crash while a mark is appended leaves part of its line: the journal still
// reads as before that mark, and the next mark does not run into it.
TEST(DamagedRecord, aJournalMarkCutShortIsIgnoredAndTheNextStillCounts)
{
    Record record(RecordKind::Journal);
    for (qsizetype size = record.planEnd; size <= record.text.size(); ++size) {
        SCOPED_TRACE(::testing::Message() << "cut to " << size << " bytes");
        writeFile(record.path, record.text.left(size));
        const auto cut = RenameJournal(record.scene.settings()).load();
        ASSERT_TRUE(cut.has_value());
        EXPECT_EQ(std::make_pair(cut->firstPhaseDone, cut->copying.contains(3)),
                  std::make_pair(size >= record.firstMarkEnd, size == record.text.size()));
        RenameJournal(record.scene.settings()).mark(JournalMark::SecondPhaseDone);
        const auto marked = RenameJournal(record.scene.settings()).load();
        ASSERT_TRUE(marked.has_value());
        EXPECT_TRUE(marked->secondPhaseDone);
        EXPECT_EQ(std::make_pair(marked->firstPhaseDone, marked->copying), std::make_pair(cut->firstPhaseDone, cut->copying));
    }
}

// Checksums keep out accidents; what they cannot keep out is a record that
// was written whole by another hand. Each of these names a path no run put
// there.
TEST(DamagedRecord, aSealedRecordThatNoRunLeavesIsRefused)
{
    Record journal(RecordKind::Journal);
    const QList<QByteArray> marks = {"PHASE1", "COPY 3"};
    const QByteArray journalHeader = headerOf(journal.text);
    ASSERT_EQ(sealedJournal(journalHeader, journal.entries, marks), journal.text);
    const auto entries = [&](const std::function<void(QList<JournalEntry> &)> &change) {
        QList<JournalEntry> bad = journal.entries;
        change(bad);
        return sealedJournal(journalHeader, bad, marks);
    };
    Record undo(RecordKind::Undo);
    const QByteArray undoHeader = headerOf(undo.text);
    const QList<UndoPair> undoPairs = *UndoRecord(undo.scene.settings()).load();
    ASSERT_EQ(sealedUndo(undoHeader, undoPairs), undo.text);
    const auto pairs = [&](const std::function<void(QList<UndoPair> &)> &change) {
        QList<UndoPair> bad = undoPairs;
        change(bad);
        return sealedUndo(undoHeader, bad);
    };
    const QList<std::tuple<Record *, const char *, QByteArray>> cases = {
        {&journal, "temporary name of an unrelated file", entries([&](auto &e) { e[0].tempPath = journal.scene.path("victim.txt"); })},
        {&journal, "temporary names of two positions swapped", entries([](auto &e) { std::swap(e[0].tempPath, e[1].tempPath); })},
        {&journal, "rows swapped", entries([](auto &e) { e.swapItemsAt(0, 1); })},
        {&journal, "a position given twice", entries([](auto &e) { e[1].position = e[0].position; })},
        {&journal, "a relative old path", entries([](auto &e) { e[0].oldPath = "a"; e[0].tempPath = "tmp_Tarv_1_a"; })},
        {&journal, "a new path through ..", entries([&](auto &e) { e[2].newPath = journal.scene.path("c/../d"); })},
        {&journal, "a new path given twice", entries([](auto &e) { e[1].newPath = e[0].newPath; })},
        {&journal, "a temporary path that is a new path", entries([](auto &e) { e[2].newPath = e[0].tempPath; })},
        {&journal, "a copy of a position it does not hold", sealedJournal(journalHeader, journal.entries, {"PHASE1", "COPY 9"})},
        {&journal, "a mark it does not write", sealedJournal(journalHeader, journal.entries, {"PHASE3"})},
        {&journal, "the form written before checksums", withoutChecks(journal.text)},
        {&undo, "a relative old path", pairs([](auto &p) { p[0].oldPath = "a"; })},
        {&undo, "an old path through ..", pairs([&](auto &p) { p[0].oldPath = undo.scene.path("x/../victim.txt"); })},
        {&undo, "an old path given twice", pairs([](auto &p) { p[1].oldPath = p[0].oldPath; })},
        {&undo, "a new path given twice", pairs([](auto &p) { p[1].newPath = p[0].newPath; })},
        {&undo, "a trailing slash", pairs([](auto &p) { p[0].oldPath += '/'; })},
        {&undo, "the form written before checksums", withoutChecks(undo.text)},
        {&undo, "anything after its closing line", undo.text + "PHASE1\n"},
    };
    for (const auto &[record, what, bytes] : cases) {
        SCOPED_TRACE(::testing::Message() << record->path.toStdString() << ": " << what);
        record->expectRefused(bytes);
    }
}

// A damaged record names the files worth a look and can be set aside, never
// deleted, so that renames and undos work again; a sound one stays.
TEST(DamagedRecord, itNamesTheFilesToLookAtAndCanBeSetAside)
{
    for (const RecordKind kind : {RecordKind::Journal, RecordKind::Undo}) {
        Record record(kind);
        const QString settings = record.scene.settings();
        SCOPED_TRACE(record.path.toStdString());
        QByteArray damaged = record.text;
        QList<FileToCheck> worthALook;
        if (kind == RecordKind::Journal) {
            const JournalEntry &a = record.entries[0];
            const JournalEntry &b = record.entries[1];
            const JournalEntry &c = record.entries[2];
            // a's row no longer names its temporary file, which is found in its folder all the same.
            damaged.replace(nativeNameOf(a.tempPath), nativeNameOf(a.tempPath).chopped(1) + 'q');
            worthALook = {{a.tempPath, {}, true}, {b.tempPath, b.oldPath, true}, {c.newPath, c.oldPath, false}};
        } else {
            damaged[damaged.size() - 2] = char(damaged[damaged.size() - 2] ^ 1);
            worthALook = {{record.scene.path("x"), record.scene.path("a"), false}, {record.scene.path("y"), record.scene.path("b"), false}};
        }
        writeFile(record.path, damaged);
        const auto found = damagedRecord(kind, settings, record.fs);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(std::make_pair(found->path, found->error), std::make_pair(record.path, int(EBADMSG)));
        EXPECT_EQ(found->files, worthALook);

        writeFile(record.path, record.text);
        EXPECT_FALSE(damagedRecord(kind, settings, record.fs).has_value());
        EXPECT_TRUE(setAsideRecord(kind, settings).sound);
        EXPECT_EQ(readFile(record.path), record.text);

        // Set aside twice, maybe within the same second: neither replaces the other.
        QSet<QString> aside;
        for (const QByteArray &bytes : {damaged, record.text.left(record.planEnd - 1)}) {
            writeFile(record.path, bytes);
            const SetAsideResult result = setAsideRecord(kind, settings);
            EXPECT_EQ(std::make_pair(result.error, result.sound), std::make_pair(0, false));
            EXPECT_EQ(QFileInfo(result.asidePath).path(), settings);
            EXPECT_EQ(readFile(result.asidePath), bytes);
            aside.insert(result.asidePath);
        }
        EXPECT_EQ(aside.size(), 2);
        EXPECT_EQ(setAsideRecord(kind, settings).error, ENOENT);
        EXPECT_EQ(record.scene.files(), record.disk);
        EXPECT_FALSE(interruptedRenameWaiting(settings));
        if (kind == RecordKind::Journal)
            EXPECT_EQ(record.scene.rename({{"victim.txt", "v"}}, record.fs).report.renamed, 1);
        else
            EXPECT_TRUE(record.scene.undo(record.fs).nothingToUndo);
    }
}
