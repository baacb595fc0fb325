#include "common/Zub.h"

#include "common/ElfVersions.h"
#include "common/NativePath.h"
#include "common/VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVersionNumber>

#include <cerrno>
#include <cstring>

#include <gnu/libc-version.h>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::common {

namespace {

constexpr QChar kSeparator = QLatin1Char('/');

qsizetype lastSeparator(const QString &path)
{
    return path.lastIndexOf(kSeparator);
}

// Position of the dot that starts the extension in the last component, or -1.
qsizetype extensionDot(const QString &nameOrPath)
{
    const qsizetype nameStart = lastSeparator(nameOrPath) + 1;
    const qsizetype dot = nameOrPath.lastIndexOf(QLatin1Char('.'));
    if (dot <= nameStart || dot == nameOrPath.size() - 1)
        return -1;
    return dot;
}

// The release a shared library carries inside: the C library's release for
// the libraries of the C library (they alone define GLIBC_PRIVATE, and their
// symbol versions name the release that last added a symbol, not their own),
// else the highest of the library's own version definitions ("GCC_12.0.0"
// gives "12.0.0", a Qt plugin's "Qt_6.4" gives "6.4"). "" when it carries none.
QString releaseInLibrary(const QString &path)
{
    const QStringList definitions = ZubElfVersionDefinitions(path);
    if (definitions.contains(QLatin1String("GLIBC_PRIVATE")))
        return QString::fromLatin1(gnu_get_libc_version());
    QVersionNumber highest;
    for (const QString &definition : definitions) {
        const QVersionNumber version =
            QVersionNumber::fromString(definition.mid(definition.lastIndexOf(QLatin1Char('_')) + 1));
        if (!version.isNull() && version > highest)
            highest = version;
    }
    return highest.isNull() ? QString() : highest.toString();
}

} // namespace

bool ZubFileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(NativePath::fromText(path).c_str(), &st) == 0;
}

bool ZubIsDir(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(NativePath::fromText(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString ZubGetPath(const QString &fullPath)
{
    const qsizetype sep = lastSeparator(fullPath);
    return sep < 0 ? QString() : fullPath.left(sep);
}

QString ZubGetFileName(const QString &fullPath)
{
    return fullPath.mid(lastSeparator(fullPath) + 1);
}

QString ZubGetExtension(const QString &nameOrPath)
{
    const qsizetype dot = extensionDot(nameOrPath);
    return dot < 0 ? QString() : nameOrPath.mid(dot + 1);
}

QString ZubStrWithoutExt(const QString &nameOrPath)
{
    const qsizetype dot = extensionDot(nameOrPath);
    return dot < 0 ? nameOrPath : nameOrPath.left(dot);
}

QString ZubStringSansAccent(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString plain;
    plain.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain.append(c);
    }
    return plain.normalized(QString::NormalizationForm_C);
}

QString ZubTrimNull(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString ZubQualifyPath(const QString &folder)
{
    return folder.endsWith(kSeparator) ? folder : folder + kSeparator;
}

bool ZubCreateNestedFolders(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    return QDir().mkpath(folder) && ZubIsDir(folder);
}

QString ZubGetTempDir(QString *error)
{
    const uid_t uid = ::getuid();
    const QString dir = QDir::tempPath() + QStringLiteral("/tarvello-") + QString::number(uid);
    const NativePath native = NativePath::fromText(dir);
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
    if (::mkdir(native.c_str(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(strerror(errno))));
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0)
        return fail(QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(strerror(errno))));
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode))
        return fail(QStringLiteral("%1 is not a folder of its own (a link or a file stands there)").arg(dir));
    if (st.st_uid != uid)
        return fail(QStringLiteral("%1 belongs to another user").arg(dir));
    if ((st.st_mode & 0077) != 0 && ::chmod(native.c_str(), 0700) != 0)
        return fail(QStringLiteral("%1 cannot be made private").arg(dir));
    return dir;
}

QString ZubCheminDossier(int folderNumber)
{
    if (folderNumber == FolderApplicationData)
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folderNumber == FolderDocuments) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty() && ZubIsDir(documents))
            return documents;
    }
    return QDir::homePath();
}

QString ZubGetWindowsVersion()
{
    return QSysInfo::prettyProductName();
}

QString ZubGetVersionInformation(const QString &filePath)
{
    const QFileInfo info(filePath);
    if (!info.exists())
        return {};
    const QString realPath = info.canonicalFilePath();
    const QString realName = QFileInfo(realPath).fileName();
    const qsizetype so = realName.indexOf(QStringLiteral(".so."));
    const QString fromName = so < 0 ? QString() : realName.mid(so + 4);
    if (fromName.contains(QLatin1Char('.')))
        return fromName;
    // The name holds no release ("libqxcb.so") or only its interface number
    // ("libc.so.6"): ask the file.
    const QString fromFile = releaseInLibrary(realPath);
    return fromFile.isEmpty() ? fromName : fromFile;
}

qint64 ZubGetProcesses(const QString &executableName)
{
    const QDir proc(QStringLiteral("/proc"));
    const auto entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : entries) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        // The kernel keeps only the first 15 bytes of a process name.
        if (QString::fromLocal8Bit(comm.readAll()).trimmed() != executableName.left(15))
            continue;
        QFile status(proc.filePath(pid + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        // /proc files report no size, so they are read whole rather than line by line.
        const QList<QByteArray> lines = status.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("VmRSS:")) {
                const QList<QByteArray> parts = line.simplified().split(' ');
                return parts.size() >= 2 ? parts.at(1).toLongLong() * 1024 : 0;
            }
        }
    }
    return 0;
}

QString ZubDoubleToUnit(double bytes)
{
    static const char *const units[] = {"octets", "Ko", "Mo", "Go", "To"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 4) {
        bytes /= 1024.0;
        ++unit;
    }
    if (unit == 0)
        return QStringLiteral("%1 %2").arg(qint64(bytes)).arg(QLatin1String(units[0]));
    return QStringLiteral("%1 %2").arg(bytes, 0, 'f', 2).arg(QLatin1String(units[unit]));
}

QString ZubReadFileToBuffer(const QString &path, int &code, QString &errorText)
{
    QFile file(path);
    if (!file.exists()) {
        code = VbError::FileNotFound;
        errorText = VbError::standardDescription(code);
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        code = VbError::PermissionDenied;
        errorText = file.errorString();
        return {};
    }
    code = 0;
    errorText.clear();
    return QString::fromUtf8(file.readAll());
}

} // namespace tarvello::common
