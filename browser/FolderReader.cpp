#include "browser/FolderReader.h"

#include "common/FolderNames.h"
#include "common/NameOrder.h"
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

// One listing: what its worker thread is given.
struct FolderReader::Job {
    std::shared_ptr<Link> link;
    std::shared_ptr<std::atomic<bool>> cancelled;
    quint64 number = 0;
    common::NativePath path;
    bool files = true;
    int firstBatch = 0;
    // For a listing again: the listing shown, compared on the worker thread.
    std::shared_ptr<const FileStore> shown;
    filelist::DisplayFilter filter;
    ViewOrder order;
};

// What a worker thread holds of its reader: the reader itself until it is
// destroyed. Results are posted under the lock, so none can be posted to a
// reader that is going away.
struct FolderReader::Link {
    std::mutex mutex;
    FolderReader *owner = nullptr;

    void sendFiles(quint64 job, FileStore files)
    {
        post([job, files = std::move(files)](FolderReader *reader) { reader->deliverFiles(job, files); });
    }

    void sendResync(quint64 job, std::shared_ptr<Resync> changes)
    {
        post([job, changes = std::move(changes)](FolderReader *reader) { reader->deliverResync(job, changes); });
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

// Batches grow to this size unless the time between two ends them first:
// each batch merged into a million rows costs the window a pass over them.
constexpr int kLargestBatch = 16384;
// A slow folder still shows what it has found after this many milliseconds.
constexpr qint64 kBatchDelayMs = 100;

ListedFolder folderEntry(int dirFd, const char *nativeName)
{
    ListedFolder entry;
    entry.nativeName = QByteArray(nativeName);
    entry.name = common::NativePath::fromBytes(entry.nativeName).text();
    entry.sortKey = nameSortKey(entry.name);
    entry.readable = ::faccessat(dirFd, nativeName, R_OK | X_OK, AT_EACCESS) == 0;
    return entry;
}

using Job = FolderReader::Job;

void runJob(Job &job)
{
    DIR *dir = ::opendir(job.path.c_str());
    if (!dir) {
        job.link->sendEnd(job.number, errno);
        return;
    }
    const int fd = ::dirfd(dir);
    FileStore files;
    FolderBatch folders;
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
        if (common::isDotOrDotDot(name))
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
            files.add(QByteArrayView(name), qint64(st.st_size),
                      qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
            if (batchLimit > 0 && (files.count() >= batchLimit || sinceSent.elapsed() >= kBatchDelayMs)) {
                // The view's first order: its sort of a batch so ordered only
                // checks it, on the window's thread.
                files.sortByName();
                job.link->sendFiles(job.number, std::move(files));
                files = FileStore();
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
    if (job.shown) {
        files.squeeze();
        auto changes = std::make_shared<Resync>(
            resync(*job.shown, std::make_shared<FileStore>(std::move(files)), job.filter, job.order));
        // The old listing goes as soon as the view has taken the new one.
        job.shown.reset();
        if (job.cancelled->load())
            return;
        job.link->sendResync(job.number, std::move(changes));
    } else if (job.files) {
        if (files.count() > 0 || batchLimit < 0) {
            files.sortByName();
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
    Job job;
    job.path = folder;
    job.firstBatch = firstBatch;
    return start(std::move(job));
}

quint64 FolderReader::relistFiles(const common::NativePath &folder, std::shared_ptr<const FileStore> shown,
                                  const filelist::DisplayFilter &filter, const ViewOrder &order)
{
    Job job;
    job.path = folder;
    job.shown = std::move(shown);
    job.filter = filter;
    job.order = order;
    return start(std::move(job));
}

quint64 FolderReader::listFolders(const common::NativePath &folder)
{
    Job job;
    job.path = folder;
    job.files = false;
    return start(std::move(job));
}

void FolderReader::cancel(quint64 job)
{
    if (const auto cancelled = m_jobs.take(job))
        cancelled->store(true);
}

quint64 FolderReader::start(Job job)
{
    job.link = m_link;
    job.cancelled = std::make_shared<std::atomic<bool>>(false);
    job.number = m_nextJob++;
    m_jobs.insert(job.number, job.cancelled);
    const quint64 number = job.number;
    std::thread([job = std::move(job)]() mutable { runJob(job); }).detach();
    return number;
}

void FolderReader::deliverFiles(quint64 job, const FileStore &files)
{
    if (m_jobs.contains(job))
        emit filesFound(job, files);
}

void FolderReader::deliverResync(quint64 job, const std::shared_ptr<Resync> &changes)
{
    if (m_jobs.contains(job))
        emit relisted(job, changes);
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
