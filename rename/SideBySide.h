#pragma once

#include <functional>
#include <system_error>
#include <thread>

namespace tarvello::rename {

// Runs aside on a thread of its own while here runs on the caller's, and
// returns once both are done; both run on the caller's when no thread can be
// had. For two passes over every file of a run that need nothing of each
// other: the second core would otherwise wait while the first works.
inline void sideBySide(const std::function<void()> &aside, const std::function<void()> &here)
{
    std::jthread thread;
    try {
        thread = std::jthread(aside);
    } catch (const std::system_error &) {
        aside();
    }
    here();
}

} // namespace tarvello::rename
