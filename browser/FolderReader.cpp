#include "browser/FolderReader.h"

#include "common/NameOrder.h"
#include "common/Zub.h"
#include "filelist/FolderScan.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <mutex>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::browser {

using common::compareNames;
using common::nameSortKey;

// What a worker thread holds of its reader: the reader itself until it is
// destroyed. Results are posted under the lock, so none can be posted to a
// reader that is going away.
struct FolderReader::Link {
    std::mutex mutex;
    FolderReader *owner = nullptr;

    void sendFiles(quint64 job, FileBatch files)
    {
        post([job, files = std::move(files)](FolderReader *reader) mutable {
            reader->deliverFiles(job, std::move(files));
        });
    }

    void sendFolders(quint64 job, FolderBatch folders)
    {
        post([job, folders = std::move(folders)](FolderReader *reader) mutable {
            reader->deliverFolders(job, std::move(folders));
        });
    }

    void sendEnd(quint64 job, int error)
    {
        post([job, error](FolderReader *reader) { reader->deliverEnd(job, error); });
    }

private:
    template <typename Deliver>
    void post(Deliver deliver)
    {
        std::lock_guard lock(mutex);
        if (owner) {
            QMetaObject::invokeMethod(
                owner, [reader = owner, deliver = std::move(deliver)]() mutable { deliver(reader); },
                Qt::QueuedConnection);
        }
    }
};

namespace {

constexpr int kLargestBatch = 4096;
// A slow folder still shows what it has found after this many milliseconds.
constexpr qint64 kBatchDelayMs = 100;

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct Job {
    std::shared_ptr<FolderReader::Link> link;
    std::shared_ptr<std::atomic<bool>> cancelled;
    quint64 number = 0;
    common::NativePath path;
    bool files = true;
    int firstBatch = 0;
};

// lastType: the type of the file listed before, which most files of a
// folder share; they share its text too.
ListedFile listedFile(const char *nativeName, const struct stat &st, QString &lastType)
{
    ListedFile entry;
    entry.nativeName = QByteArray(nativeName);
    entry.name = common::NativePath::fromBytes(entry.nativeName).text();
    entry.sortKey = nameSortKey(entry.name);
    entry.type = common::ZubGetExtension(entry.name).toUpper();
    if (entry.type == lastType)
        entry.type = lastType;
    else
        lastType = entry.type;
    entry.size = qint64(st.st_size);
    entry.modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return entry;
}

ListedFolder folderEntry(int dirFd, const char *nativeName)
{
    ListedFolder entry;
    entry.nativeName = QByteArray(nativeName);
    entry.name = common::NativePath::fromBytes(entry.nativeName).text();
    entry.sortKey = nameSortKey(entry.name);
    entry.readable = ::faccessat(dirFd, nativeName, R_OK | X_OK, AT_EACCESS) == 0;
    return entry;
}

// The view's first order: its sort of a batch so ordered only checks it, on
// the window's thread, and the sort itself is made here.
void sortByName(FileBatch &files)
{
    std::sort(files.begin(), files.end(), [](const ListedFile &a, const ListedFile &b) {
        return compareNames(a.sortKey, a.name, a.nativeName, b.sortKey, b.name, b.nativeName) < 0;
    });
}

void runJob(const Job &job)
{
    DIR *dir = ::opendir(job.path.c_str());
    if (!dir) {
        job.link->sendEnd(job.number, errno);
        return;
    }
    const int fd = ::dirfd(dir);
    FileBatch files;
    FolderBatch folders;
    QString lastType;
    int batchLimit = job.firstBatch > 0 ? job.firstBatch : -1;
    QElapsedTimer sinceSent;
    sinceSent.start();
    int error = 0;
    while (!job.cancelled->load(std::memory_order_relaxed)) {
        errno = 0;
        const dirent *found = ::readdir(dir);
        if (!found) {
            error = errno;
            break;
        }
        const char *name = found->d_name;
        if (isDotOrDotDot(name))
            continue;
        const unsigned char type = found->d_type;
        if (!job.files && type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        struct stat st {};
        bool isDir = type == DT_DIR;
        if (type != DT_DIR) {
            // Links are followed; a dangling one is still listed, as itself.
            if (::fstatat(fd, name, &st, 0) != 0 && ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone between the listing and the look
            isDir = S_ISDIR(st.st_mode);
        }
        if (job.files && !isDir) {
            if (filelist::isRenameTemporaryName(name))
                continue;
            files.push_back(listedFile(name, st, lastType));
            if (batchLimit > 0
                && (int(files.size()) >= batchLimit || sinceSent.elapsed() >= kBatchDelayMs)) {
                sortByName(files);
                job.link->sendFiles(job.number, std::move(files));
                files = FileBatch();
                batchLimit = std::min(batchLimit * 2, kLargestBatch);
                sinceSent.restart();
            }
        } else if (!job.files && isDir) {
            folders.push_back(folderEntry(fd, name));
        }
    }
    ::closedir(dir);
    if (job.cancelled->load())
        return;
    if (job.files) {
        if (!files.empty() || batchLimit < 0) {
            sortByName(files);
            job.link->sendFiles(job.number, std::move(files));
        }
    } else {
        std::sort(folders.begin(), folders.end(), [](const ListedFolder &a, const ListedFolder &b) {
            return compareNames(a.sortKey, a.name, a.nativeName, b.sortKey, b.name, b.nativeName) < 0;
        });
        job.link->sendFolders(job.number, std::move(folders));
    }
    job.link->sendEnd(job.number, error);
}

} // namespace

bool mayList(const common::NativePath &folder)
{
    // The effective identity decides, as it does for the listing itself.
    return ::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) == 0;
}

FolderReader::FolderReader(QObject *parent)
    : QObject(parent), m_link(std::make_shared<Link>())
{
    m_link->owner = this;
}

FolderReader::~FolderReader()
{
    std::lock_guard lock(m_link->mutex);
    m_link->owner = nullptr;
    for (const auto &cancelled : std::as_const(m_jobs))
        cancelled->store(true);
}

quint64 FolderReader::listFiles(const common::NativePath &folder, int firstBatch)
{
    return start(folder, true, firstBatch);
}

quint64 FolderReader::listFolders(const common::NativePath &folder)
{
    return start(folder, false, 0);
}

void FolderReader::cancel(quint64 job)
{
    if (const auto cancelled = m_jobs.take(job))
        cancelled->store(true);
}

quint64 FolderReader::start(const common::NativePath &folder, bool files, int firstBatch)
{
    Job job;
    job.link = m_link;
    job.cancelled = std::make_shared<std::atomic<bool>>(false);
    job.number = m_nextJob++;
    job.path = folder;
    job.files = files;
    job.firstBatch = firstBatch;
    m_jobs.insert(job.number, job.cancelled);
    std::thread([job] { runJob(job); }).detach();
    return job.number;
}

void FolderReader::deliverFiles(quint64 job, FileBatch files)
{
    if (m_jobs.contains(job))
        emit filesFound(job, files);
}

void FolderReader::deliverFolders(quint64 job, FolderBatch folders)
{
    if (m_jobs.contains(job))
        emit foldersFound(job, folders);
}

void FolderReader::deliverEnd(quint64 job, int error)
{
    if (m_jobs.remove(job))
        emit finished(job, error);
}

} // namespace tarvello::browser
