#pragma once

#include "browser/FileStore.h"
#include "common/NativePath.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace tarvello::browser {

// One sub-folder of a listed folder.
struct ListedFolder {
    QByteArray nativeName;
    QString name;
    QString sortKey;
    // False when its content may not be listed.
    bool readable = true;
};

using FolderBatch = std::vector<ListedFolder>;

// True when this process may list the folder.
bool mayList(const common::NativePath &folder);

// Lists folders on worker threads so that a huge, slow or hung folder (a
// network mount that no longer answers) never holds up the window. Results
// come back as signals on the owner's thread; a cancelled job's results never
// arrive. Worker threads are detached: a listing stuck in the kernel must not
// keep the program from closing.
class FolderReader : public QObject
{
    Q_OBJECT

public:
    explicit FolderReader(QObject *parent = nullptr);
    ~FolderReader() override;

    // Starts listing the files of the folder and returns
    // the job's number. With firstBatch > 0 the files arrive in growing
    // batches starting at that size (the first screenful shows at once);
    // with 0 in one batch.
    quint64 listFiles(const common::NativePath &folder, int firstBatch = 0);

    // Lists the files of the folder again and compares them, on the worker
    // thread, with the listing the view shows (through the filter, in the
    // order); the changes arrive in one relisted().
    quint64 relistFiles(const common::NativePath &folder, std::shared_ptr<const FileStore> shown,
                        const filelist::DisplayFilter &filter, const ViewOrder &order);

    // Starts listing the sub-folders of the folder (sorted by name) and
    // returns the job's number; they arrive in one batch.
    quint64 listFolders(const common::NativePath &folder);

    // Drops the job: its thread stops soon and nothing more of it arrives.
    void cancel(quint64 job);

signals:
    void filesFound(quint64 job, const tarvello::browser::FileStore &files);
    void relisted(quint64 job, const std::shared_ptr<tarvello::browser::Resync> &changes);
    void foldersFound(quint64 job, const tarvello::browser::FolderBatch &folders);
    // The listing ended; error is 0 or the errno that stopped it.
    void finished(quint64 job, int error);

public:
    struct Link;
    struct Job;

private:
    quint64 start(Job job);
    void deliverFiles(quint64 job, const FileStore &files);
    void deliverResync(quint64 job, const std::shared_ptr<Resync> &changes);
    void deliverFolders(quint64 job, FolderBatch folders);
    void deliverEnd(quint64 job, int error);

    std::shared_ptr<Link> m_link;
    QHash<quint64, std::shared_ptr<std::atomic<bool>>> m_jobs;
    quint64 m_nextJob = 1;
};

} // namespace tarvello::browser
