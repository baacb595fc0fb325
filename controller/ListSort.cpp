#include "controller/ListSort.h"

#include "common/NameOrder.h"
#include "exif/ExifInfo.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include <sys/stat.h>

namespace tarvello::controller {

namespace {

// What an entry is sorted by: a number or a text, when known.
struct SortValue {
    bool known = false;
    qint64 number = 0;
    QString text;
};

SortValue valueOf(const filelist::FileEntry &entry, SortKey key, exif::ExifSource &exif)
{
    SortValue value;
    switch (key) {
    case SortKey::Name:
        value = {true, 0, common::nameSortKey(entry.readableName())};
        break;
    case SortKey::Natural:
        value = {true, 0, common::nameCollationKey(entry.readableName())};
        break;
    case SortKey::Modified:
    case SortKey::Size: {
        struct stat st {};
        if (::stat(entry.nativePath().c_str(), &st) == 0) {
            value.known = true;
            value.number = key == SortKey::Size ? qint64(st.st_size)
                                                : qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        }
        break;
    }
    case SortKey::Taken:
        // "2004:03:05 09:07:02": the text's order is the dates' order.
        value.text = exif.getExif(entry.readablePath()).DateTaken;
        value.known = !value.text.isEmpty();
        break;
    }
    return value;
}

} // namespace

std::optional<SortKey> sortKeyOf(const QString &name)
{
    const std::pair<const char *, SortKey> names[] = {{"name", SortKey::Name},
                                                      {"natural", SortKey::Natural},
                                                      {"mtime", SortKey::Modified},
                                                      {"taken", SortKey::Taken},
                                                      {"size", SortKey::Size}};
    for (const auto &[text, key] : names) {
        if (name == QLatin1String(text))
            return key;
    }
    return std::nullopt;
}

QList<int> sortedRows(const QList<filelist::FileEntry> &entries, ListSort sort, exif::ExifSource &exif)
{
    std::vector<SortValue> values;
    values.reserve(size_t(entries.size()));
    for (const filelist::FileEntry &entry : entries)
        values.push_back(valueOf(entry, sort.key, exif));
    QList<int> rows(entries.size());
    std::iota(rows.begin(), rows.end(), 0);
    const bool byNumber = sort.key == SortKey::Modified || sort.key == SortKey::Size;
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const SortValue &x = values[size_t(a)];
        const SortValue &y = values[size_t(b)];
        if (x.known != y.known)
            return x.known;
        if (!x.known)
            return false;
        const SortValue &first = sort.descending ? y : x;
        const SortValue &second = sort.descending ? x : y;
        return byNumber ? first.number < second.number : first.text < second.text;
    });
    return rows;
}

} // namespace tarvello::controller
