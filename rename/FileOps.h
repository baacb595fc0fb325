#pragma once

#include "common/FolderNames.h"
#include "rename/SideBySide.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QList>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

namespace tarvello::rename {

// Which file a directory entry names: its device, inode and birth time (in
// nanoseconds, 0 where the file system keeps none). A rename inside one file
// system keeps it, so it tells whether a file is still the one the program
// moved; the birth time tells a new file apart from a deleted one whose inode
// number it was given again.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 birth = 0;
    bool operator==(const FileIdentity &) const = default;
};

inline size_t qHash(const FileIdentity &identity, size_t seed = 0) noexcept
{
    return qHashMulti(seed, identity.device, identity.inode, identity.birth);
}

// What tells that a folder's entries changed: its inode, size and times of
// change and modification, in nanoseconds.
struct FolderStamp {
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0;
    bool operator==(const FolderStamp &) const = default;
};

// What a copy to another file system could not give the new file of the
// original's: the system may refuse a change of owner (to anyone but root),
// and some file systems (FAT, some network shares) keep no owner, no
// permissions or coarser dates.
struct AttributesLost {
    bool owner = false; // the owner and the group
    bool mode = false;
    bool times = false;
    bool any() const { return owner || mode || times; }
};

// The file-system operations of a rename, on native (byte) paths so that any
// name the system allows survives. Each returns 0 or the errno of its failure.
// The program uses this class as it is; tests derive from it to make one
// operation fail at a chosen moment.
class FileOps
{
public:
    // The error of a copy whose check found other bytes than the original's.
    static constexpr int kCopyMismatch = -1;

    FileOps() = default;
    virtual ~FileOps();
    // A copy holds no folder of its own yet.
    FileOps(const FileOps &) {}
    FileOps &operator=(const FileOps &) { return *this; }

    // While one lives, the identities, lookups and renames of paths in one
    // folder name the file relative to a descriptor of that folder, kept
    // from one call to the next, so the system walks the folders of a path
    // once rather than at every call. Only for a span in which no folder of
    // those paths is moved: a plan or its two phases, never across them.
    class FolderHold
    {
    public:
        explicit FolderHold(FileOps &fs);
        ~FolderHold();
        FolderHold(const FolderHold &) = delete;
        FolderHold &operator=(const FolderHold &) = delete;

    private:
        FileOps &m_fs;
        bool m_wasHolding;
    };

    // Runs lookups (identities, existence) on a thread of its own while the
    // caller goes on with this object: a lookup is a system call that reads
    // nothing the caller changes, and thousands of them take as long as the
    // rest of a plan. On that thread they hold a folder of the thread's own,
    // never the caller's. Waits for them when it goes.
    class LookupsAside
    {
    public:
        LookupsAside(FileOps &fs, std::function<void()> lookups);

        // Returns once every lookup is done.
        void wait() { m_lookups.wait(); }

    private:
        Aside m_lookups;
    };

    // True when the path names anything, a dangling link included.
    virtual bool exists(const QByteArray &path);

    // Identity of the entry itself (a link is not followed); nullopt when absent.
    virtual std::optional<FileIdentity> identity(const QByteArray &path);

    // Creates the folder with every missing parent.
    virtual int makeFolders(const QByteArray &path);

    // Renames without ever replacing the target (EEXIST when it exists). Where
    // the file system refuses renameat2's no-replace flag, a link to the new
    // name followed by the removal of the old one gives the same guarantee.
    virtual int renameNoReplace(const QByteArray &from, const QByteArray &to);

    // Copies a regular file (or a symbolic link, as a link) to a target that
    // must not exist, writes it to disk, checks the copy byte for byte and
    // gives it the source's owner, group, mode and times as far as the system
    // lets it (what it could not give is told in lost). The source stays; on
    // failure the partial target, created here exclusively, is removed.
    virtual int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr);

    // Removes one directory entry that is not a folder.
    virtual int removeFile(const QByteArray &path);

    // True when both are regular files holding the same bytes, or both
    // symbolic links to the same target.
    virtual bool sameContent(const QByteArray &a, const QByteArray &b);

    // The names in a folder read in one pass, when that costs less than the
    // given number of lookups one by one; nullopt when it would not, when the
    // folder cannot be read, or when it ignores case (it would then answer a
    // lookup for a name it holds in another case, which a listing cannot).
    virtual std::optional<common::FolderNames> folderNames(const QByteArray &folder, qsizetype lookups);

    // The folder's stamp; nullopt when it is no folder or cannot be reached.
    virtual std::optional<FolderStamp> folderStamp(const QByteArray &folder);

    // Writes a folder's entries to disk, so a name made in it survives a power cut.
    virtual int syncFolder(const QByteArray &folder);

    // The folder's absolute path with every link in it followed; "" when it
    // cannot be resolved.
    virtual QByteArray resolvedFolder(const QByteArray &folder);

    // Moves a file without replacing the target: a rename, or across file
    // systems a copy followed by the removal of the source (beforeCopy runs
    // first, so the journal can say a copy is under way). When the source
    // cannot be removed the copy is taken back, leaving the file in one place.
    // lost tells what a copy could not keep.
    // A template rather than a std::function: a run calls it for every file.
    template<typename BeforeCopy>
    int move(const QByteArray &from, const QByteArray &to, BeforeCopy beforeCopy, AttributesLost *lost = nullptr)
    {
        const int error = renameNoReplace(from, to);
        if (error != EXDEV)
            return error;
        beforeCopy();
        return copyAndRemove(from, to, lost);
    }
    int move(const QByteArray &from, const QByteArray &to)
    {
        return move(from, to, [] {});
    }

    // The link + unlink form of the no-replace rename.
    static int linkNoReplace(const QByteArray &from, const QByteArray &to);

private:
    // The move to another file system, once the rename said EXDEV.
    int copyAndRemove(const QByteArray &from, const QByteArray &to, AttributesLost *lost);

    struct HeldFolder {
        bool holding = false;
        QByteArray path;
        int fd = -1;
        void release();
    };

    // The held folder of the calling thread: a lookup thread's own, else this object's.
    HeldFolder &held() { return s_aside.first == this ? *s_aside.second : m_held; }

    // A descriptor and the name in it for the path: the held folder's when
    // a hold is on and the path lies in a folder, else the working folder's
    // and the whole path.
    std::pair<int, const char *> at(const QByteArray &path);

    HeldFolder m_held;
    static thread_local std::pair<const FileOps *, HeldFolder *> s_aside;
};

// Writes a whole file through a temporary file in the same folder, flushed
// to disk, then puts it in place and flushes the folder. Without mayReplace an
// existing file stays and EEXIST is returned. 0 or errno.
// The content is given in pieces, written one after the other.
int writeFileDurably(const QByteArray &path, const QList<QByteArrayView> &pieces, bool mayReplace);
// The same for content in one piece.
inline int writeFileDurably(const QByteArray &path, const QByteArray &content, bool mayReplace)
{
    return writeFileDurably(path, QList<QByteArrayView>{content}, mayReplace);
}

// Where the last "/" of a path is, -1 without one. Asked several times for
// every file of a run: QByteArray::lastIndexOf(char) takes Qt's general
// search, several times slower than memrchr.
inline qsizetype lastSlash(QByteArrayView path)
{
    const void *slash = path.isEmpty() ? nullptr : ::memrchr(path.data(), '/', size_t(path.size()));
    return slash ? static_cast<const char *>(slash) - path.data() : -1;
}

// True when every part of the path between two "/" (and before the first
// and after the last) is neither empty, "." nor "..".
bool hasCleanParts(QByteArrayView path);

// The hash of a run of size bytes that wordAt(offset) gives eight at a
// time, the last word filled with zeros: pathHash, and the hash of a path
// read with other bytes in place of its own (a case key made as it is read)
// that must equal pathHash of those bytes.
template<typename WordAt>
quint64 hashWords(qsizetype size, WordAt wordAt)
{
    constexpr quint64 kMultiplier = 0x9E3779B97F4A7C15ull;
    quint64 hash = quint64(size) * kMultiplier;
    for (qsizetype at = 0; at < size; at += 8) {
        hash = (hash ^ wordAt(at)) * kMultiplier;
        hash ^= hash >> 29;
    }
    return hash * kMultiplier;
}

// A hash of a path for the program's own tables, eight bytes a step: Qt's
// qHash of a view costs several times more, and a run hashes each path of
// its files several times.
inline quint64 pathHash(QByteArrayView path)
{
    return hashWords(path.size(), [&path](qsizetype at) {
        quint64 word = 0;
        std::memcpy(&word, path.data() + at, path.size() - at >= 8 ? 8 : size_t(path.size() - at));
        return word;
    });
}

// Folder part of a native path ("/" for a file at the root, "" without any "/").
QByteArray nativeFolderOf(const QByteArray &path);

// Last component of a native path.
QByteArray nativeNameOf(const QByteArray &path);

} // namespace tarvello::rename
