#include "rules/Environment.h"

#include <QFile>

#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>

namespace tarvello::rules {

namespace {

// A path holding NUL names no file: the system would read only its start.
bool namesNoFile(const QString &path)
{
    return path.contains(QChar(0));
}

std::optional<struct stat> statOf(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || namesNoFile(path) || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

} // namespace

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

std::optional<qint64> DiskFileFacts::size(const QString &path) const
{
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    return qint64(st->st_size);
}

std::optional<QDateTime> DiskFileFacts::lastWriteTime(const QString &path) const
{
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    const qint64 ms = qint64(st->st_mtim.tv_sec) * 1000 + st->st_mtim.tv_nsec / 1000000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

std::optional<QStringList> DiskFileFacts::folderEntries(const QString &folder) const
{
    if (namesNoFile(folder))
        return QStringList();
    const QByteArray native = QFile::encodeName(folder.isEmpty() ? QStringLiteral("/") : folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringList();
        return std::nullopt;
    }
    QStringList names;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            const QByteArray full = native + '/' + entry->d_name;
            isFolder = ::stat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isFolder)
            names.append(QFile::decodeName(entry->d_name));
        errno = 0;
    }
    const bool failed = errno != 0;
    ::closedir(dir);
    if (failed)
        return std::nullopt;
    return names;
}

} // namespace tarvello::rules
