#include "browser/FolderTree.h"

#include "browser/FolderTreeModel.h"
#include "lang/Language.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

namespace tarvello::browser {

FolderTree::FolderTree(const lang::Language &language, QWidget *parent)
    : QTreeView(parent), m_language(language), m_model(new FolderTreeModel(this))
{
    setObjectName(QStringLiteral("TreeView1"));
    setModel(m_model);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAnimated(false);
    setTextElideMode(Qt::ElideRight);

    connect(m_model, &FolderTreeModel::foldersAboutToVanish, this, &FolderTree::onFoldersAboutToVanish);
    connect(m_model, &FolderTreeModel::folderListed, this, &FolderTree::onFolderListed);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        m_model->setWatched(index, true);
        // A folder listed before it was last closed may have changed meanwhile.
        if (m_model->isListed(index))
            m_model->reload(index);
        else
            m_model->fetchMore(index);
    });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { m_model->setWatched(index, false); });

    retranslate();
    const QModelIndex root = m_model->index(0, 0);
    expand(root);
    setCurrentPath(QStringLiteral("/"));
}

QString FolderTree::nearestFolder(const QString &path)
{
    QString folder = path.isEmpty() ? QDir::homePath() : QDir::current().absoluteFilePath(path);
    folder = QDir::cleanPath(folder);
    while (folder != QLatin1String("/") && !QFileInfo(folder).isDir())
        folder = QFileInfo(folder).path();
    return folder;
}

void FolderTree::setCurrentPath(const QString &path)
{
    const QString folder = nearestFolder(path);
    const QModelIndex index = m_model->indexFor(folder);
    m_settingPath = true;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        expand(parent);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_settingPath = false;
    m_reveal = true;
    if (folder != m_currentPath) {
        m_currentPath = folder;
        emit currentPathChanged(m_currentPath);
    }
}

void FolderTree::refresh()
{
    m_settingPath = true;
    m_model->rebuild();
    expand(m_model->index(0, 0));
    m_settingPath = false;
    setCurrentPath(m_currentPath);
    emit refreshed(m_currentPath);
}

void FolderTree::retranslate()
{
    const QString name = m_language.extra(QStringLiteral("BrowserTreeName"));
    // The main window's translation may have named the tree since; keep its name.
    if (accessibleName().isEmpty() || accessibleName() == m_defaultAccessibleName)
        setAccessibleName(name);
    m_defaultAccessibleName = name;
}

void FolderTree::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_settingPath || !current.isValid())
        return;
    const QString path = m_model->pathOf(current);
    if (path != m_currentPath) {
        m_currentPath = path;
        emit currentPathChanged(m_currentPath);
    }
}

void FolderTree::mousePressEvent(QMouseEvent *event)
{
    m_reveal = false;
    QTreeView::mousePressEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent *event)
{
    m_reveal = false;
    QTreeView::keyPressEvent(event);
}

void FolderTree::wheelEvent(QWheelEvent *event)
{
    m_reveal = false;
    QTreeView::wheelEvent(event);
}

void FolderTree::onFoldersAboutToVanish(const QModelIndex &parent, int first, int last)
{
    QModelIndex child = currentIndex();
    while (child.isValid() && child.parent() != parent)
        child = child.parent();
    if (!child.isValid() || child.row() < first || child.row() > last)
        return;
    // The current folder (or one above it) is going: the listed parent is
    // the nearest folder known to exist, and taking it adds no row under
    // the parent while its rows are being removed.
    setCurrentPath(m_model->pathOf(parent));
}

void FolderTree::onFolderListed(const QModelIndex &index)
{
    // A folder found empty loses its expand mark only at the next layout.
    if (m_model->rowCount(index) == 0)
        scheduleDelayedItemsLayout();
    if (!m_reveal)
        return;
    for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
        if (at == index) {
            scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
            break;
        }
    }
}

} // namespace tarvello::browser
