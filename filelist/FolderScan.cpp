#include "filelist/FolderScan.h"

#include "common/FolderNames.h"
#include "common/LargePages.h"
#include "common/NameOrder.h"
#include "common/NativePath.h"
#include "common/Zub.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvello::filelist {

namespace {

enum class Kind : quint8 { File, Folder, Skipped };

// The folders a scan has listed, by device and inode, so that a folder
// reached twice (a bind mount inside itself) is listed once.
using SeenFolders = QSet<std::pair<quint64, quint64>>;

qint64 changeTime(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// What an entry is, from the type the listing gives and, when it gives none
// or a link, from the file system. Links to files and dangling links are
// files, as the file view shows them; links to folders are skipped.
Kind kindOf(int folderFd, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return Kind::File;
    }
    struct stat st {};
    if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Skipped; // gone between the listing and the look
    if (!S_ISLNK(st.st_mode))
        return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::File;
    if (::fstatat(folderFd, entry->d_name, &st, 0) != 0)
        return Kind::File;
    return S_ISDIR(st.st_mode) ? Kind::Skipped : Kind::File;
}

} // namespace

// One folder as it was read: which folder, when it last changed, its entries
// but "." and "..", each marked when its name is not text. The names stay
// bytes in one block: a folder of 100,000 files costs a few allocations, and
// only the names a scan takes are made text.
struct FolderListings::Listing {
    struct Entry {
        qint32 name; // its place among the names
        Kind kind;
        bool text;
    };
    quint64 device = 0;
    quint64 inode = 0;
    qint64 changed = 0;
    std::vector<Entry> entries;
    // Every name the folder held, those passed over above included.
    common::FolderNames names;
    // False when the folder ignores case or its reading was cut short: then
    // its names cannot tell that a name is free.
    bool namesComplete = false;

    QByteArrayView bytes(const Entry &entry) const { return names.name(entry.name); }
};

namespace {

using Listing = FolderListings::Listing;

// Reads the folder whole; null when it cannot be listed.
std::unique_ptr<Listing> readFolder(const QString &folder)
{
    DIR *dir = ::opendir(common::NativePath::fromText(folder).c_str());
    if (!dir)
        return {};
    const int fd = ::dirfd(dir);
    auto listing = std::make_unique<Listing>();
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::closedir(dir);
        return {};
    }
    listing->device = quint64(st.st_dev);
    listing->inode = quint64(st.st_ino);
    listing->changed = changeTime(st);
    common::FolderNames &names = listing->names;
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            complete = errno == 0;
            break;
        }
        if (common::isDotOrDotDot(entry->d_name))
            continue;
        const QByteArrayView bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        const auto place = qint32(names.insert(bytes));
        const Kind kind = kindOf(fd, entry);
        if (kind == Kind::Skipped)
            continue;
        if (kind != Kind::Folder && isRenameTemporaryName(bytes))
            continue;
        listing->entries.push_back({place, kind, common::isAscii(bytes) || isTextName(bytes.toByteArray())});
    }
    // A listing cut short cannot tell that a name is free.
    const std::optional<QByteArray> other = names.caseProbe();
    listing->namesComplete = complete && !(other && ::fstatat(fd, other->constData(), &st, AT_SYMLINK_NOFOLLOW) == 0);
    ::closedir(dir);
    return listing;
}

// The name's text, as QFile::decodeName reads it, written over into: a scan
// reads the text of every name, most of them plain ASCII, in one buffer.
const QString &textInto(QByteArrayView bytes, QString &into)
{
    if (!common::isAscii(bytes)) {
        into = common::NativePath::fromBytes(bytes.toByteArray()).text();
        return into;
    }
    into.resize(bytes.size());
    std::copy(bytes.cbegin(), bytes.cend(), reinterpret_cast<char16_t *>(into.data()));
    return into;
}

// True the first time a scan meets this folder.
bool firstVisit(SeenFolders &seen, const Listing &listing)
{
    const std::pair<quint64, quint64> identity{listing.device, listing.inode};
    if (seen.contains(identity))
        return false;
    seen.insert(identity);
    return true;
}

QString childPath(const QString &folder, const QString &name)
{
    return common::ZubQualifyPath(folder) + name;
}

QString textOf(QByteArrayView bytes)
{
    QString text;
    return textInto(bytes, text);
}

// A name with the text it is ordered by (the file view's name order) and its
// bytes in the listing read. Its own text is made once the names are in
// order: the keys of one folder then lie together, and the next folder's
// take their room again rather than fresh pages.
struct OrderedName {
    QString order;
    QByteArrayView raw;
    bool text;
};

OrderedName ordered(const QString &name, QByteArrayView raw, bool text)
{
    return {common::nameCollationKey(name), raw, text};
}

void sortByName(std::vector<OrderedName> &names)
{
    std::sort(names.begin(), names.end(), [](const OrderedName &a, const OrderedName &b) {
        if (a.order != b.order)
            return a.order < b.order;
        // Numbers that differ only in leading zeros; names that are text
        // tell files apart by themselves, before those that are not.
        const QString nameA = textOf(a.raw);
        const QString nameB = textOf(b.raw);
        const int byKey = common::compareSortKeys(common::nameSortKey(nameA), common::nameSortKey(nameB));
        if (byKey != 0)
            return byKey < 0;
        if (nameA != nameB)
            return nameA < nameB;
        return (a.text ? QByteArray() : a.raw.toByteArray()) < (b.text ? QByteArray() : b.raw.toByteArray());
    });
}

} // namespace

bool isTextName(const QByteArray &nativeName)
{
    // Plain ASCII, most names, always comes back the same.
    if (common::isAscii(nativeName))
        return true;
    return common::NativePath::fromBytes(nativeName).textIsExact();
}

bool isRenameTemporaryName(QByteArrayView nativeName)
{
    static constexpr QByteArrayView start = "tmp_Tarv_";
    if (!nativeName.startsWith(start))
        return false;
    qsizetype i = start.size();
    while (i < nativeName.size() && nativeName[i] == '_')
        ++i;
    const qsizetype digits = i;
    while (i < nativeName.size() && nativeName[i] >= '0' && nativeName[i] <= '9')
        ++i;
    return i > digits && (i == nativeName.size() || nativeName[i] == '_');
}

FolderListings::FolderListings() = default;
FolderListings::~FolderListings() = default;

void FolderListings::keep(const QString &folder, std::unique_ptr<Listing> listing)
{
    m_listings[folder] = std::move(listing);
}

std::unique_ptr<FolderListings::Listing> FolderListings::takeUnchanged(const QString &folder)
{
    const auto at = m_listings.find(folder);
    if (at == m_listings.end())
        return {};
    std::unique_ptr<Listing> listing = std::move(at->second);
    m_listings.erase(at);
    struct stat st {};
    if (::stat(common::NativePath::fromText(folder).c_str(), &st) != 0 || quint64(st.st_dev) != listing->device
        || quint64(st.st_ino) != listing->inode || changeTime(st) != listing->changed)
        return {};
    return listing;
}

FolderTally countFiles(const QString &folder, bool recursive, const DisplayFilter &filter, const ScanBreak &pause,
                       FolderListings *keep)
{
    FolderTally tally;
    tally.recursive = recursive;
    SeenFolders seen;
    std::vector<QString> pending{folder};
    QString name;
    while (!pending.empty() && !tally.stopped) {
        const QString current = std::move(pending.back());
        pending.pop_back();
        std::unique_ptr<Listing> listing = readFolder(current);
        if (!listing || !firstVisit(seen, *listing))
            continue;
        for (const Listing::Entry &entry : listing->entries) {
            const QByteArrayView bytes = listing->bytes(entry);
            if (bytes.startsWith('.'))
                continue;
            ++tally.entries;
            if (entry.kind == Kind::Folder) {
                if (recursive && entry.text)
                    pending.push_back(childPath(current, textInto(bytes, name)));
            } else if (filter.matches(textInto(bytes, name))) {
                ++tally.files;
            }
            tally.stopped = !pause(tally.files);
            if (tally.stopped)
                break;
        }
        if (keep)
            keep->keep(current, std::move(listing));
    }
    return tally;
}

ListedFiles::ListedFiles(Match match)
    : m_match(match)
{
}

void ListedFiles::addEntries(const QList<FileEntry> &entries)
{
    m_keys.reserve(m_keys.size() + entries.size());
    for (const FileEntry &entry : entries)
        add(entry.nativePath());
}

QByteArray ListedFiles::key(const common::NativePath &path) const
{
    return m_match == Match::Name ? path.name().bytes() : path.bytes();
}

void ListedFiles::add(const common::NativePath &path)
{
    m_keys.insert(key(path));
}

bool ListedFiles::takeIfNew(const common::NativePath &path)
{
    if (m_match == Match::Name)
        return !holds(path);
    const qsizetype before = m_keys.size();
    m_keys.insert(path.bytes());
    return m_keys.size() != before;
}

bool ListedFiles::takeIfNew(QByteArrayView folder, QByteArrayView name)
{
    if (m_match == Match::Name)
        return m_keys.isEmpty() || !m_keys.contains(QByteArray::fromRawData(name.data(), name.size()));
    QByteArray path;
    path.reserve(folder.size() + name.size());
    path.append(folder).append(name);
    const qsizetype before = m_keys.size();
    m_keys.insert(path);
    return m_keys.size() != before;
}

bool ListedFiles::holds(const common::NativePath &path) const
{
    return !m_keys.isEmpty() && m_keys.contains(key(path));
}

CollectedFiles collectFiles(const QStringList &startFolders, const DisplayFilter &filter, ListedFiles &listed,
                            const ScanBreak &pause, FolderListings *kept, qsizetype expected)
{
    CollectedFiles collected;
    if (expected > 0) {
        collected.files.reserve(expected);
        common::offerHugePages(collected.files.constData(), size_t(expected) * sizeof(CollectedFiles::File));
    }
    SeenFolders seen;
    std::vector<OrderedName> files;
    std::vector<OrderedName> folders;
    QString name;
    for (const QString &start : startFolders) {
        std::deque<QString> pending{start};
        while (!pending.empty()) {
            const QString head = std::move(pending.front());
            pending.pop_front();
            std::unique_ptr<Listing> listing = kept ? kept->takeUnchanged(head) : nullptr;
            if (!listing)
                listing = readFolder(head);
            if (!listing || !firstVisit(seen, *listing))
                continue;
            files.clear();
            folders.clear();
            for (const Listing::Entry &entry : listing->entries) {
                const QByteArrayView bytes = listing->bytes(entry);
                if (entry.kind != Kind::File) {
                    if (entry.text)
                        folders.push_back(ordered(textInto(bytes, name), bytes, true));
                    else
                        collected.notText.append(childPath(head, textInto(bytes, name)));
                } else if (filter.matches(textInto(bytes, name))) {
                    files.push_back(ordered(name, bytes, entry.text));
                    ++collected.found;
                }
                collected.stopped = !pause(collected.found);
                if (collected.stopped)
                    return collected;
            }
            sortByName(files);
            const QString prefix = common::ZubQualifyPath(head);
            const QByteArray nativePrefix = QFile::encodeName(prefix);
            // As the entry of the path would read it: the folder part of a
            // path is the same text whatever name follows its "/".
            const auto folder = qint32(collected.folders.size());
            if (!files.empty())
                collected.folders.append(QFile::decodeName(nativePrefix).chopped(1));
            for (const OrderedName &file : files) {
                if (!listed.takeIfNew(nativePrefix, file.raw))
                    continue;
                if (!file.text)
                    collected.notTextNames.insert(collected.files.size(), file.raw.toByteArray());
                collected.files.append({textOf(file.raw), folder});
            }
            if (listing->namesComplete)
                collected.folderNames.push_back({nativePrefix.size() > 1 ? nativePrefix.chopped(1) : nativePrefix,
                                                 listing->changed, std::move(listing->names)});
            sortByName(folders);
            for (const OrderedName &folder : folders)
                pending.push_back(prefix + textOf(folder.raw));
        }
    }
    return collected;
}

} // namespace tarvello::filelist
