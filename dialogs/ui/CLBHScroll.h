#pragma once

#include <QPointer>
#include <QString>

#include <memory>

class QListWidget;

namespace tarvello::dialogs::ui {

// Gives a plain list a horizontal extent that follows its widest item, so
// that long lines (paths, error texts) can be scrolled to rather than cut.
class CLBHScroll
{
public:
    // Empties the list and takes it over: rows are neither wrapped nor elided,
    // and the widest width seen is reset to 0.
    void Init(QListWidget *list);

    // Adds the text as the list's last item, widens the extent when the text is
    // the widest so far, and scrolls the list to its bottom.
    void AddItem(const QString &text);

    // The widest item's text width seen since Init, in pixels.
    int widest() const { return m_widest; }

private:
    int extent() const;

    QPointer<QListWidget> m_list;
    int m_widest = 0;
    int m_extent = 0;
    int m_rowHeight = 0;
    std::shared_ptr<bool> m_scrollPending = std::make_shared<bool>(false);
};

} // namespace tarvello::dialogs::ui
