#pragma once

#include "common/VbError.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvello::rules {

class FileFacts;

// The folder listings of continuation mode, kept for one recomputation (or one
// batch of added files) so that every file of a folder does not list it again.
// For each shape of counter (prefix length, width) the entries are indexed by
// their text around the counter, so a file finds its candidates at once: the
// cost stays linear in the number of files and entries, with the results of a
// scan of the whole folder per file.
class FolderScanCache
{
public:
    // The highest counter number among the entries of the folder that do not
    // begin with "." and read prefix, width characters and suffix exactly; 0
    // when none. The counter text is read as a 32-bit number: the first
    // matching entry (in listing order) that does not convert throws its
    // VbError (13 or 6), as the scan stopped there. A folder that cannot be
    // read throws VbError 70.
    qint32 highestNumber(const FileFacts &files, const QString &folder, const QString &prefix, int width,
                         const QString &suffix);

private:
    struct Candidates {
        QList<int> entries;
        bool computed = false;
        qint32 highest = 0;
        std::optional<common::VbError> error;
    };
    using Shape = QHash<QString, Candidates>;
    struct Folder {
        std::optional<QStringList> entries;
        QHash<quint64, Shape> shapes;
    };

    static Shape indexShape(const QStringList &entries, int prefixLength, int width);
    static void compute(Candidates &candidates, const QStringList &entries, int prefixLength, int width);

    QHash<QString, Folder> m_folders;
};

} // namespace tarvello::rules
