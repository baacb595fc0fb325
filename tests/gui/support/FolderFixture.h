#pragma once

#include "lang/Language.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Helpers for tests that build folder trees on disk.
namespace folderfixture {

// The French language of the source tree, as the program starts with it.
inline tarvello::lang::Language french()
{
    tarvello::lang::Language language(QStringLiteral(TARVELLO_SOURCE_DIR));
    language.setLanguage(QStringLiteral("Français"));
    return language;
}

// Creates the empty file and its folders.
inline bool makeFile(const QString &path)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Creates empty files of these names in the folder.
inline bool makeFiles(const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        if (!makeFile(folder + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

// Creates a file whose name is the given bytes (Linux names need not be
// UTF-8), holding size bytes.
inline bool makeRawFile(const QString &folder, const QByteArray &name, qint64 size = 0)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const QByteArray content(size, 'x');
    const bool written = ::write(fd, content.constData(), size_t(size)) == size;
    return ::close(fd) == 0 && written;
}

// A folder whose name is the given bytes.
inline bool makeRawFolder(const QString &parent, const QByteArray &name)
{
    return ::mkdir((QFile::encodeName(parent) + '/' + name).constData(), 0755) == 0;
}

// Removes an empty folder or a file by the bytes of its name; Qt's own
// removal cannot reach names that are not UTF-8.
inline bool removeRaw(const QString &parent, const QByteArray &name)
{
    const QByteArray path = QFile::encodeName(parent) + '/' + name;
    return ::unlink(path.constData()) == 0 || ::rmdir(path.constData()) == 0;
}

// Makes folder permissions bind this thread and the threads it starts, also
// when the tests run as root (who may otherwise read any folder). False when
// permissions cannot be made to bind.
inline bool honourFolderPermissions()
{
    if (::geteuid() != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Gives this thread back the capabilities it is permitted: tests that run
// after a locked folder (copying another user's files as root) need them.
inline void restoreFolderPermissionBypass()
{
    if (::geteuid() != 0)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    for (__user_cap_data_struct &word : data)
        word.effective = word.permitted;
    ::syscall(SYS_capset, &header, data);
}

// A folder that may not be listed, in parent; "" when this system lets the
// test read it anyway.
inline QString makeLockedFolder(const QString &parent, const QString &name)
{
    const QString path = parent + QLatin1Char('/') + name;
    if (!QDir().mkpath(path) || !makeFile(path + QStringLiteral("/inside.txt")))
        return {};
    QFile::setPermissions(path, QFileDevice::Permissions());
    DIR *probe = nullptr;
    if (!honourFolderPermissions() || (probe = ::opendir(QFile::encodeName(path).constData()))) {
        if (probe)
            ::closedir(probe);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        restoreFolderPermissionBypass();
        return {};
    }
    return path;
}

// Gives the folder its permissions back, so that the temporary tree can go,
// and the thread its capabilities.
inline void unlockFolder(const QString &path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    restoreFolderPermissionBypass();
}

} // namespace folderfixture
