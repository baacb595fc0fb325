#include "filelist/FileList.h"

#include "common/Cp1252.h"
#include "common/LargePages.h"
#include "common/Zub.h"

#include <QFile>

#include <algorithm>

namespace tarvello::filelist {

FileEntry FileEntry::of(const common::NativePath &path)
{
    const QString text = path.text();
    FileEntry entry{common::ZubGetFileName(text), common::ZubGetPath(text), {}, {}};
    const common::NativePath name = path.name();
    if (!name.textIsExact())
        entry.notTextName = name.bytes();
    return entry;
}

FileEntry EntryMaker::make(const common::NativePath &path)
{
    const QByteArray &bytes = path.bytes();
    const qsizetype slash = bytes.lastIndexOf('/');
    // A byte sequence cut short or spoilt ends before a "/", so the folder's
    // text does not depend on the name that follows it, nor the name's on the folder.
    const bool sameFolder = slash > 0 && slash == m_folderBytes.size() && bytes.startsWith(m_folderBytes);
    if (!sameFolder) {
        FileEntry entry = FileEntry::of(path);
        m_folderBytes = slash > 0 ? bytes.left(slash) : QByteArray();
        m_folder = entry.folder;
        return entry;
    }
    // Linux names decode as UTF-8, as QFile::decodeName reads them.
    const QByteArrayView name = QByteArrayView(bytes).sliced(slash + 1);
    FileEntry entry{QString::fromUtf8(name), m_folder, {}, {}};
    if (!common::isAscii(name) && QFile::encodeName(entry.name) != name)
        entry.notTextName = name.toByteArray();
    return entry;
}

QString FileEntry::path() const
{
    return folder + QLatin1Char('/') + name;
}

common::NativePath FileEntry::nativePath() const
{
    if (nameIsText())
        return common::NativePath::fromText(path());
    return common::NativePath::fromText(folder + QLatin1Char('/')).child(common::NativePath::fromBytes(notTextName));
}

QString FileEntry::readableName() const
{
    return nameIsText() ? name : common::decodeCp1252(notTextName);
}

QString FileEntry::readablePath() const
{
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    readablePathInto(path);
    return path;
}

void FileEntry::readablePathInto(QString &path) const
{
    path.resize(0);
    path.append(folder).append(QLatin1Char('/')).append(readableName());
}

int FileList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int FileList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant FileList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const FileEntry &e = m_entries.at(index.row());
    const quint8 status = m_statuses.value(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return e.nameIsText() ? e.name : e.name + m_notTextMark;
        return index.column() == 1 ? e.newName : m_statusTexts.value(status - 1);
    case Qt::ToolTipRole:
        if (index.column() == 0)
            return e.nameIsText() ? e.path() : m_notTextTip.arg(e.path(), common::decodeCp1252(e.notTextName));
        return index.column() == 1 ? e.newName : m_statusTexts.value(status - 1);
    case kConflictRole:
        return status != 0;
    default:
        return {};
    }
}

QVariant FileList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void FileList::setHeaders(const QString &currentName, const QString &newName, const QString &status)
{
    m_headers[0] = currentName;
    m_headers[1] = newName;
    m_headers[2] = status;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 2);
}

void FileList::setStatusTexts(const QStringList &texts)
{
    m_statusTexts = texts;
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0, 2), index(int(m_entries.size()) - 1, 2));
}

void FileList::setStatuses(QList<quint8> statuses)
{
    statuses.resize(m_entries.size());
    if (statuses == m_statuses)
        return;
    m_statuses = std::move(statuses);
    if (m_entries.isEmpty())
        return;
    Q_EMIT dataChanged(index(0, 0), index(int(m_entries.size()) - 1, 2), {Qt::DisplayRole, Qt::ToolTipRole, kConflictRole});
}

void FileList::setNotTextMark(const QString &mark, const QString &tip)
{
    m_notTextMark = mark;
    m_notTextTip = tip;
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_entries.size()) - 1, 0));
}

void FileList::newNamesChanged()
{
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0, 1), index(int(m_entries.size()) - 1, 1));
}

int FileList::append(const FileEntry &entry)
{
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append(entry);
    m_statuses.append(0);
    endInsertRows();
    return row;
}

void FileList::appendAll(QList<FileEntry> &&entries)
{
    if (entries.isEmpty())
        return;
    const int first = int(m_entries.size());
    beginInsertRows({}, first, first + int(entries.size()) - 1);
    m_entries.append(std::move(entries));
    m_statuses.resize(m_entries.size());
    endInsertRows();
}

void FileList::reserve(qsizetype count)
{
    if (count <= m_entries.capacity())
        return;
    m_entries.reserve(count);
    m_statuses.reserve(count);
    // The room past the entries is fresh: in huge pages, a million entries
    // cost some fifty faults rather than 24,000.
    common::offerHugePages(m_entries.constData() + m_entries.size(),
                           size_t(m_entries.capacity() - m_entries.size()) * sizeof(FileEntry));
}

void FileList::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries = {};
    m_statuses = {};
    endResetModel();
}

void FileList::removeEntries(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Runs of adjacent rows go in one notification, from the last run to the first.
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows.at(i);
        int first = last;
        while (i + 1 < rows.size() && rows.at(i + 1) == first - 1)
            first = rows.at(++i);
        ++i;
        if (first < 0 || last >= m_entries.size())
            continue;
        beginRemoveRows({}, first, last);
        m_entries.remove(first, last - first + 1);
        m_statuses.remove(first, last - first + 1);
        endRemoveRows();
    }
    // A list keeps its room when rows go: after a rename of a million
    // entries, that is over a hundred megabytes held through the undo.
    if (m_entries.size() < m_entries.capacity() / 4) {
        m_entries.squeeze();
        m_statuses.squeeze();
    }
}

void FileList::swapEntries(int a, int b)
{
    if (a == b)
        return;
    m_entries.swapItemsAt(a, b);
    m_statuses.swapItemsAt(a, b);
    Q_EMIT dataChanged(index(std::min(a, b), 0), index(std::max(a, b), 2));
}

void FileList::moveEntry(int from, int to)
{
    if (from == to)
        return;
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    m_entries.move(from, to);
    m_statuses.move(from, to);
    endMoveRows();
}

void FileList::reorder(const QList<int> &rows)
{
    if (rows.size() != m_entries.size())
        return;
    Q_EMIT layoutAboutToBeChanged();
    QList<FileEntry> sorted;
    sorted.reserve(m_entries.size());
    QList<quint8> statuses;
    statuses.reserve(m_statuses.size());
    QList<int> newRow(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        sorted.append(std::move(m_entries[rows.at(i)]));
        statuses.append(m_statuses.value(rows.at(i)));
        newRow[rows.at(i)] = i;
    }
    m_entries = std::move(sorted);
    m_statuses = std::move(statuses);
    // The selection follows its entries.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &at : before)
        after.append(index(newRow.at(at.row()), at.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

} // namespace tarvello::filelist
