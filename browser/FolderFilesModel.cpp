#include "browser/FolderFilesModel.h"

#include "common/NameOrder.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <numeric>

namespace tarvello::browser {

using common::compareNames;
using common::compareSortKeys;

namespace {

// Beyond this many separate runs of vanished rows, one reset is cheaper than
// removing run by run (each removal moves the rows after it).
constexpr int kMaxRemovalRuns = 32;

const QChar kValueMark(0x01);

int compareNumbers(qint64 a, qint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

FolderFilesModel::FolderFilesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void FolderFilesModel::setTexts(const Texts &texts)
{
    m_texts = texts;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_rows.empty())
        emit dataChanged(index(0, SizeColumn), index(int(m_rows.size()) - 1, DateColumn));
}

int FolderFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FolderFilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FolderFilesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListedFile &file = entry(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case NameColumn:
            return file.name;
        case SizeColumn:
            return sizeText(file.size);
        case TypeColumn:
            return file.type.isEmpty() ? m_texts.typeNone
                                       : QString(m_texts.typeFormat).replace(kValueMark, file.type);
        case DateColumn:
            return QLocale::c().toString(QDateTime::fromMSecsSinceEpoch(file.modified), m_texts.dateFormat);
        }
        break;
    case Qt::DecorationRole:
        if (column == NameColumn)
            return iconFor(file.type);
        break;
    case Qt::ToolTipRole:
        if (column == NameColumn)
            return file.name;
        break;
    case Qt::TextAlignmentRole:
        if (column == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return {};
}

QVariant FolderFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return m_texts.headers.value(section);
    if (role == Qt::TextAlignmentRole && section == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool FolderFilesModel::less(int a, int b) const
{
    const ListedFile &x = m_all[a];
    const ListedFile &y = m_all[b];
    int order = 0;
    switch (m_sortColumn) {
    case SizeColumn:
        order = compareNumbers(x.size, y.size);
        break;
    case TypeColumn:
        order = compareSortKeys(x.type, y.type);
        break;
    case DateColumn:
        order = compareNumbers(x.modified, y.modified);
        break;
    default:
        break;
    }
    if (order == 0)
        order = compareNames(x.sortKey, x.name, x.nativeName, y.sortKey, y.name, y.nativeName);
    return m_sortOrder == Qt::AscendingOrder ? order < 0 : order > 0;
}

void FolderFilesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    std::vector<int> positions(m_rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::sort(positions.begin(), positions.end(), [this](int p, int q) { return less(m_rows[p], m_rows[q]); });
    applyOrder(positions);
}

void FolderFilesModel::applyOrder(const std::vector<int> &order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> rows(order.size());
    std::vector<int> newPosition(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        rows[i] = m_rows[order[i]];
        newPosition[order[i]] = int(i);
    }
    m_rows.swap(rows);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to.append(index(newPosition[old.row()], old.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int FolderFilesModel::rowOf(const QByteArray &nativeName) const
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_all[m_rows[row]].nativeName == nativeName)
            return int(row);
    }
    return -1;
}

void FolderFilesModel::setFilter(const filelist::DisplayFilter &filter)
{
    beginResetModel();
    m_filter = filter;
    rebuildRows();
    endResetModel();
}

void FolderFilesModel::clear()
{
    beginResetModel();
    m_all.clear();
    m_rows.clear();
    m_largest = 0;
    endResetModel();
}

void FolderFilesModel::rebuildRows()
{
    m_rows.clear();
    for (size_t i = 0; i < m_all.size(); ++i) {
        if (m_filter.matches(m_all[i].name))
            m_rows.push_back(int(i));
    }
    std::sort(m_rows.begin(), m_rows.end(), [this](int a, int b) { return less(a, b); });
}

void FolderFilesModel::addFiles(const FileBatch &files)
{
    std::vector<int> fresh;
    for (const ListedFile &file : files) {
        m_largest = std::max(m_largest, file.size);
        if (m_filter.matches(file.name))
            fresh.push_back(int(m_all.size()));
        m_all.push_back(file);
    }
    if (fresh.empty())
        return;
    const auto inOrder = [this](int a, int b) { return less(a, b); };
    if (!std::is_sorted(fresh.begin(), fresh.end(), inOrder))
        std::sort(fresh.begin(), fresh.end(), inOrder);
    const int count = int(m_rows.size());
    const bool allAfter = count == 0 || !less(fresh.front(), m_rows.back());
    beginInsertRows({}, count, count + int(fresh.size()) - 1);
    m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
    endInsertRows();
    if (allAfter)
        return;
    // Both parts are sorted: one merge puts the new rows in place.
    std::vector<int> positions(m_rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::inplace_merge(positions.begin(), positions.begin() + count, positions.end(),
                       [this](int p, int q) { return less(m_rows[p], m_rows[q]); });
    applyOrder(positions);
}

void FolderFilesModel::syncFiles(const FileBatch &files)
{
    QHash<QByteArray, int> fresh;
    fresh.reserve(qsizetype(files.size()));
    m_largest = 0;
    for (size_t j = 0; j < files.size(); ++j) {
        fresh.insert(files[j].nativeName, int(j));
        m_largest = std::max(m_largest, files[j].size);
    }

    std::vector<char> known(files.size(), 0);
    std::vector<int> newIndex(m_all.size(), -1);
    std::vector<ListedFile> kept;
    kept.reserve(m_all.size());
    std::vector<int> changed;
    for (size_t i = 0; i < m_all.size(); ++i) {
        const auto found = fresh.constFind(m_all[i].nativeName);
        if (found == fresh.cend())
            continue;
        known[*found] = 1;
        ListedFile &file = m_all[i];
        const ListedFile &now = files[*found];
        if (file.size != now.size || file.modified != now.modified) {
            file.size = now.size;
            file.modified = now.modified;
            changed.push_back(int(kept.size()));
        }
        newIndex[i] = int(kept.size());
        kept.push_back(file);
    }
    FileBatch added;
    for (size_t j = 0; j < files.size(); ++j) {
        if (!known[j])
            added.push_back(files[j]);
    }

    // Vanished rows, as runs of consecutive rows from the last to the first.
    std::vector<std::pair<int, int>> runs;
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (newIndex[m_rows[row]] >= 0)
            continue;
        if (!runs.empty() && runs.back().first == row + 1)
            runs.back().first = row;
        else
            runs.emplace_back(row, row);
    }
    if (runs.size() > size_t(kMaxRemovalRuns)) {
        beginResetModel();
        m_all = std::move(kept);
        m_all.insert(m_all.end(), added.begin(), added.end());
        rebuildRows();
        endResetModel();
        return;
    }
    for (const auto &[first, last] : runs) {
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
    m_all = std::move(kept);
    for (int &row : m_rows)
        row = newIndex[row];

    if (!changed.empty()) {
        std::vector<int> rowOfIndex(m_all.size(), -1);
        for (size_t row = 0; row < m_rows.size(); ++row)
            rowOfIndex[m_rows[row]] = int(row);
        int top = int(m_rows.size());
        int bottom = -1;
        for (const int i : changed) {
            if (rowOfIndex[i] >= 0) {
                top = std::min(top, rowOfIndex[i]);
                bottom = std::max(bottom, rowOfIndex[i]);
            }
        }
        if (bottom >= 0) {
            emit dataChanged(index(top, SizeColumn), index(bottom, DateColumn));
            if (m_sortColumn == SizeColumn || m_sortColumn == DateColumn)
                sort(m_sortColumn, m_sortOrder);
        }
    }
    addFiles(added);
}

QString FolderFilesModel::widestSizeText() const
{
    return sizeText(std::max<qint64>(m_largest, 999 * 1024));
}

QString FolderFilesModel::sizeText(qint64 size) const
{
    // Whole kilobytes rounded up, so that a file of a few bytes does not read as empty.
    QString digits = QString::number((size + 1023) / 1024);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, m_texts.digitGroup);
    return QString(m_texts.sizeFormat).replace(kValueMark, digits);
}

QIcon FolderFilesModel::iconFor(const QString &type) const
{
    const auto cached = m_icons.constFind(type);
    if (cached != m_icons.cend())
        return *cached;
    QIcon icon;
    if (!type.isEmpty()) {
        const QList<QMimeType> types =
            QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.") + type.toLower());
        if (!types.isEmpty())
            icon = QIcon::fromTheme(types.first().iconName(), QIcon::fromTheme(types.first().genericIconName()));
    }
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    m_icons.insert(type, icon);
    return icon;
}

} // namespace tarvello::browser
