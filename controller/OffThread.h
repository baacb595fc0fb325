#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace tarvello::controller {

// Runs work that cannot be cut in slices (the plan or the journal of a
// million renames) on a thread of its own and returns its result, or throws
// what it threw. Meanwhile the calling thread lets its events run and calls
// tick, every 20 ms at most, and once more at the end.
template<typename Work, typename Tick>
auto offThread(Work work, Tick tick) -> decltype(work())
{
    std::optional<decltype(work())> result;
    std::exception_ptr error;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            result.emplace(work());
        } catch (...) {
            error = std::current_exception();
        }
    }));
    thread->start();
    do {
        QCoreApplication::processEvents();
        tick();
    } while (!thread->wait(QDeadlineTimer(20)));
    tick();
    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

template<typename Work>
auto offThread(Work work) -> decltype(work())
{
    return offThread(std::move(work), [] {});
}

} // namespace tarvello::controller
