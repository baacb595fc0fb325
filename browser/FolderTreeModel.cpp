#include "browser/FolderTreeModel.h"

#include "browser/ChangeGrouper.h"
#include "common/NameOrder.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <QPalette>
#include <QStyle>

#include <cerrno>
#include <iterator>

namespace tarvello::browser {

using common::compareNames;
using common::nameSortKey;

namespace {

// Changes on disk are grouped: one listing after 200 ms of quiet, or every
// two seconds while a folder keeps changing.
constexpr int kQuietMs = 200;
constexpr int kLongestMs = 2000;

} // namespace

struct FolderTreeModel::Node {
    QString name;
    QByteArray nativeName;
    QString sortKey;
    Node *parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    bool listed = false;
    bool readable = true;
    bool watched = false;
    quint64 job = 0;
};

FolderTreeModel::FolderTreeModel(QObject *parent)
    : QAbstractItemModel(parent),
      m_root(std::make_unique<Node>()),
      m_reader(new FolderReader(this)),
      m_watcher(new QFileSystemWatcher(this)),
      m_changes(new ChangeGrouper(kQuietMs, kLongestMs, this)),
      m_driveIcon(QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon)),
      m_homeIcon(QApplication::style()->standardIcon(QStyle::SP_DirHomeIcon)),
      m_folderIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon))
{
    auto slash = std::make_unique<Node>();
    slash->name = QStringLiteral("/");
    slash->nativeName = QByteArrayLiteral("/");
    slash->parent = m_root.get();
    m_root->children.push_back(std::move(slash));
    m_root->listed = true;

    connect(m_changes, &ChangeGrouper::settled, this, &FolderTreeModel::reloadChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        m_changed.insert(path);
        m_changes->notice();
    });
    connect(m_reader, &FolderReader::foldersFound, this, &FolderTreeModel::onFoldersFound);
    connect(m_reader, &FolderReader::finished, this, &FolderTreeModel::onListingFinished);
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_root.get();
}

QModelIndex FolderTreeModel::indexOf(Node *node) const
{
    return node == m_root.get() ? QModelIndex() : createIndex(node->row, 0, node);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    if (column != 0 || row < 0 || row >= int(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexOf(nodeOf(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    if (!node->children.empty())
        return true;
    // Until it is listed a readable folder may hold folders: it offers to open.
    return !node->listed && node->readable;
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return !node->listed && node->job == 0 && node->readable;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (canFetchMore(parent))
        reload(parent);
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const Node *node = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::ToolTipRole:
        return pathOf(index);
    case Qt::DecorationRole:
        if (node->parent == m_root.get())
            return m_driveIcon;
        if (pathOf(index) == QDir::homePath())
            return m_homeIcon;
        return m_folderIcon;
    case Qt::ForegroundRole:
        if (!node->readable)
            return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        break;
    }
    return {};
}

QString FolderTreeModel::pathOf(const QModelIndex &index) const
{
    QStringList parts;
    for (const Node *node = nodeOf(index); node != m_root.get() && node->parent != m_root.get();
         node = node->parent)
        parts.prepend(node->name);
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

common::NativePath FolderTreeModel::nativePathOf(const Node *node) const
{
    QByteArrayList parts;
    for (; node != m_root.get() && node->parent != m_root.get(); node = node->parent)
        parts.prepend(node->nativeName);
    return common::NativePath::fromBytes('/' + parts.join('/'));
}

FolderTreeModel::Node *FolderTreeModel::findNode(const QString &path) const
{
    Node *node = m_root->children.front().get();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        Node *next = nullptr;
        for (const auto &child : node->children) {
            if (child->name == part) {
                next = child.get();
                break;
            }
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

QModelIndex FolderTreeModel::indexFor(const QString &path)
{
    Node *node = m_root->children.front().get();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QByteArray nativeName = common::NativePath::fromText(part).bytes();
        Node *next = nullptr;
        for (const auto &child : node->children) {
            if (child->nativeName == nativeName) {
                next = child.get();
                break;
            }
        }
        if (!next) {
            auto fresh = std::make_unique<Node>();
            fresh->name = part;
            fresh->nativeName = nativeName;
            fresh->sortKey = nameSortKey(part);
            fresh->parent = node;
            auto &children = node->children;
            auto at = children.begin();
            while (at != children.end()
                   && compareNames((*at)->sortKey, (*at)->name, (*at)->nativeName, fresh->sortKey,
                                   fresh->name, fresh->nativeName) < 0)
                ++at;
            const int row = int(at - children.begin());
            next = fresh.get();
            beginInsertRows(indexOf(node), row, row);
            children.insert(at, std::move(fresh));
            for (size_t i = row; i < children.size(); ++i)
                children[i]->row = int(i);
            endInsertRows();
        }
        node = next;
    }
    return indexOf(node);
}

void FolderTreeModel::reload(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (node == m_root.get())
        return;
    if (node->job) {
        m_reader->cancel(node->job);
        m_jobs.remove(node->job);
    }
    node->job = m_reader->listFolders(nativePathOf(node));
    m_jobs.insert(node->job, node);
}

void FolderTreeModel::setWatched(const QModelIndex &index, bool watched)
{
    Node *node = nodeOf(index);
    if (node == m_root.get() || node->watched == watched)
        return;
    const QString path = pathOf(index);
    // A folder that may not be listed may not be watched either; asking
    // would only earn a warning.
    if (watched)
        node->watched = mayList(nativePathOf(node)) && m_watcher->addPath(path);
    else {
        m_watcher->removePath(path);
        node->watched = false;
    }
}

bool FolderTreeModel::isListed(const QModelIndex &index) const
{
    return nodeOf(index)->listed;
}

void FolderTreeModel::rebuild()
{
    beginResetModel();
    Node *slash = m_root->children.front().get();
    forget(slash);
    slash->children.clear();
    slash->listed = false;
    slash->readable = true;
    endResetModel();
}

void FolderTreeModel::forget(Node *node)
{
    if (node->job) {
        m_reader->cancel(node->job);
        m_jobs.remove(node->job);
        node->job = 0;
    }
    if (node->watched) {
        m_watcher->removePath(pathOf(indexOf(node)));
        node->watched = false;
    }
    for (const auto &child : node->children)
        forget(child.get());
}

void FolderTreeModel::reloadChanged()
{
    const QSet<QString> changed = std::exchange(m_changed, {});
    for (const QString &path : changed) {
        Node *node = findNode(path);
        if (node && node->watched)
            reload(indexOf(node));
    }
}

void FolderTreeModel::onFoldersFound(quint64 job, const FolderBatch &folders)
{
    if (Node *node = m_jobs.value(job))
        merge(node, folders);
}

void FolderTreeModel::onListingFinished(quint64 job, int error)
{
    Node *node = m_jobs.take(job);
    if (!node)
        return;
    node->job = 0;
    node->listed = true;
    const QModelIndex index = indexOf(node);
    if ((error == EACCES || error == EPERM) && node->readable) {
        node->readable = false;
        emit dataChanged(index, index);
    }
    emit folderListed(index);
}

void FolderTreeModel::merge(Node *node, const FolderBatch &folders)
{
    const QModelIndex parent = indexOf(node);
    auto &children = node->children;
    const auto renumber = [&children](size_t from) {
        for (size_t i = from; i < children.size(); ++i)
            children[i]->row = int(i);
    };

    QSet<QByteArray> present;
    present.reserve(qsizetype(folders.size()));
    for (const ListedFolder &folder : folders)
        present.insert(folder.nativeName);
    for (int last = int(children.size()) - 1; last >= 0; --last) {
        if (present.contains(children[last]->nativeName))
            continue;
        int first = last;
        while (first > 0 && !present.contains(children[first - 1]->nativeName))
            --first;
        emit foldersAboutToVanish(parent, first, last);
        beginRemoveRows(parent, first, last);
        for (int row = first; row <= last; ++row)
            forget(children[row].get());
        children.erase(children.begin() + first, children.begin() + last + 1);
        renumber(first);
        endRemoveRows();
        last = first;
    }

    // The folders kept are in the listing's order (both sorted alike): new
    // folders go in as runs between them.
    size_t at = 0;
    size_t next = 0;
    while (next < folders.size()) {
        if (at < children.size() && children[at]->nativeName == folders[next].nativeName) {
            if (children[at]->readable != folders[next].readable) {
                children[at]->readable = folders[next].readable;
                const QModelIndex changed = index(int(at), 0, parent);
                emit dataChanged(changed, changed);
            }
            ++at;
            ++next;
            continue;
        }
        size_t end = next;
        while (end < folders.size()
               && !(at < children.size() && children[at]->nativeName == folders[end].nativeName))
            ++end;
        std::vector<std::unique_ptr<Node>> fresh;
        for (size_t i = next; i < end; ++i) {
            auto child = std::make_unique<Node>();
            child->name = folders[i].name;
            child->nativeName = folders[i].nativeName;
            child->sortKey = folders[i].sortKey;
            child->readable = folders[i].readable;
            child->parent = node;
            fresh.push_back(std::move(child));
        }
        beginInsertRows(parent, int(at), int(at + fresh.size()) - 1);
        children.insert(children.begin() + qsizetype(at), std::make_move_iterator(fresh.begin()),
                        std::make_move_iterator(fresh.end()));
        renumber(at);
        endInsertRows();
        at += end - next;
        next = end;
    }
}

} // namespace tarvello::browser
