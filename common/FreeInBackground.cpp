#include "common/FreeInBackground.h"

namespace tarvello::common {

namespace {

// One thread: frees that come one after another never compete for the heap
// among themselves, only with the thread that works.
struct FreeingPool : QThreadPool {
    FreeingPool() { setMaxThreadCount(1); }
};

} // namespace

QThreadPool &freeingPool()
{
    static FreeingPool pool;
    return pool;
}

} // namespace tarvello::common
