// The picture preview of the chosen file and the thumbnail view of the
// current folder. Pictures are decoded on worker threads; what comes back
// after the user moved on is dropped.

#include "mainwindow/frmMain.h"

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "common/Zub.h"
#include "filelist/ui/PictureLoader.h"
#include "mainwindow/EventHook.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStackedWidget>
#include <QTableView>

namespace tarvello::mainwindow {

namespace {

// The keys that move the choice in a file view: Page Up, Page Down, End,
// Home and the four arrows (key codes 33 to 40 of the original program).
bool movesChoice(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// The picture as shown: a turned one carries its angle in its corner.
QPixmap shownPicture(const filelist::Picture &picture)
{
    QPixmap pixmap = QPixmap::fromImage(picture.image);
    if (picture.angle > 0) {
        QPainter painter(&pixmap);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(13);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(2, 2, pixmap.width() - 2, pixmap.height() - 2), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Rot=%1").arg(picture.angle));
    }
    return pixmap;
}

} // namespace

void frmMain::connectPreview()
{
    m_previewLoader = new filelist::PictureLoader(16ll << 20, this);
    m_thumbnailLoader = new filelist::PictureLoader(96ll << 20, this);
    connect(m_previewLoader, &filelist::PictureLoader::ready, this,
            [this](quint64 ticket, const QString &, const filelist::Picture &picture) {
                if (ticket != m_previewTicket || !m_ui.chkPreview->isChecked())
                    return;
                if (picture.image.isNull())
                    m_ui.picturePreview->setPixmap(standByPicture(QStringLiteral("non_image.gif")));
                else
                    m_ui.picturePreview->setPixmap(shownPicture(picture));
            });
    connect(m_thumbnailLoader, &filelist::PictureLoader::ready, this,
            [this](quint64 ticket, const QString &, const filelist::Picture &picture) {
                QListWidgetItem *item = m_thumbnailTickets.take(ticket);
                if (!item)
                    return;
                item->setIcon(picture.image.isNull() ? QIcon(notAPictureThumbnail()) : QIcon(shownPicture(picture)));
            });

    connect(m_ui.chkPreview, &QCheckBox::toggled, this, &frmMain::chkPreview_Click);
    connect(m_ui.chkVignette, &QCheckBox::toggled, this, &frmMain::chkVignette_Click);
    connect(m_fileView, &browser::FileView::viewClicked, this, &frmMain::ListView1_Click);
    connect(m_fileView, &browser::FileView::keyReleased, this, [this](int key) {
        if (movesChoice(key))
            ListView1_Click();
    });
    connect(m_ui.ListView2, &QListWidget::itemClicked, this, &frmMain::ListView1_Click);
    new EventHook(m_ui.ListView2, [this](QObject *, QEvent *event) {
        if (event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (!key->isAutoRepeat() && movesChoice(key->key()))
                ListView1_Click();
        }
        return false;
    });
    connect(m_ui.lstrename, &QAbstractItemView::pressed, this, [this](const QModelIndex &index) {
        if (!m_ui.chkPreview->isChecked() || !index.isValid() || index.row() >= m_controller.files().count())
            return;
        previewFile(m_controller.files().entry(index.row()).path());
    });
    // A folder listed again, or another folder, shows in the thumbnails.
    connect(m_fileView, &browser::FileView::listingFinished, this, [this] { syncThumbnails(false); });
    m_ui.ListView2->setUniformItemSizes(true);
    m_ui.ListView2->setMovement(QListView::Static);
    m_ui.ListView2->setTextElideMode(Qt::ElideMiddle);
}

bool frmMain::thumbnailsShown() const
{
    return m_ui.fileViews->currentWidget() == m_ui.ListView2;
}

QSize frmMain::thumbnailSize() const
{
    const settings::Settings &s = m_context.settings;
    const settings::ThumbnailSize size = s.thumbnailSizes.at(std::clamp<int>(s.Option_TailleVignette, 0, 2));
    // A language file without sizes still gives thumbnails.
    if (size.width < 1 || size.height < 1)
        return QSize(80, 60);
    return QSize(int(size.width), int(size.height));
}

QPixmap frmMain::standByPicture(const QString &fileName) const
{
    return QPixmap(m_context.language.languageFolder() + QLatin1Char('/') + fileName);
}

const QPixmap &frmMain::notAPictureThumbnail()
{
    const QSize size = thumbnailSize();
    if (m_notAPicture.isNull() || m_notAPictureBox != size) {
        m_notAPictureBox = size;
        m_notAPicture = standByPicture(QStringLiteral("non_image2.gif"))
                            .scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return m_notAPicture;
}

void frmMain::chkPreview_Click()
{
    m_context.settings.General_VisualiserImage = m_ui.chkPreview->isChecked() ? 1 : 0;
    if (m_ui.chkPreview->isChecked()) {
        ListView1_Click();
    } else {
        m_previewLoader->cancelAll();
        m_previewTicket = 0;
        m_ui.picturePreview->clear();
    }
}

void frmMain::ListView1_Click()
{
    if (!m_ui.chkPreview->isChecked())
        return;
    QString name;
    if (thumbnailsShown()) {
        const QListWidgetItem *item = m_ui.ListView2->currentItem();
        if (item && item->isSelected())
            name = item->text();
    } else {
        name = m_fileView->selectedName();
    }
    previewFile(name.isEmpty() ? QString() : common::ZubQualifyPath(CurrentPath()) + name);
}

void frmMain::previewFile(const QString &path)
{
    m_previewLoader->cancelAll();
    if (path.isEmpty()) {
        m_previewTicket = 0;
        m_ui.picturePreview->setPixmap(standByPicture(QStringLiteral("non_image.gif")));
        return;
    }
    m_previewTicket = m_previewLoader->request(path, m_ui.picturePreview->contentsRect().size());
}

void frmMain::chkVignette_Click()
{
    QListWidget *thumbnails = m_ui.ListView2;
    if (m_ui.chkVignette->isChecked()) {
        const QStringList chosen = m_fileView->selectedNames();
        m_ui.fileViews->setCurrentWidget(thumbnails);
        syncThumbnails(false);
        const QSet<QString> wanted(chosen.cbegin(), chosen.cend());
        thumbnails->clearSelection();
        for (int row = 0; row < thumbnails->count(); ++row) {
            if (wanted.contains(thumbnails->item(row)->text()))
                thumbnails->item(row)->setSelected(true);
        }
    } else {
        QStringList chosen;
        for (const QListWidgetItem *item : thumbnails->selectedItems())
            chosen.append(item->text());
        m_ui.fileViews->setCurrentWidget(m_fileView);
        Timer_ListView1_count();
        m_fileView->select(chosen);
    }
}

void frmMain::refreshThumbnails()
{
    syncThumbnails(true);
}

void frmMain::syncThumbnails(bool anew)
{
    if (!thumbnailsShown())
        return;
    QListWidget *thumbnails = m_ui.ListView2;
    const QString folder = m_fileView->folder();
    const QStringList names = m_fileView->itemNames();
    const bool sameFolder = !anew && folder == m_thumbnailFolder;
    QStringList shown;
    shown.reserve(thumbnails->count());
    for (int row = 0; row < thumbnails->count(); ++row)
        shown.append(thumbnails->item(row)->text());
    if (sameFolder && names == shown)
        return;

    // Files still there keep their picture while it is made again: a file
    // changed on disk gets its new one, the others come from the cache.
    QHash<QString, QIcon> kept;
    QSet<QString> selected;
    if (sameFolder) {
        for (int row = 0; row < thumbnails->count(); ++row) {
            const QListWidgetItem *item = thumbnails->item(row);
            kept.insert(item->text(), item->icon());
            if (item->isSelected())
                selected.insert(item->text());
        }
    }
    m_thumbnailLoader->cancelAll();
    m_thumbnailTickets.clear();
    thumbnails->clear();

    const QSize size = thumbnailSize();
    const int textHeight = thumbnails->fontMetrics().height();
    const QSize cell(size.width() + 2 * textHeight, size.height() + 2 * textHeight);
    thumbnails->setIconSize(size);
    thumbnails->setGridSize(cell);
    const settings::Settings &s = m_context.settings;
    const bool pictures = s.Option_AfficherVignette == 1;
    const QString prefix = common::ZubQualifyPath(folder);
    const QIcon notAPicture(notAPictureThumbnail());
    thumbnails->setUpdatesEnabled(false);
    for (const QString &name : names) {
        auto *item = new QListWidgetItem(name, thumbnails);
        item->setToolTip(name);
        // Every item is the size of its cell, picture or not yet.
        item->setSizeHint(cell);
        if (pictures && filelist::hasPictureExtension(name, s.Option_FormatExtensionVignette)) {
            item->setIcon(kept.value(name));
            m_thumbnailTickets.insert(m_thumbnailLoader->request(prefix + name, size), item);
        } else {
            item->setIcon(notAPicture);
        }
        if (selected.contains(name))
            item->setSelected(true);
    }
    thumbnails->setUpdatesEnabled(true);
    m_thumbnailFolder = folder;
}

} // namespace tarvello::mainwindow
