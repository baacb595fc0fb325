#include "rename/LiveConflicts.h"

#include "rename/RenamePlan.h"

#include <QDateTime>

#include <algorithm>
#include <bitset>
#include <limits>
#include <memory>

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

const QSet<QByteArray> *FolderListings::names(const QByteArray &folder)
{
    const std::optional<FolderStamp> stamp = m_fs.folderStamp(folder);
    if (!stamp) {
        m_listings.remove(folder);
        return nullptr;
    }
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end() || listing->stamp != *stamp
        || qMax(stamp->modified, stamp->changed) > listing->listedAt - kStampTick) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
        listing = m_listings.insert(folder, Listing{*stamp, now, m_fs.folderNames(folder, kManyLookups)});
    }
    return listing->names ? &*listing->names : nullptr;
}

void FolderListings::forget()
{
    m_listings.clear();
}

ConflictCheck checkConflicts(const QList<filelist::FileEntry> &entries, const NameRules &rules,
                             FolderListings &folders)
{
    const qsizetype n = entries.size();
    ConflictCheck check;
    check.statuses.fill(NameStatus::Fine, n);
    const QList<PathPair> pairs = pathPairsFor(entries);

    // Folder separators of a new name are no forbidden characters there.
    auto forbidden = std::make_unique<std::bitset<0x10000>>();
    for (const QChar c : rules.forbiddenCharacters) {
        if (c != QLatin1Char('/') && c != QLatin1Char('\\'))
            forbidden->set(c.unicode());
    }

    // Rows that stay take no new path, and their old path stays taken.
    QList<bool> renamed(n, false);
    for (qsizetype i = 0; i < n; ++i) {
        const QString &newName = entries[i].newName;
        if (rules.notRenamed.contains(newName))
            continue;
        renamed[i] = true;
        if (pairs[i].preset != Conflict::None || !validTarget(pairs[i].newPath))
            check.statuses[i] = NameStatus::Invalid;
        else if (std::any_of(newName.cbegin(), newName.cend(), [&](QChar c) { return forbidden->test(c.unicode()); }))
            check.statuses[i] = NameStatus::Forbidden;
    }

    // The tables hold views of the keys and paths, which stay put until the
    // end: a check of a whole list copies and frees no key.
    QList<QByteArray> newKeys(n);
    QHash<QByteArrayView, qsizetype> firstWithKey;
    firstWithKey.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        if (!renamed[i])
            continue;
        newKeys[i] = caseKey(pairs[i].newPath);
        const auto first = firstWithKey.constFind(newKeys[i]);
        if (first == firstWithKey.constEnd()) {
            firstWithKey.insert(newKeys[i], i);
            continue;
        }
        for (const qsizetype same : {i, *first}) {
            if (check.statuses[same] == NameStatus::Fine)
                check.statuses[same] = NameStatus::Duplicate;
        }
    }

    // Rows come folder after folder: the last folder's names are asked first.
    QHash<QByteArray, const QSet<QByteArray> *> listed;
    QByteArray lastFolder;
    const QSet<QByteArray> *lastNames = nullptr;
    QSet<QByteArrayView> takenOnDisk;
    for (qsizetype i = 0; i < n; ++i) {
        const QByteArray &newPath = pairs[i].newPath;
        if (!renamed[i] || check.statuses[i] != NameStatus::Fine || newPath == pairs[i].oldPath)
            continue;
        const qsizetype slash = newPath.lastIndexOf('/');
        const QByteArrayView folder(newPath.constData(), qMax<qsizetype>(slash, 0));
        if (folder != QByteArrayView(lastFolder) || i == 0) {
            lastFolder = nativeFolderOf(newPath);
            auto known = listed.constFind(lastFolder);
            if (known == listed.constEnd())
                known = listed.insert(lastFolder, folders.names(lastFolder));
            lastNames = *known;
        }
        if (lastNames && lastNames->contains(QByteArray::fromRawData(newPath.constData() + slash + 1, newPath.size() - slash - 1)))
            takenOnDisk.insert(newPath);
    }
    // A name on the disk is free when the file holding it moves away; only
    // the few names found taken are asked of the rows' old paths.
    if (!takenOnDisk.isEmpty()) {
        for (qsizetype j = 0; j < n; ++j) {
            if (renamed[j] && pairs[j].newPath != pairs[j].oldPath)
                takenOnDisk.remove(pairs[j].oldPath);
        }
        for (qsizetype i = 0; i < n; ++i) {
            if (renamed[i] && check.statuses[i] == NameStatus::Fine && takenOnDisk.contains(pairs[i].newPath))
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
        const auto blocked = firstWithKey.constFind(caseKey(pairs[pending.takeLast()].oldPath));
        if (blocked != firstWithKey.constEnd() && check.statuses[*blocked] == NameStatus::Fine) {
            check.statuses[*blocked] = NameStatus::Blocked;
            pending.append(*blocked);
        }
    }
    for (const NameStatus status : check.statuses)
        check.count += status == NameStatus::Fine ? 0 : 1;
    return check;
}

} // namespace tarvello::rename
