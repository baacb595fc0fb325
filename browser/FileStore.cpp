#include "browser/FileStore.h"

#include "common/NameOrder.h"
#include "common/Zub.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <numeric>

namespace tarvello::browser {

using common::compareSortKeys;

namespace {

int compareNumbers(qint64 a, qint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

void FileStore::add(QByteArrayView nativeName, qint64 size, qint64 modified)
{
    File file {};
    file.size = size;
    file.modified = modified;
    file.nameAt = quint32(m_names.size());
    file.nameLength = quint16(nativeName.size());
    m_names.insert(m_names.end(), nativeName.begin(), nativeName.end());
    const QString shown = QFile::decodeName(QByteArray::fromRawData(nativeName.data(), nativeName.size()));
    const QString key = common::nameSortKey(shown);
    file.keyAt = quint32(m_keys.size());
    file.keyLength = quint16(key.size());
    m_keys.insert(m_keys.end(), key.cbegin(), key.cend());
    file.type = typeIndex(common::ZubGetExtension(shown).toUpper());
    m_files.push_back(file);
    m_largest = std::max(m_largest, size);
}

quint32 FileStore::typeIndex(const QString &type)
{
    const auto known = m_typeIndex.constFind(type);
    if (known != m_typeIndex.cend())
        return *known;
    m_types.append(type);
    m_typeIndex.insert(type, quint32(m_types.size() - 1));
    return quint32(m_types.size() - 1);
}

void FileStore::append(const FileStore &other)
{
    std::vector<quint32> types(other.m_types.size());
    for (qsizetype t = 0; t < other.m_types.size(); ++t)
        types[t] = typeIndex(other.m_types[t]);
    const quint32 names = quint32(m_names.size());
    const quint32 keys = quint32(m_keys.size());
    m_names.insert(m_names.end(), other.m_names.begin(), other.m_names.end());
    m_keys.insert(m_keys.end(), other.m_keys.begin(), other.m_keys.end());
    for (File file : other.m_files) {
        file.nameAt += names;
        file.keyAt += keys;
        file.type = types[file.type];
        m_files.push_back(file);
    }
    m_largest = std::max(m_largest, other.m_largest);
}

void FileStore::sortByName()
{
    std::vector<int> order(m_files.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](int a, int b) { return compare(a, b, NameColumn) < 0; });
    std::vector<File> sorted;
    sorted.reserve(m_files.size());
    for (const int i : order)
        sorted.push_back(m_files[i]);
    m_files.swap(sorted);
}

void FileStore::squeeze()
{
    m_files.shrink_to_fit();
    m_names.shrink_to_fit();
    m_keys.shrink_to_fit();
}

QString FileStore::name(int i) const
{
    const QByteArrayView bytes = nativeName(i);
    return QFile::decodeName(QByteArray::fromRawData(bytes.data(), bytes.size()));
}

int FileStore::compare(int i, int j, int column) const
{
    const File &a = m_files[i];
    const File &b = m_files[j];
    int order = 0;
    switch (column) {
    case SizeColumn:
        order = compareNumbers(a.size, b.size);
        break;
    case TypeColumn:
        if (a.type != b.type)
            order = compareSortKeys(m_types[a.type], m_types[b.type]);
        break;
    case DateColumn:
        order = compareNumbers(a.modified, b.modified);
        break;
    default:
        break;
    }
    if (order != 0)
        return order;
    // The order of common::compareNames, the shown names made only for
    // the rare names whose sort keys tie.
    if (const int byKey = compareSortKeys(sortKey(i), sortKey(j)))
        return byKey;
    if (const int byName = name(i).compare(name(j)))
        return byName < 0 ? -1 : 1;
    const int byBytes = nativeName(i).compare(nativeName(j));
    return byBytes < 0 ? -1 : (byBytes > 0 ? 1 : 0);
}

qsizetype FileStore::bytes() const
{
    return qsizetype(m_files.capacity() * sizeof(File) + m_names.capacity() + m_keys.capacity() * sizeof(QChar));
}

std::vector<int> viewRows(const FileStore &files, const filelist::DisplayFilter &filter, const ViewOrder &order)
{
    std::vector<int> rows;
    rows.reserve(size_t(files.count()));
    for (int i = 0; i < files.count(); ++i) {
        if (filter.matches(files.name(i)))
            rows.push_back(i);
    }
    std::sort(rows.begin(), rows.end(), [&](int a, int b) { return order.less(files, a, b); });
    return rows;
}

Resync resync(const FileStore &shown, std::shared_ptr<FileStore> now, const filelist::DisplayFilter &filter,
              const ViewOrder &order)
{
    Resync result;
    const FileStore &files = *now;
    // The old names in an open-addressing table of their indices: a
    // million names cost one block of ints rather than a node each.
    const size_t tableSize = std::bit_ceil(size_t(shown.count()) * 2 + 2);
    std::vector<int> table(tableSize, -1);
    for (int i = 0; i < shown.count(); ++i) {
        size_t slot = qHash(shown.nativeName(i)) & (tableSize - 1);
        while (table[slot] >= 0)
            slot = (slot + 1) & (tableSize - 1);
        table[slot] = i;
    }
    result.carried.assign(size_t(shown.count()), -1);
    result.fresh.assign(size_t(files.count()), 1);
    for (int j = 0; j < files.count(); ++j) {
        const QByteArrayView name = files.nativeName(j);
        for (size_t slot = qHash(name) & (tableSize - 1); table[slot] >= 0; slot = (slot + 1) & (tableSize - 1)) {
            const int i = table[slot];
            if (shown.nativeName(i) != name)
                continue;
            result.carried[i] = j;
            result.fresh[j] = 0;
            if (shown.size(i) != files.size(j) || shown.modified(i) != files.modified(j))
                result.changed.push_back(j);
            break;
        }
    }
    table = {};
    result.rows = viewRows(files, filter, order);
    result.files = std::move(now);
    result.filter = filter.text();
    result.order = order;
    return result;
}

} // namespace tarvello::browser
