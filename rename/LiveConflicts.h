#pragma once

#include "filelist/FileList.h"
#include "rename/FileOps.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The conflicts of the list as the rule is typed: the rules rename planning
// holds positions back by, read from the names alone, one listing per target
// folder and hash lookups, so that a list of 100,000 files is checked at each
// key press. Nothing is created or moved; the review at the rename stays the
// last word (it also sees links, folders renamed with their content and
// file systems that ignore case).
namespace tarvello::rename {

// Why a row's new name would not be given, the first reason found.
enum class NameStatus : quint8 {
    Fine,
    Invalid,   // empty, ".", "..", over 255 bytes, or a folder part that is not rooted
    Forbidden, // holds a character of the forbidden-character table
    Duplicate, // another row gets the same new path, case ignored
    OnDisk,    // a file not in the list (or not renamed) already has this path
    Blocked,   // the new path is the old path of a row that cannot move
};

// The names of target folders, each read once and read again only when the
// folder changed since (its stamp tells) or after forget().
class FolderListings
{
public:
    explicit FolderListings(FileOps &fs);

    // The folder's names; nullptr when it cannot be listed (missing, not a
    // folder, or ignoring case).
    const common::FolderNames *names(const QByteArray &folder);

    // Drops every listing: a rename moved files.
    void forget();

    // Takes the names an add read in the folder, no sooner than readFrom
    // (nanoseconds since the epoch), when it was last modified at modified.
    // The next check takes them as they are while the folder's stamp holds:
    // within one add, a listing is one moment. Later checks read the folder
    // again as they would any listing read at that time.
    void keep(const QByteArray &folder, qint64 modified, common::FolderNames names, qint64 readFrom);
    // Drops the listings kept since the last check that it did not ask for
    // (folders no file goes to): later checks follow the rules of any.
    void settle();

private:
    struct Listing {
        FolderStamp stamp;
        qint64 listedAt = 0; // nanoseconds since the epoch
        std::optional<common::FolderNames> names;
        bool kept = false;
    };

    FileOps &m_fs;
    QHash<QByteArray, Listing> m_listings;
};

// What the check reads besides the list.
struct NameRules {
    QString forbiddenCharacters; // every character of the forbidden-character table
    QStringList notRenamed;      // new names that mean the row stays as it is (messages 91 and 97)
};

struct ConflictCheck {
    QList<NameStatus> statuses; // one a row, in list order
    int count = 0;              // rows not Fine
};

// The status of every row. Linear in the rows; each target folder is
// stamped once and listed when it changed.
ConflictCheck checkConflicts(const QList<filelist::FileEntry> &entries, const NameRules &rules,
                             FolderListings &folders);

} // namespace tarvello::rename
