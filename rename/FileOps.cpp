#include "rename/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarvello::rename {

namespace {

constexpr size_t kCopyBlock = 1 << 20;

// Closes a descriptor when the scope ends.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now and reports the error a late write-back may give.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

int writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= size_t(written);
    }
    return 0;
}

// Reads up to size bytes, fewer only at the end of the file; -1 on error.
ssize_t readFull(int fd, char *data, size_t size)
{
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, data + total, size - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        total += size_t(got);
    }
    return ssize_t(total);
}

bool sameDescriptorContent(int a, int b)
{
    std::vector<char> left(kCopyBlock);
    std::vector<char> right(kCopyBlock);
    for (;;) {
        const ssize_t gotLeft = readFull(a, left.data(), left.size());
        const ssize_t gotRight = readFull(b, right.data(), right.size());
        if (gotLeft < 0 || gotRight < 0 || gotLeft != gotRight)
            return false;
        if (gotLeft == 0)
            return true;
        if (std::memcmp(left.data(), right.data(), size_t(gotLeft)) != 0)
            return false;
    }
}

int copyRegularFile(const QByteArray &from, const QByteArray &to, const struct stat &source, AttributesLost &lost)
{
    Descriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (in.get() < 0)
        return errno;
    Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0)
        return errno;
    // From here on the target is ours: any failure takes it away again.
    auto fail = [&](int error) {
        ::unlink(to.constData());
        return error;
    };
    std::vector<char> block(kCopyBlock);
    for (;;) {
        const ssize_t got = readFull(in.get(), block.data(), block.size());
        if (got < 0)
            return fail(errno);
        if (got == 0)
            break;
        if (const int error = writeAll(out.get(), block.data(), size_t(got)))
            return fail(error);
    }
    // The owner first: a change of owner clears the set-user-ID and
    // set-group-ID bits, which the mode then gives back.
    lost.owner = ::fchown(out.get(), source.st_uid, source.st_gid) != 0;
    lost.mode = ::fchmod(out.get(), source.st_mode & 07777) != 0;
    if (::fsync(out.get()) != 0)
        return fail(errno);
    if (const int error = out.close())
        return fail(error);

    Descriptor check(::open(to.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (check.get() < 0)
        return fail(errno);
    if (::lseek(in.get(), 0, SEEK_SET) != 0)
        return fail(errno);
    if (!sameDescriptorContent(in.get(), check.get()))
        return fail(FileOps::kCopyMismatch);
    // The times last, as reading the copy back may have moved its access time.
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    lost.times = ::futimens(check.get(), times) != 0;
    if (!lost.times && ::fsync(check.get()) != 0)
        return fail(errno);
    return 0;
}

// The target of a symbolic link of the given lstat; 0 or errno.
int readLinkTarget(const QByteArray &path, const struct stat &st, QByteArray &target)
{
    target = QByteArray(qsizetype(st.st_size) + 1, '\0');
    const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        return errno;
    // Longer than when it was looked at: it changed meanwhile.
    if (length >= target.size())
        return EIO;
    target.truncate(length);
    return 0;
}

int copyLink(const QByteArray &from, const QByteArray &to, const struct stat &source, AttributesLost &lost)
{
    QByteArray target;
    if (const int error = readLinkTarget(from, source, target))
        return error;
    if (::symlink(target.constData(), to.constData()) != 0)
        return errno;
    // The link itself, never the file it points to; a link has no mode of its own.
    lost.owner = ::fchownat(AT_FDCWD, to.constData(), source.st_uid, source.st_gid, AT_SYMLINK_NOFOLLOW) != 0;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    lost.times = ::utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW) != 0;
    return 0;
}

// A path holding NUL would reach the system cut at that byte and name
// another file: it names none.
bool namesNoFile(const QByteArray &path)
{
    return path.isEmpty() || std::memchr(path.constData(), '\0', size_t(path.size()));
}

} // namespace

thread_local std::pair<const FileOps *, FileOps::HeldFolder *> FileOps::s_aside;

FileOps::~FileOps()
{
    m_held.release();
}

FileOps::FolderHold::FolderHold(FileOps &fs)
    : m_fs(fs)
    , m_wasHolding(fs.m_held.holding)
{
    m_fs.m_held.holding = true;
}

FileOps::FolderHold::~FolderHold()
{
    if (m_wasHolding)
        return;
    m_fs.m_held.holding = false;
    m_fs.m_held.release();
}

FileOps::LookupsAside::LookupsAside(FileOps &fs, std::function<void()> lookups)
    : m_lookups([&fs, lookups = std::move(lookups)] {
        HeldFolder own;
        own.holding = true;
        s_aside = {&fs, &own};
        lookups();
        s_aside = {};
        own.release();
    })
{
}

void FileOps::HeldFolder::release()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    path.clear();
}

std::pair<int, const char *> FileOps::at(const QByteArray &path)
{
    HeldFolder &folderHeld = held();
    const qsizetype slash = lastSlash(path);
    if (!folderHeld.holding || slash <= 0 || slash + 1 == path.size())
        return {AT_FDCWD, path.constData()};
    const QByteArrayView folder(path.constData(), slash);
    // Asked twice a rename: a plain comparison rather than Qt's general one.
    if (folderHeld.fd < 0 || folderHeld.path.size() != slash
        || std::memcmp(folderHeld.path.constData(), path.constData(), size_t(slash)) != 0) {
        folderHeld.release();
        folderHeld.path = folder.toByteArray();
        folderHeld.fd = ::open(folderHeld.path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folderHeld.fd < 0) {
            folderHeld.path.clear();
            return {AT_FDCWD, path.constData()};
        }
    }
    return {folderHeld.fd, path.constData() + slash + 1};
}

bool FileOps::exists(const QByteArray &path)
{
    struct stat st {};
    if (namesNoFile(path))
        return false;
    const auto [fd, name] = at(path);
    return ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<FileIdentity> FileOps::identity(const QByteArray &path)
{
    struct statx st {};
    if (namesNoFile(path))
        return std::nullopt;
    const auto [fd, name] = at(path);
    if (::statx(fd, name, AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &st) != 0)
        return std::nullopt;
    const qint64 birth = (st.stx_mask & STATX_BTIME) ? qint64(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec : 0;
    return FileIdentity{quint64(makedev(st.stx_dev_major, st.stx_dev_minor)), quint64(st.stx_ino), birth};
}

int FileOps::makeFolders(const QByteArray &path)
{
    if (namesNoFile(path))
        return ENOENT;
    struct stat st {};
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const qsizetype slash = lastSlash(path);
    if (slash > 0) {
        if (const int error = makeFolders(path.left(slash)))
            return error;
    }
    if (::mkdir(path.constData(), 0777) == 0 || errno == EEXIST)
        return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return errno;
}

int FileOps::renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (namesNoFile(from) || namesNoFile(to))
        return ENOENT;
    const auto [fromFd, fromName] = at(from);
    // Both names in the held folder, as every first-phase move is.
    const QByteArray &heldPath = held().path;
    const size_t folderSize = size_t(heldPath.size());
    const bool sameFolder = fromFd != AT_FDCWD && size_t(to.size()) > folderSize
        && std::memcmp(to.constData(), heldPath.constData(), folderSize) == 0 && to[folderSize] == '/'
        && !std::memchr(to.constData() + folderSize + 1, '/', size_t(to.size()) - folderSize - 1);
    const int toFd = sameFolder ? fromFd : AT_FDCWD;
    const char *toName = sameFolder ? to.constData() + heldPath.size() + 1 : to.constData();
    if (::renameat2(fromFd, fromName, toFd, toName, RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    const int fallback = linkNoReplace(from, to);
    // A folder cannot be linked; its own EINVAL (a move into itself) says more.
    return fallback == EPERM && error == EINVAL ? error : fallback;
}

int FileOps::linkNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (namesNoFile(from) || namesNoFile(to))
        return ENOENT;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int error = errno;
        ::unlink(to.constData());
        return error;
    }
    return 0;
}

int FileOps::copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost)
{
    AttributesLost ignored;
    AttributesLost &told = lost ? *lost : ignored;
    told = {};
    struct stat source {};
    if (namesNoFile(from) || namesNoFile(to))
        return ENOENT;
    if (::lstat(from.constData(), &source) != 0)
        return errno;
    if (S_ISREG(source.st_mode))
        return copyRegularFile(from, to, source, told);
    if (S_ISLNK(source.st_mode))
        return copyLink(from, to, source, told);
    // Folders and special files are not carried from one file system to another.
    return EXDEV;
}

int FileOps::removeFile(const QByteArray &path)
{
    if (namesNoFile(path))
        return ENOENT;
    return ::unlink(path.constData()) == 0 ? 0 : errno;
}

bool FileOps::sameContent(const QByteArray &a, const QByteArray &b)
{
    if (namesNoFile(a) || namesNoFile(b))
        return false;
    struct stat linkA {};
    struct stat linkB {};
    if (::lstat(a.constData(), &linkA) != 0 || ::lstat(b.constData(), &linkB) != 0)
        return false;
    if (S_ISLNK(linkA.st_mode) || S_ISLNK(linkB.st_mode)) {
        QByteArray targetA;
        QByteArray targetB;
        return S_ISLNK(linkA.st_mode) && S_ISLNK(linkB.st_mode) && readLinkTarget(a, linkA, targetA) == 0
            && readLinkTarget(b, linkB, targetB) == 0 && targetA == targetB;
    }
    Descriptor left(::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    Descriptor right(::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (left.get() < 0 || right.get() < 0)
        return false;
    struct stat stLeft {};
    struct stat stRight {};
    if (::fstat(left.get(), &stLeft) != 0 || ::fstat(right.get(), &stRight) != 0)
        return false;
    if (!S_ISREG(stLeft.st_mode) || !S_ISREG(stRight.st_mode) || stLeft.st_size != stRight.st_size)
        return false;
    return sameDescriptorContent(left.get(), right.get());
}

std::optional<common::FolderNames> FileOps::folderNames(const QByteArray &folder, qsizetype lookups)
{
    // A folder's size grows by a few dozen bytes an entry: reading it pays
    // when it is not much larger than the lookups it replaces.
    constexpr qint64 kBytesWorthALookup = 256;
    struct stat st {};
    if (namesNoFile(folder) || ::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)
        || qint64(st.st_size) > kBytesWorthALookup * lookups)
        return std::nullopt;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt;
    common::FolderNames names;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!common::isDotOrDotDot(entry->d_name))
            names.insert(QByteArrayView(entry->d_name));
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        return std::nullopt;
    if (const std::optional<QByteArray> other = names.caseProbe(); other && exists(folder + '/' + *other))
        return std::nullopt;
    return names;
}

std::optional<FolderStamp> FileOps::folderStamp(const QByteArray &folder)
{
    struct stat st {};
    if (namesNoFile(folder) || ::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderStamp{quint64(st.st_ino), qint64(st.st_size),
                       qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                       qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

int FileOps::syncFolder(const QByteArray &folder)
{
    Descriptor fd(::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

QByteArray FileOps::resolvedFolder(const QByteArray &folder)
{
    if (namesNoFile(folder))
        return {};
    char *resolved = ::realpath(folder.constData(), nullptr);
    const QByteArray path(resolved);
    std::free(resolved);
    return path;
}

int FileOps::copyAndRemove(const QByteArray &from, const QByteArray &to, AttributesLost *lost)
{
    if (const int copyError = copyNoReplace(from, to, lost))
        return copyError;
    if (const int removeError = removeFile(from)) {
        removeFile(to);
        return removeError;
    }
    return 0;
}

int writeFileDurably(const QByteArray &path, const QList<QByteArrayView> &pieces, bool mayReplace)
{
    const QByteArray part = path + '.' + QByteArray::number(::getpid()) + ".part";
    Descriptor out(::open(part.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0)
        return errno;
    int error = 0;
    for (const QByteArrayView piece : pieces) {
        if (error == 0)
            error = writeAll(out.get(), piece.data(), size_t(piece.size()));
    }
    if (error == 0 && ::fsync(out.get()) != 0)
        error = errno;
    const int closeError = out.close();
    if (error == 0)
        error = closeError;
    if (error == 0) {
        if (mayReplace)
            error = ::rename(part.constData(), path.constData()) == 0 ? 0 : errno;
        else
            error = FileOps().renameNoReplace(part, path);
    }
    if (error != 0) {
        ::unlink(part.constData());
        return error;
    }
    return FileOps().syncFolder(nativeFolderOf(path));
}

bool hasCleanParts(QByteArrayView path)
{
    const char *part = path.data();
    const char *end = part + path.size();
    for (;;) {
        const void *found = std::memchr(part, '/', size_t(end - part));
        const char *next = found ? static_cast<const char *>(found) : end;
        const qsizetype size = next - part;
        if (size == 0 || (part[0] == '.' && (size == 1 || (size == 2 && part[1] == '.'))))
            return false;
        if (next == end)
            return true;
        part = next + 1;
    }
}

QByteArray nativeFolderOf(const QByteArray &path)
{
    const qsizetype slash = lastSlash(path);
    if (slash < 0)
        return QByteArray();
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nativeNameOf(const QByteArray &path)
{
    return path.mid(lastSlash(path) + 1);
}

} // namespace tarvello::rename
