#pragma once

#include <QElapsedTimer>

namespace tarvello::controller {

// Paces a long loop of the window's thread (an add, a folder scan): the loop
// asks due() after each item and lets window events run only when it says so,
// once per interval of work. Often enough for the stop button and Escape to
// answer at once, rarely enough that the events cost little beside the work.
class EventPacer
{
public:
    explicit EventPacer(int intervalMs = 20)
        : m_intervalMs(intervalMs)
    {
        m_timer.start();
    }

    // True once an interval has passed since the last true answer.
    bool due()
    {
        if (m_timer.elapsed() < m_intervalMs)
            return false;
        m_timer.restart();
        return true;
    }

private:
    QElapsedTimer m_timer;
    int m_intervalMs;
};

} // namespace tarvello::controller
