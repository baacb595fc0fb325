#include "rename/RenameJournal.h"

#include "common/NativePath.h"
#include "rename/RecordFormat.h"
#include "rename/SideBySide.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <charconv>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::rename {

namespace {

const QByteArray kHeader = "TARVELLO RENAME JOURNAL 2";
const QString kFileName = QStringLiteral("rename.journal");
// The planner's temporary names begin with it.
const QByteArray kTemporaryStart = "tmp_Tarv";
// The row that tells an undo's journal from a rename's; a rename's has none.
const QByteArray kUndoKind = "undo";

QByteArray markText(JournalMark mark, int position)
{
    switch (mark) {
    case JournalMark::FirstPhaseDone:
        return "PHASE1";
    case JournalMark::CopyStarted:
        return "COPY " + QByteArray::number(position);
    case JournalMark::SecondPhaseDone:
        return "PHASE2";
    }
    return {};
}

// The planner names the temporary file of a position "tmp_Tarv", one or more
// "_", the position, then "_" and what is kept of the old name.
bool isTemporaryNameOf(QByteArrayView name, int position)
{
    if (!name.startsWith(kTemporaryStart))
        return false;
    qsizetype i = kTemporaryStart.size();
    if (i >= name.size() || name[i] != '_')
        return false;
    while (i < name.size() && name[i] == '_')
        ++i;
    char digits[12];
    const QByteArrayView number(digits, std::to_chars(digits, digits + sizeof digits, position).ptr - digits);
    name = name.sliced(i);
    return name.startsWith(number) && (name.size() == number.size() || name[number.size()] == '_');
}

QByteArrayView folderPart(const QByteArray &path)
{
    return QByteArrayView(path).first(qMax<qsizetype>(lastSlash(path), 0));
}

QByteArrayView namePart(const QByteArray &path)
{
    return QByteArrayView(path).sliced(lastSlash(path) + 1);
}

// The paths of a journal row "E position identity oldFolder oldName tempName
// newFolder newName": the temporary name lies in the old path's folder.
struct RowPaths {
    std::optional<QByteArray> oldPath;
    std::optional<QByteArray> tempPath;
    std::optional<QByteArray> newPath;
};

RowPaths rowPaths(const RecordFile &record, const QList<QByteArray> &fields)
{
    if (fields.size() != 10 || fields[0] != "E")
        return {};
    return {record.path(fields, 5), record.path(fields[5], fields[7]), record.path(fields, 8)};
}

std::optional<JournalEntry> parseEntry(const RecordFile &record, const QList<QByteArray> &fields)
{
    const RowPaths paths = rowPaths(record, fields);
    if (!paths.oldPath || !paths.tempPath || !paths.newPath)
        return std::nullopt;
    JournalEntry entry;
    const auto position = parseCount(fields[1]);
    if (!position || !parseIdentityFields(fields, 2, entry.identity))
        return std::nullopt;
    entry.position = *position;
    entry.oldPath = *paths.oldPath;
    entry.tempPath = *paths.tempPath;
    entry.newPath = *paths.newPath;
    return entry;
}

// Whether the entries are such as the planner makes: positions ascending,
// paths absolute and clean, each temporary path the planner's name for its
// position in its old path's folder, no old or new path given twice, and no
// temporary path that is also a file's old or new path. A journal that passes
// its checksum but not this was not written by this program. Temporary paths
// cannot repeat, as each names its position, and only an old or new path named
// like a temporary one can be one.
// The entries of a plan that run, or of a journal read back: the same checks
// for what is written and what is read.
template<typename Entries, typename Runs, typename TemporaryOf>
bool entriesHoldTogether(const Entries &entries, Runs runs, TemporaryOf temporaryOf)
{
    UniquePaths oldPaths(entries.size());
    UniquePaths newPaths(entries.size());
    UniquePaths lookalikes(0);
    int lastPosition = 0;
    for (const auto &entry : entries) {
        if (!runs(entry))
            continue;
        const QByteArray &tempPath = temporaryOf(entry);
        if (entry.position <= lastPosition || !isCleanAbsolutePath(entry.oldPath) || !isCleanAbsolutePath(entry.newPath)
            || folderPart(tempPath) != folderPart(entry.oldPath)
            || !isTemporaryNameOf(namePart(tempPath), entry.position)
            || !oldPaths.add(entry.oldPath) || !newPaths.add(entry.newPath))
            return false;
        lastPosition = entry.position;
        for (const QByteArray *path : {&entry.oldPath, &entry.newPath}) {
            if (namePart(*path).startsWith(kTemporaryStart))
                lookalikes.add(*path);
        }
    }
    if (!lookalikes.isEmpty()) {
        for (const auto &entry : entries) {
            if (runs(entry) && lookalikes.contains(temporaryOf(entry)))
                return false;
        }
    }
    return true;
}

bool entriesHoldTogether(const QList<JournalEntry> &entries)
{
    return entriesHoldTogether(entries, [](const JournalEntry &) { return true; },
                               [](const JournalEntry &entry) -> const QByteArray & { return entry.tempPath; });
}

// Reads the marks into the content; false for a mark this program does not write.
bool readMarks(const QList<QByteArray> &marks, JournalContent &content)
{
    QSet<int> positions;
    for (const JournalEntry &entry : std::as_const(content.entries))
        positions.insert(entry.position);
    for (const QByteArray &mark : marks) {
        if (mark == "PHASE1") {
            content.firstPhaseDone = true;
        } else if (mark == "PHASE2") {
            content.secondPhaseDone = true;
        } else if (mark.startsWith("COPY ")) {
            const auto position = parseCount(mark.mid(5));
            if (!position || !positions.contains(*position))
                return false;
            content.copying.insert(*position);
        } else {
            return false;
        }
    }
    return true;
}

// A mark cut short by a crash would run into the next one, so it goes first.
// Marks are short: a longer tail without a line end is no mark.
void dropTornMark(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size == 0)
        return;
    char tail[64];
    const off_t from = status.st_size > off_t(sizeof tail) ? status.st_size - off_t(sizeof tail) : 0;
    const ssize_t got = ::pread(fd, tail, size_t(status.st_size - from), from);
    if (got <= 0 || tail[got - 1] == '\n')
        return;
    for (ssize_t i = got - 1; i >= 0; --i) {
        if (tail[i] == '\n') {
            if (::ftruncate(fd, from + i + 1) == 0)
                ::fdatasync(fd);
            return;
        }
    }
}

// The names in a folder, as bytes; empty when it cannot be read.
QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir))
        names.append(QByteArray(entry->d_name));
    ::closedir(dir);
    return names;
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
    return FileOps().exists(common::NativePath::fromText(path()).bytes());
}

int RenameJournal::begin(const RenamePlan &plan, JournalKind kind)
{
    const auto runs = [](const PlannedRename &entry) { return !entry.heldBack(); };
    FileOps fs;
    if (const int error = fs.makeFolders(common::NativePath::fromText(m_folder).bytes()))
        return error;
    RecordWriter writer(kHeader);
    // Never a journal that its own reading would refuse: checked while its
    // text is made, both passes over every position.
    bool holdsTogether = false;
    // Each pass writes the temporary paths into a buffer of its own.
    sideBySide([&] {
                   QByteArray tempPath;
                   const auto temporaryOf = [&](const PlannedRename &entry) -> const QByteArray & {
                       plan.temporaryPath(entry, tempPath);
                       return tempPath;
                   };
                   holdsTogether = entriesHoldTogether(plan.entries, runs, temporaryOf);
               },
               [&] {
                   if (kind == JournalKind::Undo) {
                       writer.beginRow('K');
                       writer.addName(kUndoKind);
                   }
                   QByteArray tempPath;
                   for (const PlannedRename &entry : plan.entries) {
                       if (!runs(entry))
                           continue;
                       writer.beginRow('E');
                       writer.addNumber(entry.position);
                       writer.addIdentity(entry.identity);
                       writer.addPath(entry.oldPath);
                       plan.temporaryPath(entry, tempPath);
                       writer.addName(namePart(tempPath));
                       writer.addPath(entry.newPath);
                   }
               });
    if (!holdsTogether)
        return EINVAL;
    quint32 seal = 0;
    const QList<QByteArrayView> pieces = writer.pieces(&seal);
    const int error = writeFileDurably(common::NativePath::fromText(path()).bytes(), pieces, false);
    if (error == 0)
        m_seal = seal;
    return error;
}

void RenameJournal::mark(JournalMark mark, int position)
{
    // A lost mark costs nothing but a little certainty: recovery reads the
    // files' places on disk, and treats a copy it was not told of as a file
    // it must not touch.
    if (!m_seal && !load())
        return;
    const int fd = ::open(common::NativePath::fromText(path()).c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return;
    dropTornMark(fd);
    const QByteArray line = markLine(*m_seal, markText(mark, position));
    // Only a copy's mark must reach the disk before what it announces: a
    // phase mark is never what recovery goes by, and waiting for it would
    // write out every rename of the phase, one more wait for the disk a run.
    if (::write(fd, line.constData(), size_t(line.size())) == line.size() && mark == JournalMark::CopyStarted)
        ::fdatasync(fd);
    ::close(fd);
}

int RenameJournal::finish()
{
    const QByteArray native = common::NativePath::fromText(path()).bytes();
    if (::unlink(native.constData()) != 0 && errno != ENOENT)
        return errno;
    m_seal.reset();
    return FileOps().syncFolder(common::NativePath::fromText(m_folder).bytes());
}

JournalledMove moveToNewPath(FileOps &fs, const QByteArray &from, const QByteArray &to, int position,
                             RenameJournal *journal)
{
    JournalledMove move;
    move.error = fs.move(from, to, [&] {
        move.copied = true;
        if (journal)
            journal->mark(JournalMark::CopyStarted, position);
    }, &move.lost);
    return move;
}

std::optional<JournalContent> RenameJournal::load(int *error) const
{
    const auto record = RecordFile::read(path(), kHeader, RecordFile::Marks::Allowed, error);
    if (!record)
        return std::nullopt;
    JournalContent content;
    for (const QList<QByteArray> &fields : record->rows()) {
        // The kind, when there is one, comes before every entry.
        if (content.entries.isEmpty() && content.kind != JournalKind::Undo
            && fields == QList<QByteArray>{"K", kUndoKind}) {
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
    if (!entriesHoldTogether(content.entries) || !readMarks(record->marks(), content)) {
        if (error)
            *error = EBADMSG;
        return std::nullopt;
    }
    m_seal = record->seal();
    return content;
}

QList<FileToCheck> RenameJournal::filesToCheck(FileOps &fs) const
{
    const RecordFile record = RecordFile::salvage(path());
    QList<FileToCheck> temporary;
    QList<FileToCheck> renamed;
    QSet<QByteArray> found;
    for (const QList<QByteArray> &fields : record.rows()) {
        const RowPaths paths = rowPaths(record, fields);
        if (paths.tempPath && fs.exists(*paths.tempPath) && !found.contains(*paths.tempPath)) {
            found.insert(*paths.tempPath);
            temporary.append({*paths.tempPath, paths.oldPath.value_or(QByteArray()), true});
        }
        if (paths.oldPath && paths.newPath && *paths.newPath != *paths.oldPath && fs.exists(*paths.newPath)
            && !fs.exists(*paths.oldPath))
            renamed.append({*paths.newPath, *paths.oldPath, false});
    }
    // A row too damaged to name its temporary file still leaves it in one of
    // the journal's folders.
    for (const QByteArray &folder : record.folders()) {
        for (const QByteArray &name : namesIn(folder)) {
            const QByteArray path = folder + '/' + name;
            if (name.startsWith(kTemporaryStart) && !found.contains(path)) {
                found.insert(path);
                temporary.append({path, {}, true});
            }
        }
    }
    const auto byPath = [](const FileToCheck &a, const FileToCheck &b) { return a.path < b.path; };
    std::sort(temporary.begin(), temporary.end(), byPath);
    std::sort(renamed.begin(), renamed.end(), byPath);
    return temporary + renamed;
}

RenameLock::RenameLock(const QString &folder)
{
    if ((m_error = FileOps().makeFolders(common::NativePath::fromText(folder).bytes())) != 0)
        return;
    m_fd = ::open(common::NativePath::fromText(folder + QStringLiteral("/rename.lock")).c_str(),
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
        const JournalledMove move = moveToNewPath(fs, entry.tempPath, entry.newPath, entry.position, journal);
        goesBack[i] = move.error != 0;
        if (move.error == 0) {
            place[i] = Place::New;
            moved[i] = true;
            if (move.copied && move.lost.any())
                report.attributesNotKept.append({entry.newPath, move.lost});
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

} // namespace tarvello::rename
