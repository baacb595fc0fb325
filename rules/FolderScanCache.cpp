#include "rules/FolderScanCache.h"

#include "common/Vb.h"
#include "rules/Environment.h"

namespace tarvello::rules {

using common::VbError;

FolderScanCache::Shape FolderScanCache::indexShape(const QStringList &entries, int prefixLength, int width)
{
    Shape shape;
    for (int i = 0; i < entries.size(); ++i) {
        const QString &entry = entries.at(i);
        if (entry.startsWith(QLatin1Char('.')) || entry.size() < prefixLength)
            continue;
        // The prefix has a fixed length, so prefix and suffix joined name the pair.
        shape[entry.left(prefixLength) + entry.mid(prefixLength + width)].entries.append(i);
    }
    return shape;
}

void FolderScanCache::compute(Candidates &candidates, const QStringList &entries, int prefixLength, int width)
{
    candidates.computed = true;
    for (const int i : std::as_const(candidates.entries)) {
        try {
            candidates.highest = std::max(candidates.highest, common::vbCLng(entries.at(i).mid(prefixLength, width)));
        } catch (const VbError &error) {
            candidates.error = error;
            return;
        }
    }
}

qint32 FolderScanCache::highestNumber(const FileFacts &files, const QString &folder, const QString &prefix,
                                      int width, const QString &suffix)
{
    auto found = m_folders.find(folder);
    if (found == m_folders.end())
        found = m_folders.insert(folder, Folder{files.folderEntries(folder), {}});
    Folder &listing = *found;
    if (!listing.entries)
        throw VbError(VbError::PermissionDenied);

    const int prefixLength = int(prefix.size());
    const quint64 shapeKey = (quint64(quint32(prefixLength)) << 32) | quint32(width);
    auto shape = listing.shapes.find(shapeKey);
    if (shape == listing.shapes.end())
        shape = listing.shapes.insert(shapeKey, indexShape(*listing.entries, prefixLength, width));

    const auto match = shape->find(prefix + suffix);
    if (match == shape->end())
        return 0;
    if (!match->computed)
        compute(*match, *listing.entries, prefixLength, width);
    if (match->error)
        throw *match->error;
    return match->highest;
}

} // namespace tarvello::rules
