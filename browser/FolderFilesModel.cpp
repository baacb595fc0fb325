#include "browser/FolderFilesModel.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <numeric>

namespace tarvello::browser {

namespace {

// Beyond this many separate runs of rows that go or come, one reset is
// cheaper than removing and inserting run by run (each moves the rows after
// it); so is it when most rows change, beyond a few.
constexpr size_t kMaxRuns = 32;
constexpr size_t kFewRows = 1024;

const QChar kValueMark(0x01);

// Runs of consecutive rows for which the test holds, as (first, last).
template <typename Test>
std::vector<std::pair<int, int>> runsWhere(size_t rows, Test test, size_t &count)
{
    std::vector<std::pair<int, int>> runs;
    count = 0;
    for (size_t row = 0; row < rows; ++row) {
        if (!test(row))
            continue;
        ++count;
        if (!runs.empty() && runs.back().second == int(row) - 1)
            runs.back().second = int(row);
        else
            runs.emplace_back(int(row), int(row));
    }
    return runs;
}

} // namespace

FolderFilesModel::FolderFilesModel(QObject *parent)
    : QAbstractTableModel(parent), m_files(std::make_shared<FileStore>())
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
    const int file = m_rows[index.row()];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case NameColumn:
            return m_files->name(file);
        case SizeColumn:
            return sizeText(m_files->size(file));
        case TypeColumn: {
            const QString &type = m_files->type(file);
            return type.isEmpty() ? m_texts.typeNone : QString(m_texts.typeFormat).replace(kValueMark, type);
        }
        case DateColumn:
            return QLocale::c().toString(QDateTime::fromMSecsSinceEpoch(m_files->modified(file)), m_texts.dateFormat);
        }
        break;
    case Qt::DecorationRole:
        if (column == NameColumn)
            return iconFor(m_files->type(file));
        break;
    case Qt::ToolTipRole:
        if (column == NameColumn)
            return m_files->name(file);
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

void FolderFilesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_order = {column, order};
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

int FolderFilesModel::carriedIndex(int i) const
{
    if (!m_carrying)
        return i;
    return i >= 0 && size_t(i) < m_carried.size() ? m_carried[i] : -1;
}

void FolderFilesModel::setFilter(const filelist::DisplayFilter &filter)
{
    beginResetModel();
    m_filter = filter;
    m_rows = viewRows(*m_files, m_filter, m_order);
    endResetModel();
}

void FolderFilesModel::clear()
{
    beginResetModel();
    m_files = std::make_shared<FileStore>();
    m_rows = {};
    m_largest = 0;
    endResetModel();
}

void FolderFilesModel::addFiles(const FileStore &files)
{
    // A listing's thread may still read the files shown (one cancelled
    // while it compared): they are never changed under it.
    if (m_files.use_count() > 1)
        m_files = std::make_shared<FileStore>(*m_files);
    const int first = m_files->count();
    m_files->append(files);
    m_largest = std::max(m_largest, files.largest());
    std::vector<int> fresh;
    for (int i = first; i < m_files->count(); ++i) {
        if (m_filter.matches(m_files->name(i)))
            fresh.push_back(i);
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

void FolderFilesModel::squeeze()
{
    if (m_files.use_count() == 1)
        m_files->squeeze();
    m_rows.shrink_to_fit();
}

void FolderFilesModel::syncFiles(Resync changes)
{
    // Made against another listing than the one shown, it carries nothing.
    if (changes.carried.size() != size_t(m_files->count()))
        changes.carried.assign(size_t(m_files->count()), -1);
    if (changes.filter != m_filter.text() || !(changes.order == m_order))
        changes.rows = viewRows(*changes.files, m_filter, m_order);
    m_largest = changes.files->largest();
    const std::vector<int> &carried = changes.carried;
    size_t goneCount = 0;
    size_t freshCount = 0;
    const auto gone = runsWhere(m_rows.size(), [&](size_t row) { return carried[m_rows[row]] < 0; }, goneCount);
    const auto fresh = runsWhere(changes.rows.size(), [&](size_t row) { return changes.fresh[changes.rows[row]] != 0; },
                                 freshCount);
    // A file whose size or date changed may move when the rows are sorted by them.
    const bool moves = !changes.changed.empty() && (m_order.column == SizeColumn || m_order.column == DateColumn);
    const size_t shown = std::max(m_rows.size(), changes.rows.size());
    if (moves || gone.size() + fresh.size() > kMaxRuns || goneCount + freshCount > std::max(kFewRows, shown / 2)
        || m_rows.size() - goneCount + freshCount != changes.rows.size()) {
        replaceRows(changes);
        return;
    }
    for (auto run = gone.rbegin(); run != gone.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        m_rows.erase(m_rows.begin() + run->first, m_rows.begin() + run->second + 1);
        endRemoveRows();
    }
    m_files = std::move(changes.files);
    for (int &row : m_rows)
        row = carried[row];
    for (const auto &[first, last] : fresh) {
        beginInsertRows({}, first, last);
        m_rows.insert(m_rows.begin() + first, changes.rows.begin() + first, changes.rows.begin() + last + 1);
        endInsertRows();
    }
    if (changes.changed.empty())
        return;
    std::vector<char> isChanged(size_t(m_files->count()), 0);
    for (const int i : changes.changed)
        isChanged[i] = 1;
    size_t count = 0;
    const auto changedRuns = runsWhere(m_rows.size(), [&](size_t row) { return isChanged[m_rows[row]] != 0; }, count);
    if (!changedRuns.empty())
        emit dataChanged(index(changedRuns.front().first, SizeColumn), index(changedRuns.back().second, DateColumn));
}

void FolderFilesModel::replaceRows(Resync &changes)
{
    beginResetModel();
    m_files = std::move(changes.files);
    m_rows = std::move(changes.rows);
    m_carried = std::move(changes.carried);
    m_carrying = true;
    endResetModel();
    m_carrying = false;
    m_carried = {};
}

qsizetype FolderFilesModel::bytes() const
{
    return m_files->bytes() + qsizetype(m_rows.capacity() * sizeof(int));
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
