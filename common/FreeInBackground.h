#pragma once

#include "common/LargePages.h"

#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

namespace tarvello::common {

// The one thread that frees large values. Not Qt's global pool: the raster
// paint engine splits a large fill across that pool and waits for it, and a
// window would not paint while a million frees held its threads.
QThreadPool &freeingPool();

// Frees a large value (the plan of a million renames, a folder's listing) on
// the freeing thread. Its millions of small frees hold the thread that makes
// them for a tenth of a second or more, and the window's thread must answer
// meanwhile. The pages freed go back to the system. The pool waits for the
// frees when the program ends.
template<typename T>
void freeInBackground(T &&value)
{
    auto held = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    freeingPool().start([held = std::move(held)]() mutable {
        held.reset();
        giveBackFreePages();
    });
}

} // namespace tarvello::common
