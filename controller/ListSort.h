#pragma once

#include "filelist/FileList.h"

#include <QList>
#include <QString>

#include <optional>

namespace tarvello::exif {
class ExifSource;
}

// The orders the list can be sorted in before its files are numbered: the
// counter follows the list, so sorting it is choosing who gets which number.
namespace tarvello::controller {

enum class SortKey {
    // Character by character, case and accents aside: "IMG_10" before "IMG_2".
    Name,
    // As people read names: runs of digits by value, "IMG_2" before "IMG_10".
    Natural,
    // The file's last modification.
    Modified,
    // The date a photograph was taken (Exif).
    Taken,
    // The size in bytes.
    Size,
};

struct ListSort {
    SortKey key = SortKey::Natural;
    bool descending = false;
};

// The key an option names ("name", "natural", "mtime", "taken", "size").
std::optional<SortKey> sortKeyOf(const QString &name);

// The rows of entries in their sorted order. The sort is stable: entries
// that compare equal keep their order in the list, in both directions.
// Entries whose value is unknown (a file gone, a photograph without a date of
// shooting) come after the others, in list order, whichever the direction.
// Names are those the rule reads (a name that is not text read as
// Windows-1252); dates and sizes are read from the disk by the files' bytes,
// dates of shooting from exif.
QList<int> sortedRows(const QList<filelist::FileEntry> &entries, ListSort sort, exif::ExifSource &exif);

} // namespace tarvello::controller
