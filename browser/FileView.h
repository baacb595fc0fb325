#pragma once

#include "browser/FolderReader.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTreeView>

#include <functional>
#include <memory>
#include <vector>

class QFileSystemWatcher;
class QLabel;

namespace tarvello::lang {
class Language;
}

namespace tarvello::browser {

class ChangeGrouper;
class FolderFilesModel;
class FolderTree;

// The file view of the main window (ListView1): the files, not the folders, of
// one folder whose names pass the display filter, with the columns name,
// size, type and date, sortable from the header, several rows selectable. It
// lists on a worker thread and follows changes on disk by itself. A folder it
// cannot show leaves the view empty with a message in its place.
class FileView : public QTreeView
{
    Q_OBJECT
    Q_PROPERTY(QString Pattern READ pattern WRITE setPattern)

public:
    explicit FileView(const lang::Language &language, QWidget *parent = nullptr);

    // Links the view to the tree: the tree's current folder is the view's
    // folder, the tree's refresh lists again, and a folder that vanished from
    // under the view sends the tree to the nearest folder that still exists.
    void setFolderTree(FolderTree *tree);

    // The folder shown, a full path without trailing "/".
    const QString &folder() const { return m_folder; }
    // Shows the files of the folder; the folder already shown changes
    // nothing, unless it could not be listed then.
    void setFolder(const QString &folder);
    // Lists the folder again from the disk, keeping the selection.
    void refresh();
    // Stops following changes on disk until releaseChanges(), which lists
    // the folder again once: while a rename moves a whole folder, its new
    // listing would otherwise be merged every two seconds.
    void holdChanges();
    void releaseChanges();

    // The display filter ("*.*" at first).
    QString pattern() const;
    // Applies a new display filter at once; the selection of files that
    // still show is kept.
    void setPattern(const QString &pattern);

    // Number of files shown.
    int count() const;
    // Names of the files shown, in view order.
    QStringList itemNames() const;
    // Names of the selected files, in view order.
    QStringList selectedNames() const;
    // The selected file the user chose last (the current one when it is
    // selected, else the first selected); "" when none is.
    QString selectedName() const;
    // The bytes the file system holds for itemNames() and selectedNames(), in
    // the same order: a name that is not UTF-8 shows with U+FFFD, and only
    // its bytes tell which file it is.
    QList<QByteArray> itemNativeNames() const;
    QList<QByteArray> selectedNativeNames() const;
    // The files shown as they stand now, in view order, whose paths are
    // made one by one when asked, from the bytes alone: a million paths made
    // at once would hold the window still, and the listing they come from
    // is shared, not copied.
    class ShownPaths
    {
    public:
        int count() const { return int(m_rows.size()); }
        common::NativePath path(int i) const;

    private:
        friend class FileView;
        // With a trailing "/".
        QByteArray m_folder;
        std::shared_ptr<const FileStore> m_files;
        std::vector<int> m_rows;
    };
    ShownPaths shownPaths() const;
    // Selects exactly the files with these names.
    void select(const QStringList &names);

    // The text shown in place of the files ("" when the folder could be listed).
    const QString &message() const { return m_message; }
    // True while the folder is being listed.
    bool isListing() const { return m_job != 0; }

    // Reads the column titles, menu and message texts from the language again.
    void retranslate();

signals:
    void itemDoubleClicked(const QString &name);
    // A click of the left button anywhere on the files.
    void viewClicked();
    // A key released on the view (Qt::Key); keys held down report once.
    void keyReleased(int key);
    // "Add to the list" of the context menu, with the selected names.
    void addRequested(const QStringList &names);
    void countChanged(int count);
    // The folder shown no longer exists.
    void folderVanished(const QString &folder);
    // A listing of the folder (first or again) is complete.
    void listingFinished();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    void listAnew();
    void listAgain();
    void watchFolder();
    void onFilesFound(quint64 job, const FileStore &files);
    void onRelisted(quint64 job, const std::shared_ptr<Resync> &changes);
    void onListingFinished(quint64 job, int error);
    void showMessage(const QString &key, const QString &param2 = {});
    void updateCount();
    void fitNameColumn();
    void fitSizeColumn();
    int selectWhere(const std::function<bool(int row)> &wanted);
    QList<int> selectedRows() const;
    void rememberSelection();
    void restoreSelection();
    void openFile(const QString &name);
    void showInFileManager(const QString &name);
    QString pathOf(const QString &name) const;

    const lang::Language &m_language;
    FolderFilesModel *m_model;
    FolderReader *m_reader;
    QFileSystemWatcher *m_watcher;
    ChangeGrouper *m_changes;
    QLabel *m_messageLabel;
    QString m_folder;
    QString m_message;
    QString m_messageKey;
    QString m_messageParam;
    QString m_defaultAccessibleName;
    quint64 m_job = 0;
    bool m_jobIsAgain = false;
    bool m_againPending = false;
    bool m_changesHeld = false;
    std::shared_ptr<Resync> m_againChanges;
    int m_lastCount = 0;
    // The name column fills the width the others leave, unless the user sized it.
    bool m_fittingName = false;
    bool m_nameSizedByUser = false;
    // The size column holds the largest size listed, so that the name keeps the
    // rest; the width last given, to leave alone a width the user chose.
    int m_sizeFitted = 0;
    // What a reset of the model for the same folder must not lose.
    bool m_keepOnReset = false;
    // Indices into the model's files() (FolderFilesModel::carriedIndex).
    std::vector<int> m_keptSelection;
    int m_keptCurrent = -1;
    int m_keptScroll = 0;
};

} // namespace tarvello::browser
