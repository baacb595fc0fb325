#pragma once

#include <QString>

// The program's file, path, text and system helpers. Paths use the native
// separator "/"; a "\" inside a file name is an ordinary character on Linux.
namespace tarvello::common {

// Special folders the program asks for, by their Windows numbers.
enum SpecialFolder { FolderDocuments = 5, FolderApplicationData = 26 };

// True for an existing file or folder (a dangling link counts as absent).
bool ZubFileExists(const QString &path);

// True for an existing folder.
bool ZubIsDir(const QString &path);

// Folder part of a full path, without trailing separator ("" for a file in "/").
QString ZubGetPath(const QString &fullPath);

// Last component of a path, extension kept.
QString ZubGetFileName(const QString &fullPath);

// Extension of a name or path without its dot; "" when the last component has
// none. A leading dot (".bashrc") and a trailing dot ("file.") start no extension.
QString ZubGetExtension(const QString &nameOrPath);

// The name or path without its extension and dot (unchanged when it has none).
QString ZubStrWithoutExt(const QString &nameOrPath);

// The text with accented letters made plain ("Français" gives "Francais").
QString ZubStringSansAccent(const QString &text);

// The text cut at its first NUL.
QString ZubTrimNull(const QString &text);

// The folder with a trailing separator.
QString ZubQualifyPath(const QString &folder);

// Creates the folder with every missing parent; true when it exists afterwards.
bool ZubCreateNestedFolders(const QString &folder);

// The user's private temporary folder: the system temporary folder, "/tarvello-"
// and the user id, created with mode 0700. Returns "" (and the reason in
// error) when it is a link, belongs to someone else or cannot be made private,
// since fixed names in a shared folder would be an attack surface.
QString ZubGetTempDir(QString *error = nullptr);

// Path of a special folder: application data is the user's configuration
// folder ($XDG_CONFIG_HOME, else ~/.config), documents the documents folder,
// else the home folder.
QString ZubCheminDossier(int folderNumber);

// The operating system's name and version.
QString ZubGetWindowsVersion();

// Version text of a file: for a shared library the numbers after ".so." of its
// real name ("6.4.2"); when the name carries none or only its interface number
// ("libc.so.6", "libqxcb.so"), the release the library carries inside (see
// ZubElfVersionDefinitions); "" when the file or its version is unknown.
QString ZubGetVersionInformation(const QString &filePath);

// Resident memory in bytes of the running process whose executable has this
// name; 0 when none runs.
qint64 ZubGetProcesses(const QString &executableName);

// A byte count as text with a size unit ("1.50 Mo").
QString ZubDoubleToUnit(double bytes);

// The whole file as UTF-8 text; code is 0 on success, else 53 (missing) or 70
// (unreadable) with errorText describing it.
QString ZubReadFileToBuffer(const QString &path, int &code, QString &errorText);

} // namespace tarvello::common
