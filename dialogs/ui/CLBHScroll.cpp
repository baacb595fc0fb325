#include "dialogs/ui/CLBHScroll.h"

#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

namespace tarvello::dialogs::ui {

namespace {

// Room kept right of the widest text when the list has no vertical scroll bar.
constexpr int kExtentMargin = 4;

} // namespace

void CLBHScroll::Init(QListWidget *list)
{
    m_list = list;
    m_widest = 0;
    m_extent = 0;
    m_rowHeight = 0;
    if (!list)
        return;
    list->clear();
    list->setWordWrap(false);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Every row is as wide as the extent, so the view can size all rows from
    // one and adding an item costs the same in a list of any length.
    list->setUniformItemSizes(true);
}

void CLBHScroll::AddItem(const QString &text)
{
    if (!m_list)
        return;
    // Made first and then added: an item made with its list as parent is
    // inserted at a cost that grows with the list.
    auto *item = new QListWidgetItem(text);
    m_list->addItem(item);
    if (m_rowHeight == 0)
        m_rowHeight = m_list->sizeHintForRow(m_list->row(item));
    const int width = m_list->fontMetrics().horizontalAdvance(text);
    if (width > m_widest || m_extent == 0) {
        m_widest = qMax(m_widest, width);
        m_extent = extent();
        // The view takes the size of all rows from one of them, the first or
        // the last: both carry the widest extent.
        m_list->item(0)->setSizeHint(QSize(m_extent, m_rowHeight));
    }
    item->setSizeHint(QSize(m_extent, m_rowHeight));
    // Scrolling lays the whole list out; done once when the adding pauses, it
    // keeps a long run of additions linear.
    if (!*m_scrollPending) {
        *m_scrollPending = true;
        QTimer::singleShot(0, m_list, [list = m_list, pending = m_scrollPending] {
            *pending = false;
            if (list)
                list->scrollToBottom();
        });
    }
}

int CLBHScroll::extent() const
{
    const QScrollBar *vertical = m_list->verticalScrollBar();
    const int extra = vertical->isVisible() ? vertical->sizeHint().width() : kExtentMargin;
    // The item view draws a row's text inside a margin on each side.
    const int textMargins = 2 * (m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1);
    return m_widest + textMargins + extra;
}

} // namespace tarvello::dialogs::ui
