#include "files/RenameJournal.h"

#include "files/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarvello::files {

namespace {

const QByteArray kHeader = "TARVELLO RENAME JOURNAL 1";
const QString kFileName = QStringLiteral("rename.journal");
// The row that tells an undo's journal from a rename's; a rename's has none.
const QByteArray kUndoKind = "undo";

QByteArray markLine(JournalMark mark, int position)
{
    switch (mark) {
    case JournalMark::FirstPhaseDone:
        return "PHASE1\n";
    case JournalMark::CopyStarted:
        return "COPY " + QByteArray::number(position) + '\n';
    case JournalMark::SecondPhaseDone:
        return "PHASE2\n";
    }
    return {};
}

// A journal row: "E position identity oldFolder oldName tempName newFolder
// newName"; the temporary name lies in the old path's folder.
std::optional<JournalEntry> parseEntry(const RecordFile &record, const QList<QByteArray> &fields)
{
    if (fields.size() != 10 || fields[0] != "E")
        return std::nullopt;
    JournalEntry entry;
    bool ok = false;
    entry.position = fields[1].toInt(&ok);
    if (!ok || !parseIdentityFields(fields, 2, entry.identity))
        return std::nullopt;
    const auto oldPath = record.path(fields, 5);
    const auto tempPath = record.path(fields[5], fields[7]);
    const auto newPath = record.path(fields, 8);
    if (!oldPath || !tempPath || !newPath)
        return std::nullopt;
    entry.oldPath = *oldPath;
    entry.tempPath = *tempPath;
    entry.newPath = *newPath;
    return entry;
}

} // namespace

RenameJournal::RenameJournal(QString folder)
    : m_folder(std::move(folder))
{
}

QString RenameJournal::path() const
{
    return m_folder + QLatin1Char('/') + kFileName;
}

bool RenameJournal::exists() const
{
    return FileOps().exists(QFile::encodeName(path()));
}

int RenameJournal::begin(const RenamePlan &plan, JournalKind kind)
{
    FileOps fs;
    if (const int error = fs.makeFolders(QFile::encodeName(m_folder)))
        return error;
    RecordWriter writer(kHeader);
    if (kind == JournalKind::Undo) {
        writer.beginRow('K');
        writer.addName(kUndoKind);
    }
    for (const PlannedRename &entry : plan.entries) {
        if (entry.heldBack())
            continue;
        writer.beginRow('E');
        writer.addNumber(entry.position);
        writer.addIdentity(entry.identity);
        writer.addPath(entry.oldPath);
        writer.addName(nativeNameOf(entry.tempPath));
        writer.addPath(entry.newPath);
    }
    return writeFileDurably(QFile::encodeName(path()), writer.text(), false);
}

void RenameJournal::mark(JournalMark mark, int position)
{
    // A lost mark costs nothing but a little certainty: recovery reads the
    // files' places on disk, and treats a copy it was not told of as a file
    // it must not touch.
    const int fd = ::open(QFile::encodeName(path()).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return;
    const QByteArray line = markLine(mark, position);
    if (::write(fd, line.constData(), size_t(line.size())) == line.size())
        ::fdatasync(fd);
    ::close(fd);
}

int RenameJournal::finish()
{
    const QByteArray native = QFile::encodeName(path());
    if (::unlink(native.constData()) != 0 && errno != ENOENT)
        return errno;
    return FileOps().syncFolder(QFile::encodeName(m_folder));
}

std::optional<JournalContent> RenameJournal::load(int *error) const
{
    const auto record = RecordFile::read(path(), kHeader, error);
    if (!record)
        return std::nullopt;
    JournalContent content;
    for (const QList<QByteArray> &fields : record->rows()) {
        if (fields == QList<QByteArray>{"K", kUndoKind}) {
            content.kind = JournalKind::Undo;
            continue;
        }
        const auto entry = parseEntry(*record, fields);
        if (!entry) {
            if (error)
                *error = EBADMSG;
            return std::nullopt;
        }
        content.entries.append(*entry);
    }
    // The last mark may have been cut by a crash; it is then ignored.
    for (const QByteArray &line : record->trailer()) {
        if (line == "PHASE1")
            content.firstPhaseDone = true;
        else if (line == "PHASE2")
            content.secondPhaseDone = true;
        else if (line.startsWith("COPY "))
            content.copying.insert(line.mid(5).toInt());
    }
    return content;
}

RenameLock::RenameLock(const QString &folder)
{
    if ((m_error = FileOps().makeFolders(QFile::encodeName(folder))) != 0)
        return;
    m_fd = ::open(QFile::encodeName(folder + QStringLiteral("/rename.lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(m_fd);
        m_fd = -1;
    }
}

RenameLock::~RenameLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void RenameJournal::removeUnfinishedWrites() const
{
    // The undo record is written the same way, beside the journal.
    const QStringList parts = QDir(m_folder).entryList({QStringLiteral("rename.*.part")}, QDir::Files | QDir::Hidden);
    for (const QString &part : parts)
        QFile::remove(m_folder + QLatin1Char('/') + part);
}

namespace {

// Where a position of a recovered journal ends.
enum class Place {
    Nowhere,
    Temporary,
    Old,
    New,
    OldOrNew, // both paths hold its file (hard links listed together)
};

} // namespace

RecoveryReport recoverFromJournal(const JournalContent &content, FileOps &fs, RenameJournal *journal)
{
    const QList<JournalEntry> &entries = content.entries;
    const qsizetype n = entries.size();
    RecoveryReport report;
    report.found = true;
    report.kind = content.kind;

    // Hard links listed together share one identity: a name holding it may
    // be another position's, so it proves nothing about this one.
    QHash<FileIdentity, int> listed;
    for (const JournalEntry &entry : entries) {
        if (entry.identity)
            ++listed[*entry.identity];
    }
    // A move made as a link and an unlink, cut between the two, leaves the
    // file under two names: the temporary one can go, nothing is lost.
    for (const JournalEntry &entry : entries) {
        if (!entry.identity || listed.value(*entry.identity) != 1 || fs.identity(entry.tempPath) != entry.identity)
            continue;
        if (fs.identity(entry.newPath) == entry.identity || fs.identity(entry.oldPath) == entry.identity)
            fs.removeFile(entry.tempPath);
    }
    // A copy to another file system cut short: a complete copy finishes the
    // move; anything else at the new path may be a partial copy or a file that
    // came meanwhile, so it stays and is reported, and the file goes back (or
    // stays back, when an earlier recovery already sent it).
    QSet<int> incomplete;
    for (const JournalEntry &entry : entries) {
        if (!content.copying.contains(entry.position) || !fs.exists(entry.newPath))
            continue;
        const bool atTemporary = fs.exists(entry.tempPath);
        const bool atOld = !atTemporary && entry.identity && fs.identity(entry.oldPath) == entry.identity;
        if (!atTemporary && !atOld)
            continue;
        if (atTemporary && fs.sameContent(entry.tempPath, entry.newPath)) {
            fs.removeFile(entry.tempPath);
        } else {
            incomplete.insert(entry.position);
            report.incompleteCopies.append(entry.newPath);
        }
    }

    QList<bool> atTemporary(n, false);
    QList<bool> goesBack(n, false);
    QMultiHash<QByteArray, qsizetype> byNewPath;
    QList<qsizetype> pending;
    for (qsizetype i = 0; i < n; ++i) {
        atTemporary[i] = fs.exists(entries[i].tempPath);
        if (!atTemporary[i])
            continue;
        byNewPath.insert(entries[i].newPath, i);
        if (fs.exists(entries[i].newPath)) {
            goesBack[i] = true;
            pending.append(i);
        }
    }
    // A file going back takes its old path, so whatever would move there goes back too.
    while (!pending.isEmpty()) {
        const QByteArray &taken = entries[pending.takeLast()].oldPath;
        for (auto it = byNewPath.constFind(taken); it != byNewPath.constEnd() && it.key() == taken; ++it) {
            if (!goesBack[*it]) {
                goesBack[*it] = true;
                pending.append(*it);
            }
        }
    }
    // The places of the files this recovery moves are known; the others are
    // read from the disk below.
    QList<Place> place(n, Place::Nowhere);
    QList<bool> moved(n, false);
    for (qsizetype i = n - 1; i >= 0; --i) {
        if (!atTemporary[i] || goesBack[i])
            continue;
        const JournalEntry &entry = entries[i];
        bool copied = false;
        AttributesLost lost;
        const int error = fs.move(entry.tempPath, entry.newPath, [&] {
            copied = true;
            if (journal)
                journal->mark(JournalMark::CopyStarted, entry.position);
        }, &lost);
        goesBack[i] = error != 0;
        if (error == 0) {
            place[i] = Place::New;
            moved[i] = true;
            if (copied && lost.any())
                report.attributesNotKept.append({entry.newPath, lost});
        }
    }
    for (qsizetype i = n - 1; i >= 0; --i) {
        if (!atTemporary[i] || !goesBack[i])
            continue;
        moved[i] = true;
        if (fs.renameNoReplace(entries[i].tempPath, entries[i].oldPath) == 0) {
            place[i] = Place::Old;
        } else {
            place[i] = Place::Temporary;
            report.leftAtTemporary.append(entries[i].tempPath);
        }
    }

    // Each path holds one position's file: a position whose file both its
    // paths hold is at the one no other position holds.
    QHash<QByteArray, qsizetype> holder;
    QMultiHash<QByteArray, qsizetype> undecided;
    for (qsizetype i = 0; i < n; ++i) {
        const JournalEntry &entry = entries[i];
        if (!moved[i]) {
            const auto atNew = fs.identity(entry.newPath);
            const bool atOld = entry.identity && fs.identity(entry.oldPath) == entry.identity;
            // A finished copy is a new file: known by its mark, and by the original being gone.
            const bool copied = atNew && !atOld && content.copying.contains(entry.position)
                && !incomplete.contains(entry.position);
            const bool renamed = (atNew && atNew == entry.identity) || copied;
            // Both paths of a file no other position shares name one entry
            // (a name given again, or in other letter case where case is ignored).
            if (fs.exists(entry.tempPath))
                place[i] = Place::Temporary;
            else if (renamed && atOld && listed.value(*entry.identity) > 1)
                place[i] = Place::OldOrNew;
            else if (renamed)
                place[i] = Place::New;
            else if (atOld)
                place[i] = Place::Old;
        }
        if (place[i] == Place::New)
            holder.insert(entry.newPath, i);
        if (place[i] == Place::Old)
            holder.insert(entry.oldPath, i);
        if (place[i] == Place::OldOrNew) {
            undecided.insert(entry.oldPath, i);
            undecided.insert(entry.newPath, i);
        }
    }
    QList<QByteArray> held = holder.keys();
    while (!held.isEmpty()) {
        const QByteArray path = held.takeLast();
        for (auto it = undecided.constFind(path); it != undecided.constEnd() && it.key() == path; ++it) {
            const qsizetype i = *it;
            if (place[i] != Place::OldOrNew)
                continue;
            const bool toNew = entries[i].oldPath == path;
            const QByteArray &other = toNew ? entries[i].newPath : entries[i].oldPath;
            if (holder.contains(other))
                continue;
            place[i] = toNew ? Place::New : Place::Old;
            holder.insert(other, i);
            held.append(other);
        }
    }

    for (qsizetype i = 0; i < n; ++i) {
        const JournalEntry &entry = entries[i];
        switch (place[i]) {
        case Place::New: {
            ++report.atNew;
            JournalEntry renamed = entry;
            renamed.identity = fs.identity(entry.newPath);
            report.renamed.append(renamed);
            break;
        }
        case Place::Old:
        case Place::OldOrNew:
            ++report.atOld;
            break;
        case Place::Nowhere:
            // A file already gone when the run was planned was never moved.
            if (entry.identity)
                report.missing.append(entry);
            break;
        case Place::Temporary:
            break;
        }
    }
    return report;
}

} // namespace tarvello::files
