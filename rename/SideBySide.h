#pragma once

#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace tarvello::rename {

// Work that runs on a thread of its own while the caller goes on, or on the
// caller's thread, at once, when no thread can be had. wait() returns once
// it is done; so does the end of its life.
class Aside
{
public:
    explicit Aside(std::function<void()> work)
        : m_work(std::move(work))
    {
        try {
            m_thread = std::jthread(m_work);
        } catch (const std::system_error &) {
            m_work();
        }
    }

    void wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::function<void()> m_work;
    std::jthread m_thread;
};

// Runs aside on a thread of its own while here runs on the caller's, and
// returns once both are done. For two passes over every file of a run that
// need nothing of each other: the second core would otherwise wait while the
// first works.
inline void sideBySide(const std::function<void()> &aside, const std::function<void()> &here)
{
    Aside running(aside);
    here();
}

} // namespace tarvello::rename
