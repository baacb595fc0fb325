// The file list of the main window: the add operations in their common
// frame, removal, clearing and moves, the drag of one entry, the display
// filter and the counters, the stop request and its Escape watch.

#include "mainwindow/frmMain.h"

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "browser/FolderTree.h"
#include "common/Zub.h"
#include "common/ui/ZubDesktop.h"
#include "controller/EventPacer.h"
#include "filelist/FolderScan.h"
#include "filelist/ListMoves.h"
#include "mainwindow/EventHook.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "update/Site.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <iterator>


namespace tarvello::mainwindow {

namespace {

// Names that are not text are listed by name up to this many; the rest are counted.
constexpr int kNotTextListed = 20;

// The data of a drag of one entry inside the list: its row.
const QString kEntryDragType = QStringLiteral("application/x-tarvello-entry");

// The paths a drop carries, as the bytes the file system knows them by: a
// name that is not UTF-8 arrives percent-encoded and would not survive as text.
QList<QByteArray> droppedPaths(const QMimeData *data)
{
    QList<QByteArray> paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.append(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    }
    return paths;
}

} // namespace

// The frame every add runs in: the window busy with only its stop button,
// the stop request cleared, Escape watched, one run of name computations.
// However the add ends, the count is shown and the window is idle again.
class frmMain::AddFrame
{
public:
    explicit AddFrame(frmMain &window)
        : w(window)
    {
        w.m_controller.beginAdd();
        w.m_escapePressed = false;
        w.m_escapeHook = new EventHook(qApp, [&window](QObject *, QEvent *event) {
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
                window.m_escapePressed = true;
            return false;
        }, &w);
        w.m_escapeTimer->start();
    }

    ~AddFrame()
    {
        w.m_escapeTimer->stop();
        delete w.m_escapeHook;
        w.m_escapeHook = nullptr;
        w.m_controller.endAdd();
    }

private:
    frmMain &w;
};

void frmMain::connectFileList()
{
    openUrl = common::ui::ZubOpenUrl;
    m_escapeTimer = makeTimer("Timer_Escape", 100, &frmMain::Timer_Escape);
    makeTimer("Timer_ListView1_count", 500, &frmMain::Timer_ListView1_count)->start();

    connect(m_ui.cmdAdd, &QPushButton::clicked, this, &frmMain::cmdAdd_Click);
    connect(m_ui.cmdAddAll, &QPushButton::clicked, this, &frmMain::cmdAddAll_Click);
    // The right button (or the menu key) on the add-all button offers the hierarchy.
    m_ui.cmdAddAll->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.cmdAddAll, &QWidget::customContextMenuRequested, this, [this] {
        m_ui.mnuPopup->popup(m_ui.cmdAddAll->mapToGlobal(QPoint(0, m_ui.cmdAddAll->height())));
    });
    connect(m_ui.mnuAddHieriachy, &QAction::triggered, this, &frmMain::mnuAddHieriachy_Click);
    connect(m_fileView, &browser::FileView::itemDoubleClicked, this, &frmMain::cmdAdd_Click);
    connect(m_ui.ListView2, &QListWidget::itemDoubleClicked, this, &frmMain::cmdAdd_Click);
    connect(m_fileView, &browser::FileView::addRequested, this, [this](const QStringList &names) {
        if (m_controller.busy())
            return;
        addFromExplorer(controller::chosenFiles(CurrentPath(), names, m_fileView->selectedNativeNames()));
    });
    connect(m_ui.cmdDel, &QPushButton::clicked, this, &frmMain::cmdDel_Click);
    connect(m_ui.lstrename, &QAbstractItemView::doubleClicked, this, &frmMain::cmdDel_Click);
    connect(m_ui.cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(m_ui.cmdUp, &QPushButton::clicked, this, &frmMain::cmdUp_Click);
    connect(m_ui.cmdTrier, &QPushButton::clicked, this, &frmMain::cmdTrier_Click);
    connect(m_ui.cmdDown, &QPushButton::clicked, this, &frmMain::cmdDown_Click);
    connect(m_ui.cmdStopAction, &QPushButton::clicked, this, &frmMain::cmdStopAction_Click);
    connect(m_ui.cmdEffacerExif, &QPushButton::clicked, this, &frmMain::cmdEffacerExif_Click);
    // The Exif labels follow the photograph chosen in the list or in the file view.
    connect(m_ui.lstrename->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() < m_controller.files().count())
                    showSelectedExif(m_controller.files().entries().at(current.row()).path());
            });
    connect(m_fileView, &browser::FileView::viewClicked, this, [this] {
        const QStringList names = m_fileView->selectedNames();
        if (names.size() == 1)
            showSelectedExif(m_fileView->folder() + QLatin1Char('/') + names.first());
    });
    connect(m_ui.cmdRefreshFolder, &QPushButton::clicked, m_tree, &browser::FolderTree::refresh);
    connect(m_ui.cmdForum, &QPushButton::clicked, this, [this] {
        const QString address = update::siteAddress() + QStringLiteral("/forum");
        if (openUrl(address))
            return;
        // No browser: the user can still copy the address from the message.
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.extra(QStringLiteral("ForumNotOpened"), address)),
                             lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
    });
    connect(m_ui.txtFilter, &QLineEdit::textChanged, this, [this] {
        if (!m_filterChangeSuppressed)
            txtFilter_Change();
    });
    connect(m_ui.cmdRefresh, &QPushButton::clicked, this, &frmMain::cmdRefresh_Click);

    // Drops from the file manager on cmdDnD; one entry dragged inside the list.
    new EventHook(m_ui.cmdDnD, [this](QObject *, QEvent *event) { return cmdDnDEvent(event); });
    connect(m_ui.lstrename, &QAbstractItemView::pressed, this, [this] {
        const QList<int> rows = selectedEntryRows();
        m_dragging = !m_controller.busy() && rows.size() == 1 && (QApplication::mouseButtons() & Qt::LeftButton);
        m_dragFrom = m_dragging ? rows.first() : -1;
        m_dragPress = m_ui.lstrename->viewport()->mapFromGlobal(QCursor::pos());
    });
    new EventHook(m_ui.lstrename->viewport(), [this](QObject *, QEvent *event) {
        return lstrenameViewportEvent(event);
    });
    // A rename, a clear or an add between the press and the move leaves the
    // dragged row pointing at another entry or past the end.
    connect(&m_controller.files(), &QAbstractItemModel::rowsInserted, this, &frmMain::endEntryDrag);
    connect(&m_controller.files(), &QAbstractItemModel::rowsRemoved, this, &frmMain::endEntryDrag);
    connect(&m_controller.files(), &QAbstractItemModel::rowsMoved, this, &frmMain::endEntryDrag);
    connect(&m_controller.files(), &QAbstractItemModel::modelReset, this, &frmMain::endEntryDrag);
    connect(&m_controller.files(), &QAbstractItemModel::layoutChanged, this, &frmMain::endEntryDrag);
    connect(&m_controller.files(), &QAbstractItemModel::dataChanged, this, &frmMain::endEntryDrag);
    QLabel *mark = m_ui.lblDradNDrop;
    mark->setAutoFillBackground(true);
    mark->setBackgroundRole(QPalette::Highlight);
    mark->setForegroundRole(QPalette::HighlightedText);
    mark->setIndent(4);
}

// A timer of the window, named as the program names it.
QTimer *frmMain::makeTimer(const char *name, int intervalMs, void (frmMain::*tick)())
{
    auto *timer = new QTimer(this);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, tick);
    return timer;
}

QList<int> frmMain::selectedEntryRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_ui.lstrename->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void frmMain::addFileViewNames(const QStringList &names, const QList<QByteArray> &bytes)
{
    if (m_controller.busy())
        return;
    AddFrame frame(*this);
    m_controller.addChosen(controller::chosenFiles(CurrentPath(), names, bytes));
}

void frmMain::cmdAdd_Click()
{
    if (m_controller.busy())
        return;
    if (m_ui.fileViews->currentWidget() != m_ui.ListView2) {
        addFileViewNames(m_fileView->selectedNames(), m_fileView->selectedNativeNames());
        return;
    }
    QList<int> rows;
    for (const QListWidgetItem *item : m_ui.ListView2->selectedItems())
        rows.append(m_ui.ListView2->row(item));
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (const int row : std::as_const(rows))
        names.append(m_ui.ListView2->item(row)->text());
    addFileViewNames(names, controller::thumbnailNativeNames(names, m_fileView->itemNames(), m_fileView->itemNativeNames()));
}

void frmMain::cmdAddAll_Click()
{
    if (m_controller.busy())
        return;
    AddFrame frame(*this);
    const browser::FileView::ShownPaths shown = m_fileView->shownPaths();
    m_controller.addShown(shown.count(), [&shown](int i) { return shown.path(i); });
}

void frmMain::mnuAddHieriachy_Click()
{
    if (m_controller.busy())
        return;
    QStringList notText;
    {
        AddFrame frame(*this);
        notText = m_controller.addHierarchy(CurrentPath(), m_fileView->pattern());
    }
    tellNotText(notText);
}

void frmMain::cmdDnD_OLEDragDrop(const QList<QByteArray> &paths)
{
    if (m_controller.busy())
        return;
    QStringList notText;
    {
        AddFrame frame(*this);
        notText = m_controller.addDropped(paths, m_fileView->pattern());
    }
    tellNotText(notText);
}

void frmMain::addPlanned(int minimum, int count)
{
    m_ui.ProgressBar1->setRange(minimum, std::max(minimum, count));
    m_ui.ProgressBar1->setValue(minimum);
    m_ui.ProgressBar1->show();
}

void frmMain::addFromExplorer(const QStringList &paths)
{
    QList<common::NativePath> native;
    native.reserve(paths.size());
    for (const QString &path : paths)
        native.append(common::NativePath::fromText(path));
    addFromExplorer(native);
}

void frmMain::addFromExplorer(const QList<common::NativePath> &paths)
{
    if (m_controller.busy())
        return;
    AddFrame frame(*this);
    addPlanned(1, int(paths.size()));
    m_controller.addPaths(paths, [](const common::NativePath &path) { return !path.isEmpty(); });
}

bool frmMain::askYesNo(const QString &text)
{
    return m_msgBox.KVvrMesgBox(lang::ui::widgetText(text), lang::MsgStyle::Question + lang::MsgStyle::YesNo,
                                m_context.language.GetMessage(1))
        == lang::MsgAnswer::Yes;
}

bool frmMain::askToAddFolders(int files, int folders)
{
    lang::Language &language = m_context.language;
    return askYesNo(folders < 0 ? language.GetMessage(52, QString::number(files))
                                : language.GetMessage(59, QString::number(files), QString::number(folders)));
}

void frmMain::tellNotText(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const lang::Language &language = m_context.language;
    QStringList lines = paths.mid(0, kNotTextListed);
    if (paths.size() > kNotTextListed)
        lines.append(language.extra(QStringLiteral("AddNotTextMore"), QString::number(paths.size() - kNotTextListed)));
    // A "%s" in a file name would be taken for the second parameter: it is given as itself.
    const QString text = language.extra(QStringLiteral("AddNotText"), lines.join(QLatin1Char('\n')), QStringLiteral("%s"));
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(text),
                         lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
}

void frmMain::cmdDel_Click()
{
    if (m_controller.busy())
        return;
    m_controller.files().removeEntries(selectedEntryRows());
    update_names();
}

void frmMain::cmdClear_Click()
{
    if (m_controller.busy())
        return;
    m_controller.files().clear();
    showEntryCount();
    m_controller.identicalNames().reset();
}

// The sort keys in the order the box offers them.
constexpr controller::SortKey kSortKeys[] = {controller::SortKey::Natural, controller::SortKey::Name,
                                             controller::SortKey::Modified, controller::SortKey::Taken,
                                             controller::SortKey::Size};

void frmMain::translateSortControls()
{
    const lang::Language &language = m_context.language;
    const auto text = [&](const char *key) { return lang::ui::widgetText(language.extra(QLatin1String(key))); };
    m_ui.lblTri->setText(text("SortCaption"));
    m_ui.cboTri->setToolTip(text("SortToolTip"));
    const int chosen = std::max(0, m_ui.cboTri->currentIndex());
    m_ui.cboTri->clear();
    for (const char *key : {"SortNatural", "SortName", "SortModified", "SortTaken", "SortSize"})
        m_ui.cboTri->addItem(text(key));
    m_ui.cboTri->setCurrentIndex(chosen);
    m_ui.chkTriDecroissant->setText(text("SortDescending"));
    m_ui.chkTriDecroissant->setToolTip(text("SortDescendingToolTip"));
    m_ui.cmdTrier->setText(text("SortCommand"));
    m_ui.cmdTrier->setToolTip(text("SortCommandToolTip"));
}

void frmMain::cmdTrier_Click()
{
    if (m_controller.busy())
        return;
    const int chosen = m_ui.cboTri->currentIndex();
    if (chosen < 0 || chosen >= int(std::size(kSortKeys)))
        return;
    m_controller.sortList({kSortKeys[chosen], m_ui.chkTriDecroissant->isChecked()});
}

void frmMain::cmdUp_Click()
{
    moveSelected(true);
}

void frmMain::cmdDown_Click()
{
    moveSelected(false);
}

void frmMain::moveSelected(bool up)
{
    const int count = m_controller.files().count();
    if (m_controller.busy() || count == 0)
        return;
    const filelist::ListMove move = up ? filelist::moveUp(count, selectedEntryRows()) : filelist::moveDown(count, selectedEntryRows());
    for (const auto &[a, b] : move.swaps)
        m_controller.files().swapEntries(a, b);
    if (!move.blocked)
        update_names();
    selectRows(move.selected);
}

void frmMain::dropEntry(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= m_controller.files().count() || to >= m_controller.files().count())
        return;
    m_controller.files().moveEntry(from, to);
    update_names();
    selectRows({to});
}

void frmMain::endEntryDrag()
{
    m_dragging = false;
    m_dragFrom = -1;
    m_dragTarget = -1;
    m_ui.lblDradNDrop->hide();
}

bool frmMain::lstrenameViewportEvent(QEvent *event)
{
    QLabel *mark = m_ui.lblDradNDrop;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        // A press on an entry chooses it again (pressed comes after this); a
        // press elsewhere, or the release of a press that never moved, drags
        // nothing.
        endEntryDrag();
        return false;
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (!m_dragging || !(move->buttons() & Qt::LeftButton))
            return false;
        if (m_dragFrom < 0 || m_dragFrom >= m_controller.files().count()) {
            endEntryDrag();
            return false;
        }
        // The press chose one entry: moving takes it along instead of
        // widening the selection.
        if ((move->position().toPoint() - m_dragPress).manhattanLength() < QApplication::startDragDistance())
            return true;
        auto *data = new QMimeData;
        data->setData(kEntryDragType, QByteArray::number(m_dragFrom));
        mark->setText(m_controller.files().entry(m_dragFrom).name);
        mark->resize(m_ui.lstrename->viewport()->width(), m_ui.lstrename->rowHeight(m_dragFrom));
        auto *drag = new QDrag(m_ui.lstrename);
        drag->setMimeData(data);
        drag->setPixmap(mark->grab());
        drag->exec(Qt::MoveAction);
        mark->hide();
        m_dragging = false;
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (m_controller.busy() || !m_dragging || m_dragFrom < 0 || m_dragFrom >= m_controller.files().count()
            || !drag->mimeData()->hasFormat(kEntryDragType)) {
            drag->ignore();
            return true;
        }
        const int row = m_ui.lstrename->rowAt(drag->position().toPoint().y());
        m_dragTarget = row != m_dragFrom ? row : -1;
        if (m_dragTarget >= 0) {
            // The dragged name shows where it would land.
            mark->setText(m_controller.files().entry(m_dragFrom).name);
            mark->setGeometry(0, m_ui.lstrename->rowViewportPosition(m_dragTarget), m_ui.lstrename->viewport()->width(),
                              m_ui.lstrename->rowHeight(m_dragTarget));
            mark->show();
        } else {
            mark->hide();
        }
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        return true;
    }
    case QEvent::DragLeave:
        mark->hide();
        m_dragTarget = -1;
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        mark->hide();
        if (m_dragging && m_dragTarget >= 0 && drop->mimeData()->hasFormat(kEntryDragType)) {
            drop->setDropAction(Qt::MoveAction);
            drop->accept();
            dropEntry(m_dragFrom, m_dragTarget);
        } else {
            drop->ignore();
        }
        m_dragTarget = -1;
        m_dragging = false;
        return true;
    }
    default:
        return false;
    }
}

bool frmMain::cmdDnDEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        // A drop while the window is busy would start a second list operation inside the first.
        if (m_controller.busy() || droppedPaths(drag->mimeData()).isEmpty()) {
            drag->ignore();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QList<QByteArray> paths = droppedPaths(drop->mimeData());
        if (m_controller.busy() || paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The file manager waits for the drop to end: the add runs after it.
        QTimer::singleShot(0, this, [this, paths] { cmdDnD_OLEDragDrop(paths); });
        return true;
    }
    default:
        return false;
    }
}

void frmMain::cmdStopAction_Click()
{
    if (!askYesNo(m_context.language.GetMessage(20)))
        return;
    m_controller.requestStop();
    m_escapeTimer->stop();
}

void frmMain::Timer_Escape()
{
    // A key pressed in a message box answers that box, not this watch.
    if (!std::exchange(m_escapePressed, false) || QApplication::activeModalWidget())
        return;
    cmdStopAction_Click();
}

void frmMain::Timer_ListView1_count()
{
    const int count = m_ui.fileViews->currentWidget() == m_ui.ListView2 ? m_ui.ListView2->count() : m_fileView->count();
    m_ui.Label2->setText(lang::ui::widgetText(m_context.language.GetMessage(18, QString::number(count))));
}

void frmMain::cmdEffacerExif_Click()
{
    lang::Language &language = m_context.language;
    if (!askYesNo(language.GetMessage(60)))
        return;
    m_context.exifReader.clearCache();
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(61)), lang::MsgStyle::Information,
                         language.GetMessage(1));
}

void frmMain::showSelectedExif(const QString &path)
{
    // A run in progress reads its own photographs, in its own order.
    if (!m_controller.busy())
        m_context.exifReader.getExif(path);
}

void frmMain::txtFilter_Change()
{
    const QString filter = m_ui.txtFilter->text();
    m_context.settings.General_FiltreAffichage = filter;
    setPattern(filter);
    syncThumbnails(false);
    m_ui.Label2->setText(lang::ui::widgetText(m_context.language.GetMessage(18, QString::number(m_fileView->count()))));
}

void frmMain::cmdRefresh_Click()
{
    const QString filter = m_ui.txtFilter->text();
    m_filterChangeSuppressed = true;
    m_ui.txtFilter->clear();
    m_filterChangeSuppressed = false;
    m_ui.txtFilter->setText(filter);
}

} // namespace tarvello::mainwindow
