#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace tarvello::mainwindow {

// Hands the events of a watched object to a function before the object sees
// them; the function returns true to keep an event from it. The hook belongs
// to its parent (the watched object unless given), and deleting it ends the watch.
class EventHook : public QObject
{
public:
    using Handler = std::function<bool(QObject *watched, QEvent *event)>;

    EventHook(QObject *watched, Handler handler, QObject *parent = nullptr)
        : QObject(parent ? parent : watched)
        , m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override { return m_handler(watched, event); }

private:
    Handler m_handler;
};

} // namespace tarvello::mainwindow
