#pragma once

#include <cstddef>
#include <new>
#include <thread>

namespace tarvello::common {

// Memory for a large table, of at least bytes: a block under 2 MB comes from
// the heap, a larger one is a mapping of its own, aligned and offered to the
// system as huge pages, and given back whole when freed. A list of a million
// files fills tables of tens of megabytes, and on some systems (virtual
// machines above all) each fresh 4 KB page costs a fault of tens of
// microseconds: fresh pages were most of the time of a recomputation.
// Throws std::bad_alloc when the system has no memory to give.
void *allocateLarge(std::size_t bytes);
// Frees what allocateLarge(bytes) gave, with the same size.
void freeLarge(void *memory, std::size_t bytes) noexcept;

// Offers the huge pages wholly inside a block not written yet (a list
// reserved for the entries an add will write) as huge pages: only advice,
// what the block holds does not change.
void offerHugePages(const void *block, std::size_t bytes) noexcept;

// One heap for every thread of the process, called before the first thread
// starts. The window plans, reads records and lists folders on threads of
// their own; each thread got a heap of its own, which kept what it freed for
// itself, and a rename or an undo of a million files held hundreds of
// megabytes more than the same work on one thread.
void shareOneHeap() noexcept;

// The heap of a process that ends with its one operation (the command
// line): one heap for its threads that keeps what they free (a rename's
// tables, its records' texts) for what comes next, rather than hand it back
// and take every page afresh, a fault each. Called before the first thread
// starts.
void keepFreedMemory() noexcept;

// Takes the first touch of about that many bytes of fresh heap on a thread of
// its own and returns at once; the heap keeps the pages for what is allocated
// next. For a process that kept its freed memory and is about to fill that
// much: on some systems (virtual machines above all) each fresh page costs a
// fault of several microseconds, while the second core has nothing to do.
// Returns once the thread is started; the result waits for it when it goes.
std::jthread warmHeap(std::size_t bytes);

// Gives the free pages of the heap back to the system. Pages freed inside
// the heap stay counted against the program until then: after a list of a
// million names is recomputed, the old names' pages, and after a rename, the
// plan's, would otherwise stay held beside the next operation's own.
void giveBackFreePages() noexcept;

// The allocator of standard containers that hold large tables.
template<typename T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template<typename U>
    LargePageAllocator(const LargePageAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T *>(allocateLarge(count * sizeof(T)));
    }
    void deallocate(T *memory, std::size_t count) noexcept { freeLarge(memory, count * sizeof(T)); }

    template<typename U>
    bool operator==(const LargePageAllocator<U> &) const noexcept
    {
        return true;
    }
};

} // namespace tarvello::common
