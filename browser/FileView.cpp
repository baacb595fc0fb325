#include "browser/FileView.h"

#include "browser/ChangeGrouper.h"
#include "browser/FolderFilesModel.h"
#include "browser/FolderTree.h"
#include "common/ui/ZubDesktop.h"
#include "lang/Language.h"
#include "lang/ui/Translate.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvello::browser {

namespace {

// The first batch fills a screen at once; later ones grow (FolderReader).
constexpr int kFirstBatch = 256;
// Changes on disk are grouped: one listing after 150 ms of quiet, or every
// two seconds while the folder keeps changing.
constexpr int kQuietMs = 150;
constexpr int kLongestMs = 2000;

const QChar kValueMark(0x01);

} // namespace

FileView::FileView(const lang::Language &language, QWidget *parent)
    : QTreeView(parent),
      m_language(language),
      m_model(new FolderFilesModel(this)),
      m_reader(new FolderReader(this)),
      m_watcher(new QFileSystemWatcher(this)),
      m_changes(new ChangeGrouper(kQuietMs, kLongestMs, this)),
      m_messageLabel(new QLabel(viewport()))
{
    setObjectName(QStringLiteral("ListView1"));
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (m_fittingName)
            return;
        if (section == FolderFilesModel::NameColumn)
            m_nameSizedByUser = true;
        else
            fitNameColumn();
    });
    setSortingEnabled(true);
    sortByColumn(FolderFilesModel::NameColumn, Qt::AscendingOrder);

    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAlignment(Qt::AlignCenter);
    m_messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLabel->hide();

    connect(m_changes, &ChangeGrouper::settled, this, &FileView::listAgain);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_changesHeld)
            m_changes->notice();
    });
    connect(m_reader, &FolderReader::filesFound, this, &FileView::onFilesFound);
    connect(m_reader, &FolderReader::relisted, this, &FileView::onRelisted);
    connect(m_reader, &FolderReader::finished, this, &FileView::onListingFinished);

    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &FileView::rememberSelection);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FileView::restoreSelection);
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &FileView::updateCount);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FileView::updateCount);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FileView::fitSizeColumn);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FileView::fitSizeColumn);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &FileView::fitSizeColumn);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit itemDoubleClicked(m_model->name(index.row()));
    });

    retranslate();
}

void FileView::setFolderTree(FolderTree *tree)
{
    connect(tree, &FolderTree::currentPathChanged, this, &FileView::setFolder);
    connect(tree, &FolderTree::refreshed, this, [this](const QString &path) {
        if (path == m_folder)
            refresh();
        else
            setFolder(path);
    });
    connect(this, &FileView::folderVanished, tree, &FolderTree::setCurrentPath);
    setFolder(tree->CurrentPath());
}

void FileView::setFolder(const QString &folder)
{
    // The same folder again is listed anew only when it could not be shown.
    if (folder == m_folder && m_message.isEmpty())
        return;
    m_folder = folder;
    listAnew();
}

void FileView::refresh()
{
    watchFolder();
    listAgain();
}

void FileView::holdChanges()
{
    m_changesHeld = true;
    // Unwatched meanwhile: a rename of a million files in the shown folder
    // would queue two million notices, each woken for and read only to be
    // ignored. The folder is listed again at the release anyway.
    if (const QStringList watched = m_watcher->directories(); !watched.isEmpty())
        m_watcher->removePaths(watched);
    m_changes->cancel();
    if (m_job && m_jobIsAgain) {
        m_reader->cancel(m_job);
        m_job = 0;
        m_againChanges.reset();
    }
}

void FileView::releaseChanges()
{
    if (std::exchange(m_changesHeld, false))
        refresh();
}

QString FileView::pattern() const
{
    return m_model->filter().text();
}

void FileView::setPattern(const QString &pattern)
{
    m_keepOnReset = true;
    m_model->setFilter(filelist::DisplayFilter(pattern));
    m_keepOnReset = false;
}

int FileView::count() const
{
    return m_model->rowCount();
}

QStringList FileView::itemNames() const
{
    QStringList names;
    const int rows = m_model->rowCount();
    names.reserve(rows);
    for (int row = 0; row < rows; ++row)
        names.append(m_model->name(row));
    return names;
}

QStringList FileView::selectedNames() const
{
    QStringList names;
    for (const int row : selectedRows())
        names.append(m_model->name(row));
    return names;
}

QString FileView::selectedName() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), current.parent()))
        return m_model->name(current.row());
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? QString() : m_model->name(rows.first());
}

QList<QByteArray> FileView::itemNativeNames() const
{
    QList<QByteArray> names;
    const int rows = m_model->rowCount();
    names.reserve(rows);
    for (int row = 0; row < rows; ++row)
        names.append(m_model->nativeName(row).toByteArray());
    return names;
}

QList<QByteArray> FileView::selectedNativeNames() const
{
    QList<QByteArray> names;
    for (const int row : selectedRows())
        names.append(m_model->nativeName(row).toByteArray());
    return names;
}

QList<common::NativePath> FileView::itemPaths() const
{
    QByteArray folder = common::NativePath::fromText(m_folder).bytes();
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder += '/';
    QList<common::NativePath> paths;
    const int rows = m_model->rowCount();
    paths.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QByteArrayView name = m_model->nativeName(row);
        QByteArray path(folder.size() + name.size(), Qt::Uninitialized);
        std::copy(name.begin(), name.end(), std::copy(folder.cbegin(), folder.cend(), path.begin()));
        paths.append(common::NativePath::fromBytes(std::move(path)));
    }
    return paths;
}

// The selected rows in view order.
QList<int> FileView::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = selectionModel()->selectedRows(FolderFilesModel::NameColumn);
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileView::select(const QStringList &names)
{
    const QSet<QString> wanted(names.cbegin(), names.cend());
    const int first = selectWhere([&](int row) { return wanted.contains(m_model->name(row)); });
    if (first >= 0) {
        selectionModel()->setCurrentIndex(m_model->index(first, 0), QItemSelectionModel::NoUpdate);
        scrollTo(m_model->index(first, 0));
    }
}

// Selects exactly the rows whose file is wanted, as runs of rows rather than
// row by row (a selection of 100,000 single rows is slow to build and to
// keep); returns the first row selected, or -1.
int FileView::selectWhere(const std::function<bool(int row)> &wanted)
{
    QItemSelection selection;
    int first = -1;
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (!wanted(row))
            continue;
        int last = row;
        while (last + 1 < rows && wanted(last + 1))
            ++last;
        selection.select(m_model->index(row, 0), m_model->index(last, FolderFilesModel::ColumnCount - 1));
        if (first < 0)
            first = row;
        row = last;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    return first;
}

void FileView::retranslate()
{
    const auto text = [this](const char *key, const QString &param = {}) {
        return m_language.extra(QLatin1String(key), param);
    };
    FolderFilesModel::Texts texts;
    texts.headers = {text("BrowserColumnName"), text("BrowserColumnSize"), text("BrowserColumnType"),
                     text("BrowserColumnDate")};
    texts.sizeFormat = text("BrowserSize", kValueMark);
    texts.digitGroup = text("BrowserDigitGroup");
    texts.typeFormat = text("BrowserFileType", kValueMark);
    texts.typeNone = text("BrowserFileTypeNone");
    texts.dateFormat = text("BrowserDateFormat");
    m_model->setTexts(texts);

    // Wide enough for the widest value likely, or for the title with its sort mark.
    const QFontMetrics metrics = fontMetrics();
    const auto fit = [&](int section, const QString &sample) {
        const int title = metrics.horizontalAdvance(texts.headers.value(section));
        header()->resizeSection(section, std::max(metrics.horizontalAdvance(sample), title)
                                             + 3 * metrics.averageCharWidth());
    };
    fit(FolderFilesModel::TypeColumn, QString(texts.typeFormat).replace(kValueMark, QStringLiteral("JPEG")));
    fit(FolderFilesModel::DateColumn,
        QLocale::c().toString(QDateTime(QDate(2088, 12, 28), QTime(18, 58)), texts.dateFormat));
    m_sizeFitted = 0;
    fitSizeColumn();

    const QString name = text("BrowserViewName");
    // The main window's translation may have named the view since; keep its name.
    if (accessibleName().isEmpty() || accessibleName() == m_defaultAccessibleName)
        setAccessibleName(name);
    m_defaultAccessibleName = name;
    if (!m_messageKey.isEmpty())
        showMessage(m_messageKey, m_messageParam);
}

void FileView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyReleased(event->key());
}

void FileView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit viewClicked();
}

void FileView::contextMenuEvent(QContextMenuEvent *event)
{
    const QStringList names = selectedNames();
    const QModelIndex current = currentIndex();
    QString target = names.value(0);
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), {}))
        target = m_model->name(current.row());

    QMenu menu(this);
    QAction *add = menu.addAction(m_language.extra(QStringLiteral("BrowserMenuAdd")));
    add->setEnabled(!names.isEmpty());
    menu.setDefaultAction(add);
    QAction *open = menu.addAction(m_language.extra(QStringLiteral("BrowserMenuOpen")));
    open->setEnabled(!target.isEmpty());
    QAction *show = menu.addAction(m_language.extra(QStringLiteral("BrowserMenuShow")));
    show->setEnabled(!m_folder.isEmpty() && m_message.isEmpty());
    menu.addSeparator();
    QAction *again = menu.addAction(m_language.extra(QStringLiteral("BrowserMenuRefresh")));
    again->setEnabled(!m_folder.isEmpty());

    const QAction *chosen = menu.exec(event->globalPos());
    if (chosen == add)
        emit addRequested(names);
    else if (chosen == open)
        openFile(target);
    else if (chosen == show)
        showInFileManager(target);
    else if (chosen == again)
        refresh();
}

void FileView::resizeEvent(QResizeEvent *event)
{
    QTreeView::resizeEvent(event);
    m_messageLabel->setGeometry(viewport()->rect().adjusted(12, 12, -12, -12));
}

void FileView::updateGeometries()
{
    fitNameColumn();
    QTreeView::updateGeometries();
}

void FileView::fitSizeColumn()
{
    const int section = FolderFilesModel::SizeColumn;
    if (m_sizeFitted != 0 && header()->sectionSize(section) != m_sizeFitted)
        return;
    const QFontMetrics metrics = fontMetrics();
    const int title = metrics.horizontalAdvance(m_model->headerData(section, Qt::Horizontal).toString());
    const int width = std::max(metrics.horizontalAdvance(m_model->widestSizeText()), title)
                      + 3 * metrics.averageCharWidth();
    if (width == m_sizeFitted)
        return;
    m_sizeFitted = width;
    header()->resizeSection(section, width);
}

void FileView::fitNameColumn()
{
    if (m_nameSizedByUser || m_fittingName)
        return;
    int others = 0;
    for (int section = FolderFilesModel::NameColumn + 1; section < FolderFilesModel::ColumnCount; ++section)
        others += header()->sectionSize(section);
    // In a narrow pane the name keeps a readable width, leaving the size
    // beside it where the pane allows, and the other columns scroll into
    // view: the name is what the user chooses by.
    const int available = viewport()->width();
    const int besideSize = available - header()->sectionSize(FolderFilesModel::SizeColumn);
    const int readable = std::max(std::min(available * 3 / 5, 28 * fontMetrics().averageCharWidth()), besideSize);
    m_fittingName = true;
    header()->resizeSection(FolderFilesModel::NameColumn, std::max(available - others, readable));
    m_fittingName = false;
}

void FileView::listAnew()
{
    if (m_job)
        m_reader->cancel(m_job);
    m_changes->cancel();
    m_againPending = false;
    m_againChanges.reset();
    m_model->clear();
    showMessage({});
    watchFolder();
    m_job = m_folder.isEmpty() ? 0 : m_reader->listFiles(common::NativePath::fromText(m_folder), kFirstBatch);
    m_jobIsAgain = false;
}

void FileView::listAgain()
{
    if (m_folder.isEmpty())
        return;
    if (m_job && !m_jobIsAgain) {
        // The first listing is still running; it will be followed by another.
        m_againPending = true;
        return;
    }
    if (m_job)
        m_reader->cancel(m_job);
    m_againChanges.reset();
    m_job = m_reader->relistFiles(common::NativePath::fromText(m_folder), m_model->files(), m_model->filter(),
                                  m_model->order());
    m_jobIsAgain = true;
}

void FileView::watchFolder()
{
    if (m_changesHeld)
        return;
    const QStringList watched = m_watcher->directories();
    if (!watched.isEmpty() && watched != QStringList{m_folder})
        m_watcher->removePaths(watched);
    // A folder that may not be listed may not be watched either; asking
    // would only earn a warning.
    if (!m_folder.isEmpty() && !m_watcher->directories().contains(m_folder)
        && mayList(common::NativePath::fromText(m_folder)))
        m_watcher->addPath(m_folder);
}

void FileView::onFilesFound(quint64 job, const FileStore &files)
{
    if (job == m_job && !m_jobIsAgain)
        m_model->addFiles(files);
}

void FileView::onRelisted(quint64 job, const std::shared_ptr<Resync> &changes)
{
    if (job == m_job && m_jobIsAgain)
        m_againChanges = changes;
}

void FileView::onListingFinished(quint64 job, int error)
{
    if (job != m_job)
        return;
    m_job = 0;
    const std::shared_ptr<Resync> changes = std::exchange(m_againChanges, {});
    if (error == 0) {
        if (m_jobIsAgain && changes) {
            m_keepOnReset = true;
            m_model->syncFiles(std::move(*changes));
            m_keepOnReset = false;
            showMessage({});
            watchFolder();
        } else {
            m_model->squeeze();
        }
    } else {
        m_model->clear();
        if (error == EACCES || error == EPERM) {
            showMessage(QStringLiteral("BrowserUnreadable"));
        } else if (error == ENOENT || error == ENOTDIR) {
            // A name that does not survive as text cannot be found again by it.
            if (m_folder.contains(QChar::ReplacementCharacter)) {
                showMessage(QStringLiteral("BrowserBadName"));
            } else {
                showMessage(QStringLiteral("BrowserVanished"));
                emit listingFinished();
                emit folderVanished(m_folder);
                return;
            }
        } else {
            showMessage(QStringLiteral("BrowserListError"), QString::fromLocal8Bit(std::strerror(error)));
        }
    }
    emit listingFinished();
    if (std::exchange(m_againPending, false))
        listAgain();
}

void FileView::showMessage(const QString &key, const QString &param2)
{
    m_messageKey = key;
    m_messageParam = param2;
    m_message = key.isEmpty() ? QString() : lang::ui::widgetText(m_language.extra(key, m_folder, param2));
    m_messageLabel->setText(m_message);
    m_messageLabel->setVisible(!m_message.isEmpty());
}

void FileView::updateCount()
{
    const int now = count();
    if (now != m_lastCount) {
        m_lastCount = now;
        emit countChanged(now);
    }
}

void FileView::rememberSelection()
{
    m_keptSelection.clear();
    m_keptCurrent = -1;
    if (!m_keepOnReset)
        return;
    // By ranges: a selection of a million rows is a few ranges, not a
    // million indexes.
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            m_keptSelection.push_back(m_model->fileIndex(row));
    }
    if (currentIndex().isValid())
        m_keptCurrent = m_model->fileIndex(currentIndex().row());
    m_keptScroll = verticalScrollBar()->value();
}

void FileView::restoreSelection()
{
    if (!m_keepOnReset)
        return;
    std::vector<char> kept(size_t(m_model->files()->count()), 0);
    for (const int i : std::exchange(m_keptSelection, {})) {
        const int now = m_model->carriedIndex(i);
        if (now >= 0)
            kept[now] = 1;
    }
    selectWhere([&](int row) { return kept[m_model->fileIndex(row)] != 0; });
    const int current = m_model->carriedIndex(std::exchange(m_keptCurrent, -1));
    if (current >= 0) {
        for (int row = 0; row < m_model->rowCount(); ++row) {
            if (m_model->fileIndex(row) == current) {
                selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
    // The rows arrive in the layout only later; the scroll position with them.
    QTimer::singleShot(0, this, [this, scroll = m_keptScroll] { verticalScrollBar()->setValue(scroll); });
}

QString FileView::pathOf(const QString &name) const
{
    return m_folder == QLatin1String("/") ? m_folder + name : m_folder + QLatin1Char('/') + name;
}

void FileView::openFile(const QString &name)
{
    const QString path = pathOf(name);
    if (QFileInfo::exists(path) && common::ui::ZubOpenUrl(path))
        return;
    QToolTip::showText(QCursor::pos(), lang::ui::widgetText(m_language.extra(QStringLiteral("BrowserOpenFailed"), name)), this);
}

void FileView::showInFileManager(const QString &name)
{
    const QString folder = m_folder;
    const auto openFolder = [folder] { common::ui::ZubOpenUrl(folder); };
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    const QString path = pathOf(name);
    if (name.isEmpty() || dbusSend.isEmpty() || !QFileInfo::exists(path)) {
        openFolder();
        return;
    }
    // File managers that take the freedesktop.org request open the folder
    // with the file selected; without one, the folder alone is opened. A
    // "," would split dbus-send's array, so it goes percent-encoded.
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).replace(QLatin1Char(','), QStringLiteral("%2C"));
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this, [process, openFolder](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            openFolder();
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [process, openFolder](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            openFolder();
            process->deleteLater();
        }
    });
    process->start(dbusSend, {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                              QStringLiteral("--reply-timeout=5000"),
                              QStringLiteral("--dest=org.freedesktop.FileManager1"),
                              QStringLiteral("/org/freedesktop/FileManager1"),
                              QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                              QStringLiteral("array:string:") + uri, QStringLiteral("string:")});
}

} // namespace tarvello::browser
