#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tarvello::dialogs {

// One row of the dependency list: a runtime file's name and its version.
struct DependencyRow {
    QString name;
    QString version;
    bool operator==(const DependencyRow &) const = default;
};

// The full paths of the shared libraries the running process has loaded, in
// load order (the program itself and the kernel's virtual library left out).
QStringList loadedLibraries();

// The rows of the runtime files among these paths: the program's own core
// library first, then Qt's libraries and plugins (those under qtPluginFolder),
// then every other library, each group by name. The version comes from
// ZubGetVersionInformation, "" for a file that is gone from the disk.
QList<DependencyRow> runtimeFileRows(const QStringList &libraryPaths, const QString &qtPluginFolder);

// The dependency list of the running program: the system row (caption, and
// the operating system's name and version) first, then its runtime files.
QList<DependencyRow> dependencyRows(const QString &systemCaption);

// The list as the clipboard receives it: "name : version" and "\r\n" per row.
QString dependencyText(const QList<DependencyRow> &rows);

} // namespace tarvello::dialogs
