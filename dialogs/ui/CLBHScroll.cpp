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
    m_rowHeight = 0;
    if (!list)
        return;
    list->clear();
    list->setWordWrap(false);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Every row takes the first row's size, which carries the extent: adding an
    // item then costs the same in a list of any length.
    list->setUniformItemSizes(true);
}

void CLBHScroll::AddItem(const QString &text)
{
    if (!m_list)
        return;
    m_list->addItem(text);
    const int width = m_list->fontMetrics().horizontalAdvance(text);
    if (width > m_widest || m_list->count() == 1) {
        m_widest = qMax(m_widest, width);
        applyExtent();
    }
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

void CLBHScroll::applyExtent()
{
    QListWidgetItem *first = m_list->item(0);
    if (m_rowHeight == 0)
        m_rowHeight = m_list->sizeHintForRow(0);
    const QScrollBar *vertical = m_list->verticalScrollBar();
    const int extra = vertical->isVisible() ? vertical->sizeHint().width() : kExtentMargin;
    // The item view draws a row's text inside a margin on each side.
    const int textMargins = 2 * (m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1);
    first->setSizeHint(QSize(m_widest + textMargins + extra, m_rowHeight));
}

} // namespace tarvello::dialogs::ui
