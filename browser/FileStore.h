#pragma once

#include "filelist/DisplayFilter.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tarvello::browser {

// The columns of the file view, which are also its sort orders.
enum FileColumn { NameColumn, SizeColumn, TypeColumn, DateColumn, ColumnCount };

// The files of a listed folder (anything that is not a folder, links
// followed), one packed record each: the names' bytes and sort keys sit in
// two arenas shared by all and the types in one table, so that a folder of
// a million files holds no block of its own per file and costs about a
// hundred bytes a file. The texts shown are made when asked for.
class FileStore
{
public:
    // Takes one file in; nativeName holds the bytes as the file system does
    // (names are bytes on Linux, and these tell two files apart).
    void add(QByteArrayView nativeName, qint64 size, qint64 modified);
    // Takes the files of other in, after this one's.
    void append(const FileStore &other);
    // Orders the files by name.
    void sortByName();
    // Gives back the spare room the arenas grew with.
    void squeeze();

    int count() const { return int(m_files.size()); }
    QByteArrayView nativeName(int i) const
    {
        return {m_names.data() + m_files[i].nameAt, m_files[i].nameLength};
    }
    // The name as shown: bytes that are not UTF-8 become U+FFFD.
    QString name(int i) const;
    // Extension in capitals ("" without one).
    const QString &type(int i) const { return m_types[m_files[i].type]; }
    qint64 size(int i) const { return m_files[i].size; }
    // Last modification, milliseconds since 1970 (UTC).
    qint64 modified(int i) const { return m_files[i].modified; }
    // The largest size held.
    qint64 largest() const { return m_largest; }

    // Orders two files by the column (a FileColumn), equal values by name:
    // negative, zero (the same file) or positive.
    int compare(int i, int j, int column) const;

    // Bytes held, records and arenas with their spare room.
    qsizetype bytes() const;

private:
    struct File {
        qint64 size;
        qint64 modified;
        quint32 nameAt;
        quint32 keyAt;
        quint32 type;
        quint16 nameLength;
        quint16 keyLength;
    };

    QString sortKey(int i) const
    {
        return QString::fromRawData(m_keys.data() + m_files[i].keyAt, m_files[i].keyLength);
    }
    quint32 typeIndex(const QString &type);

    std::vector<File> m_files;
    std::vector<char> m_names;
    std::vector<QChar> m_keys;
    QStringList m_types;
    QHash<QString, quint32> m_typeIndex;
    qint64 m_largest = 0;
};

// The order the view shows its files in.
struct ViewOrder {
    int column = NameColumn;
    Qt::SortOrder order = Qt::AscendingOrder;

    bool less(const FileStore &files, int a, int b) const
    {
        const int order = files.compare(a, b, column);
        return this->order == Qt::AscendingOrder ? order < 0 : order > 0;
    }
    bool operator==(const ViewOrder &) const = default;
};

// What a new listing of a folder changes in the view of its old listing,
// worked out away from the window's thread.
struct Resync {
    // The new listing.
    std::shared_ptr<FileStore> files;
    // For each file of the old listing: its index in the new one, or -1
    // when it went.
    std::vector<int> carried;
    // For each file of the new listing: true when it was not in the old.
    std::vector<char> fresh;
    // The new listing's files that pass the filter, in view order.
    std::vector<int> rows;
    // Files of the new listing whose size or date changed.
    std::vector<int> changed;
    // The filter and order rows were made for.
    QString filter;
    ViewOrder order;
};

// The indices of the files that pass the filter, in view order.
std::vector<int> viewRows(const FileStore &files, const filelist::DisplayFilter &filter, const ViewOrder &order);

// Compares the new listing now with the old one shown.
Resync resync(const FileStore &shown, std::shared_ptr<FileStore> now, const filelist::DisplayFilter &filter,
              const ViewOrder &order);

} // namespace tarvello::browser
