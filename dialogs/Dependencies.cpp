#include "dialogs/Dependencies.h"

#include "common/Zub.h"

#include <QLibraryInfo>

#include <algorithm>
#include <link.h>

namespace tarvello::dialogs {

namespace {

const QString kCoreLibrary = QStringLiteral("libtarvello_core.so");

int callback(struct dl_phdr_info *info, size_t, void *data)
{
    // The program itself has an empty name; the kernel's virtual library has a
    // bare name that is no path.
    const QString path = QString::fromLocal8Bit(info->dlpi_name);
    if (path.startsWith(QLatin1Char('/')))
        static_cast<QStringList *>(data)->append(path);
    return 0;
}

} // namespace

QStringList loadedLibraries()
{
    QStringList paths;
    dl_iterate_phdr(callback, &paths);
    return paths;
}

QList<DependencyRow> runtimeFileRows(const QStringList &libraryPaths, const QString &qtPluginFolder)
{
    const QString pluginPrefix = common::ZubQualifyPath(qtPluginFolder);
    auto group = [&](const QString &path) {
        const QString name = common::ZubGetFileName(path);
        if (name.startsWith(kCoreLibrary))
            return 0;
        if (name.startsWith(QLatin1String("libQt")) || (!qtPluginFolder.isEmpty() && path.startsWith(pluginPrefix)))
            return 1;
        return 2;
    };
    QStringList sorted = libraryPaths;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const QString &a, const QString &b) {
        const int ga = group(a);
        const int gb = group(b);
        if (ga != gb)
            return ga < gb;
        return common::ZubGetFileName(a).compare(common::ZubGetFileName(b), Qt::CaseInsensitive) < 0;
    });
    QList<DependencyRow> rows;
    rows.reserve(sorted.size());
    for (const QString &path : std::as_const(sorted))
        rows.append({common::ZubGetFileName(path), common::ZubGetVersionInformation(path)});
    return rows;
}

QList<DependencyRow> dependencyRows(const QString &systemCaption)
{
    QList<DependencyRow> rows{{systemCaption, common::ZubGetWindowsVersion()}};
    rows.append(runtimeFileRows(loadedLibraries(), QLibraryInfo::path(QLibraryInfo::PluginsPath)));
    return rows;
}

QString dependencyText(const QList<DependencyRow> &rows)
{
    QString text;
    for (const DependencyRow &row : rows)
        text += row.name + QStringLiteral(" : ") + row.version + QStringLiteral("\r\n");
    return text;
}

} // namespace tarvello::dialogs
