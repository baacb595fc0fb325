#pragma once

#include <QString>
#include <QTreeView>

namespace tarvello::lang {
class Language;
}

namespace tarvello::browser {

class FolderTreeModel;

// The folder tree of the main window (TreeView1): the file system's folders
// from "/" with one current folder, which the file view shows. Hidden folders
// are listed; folders that may not be read are shown greyed and open empty.
class FolderTree : public QTreeView
{
    Q_OBJECT
    Q_PROPERTY(QString CurrentPath READ CurrentPath WRITE setCurrentPath NOTIFY currentPathChanged)

public:
    explicit FolderTree(const lang::Language &language, QWidget *parent = nullptr);

    // The current folder: a full path without trailing "/" ("/" for the root).
    const QString &CurrentPath() const { return m_currentPath; }

    // Opens the tree on the folder: its parents are expanded and it is
    // scrolled into view. The folder taken is nearestFolder(path): a path
    // that does not exist gives its nearest existing parent, a file its
    // folder. A folder that exists but may not be read is taken as it is.
    void setCurrentPath(const QString &path);

    // Rebuilds the tree from the disk and opens it again at the current
    // folder (or, when that vanished, at its nearest existing parent).
    void refresh();

    // Reads the accessible name from the language again.
    void retranslate();

    // The folder a path stands for: made absolute (from the working folder)
    // and clean, without trailing "/"; the nearest existing folder when it is
    // not one; the home folder for an empty path.
    static QString nearestFolder(const QString &path);

signals:
    void currentPathChanged(const QString &path);
    // refresh() rebuilt the tree; the file view lists its folder again.
    void refreshed(const QString &path);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void onFoldersAboutToVanish(const QModelIndex &parent, int first, int last);
    void onFolderListed(const QModelIndex &index);

    const lang::Language &m_language;
    FolderTreeModel *m_model;
    QString m_currentPath = QStringLiteral("/");
    QString m_defaultAccessibleName;
    bool m_settingPath = false;
    // The tree was opened on a path and keeps it in view while the folders
    // around it are still arriving, until the user takes over.
    bool m_reveal = false;
};

} // namespace tarvello::browser
