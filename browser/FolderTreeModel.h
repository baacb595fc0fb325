#pragma once

#include "browser/FolderReader.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QSet>

#include <memory>
#include <vector>

class QFileSystemWatcher;

namespace tarvello::browser {

class ChangeGrouper;

// The file system's folders from "/" down, one column. A folder's sub-folders
// are listed on a worker thread when the view first asks for them; folders on
// the way to a chosen path are added before their parents are listed, so a
// path can be opened at once. Open folders follow changes on disk.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit FolderTreeModel(QObject *parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // The folder's full path without trailing "/" ("/" for the root).
    QString pathOf(const QModelIndex &index) const;
    // The folder of an absolute, clean path, adding the folders on the way
    // that are not known yet. The path is not checked against the disk.
    QModelIndex indexFor(const QString &path);
    // Lists the folder's sub-folders again.
    void reload(const QModelIndex &index);
    // Follows changes on disk in the folder while watched is true.
    void setWatched(const QModelIndex &index, bool watched);
    // True once the folder's sub-folders have been listed.
    bool isListed(const QModelIndex &index) const;
    // Forgets every folder but the root (the model is reset).
    void rebuild();

signals:
    // Rows of parent are about to go because their folders vanished; sent
    // before the removal starts, so that a view can move its current folder.
    void foldersAboutToVanish(const QModelIndex &parent, int first, int last);
    // The folder's sub-folders arrived (or could not be listed).
    void folderListed(const QModelIndex &index);

private:
    struct Node;

    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(Node *node) const;
    common::NativePath nativePathOf(const Node *node) const;
    Node *findNode(const QString &path) const;
    void forget(Node *node);
    void onFoldersFound(quint64 job, const FolderBatch &folders);
    void onListingFinished(quint64 job, int error);
    void merge(Node *node, const FolderBatch &folders);
    void reloadChanged();

    std::unique_ptr<Node> m_root;
    FolderReader *m_reader;
    QHash<quint64, Node *> m_jobs;
    QFileSystemWatcher *m_watcher;
    ChangeGrouper *m_changes;
    QSet<QString> m_changed;
    // Made once: an icon made afresh at each call brings no drawn pixmaps
    // with it, and each repaint of the tree decoded the style's images again.
    QIcon m_driveIcon;
    QIcon m_homeIcon;
    QIcon m_folderIcon;
};

} // namespace tarvello::browser
