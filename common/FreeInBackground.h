#pragma once

#include "common/LargePages.h"

#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

namespace tarvello::common {

// Frees a large value (the plan of a million renames, a folder's listing) on
// a pool thread. Its millions of small frees hold the thread that makes them
// for a tenth of a second or more, and the window's thread must answer
// meanwhile. The pages freed go back to the system. The pool waits for the
// frees when the program ends.
template<typename T>
void freeInBackground(T &&value)
{
    auto held = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    QThreadPool::globalInstance()->start([held = std::move(held)]() mutable {
        held.reset();
        giveBackFreePages();
    });
}

} // namespace tarvello::common
