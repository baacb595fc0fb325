#pragma once

#include "common/FolderNames.h"
#include "common/NativePath.h"
#include "filelist/DisplayFilter.h"
#include "filelist/FileList.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

// The folder scans of the add operations: the count that message 52 and 59
// announce, and the breadth-first collection of a hierarchy's files. They run
// on the window's thread and hand it control between entries.
namespace tarvello::filelist {

// True when the name's bytes read as text and give the same bytes back. Linux
// names are bytes: a name that is not valid UTF-8 shows with U+FFFD, and a
// path built from that text would name another file, or none, so such files
// are known by their bytes.
bool isTextName(const QByteArray &nativeName);

// True for the name a rename gives a file between its two phases: "tmp_Tarv",
// one or more "_", a position, then nothing or "_" and the rest of the old
// name. Such a file belongs to a run cut short, which puts it back under its
// old or its new name: it is never offered as a file to rename.
bool isRenameTemporaryName(QByteArrayView nativeName);

// Called after every entry of a scan with the number of matching files found
// so far; false stops the scan. The caller paces its window events itself.
using ScanBreak = std::function<bool(int found)>;

// What countFiles found.
struct FolderTally {
    bool recursive = false;
    // Files whose name passes the filter.
    qint32 files = 0;
    // Entries visited, folders included.
    qint32 entries = 0;
    // The scan was stopped; the counts hold what was seen until then.
    bool stopped = false;
};

// The folders a count has read, kept for the collection of the same add: a
// folder is taken from here while it has not changed since (same folder,
// same modification time), else it is read anew, as one changed while the
// user answered the question between them is. A change made in the same
// tick of the file system's clock as the reading goes unseen, as it would
// have a moment later: within one add, a listing is one moment. Reading
// each folder once halves the cost of a large add.
class FolderListings
{
public:
    struct Listing;

    FolderListings();
    ~FolderListings();
    FolderListings(const FolderListings &) = delete;
    FolderListings &operator=(const FolderListings &) = delete;

    // Keeps what the folder held when it was read.
    void keep(const QString &folder, std::unique_ptr<Listing> listing);
    // What the folder held, when it has not changed since; null otherwise.
    std::unique_ptr<Listing> takeUnchanged(const QString &folder);

private:
    std::unordered_map<QString, std::unique_ptr<Listing>> m_listings;
};

// Counts the files of the folder (full path) whose name passes the filter,
// and those of its sub-folders when recursive. Names beginning with "." are
// passed over, files and folders alike, as the program always did. A folder
// that cannot be listed adds nothing; links to folders are not entered (a
// link back up the tree would never end), nor are folders whose names are not
// text, whose files could not be listed by text. Files whose names are not
// text count. The folders read go to keep when given.
FolderTally countFiles(const QString &folder, bool recursive, const DisplayFilter &filter, const ScanBreak &pause,
                       FolderListings *keep = nullptr);

// The entries an add operation leaves out because the list holds them.
class ListedFiles
{
public:
    enum class Match {
        // The same name in any folder is listed.
        Name,
        // Only the same name in the same folder; files taken by the add count
        // from then on too, since a path seen twice is the same file.
        Path,
    };

    explicit ListedFiles(Match match);

    // Notes the entries of the list.
    void addEntries(const QList<FileEntry> &entries);
    // Notes one file of the list.
    void add(const common::NativePath &path);

    // False when the file is listed; otherwise true, and with Match::Path
    // the file is noted as taken. Names are told apart by their bytes.
    bool takeIfNew(const common::NativePath &path);
    // The same for the name in the folder whose bytes, "/" ended, are given.
    bool takeIfNew(QByteArrayView folder, QByteArrayView name);
    // True when the file is listed or was taken; nothing is noted.
    bool holds(const common::NativePath &path) const;

private:
    // What the file is told apart by: its name or its path.
    QByteArray key(const common::NativePath &path) const;

    Match m_match;
    QSet<QByteArray> m_keys;
};

// What collectFiles gathered.
struct CollectedFiles {
    // The files to add, in order: a name and the folder it lies in. A large
    // add holds them beside the list they go to, so they take a third of
    // the room of entries.
    struct File {
        QString name;
        qint32 folder; // its place among folders
    };
    QList<File> files;
    // The folders of the files, as their entries read them.
    QStringList folders;
    // The bytes of the names that are not text, by their place among files.
    QHash<qsizetype, QByteArray> notTextNames;
    // The entry of files[i], with no new name yet.
    FileEntry entry(qsizetype i) const
    {
        const File &file = files.at(i);
        return {file.name, folders.at(file.folder), {}, notTextNames.isEmpty() ? QByteArray() : notTextNames.value(i)};
    }
    // Matching files seen, those already listed included.
    int found = 0;
    // Paths, as shown, of the folders left out because their names are not text.
    QStringList notText;
    // The scan was stopped: what it gathered is not to be added.
    bool stopped = false;
    // The names each folder listed held, hidden ones and those of links to
    // folders included; folders that ignore case are left out.
    struct FolderReading {
        QByteArray folder; // its path with no final "/"
        qint64 modified;   // its modification time then, in nanoseconds
        common::FolderNames names;
    };
    std::vector<FolderReading> folderNames;
};

// Collects the files under each start folder in turn whose name passes the
// filter and that listed does not hold, breadth first: a folder's own files
// before those of its sub-folders, each folder's files and sub-folders in the
// file view's name order. Hidden files and folders are taken; a folder that
// cannot be listed is passed over with what it holds; links to folders are
// not entered, and no folder is listed twice. Unchanged folders are taken
// from kept, when given, instead of being read again. Room is made at once
// for the number of files expected, when given (the count's).
CollectedFiles collectFiles(const QStringList &startFolders, const DisplayFilter &filter, ListedFiles &listed,
                            const ScanBreak &pause, FolderListings *kept = nullptr, qsizetype expected = 0);

} // namespace tarvello::filelist

// A list of a million files grows by moving its block.
Q_DECLARE_TYPEINFO(tarvello::filelist::CollectedFiles::File, Q_RELOCATABLE_TYPE);
