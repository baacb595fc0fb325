#include "rename/LiveConflicts.h"

#include "common/FreeInBackground.h"
#include "common/LargePages.h"
#include "common/NativePath.h"
#include "rename/RenamePlan.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <bitset>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <climits>

namespace tarvello::rename {

namespace {

// A folder changed in the same tick of the file system's clock as its
// reading keeps its stamp: such a listing is read again until that tick is
// well past.
constexpr qint64 kStampTick = 2'000'000'000;

// Listing a folder always beats looking up its names one by one here: every
// key press asks for all of them.
constexpr qsizetype kManyLookups = std::numeric_limits<qsizetype>::max() / 1024;

} // namespace

FolderListings::FolderListings(FileOps &fs)
    : m_fs(fs)
{
}

const common::FolderNames *FolderListings::names(const QByteArray &folder)
{
    const std::optional<FolderStamp> stamp = m_fs.folderStamp(folder);
    if (!stamp) {
        m_listings.remove(folder);
        return nullptr;
    }
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end() || listing->stamp != *stamp
        || (!listing->kept && qMax(stamp->modified, stamp->changed) > listing->listedAt - kStampTick)) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
        listing = m_listings.insert(folder, Listing{*stamp, now, m_fs.folderNames(folder, kManyLookups)});
    }
    listing->kept = false;
    return listing->names ? &*listing->names : nullptr;
}

void FolderListings::forget()
{
    common::freeInBackground(std::exchange(m_listings, {}));
}

void FolderListings::keep(const QByteArray &folder, qint64 modified, common::FolderNames names, qint64 readFrom)
{
    const std::optional<FolderStamp> stamp = m_fs.folderStamp(folder);
    if (stamp && stamp->modified == modified)
        m_listings.insert(folder, Listing{*stamp, readFrom, std::move(names), true});
}

void FolderListings::settle()
{
    m_listings.removeIf([](const auto &listing) { return listing.value().kept; });
}

namespace {

// Bytes that are ASCII and not NUL, from which a case key is made piece by piece.
bool isPlain(QByteArrayView bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return c != 0 && uchar(c) < 0x80; });
}

// The bytes of a name that is ASCII text with no folder separator of either
// kind and no "$" (of "$MKDIR"), upper case when asked: the path of such a
// name is its folder's bytes followed by these. False for any other name.
bool plainBytes(const QString &name, QByteArray &bytes, bool upper)
{
    bytes.resize(name.size());
    char *out = bytes.data();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == u'/' || u == u'\\' || u == u'$')
            return false;
        *out++ = char(upper && u >= u'a' && u <= u'z' ? u - (u'a' - u'A') : u);
    }
    return true;
}

// Folders (their bytes up to the last "/", included) numbered as met.
class FolderIds
{
public:
    qint32 id(const QByteArray &folder)
    {
        const auto known = m_ids.constFind(folder);
        if (known != m_ids.constEnd())
            return *known;
        const auto id = qint32(m_folders.size());
        m_ids.insert(folder, id);
        m_folders.append(folder);
        return id;
    }
    qint32 find(const QByteArray &folder) const { return m_ids.value(folder, -1); }
    const QByteArray &folder(qint32 id) const { return m_folders.at(id); }
    qsizetype size() const { return m_folders.size(); }

private:
    QHash<QByteArray, qint32> m_ids;
    QList<QByteArray> m_folders;
};

// A path cut after its last "/".
struct SplitPath {
    QByteArray folder;
    QByteArray name;
};

SplitPath split(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return {path.left(slash + 1), path.mid(slash + 1)};
}

// The first row of each case key of the new paths. A key is the path's case
// key cut after its last "/", its folder part numbered and its name part kept
// in one buffer for all: a million keys take a few allocations, not a million.
class FirstWithKey
{
public:
    explicit FirstWithKey(qsizetype rows)
    {
        size_t capacity = 16;
        while (capacity < size_t(2 * rows))
            capacity *= 2;
        m_slots.assign(capacity, -1);
        m_mask = capacity - 1;
        // Most rows are renamed, each with a key of its own, most keys a
        // name of a few tens of bytes.
        m_keys.reserve(size_t(rows));
        m_names.reserve(size_t(rows) * 24);
    }

    // The first row given this key: the row itself when the key is new.
    qsizetype insert(qsizetype row, qint32 folder, QByteArrayView name)
    {
        const size_t hash = qHashMulti(0, folder, name);
        qint32 &slot = m_slots[probe(hash, folder, name)];
        if (slot >= 0)
            return m_keys[size_t(slot)].row;
        slot = qint32(m_keys.size());
        m_keys.push_back({qsizetype(m_names.size()), hash, qint32(name.size()), qint32(row), folder});
        m_names.insert(m_names.end(), name.cbegin(), name.cend());
        return row;
    }

    // The first row given this key, or -1.
    qsizetype find(qint32 folder, QByteArrayView name) const
    {
        if (folder < 0)
            return -1;
        const qint32 slot = m_slots[probe(qHashMulti(0, folder, name), folder, name)];
        return slot < 0 ? -1 : m_keys[size_t(slot)].row;
    }

private:
    struct Key {
        qsizetype offset;
        size_t hash;
        qint32 length;
        qint32 row;
        qint32 folder;
    };

    // The slot holding the key, or the empty slot where it would go.
    size_t probe(size_t hash, qint32 folder, QByteArrayView name) const
    {
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const qint32 slot = m_slots[at];
            if (slot < 0)
                return at;
            const Key &key = m_keys[size_t(slot)];
            if (key.hash == hash && key.folder == folder
                && QByteArrayView(m_names.data() + key.offset, key.length) == name)
                return at;
        }
    }

    // Fresh tables of a few megabytes each time the list changes: offered as
    // huge pages, they cost a fault or two rather than one a 4 KB page.
    template<typename T>
    using Table = std::vector<T, common::LargePageAllocator<T>>;

    Table<qint32> m_slots;
    size_t m_mask = 0;
    Table<Key> m_keys;
    Table<char> m_names;
};

} // namespace

ConflictCheck checkConflicts(const QList<filelist::FileEntry> &entries, const NameRules &rules,
                             FolderListings &folders)
{
    const qsizetype n = entries.size();
    ConflictCheck check;
    check.statuses.fill(NameStatus::Fine, n);

    // Folder separators of a new name are no forbidden characters there.
    auto forbidden = std::make_unique<std::bitset<0x10000>>();
    for (const QChar c : rules.forbiddenCharacters) {
        if (c != QLatin1Char('/') && c != QLatin1Char('\\'))
            forbidden->set(c.unicode());
    }

    // Most rows are a plain name in a plain folder given another plain name:
    // their paths and keys are made of their folder's, made once a folder,
    // and their names' characters. Only the other rows build paths whole.
    FolderIds exactFolders;
    FolderIds keyFolders;
    std::vector<qint32> plainKeyOf; // by exact folder: its number among the keys when plain, else -1
    std::vector<qint32> oldFolder(size_t(n), -1);
    std::vector<bool> renamed(size_t(n), false);
    std::vector<bool> moves(size_t(n), false);
    QHash<qsizetype, QByteArray> wholeNewPath; // of the other rows
    FirstWithKey firstWithKey(n);
    const auto oldPathOf = [&](qsizetype i) {
        const filelist::FileEntry &entry = entries[i];
        return exactFolders.folder(oldFolder[size_t(i)])
            + (entry.nameIsText() ? QFile::encodeName(entry.name) : entry.notTextName);
    };
    QString folderText;
    QByteArray name;
    for (qsizetype i = 0; i < n; ++i) {
        const filelist::FileEntry &entry = entries[i];
        // The entries of one folder mostly share its text: most rows need
        // not compare it.
        const bool sameFolder = i > 0
            && ((entry.folder.constData() == folderText.constData() && entry.folder.size() == folderText.size())
                || entry.folder == folderText);
        if (!sameFolder) {
            folderText = entry.folder;
            const QByteArray bytes = QFile::encodeName(folderText + QLatin1Char('/'));
            const qint32 exact = exactFolders.id(bytes);
            if (size_t(exact) >= plainKeyOf.size())
                plainKeyOf.resize(size_t(exact) + 1, -1);
            plainKeyOf[size_t(exact)] = isPlain(bytes) ? keyFolders.id(bytes.toUpper()) : -1;
            oldFolder[size_t(i)] = exact;
        } else {
            oldFolder[size_t(i)] = oldFolder[size_t(i) - 1];
        }
        const QString &newName = entry.newName;
        if (rules.notRenamed.contains(newName))
            continue;
        renamed[size_t(i)] = true;
        qsizetype first = i;
        const qint32 plainKey = plainKeyOf[size_t(oldFolder[size_t(i)])];
        if (plainKey >= 0 && plainBytes(newName, name, true)) {
            if (name.isEmpty() || name == "." || name == ".." || name.size() > NAME_MAX || name.contains('\0'))
                check.statuses[i] = NameStatus::Invalid;
            // An ASCII new name has the bytes of an old name only when it is the same text.
            moves[size_t(i)] = !entry.nameIsText() || (entry.name != newName && (common::isAscii(entry.name) || QFile::encodeName(entry.name) != QFile::encodeName(newName)));
            first = firstWithKey.insert(i, plainKey, name);
        } else {
            const QByteArray oldPath = oldPathOf(i);
            const qsizetype folderSize = exactFolders.folder(oldFolder[size_t(i)]).size();
            // A name holding a "/" would cut the old path elsewhere.
            const PathPair pair = oldPath.lastIndexOf('/') + 1 == folderSize ? pathPairFor(oldPath, entry) : pathPairFor(entry);
            if (pair.preset != Conflict::None || !validTarget(pair.newPath))
                check.statuses[i] = NameStatus::Invalid;
            moves[size_t(i)] = pair.newPath != pair.oldPath;
            const SplitPath key = split(caseKey(pair.newPath));
            first = firstWithKey.insert(i, keyFolders.id(key.folder), key.name);
            wholeNewPath.insert(i, pair.newPath);
        }
        if (check.statuses[i] == NameStatus::Fine
            && std::any_of(newName.cbegin(), newName.cend(), [&](QChar c) { return forbidden->test(c.unicode()); }))
            check.statuses[i] = NameStatus::Forbidden;
        if (first == i)
            continue;
        for (const qsizetype same : {i, first}) {
            if (check.statuses[same] == NameStatus::Fine)
                check.statuses[same] = NameStatus::Duplicate;
        }
    }

    // The new path of a renamed row: its folder's number and its name's bytes.
    const auto newPathOf = [&](qsizetype i) -> std::pair<qint32, QByteArray> {
        const auto whole = wholeNewPath.constFind(i);
        if (whole == wholeNewPath.constEnd()) {
            plainBytes(entries[i].newName, name, false);
            return {oldFolder[size_t(i)], name};
        }
        const SplitPath path = split(*whole);
        return {exactFolders.id(path.folder), path.name};
    };

    // Rows come folder after folder: each folder's names are asked for once.
    std::vector<std::optional<const common::FolderNames *>> listings;
    QSet<std::pair<qint32, QByteArray>> takenOnDisk;
    for (qsizetype i = 0; i < n; ++i) {
        if (!renamed[size_t(i)] || !moves[size_t(i)] || check.statuses[i] != NameStatus::Fine)
            continue;
        auto target = newPathOf(i);
        if (size_t(target.first) >= listings.size())
            listings.resize(size_t(exactFolders.size()));
        std::optional<const common::FolderNames *> &listing = listings[size_t(target.first)];
        if (!listing) {
            const QByteArray &bytes = exactFolders.folder(target.first);
            listing = folders.names(bytes.size() > 1 ? bytes.chopped(1) : bytes);
        }
        if (*listing && (*listing)->contains(target.second))
            takenOnDisk.insert(std::move(target));
    }
    // A name on the disk is free when the file holding it moves away; only
    // the few names found taken are asked of the rows' old paths.
    if (!takenOnDisk.isEmpty()) {
        for (qsizetype j = 0; j < n; ++j) {
            if (!renamed[size_t(j)] || !moves[size_t(j)])
                continue;
            if (entries[j].nameIsText() && plainBytes(entries[j].name, name, false)) {
                takenOnDisk.remove({oldFolder[size_t(j)], name});
            } else {
                const SplitPath old = split(oldPathOf(j));
                takenOnDisk.remove({exactFolders.find(old.folder), old.name});
            }
        }
        for (qsizetype i = 0; i < n; ++i) {
            if (renamed[size_t(i)] && check.statuses[i] == NameStatus::Fine && takenOnDisk.contains(newPathOf(i)))
                check.statuses[i] = NameStatus::OnDisk;
        }
    }

    // A row that cannot move keeps its path taken, and so on down the chain.
    // Of the rows sharing a new path only the first can still be fine: the
    // others are duplicates.
    QList<qsizetype> pending;
    for (qsizetype i = 0; i < n; ++i) {
        if (check.statuses[i] != NameStatus::Fine)
            pending.append(i);
    }
    while (!pending.isEmpty()) {
        const qsizetype row = pending.takeLast();
        const qint32 plainKey = plainKeyOf[size_t(oldFolder[size_t(row)])];
        qsizetype blocked = -1;
        if (plainKey >= 0 && entries[row].nameIsText() && plainBytes(entries[row].name, name, true)) {
            blocked = firstWithKey.find(plainKey, name);
        } else {
            const SplitPath key = split(caseKey(oldPathOf(row)));
            blocked = firstWithKey.find(keyFolders.find(key.folder), key.name);
        }
        if (blocked >= 0 && check.statuses[blocked] == NameStatus::Fine) {
            check.statuses[blocked] = NameStatus::Blocked;
            pending.append(blocked);
        }
    }
    for (const NameStatus status : check.statuses)
        check.count += status == NameStatus::Fine ? 0 : 1;
    folders.settle();
    return check;
}

} // namespace tarvello::rename
