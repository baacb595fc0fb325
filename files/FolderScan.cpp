#include "files/FolderScan.h"

#include "common/NameOrder.h"
#include "common/Zub.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvello::files {

namespace {

enum class Kind { File, Folder, Skipped };

// The folders a scan has listed, by device and inode, so that a folder
// reached twice (a bind mount inside itself) is listed once.
using SeenFolders = QSet<std::pair<quint64, quint64>>;

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
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

// Lists one folder, handing visit(name bytes, kind) every entry but "." and
// "..", until visit returns false. False when the folder cannot be listed or
// was listed before.
template<typename Visit>
bool readFolder(const QString &folder, SeenFolders &seen, Visit &&visit)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || seen.contains({quint64(st.st_dev), quint64(st.st_ino)})) {
        ::closedir(dir);
        return false;
    }
    seen.insert({quint64(st.st_dev), quint64(st.st_ino)});
    while (const dirent *entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name))
            continue;
        const Kind kind = kindOf(fd, entry);
        if (kind != Kind::Skipped && !visit(QByteArray::fromRawData(entry->d_name, qsizetype(std::strlen(entry->d_name))), kind))
            break;
    }
    ::closedir(dir);
    return true;
}

QString childPath(const QString &folder, const QString &name)
{
    return common::ZubQualifyPath(folder) + name;
}

// A name with the key the file view orders it by.
struct OrderedName {
    QString key;
    QString name;
    QByteArray bytes;
};

void sortByName(std::vector<OrderedName> &names)
{
    std::sort(names.begin(), names.end(), [](const OrderedName &a, const OrderedName &b) {
        return common::compareNames(a.key, a.name, a.bytes, b.key, b.name, b.bytes) < 0;
    });
}

} // namespace

bool isTextName(const QByteArray &nativeName)
{
    // Plain ASCII, most names, always comes back the same.
    if (std::all_of(nativeName.cbegin(), nativeName.cend(), [](char c) { return uchar(c) < 0x80; }))
        return true;
    return QFile::encodeName(QFile::decodeName(nativeName)) == nativeName;
}

FolderTally countFiles(const QString &folder, bool recursive, const DisplayFilter &filter, const ScanBreak &pause)
{
    FolderTally tally;
    tally.recursive = recursive;
    SeenFolders seen;
    std::vector<QString> pending{folder};
    while (!pending.empty() && !tally.stopped) {
        const QString current = std::move(pending.back());
        pending.pop_back();
        readFolder(current, seen, [&](const QByteArray &bytes, Kind kind) {
            if (bytes.startsWith('.'))
                return true;
            ++tally.entries;
            if (isTextName(bytes)) {
                const QString name = QFile::decodeName(bytes);
                if (kind == Kind::Folder) {
                    if (recursive)
                        pending.push_back(childPath(current, name));
                } else if (filter.matches(name)) {
                    ++tally.files;
                }
            }
            tally.stopped = !pause(tally.files);
            return !tally.stopped;
        });
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
        add(entry.path(), entry.name);
}

void ListedFiles::add(const QString &path, const QString &name)
{
    m_keys.insert(m_match == Match::Name ? name : path);
}

bool ListedFiles::takeIfNew(const QString &path, const QString &name)
{
    if (m_match == Match::Name)
        return !m_keys.contains(name);
    const qsizetype before = m_keys.size();
    m_keys.insert(path);
    return m_keys.size() != before;
}

CollectedFiles collectFiles(const QStringList &startFolders, const DisplayFilter &filter, ListedFiles &listed,
                            const ScanBreak &pause)
{
    CollectedFiles collected;
    SeenFolders seen;
    std::vector<OrderedName> files;
    std::vector<OrderedName> folders;
    for (const QString &start : startFolders) {
        std::deque<QString> pending{start};
        while (!pending.empty()) {
            const QString head = std::move(pending.front());
            pending.pop_front();
            files.clear();
            folders.clear();
            readFolder(head, seen, [&](const QByteArray &bytes, Kind kind) {
                const QString name = QFile::decodeName(bytes);
                const bool isFile = kind == Kind::File;
                if (!isTextName(bytes)) {
                    if (!isFile || filter.matches(name))
                        collected.notText.append(childPath(head, name));
                } else if (!isFile) {
                    folders.push_back({common::nameSortKey(name), name, QByteArray(bytes.constData(), bytes.size())});
                } else if (filter.matches(name)) {
                    files.push_back({common::nameSortKey(name), name, QByteArray(bytes.constData(), bytes.size())});
                    ++collected.found;
                }
                collected.stopped = !pause(collected.found);
                return !collected.stopped;
            });
            if (collected.stopped)
                return collected;
            sortByName(files);
            for (const OrderedName &file : files) {
                const QString path = childPath(head, file.name);
                if (listed.takeIfNew(path, file.name))
                    collected.paths.append(path);
            }
            sortByName(folders);
            for (const OrderedName &folder : folders)
                pending.push_back(childPath(head, folder.name));
        }
    }
    return collected;
}

} // namespace tarvello::files
