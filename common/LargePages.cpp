#include "common/LargePages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>

namespace tarvello::common {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// A heap warmed ahead takes blocks under the mapping threshold, so that they
// come from the heap and stay in it once freed, and no more than it keeps.
constexpr std::size_t kWarmBlock = std::size_t(16) << 20;
constexpr std::size_t kMostWarmed = std::size_t(128) << 20;

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

} // namespace

void *allocateLarge(std::size_t bytes)
{
    if (bytes < kHugePage) {
        if (void *memory = std::malloc(bytes == 0 ? 1 : bytes))
            return memory;
        throw std::bad_alloc();
    }
    const std::size_t size = roundedUp(bytes);
    if (size < bytes || size + kHugePage < size)
        throw std::bad_alloc();
    // One huge page more than needed, so that the block can start on a huge
    // page's boundary; what lies outside it goes back at once.
    void *mapped = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::size_t tail = start + size + kHugePage - (aligned + size); tail > 0)
        ::munmap(reinterpret_cast<void *>(aligned + size), tail);
    // Only advice: a system without huge pages gives small ones.
    ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void freeLarge(void *memory, std::size_t bytes) noexcept
{
    if (!memory)
        return;
    if (bytes < kHugePage)
        std::free(memory);
    else
        ::munmap(memory, roundedUp(bytes));
}

void offerHugePages(const void *block, std::size_t bytes) noexcept
{
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t from = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    const std::uintptr_t to = (start + bytes) & ~std::uintptr_t(kHugePage - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
}

void shareOneHeap() noexcept
{
    ::mallopt(M_ARENA_MAX, 1);
    // Small blocks freed go back to their neighbours at once. Kept aside
    // instead, the million blocks a background thread frees were all merged
    // by the next large allocation, whichever thread made it: the window's
    // thread stopped for a fifth of a second, holding the one heap.
    ::mallopt(M_MXFAST, 0);
}

void keepFreedMemory() noexcept
{
    ::mallopt(M_ARENA_MAX, 1);
    // 32 MB: the largest mapping threshold the allocator takes.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

std::jthread warmHeap(std::size_t bytes)
{
    bytes = std::min(bytes, kMostWarmed);
    if (bytes == 0)
        return {};
    try {
        return std::jthread([bytes] {
            std::vector<void *> blocks;
            for (std::size_t done = 0; done < bytes; done += kWarmBlock) {
                const std::size_t size = std::min(kWarmBlock, bytes - done);
                auto *block = static_cast<volatile char *>(std::malloc(size));
                if (!block)
                    break;
                blocks.push_back(const_cast<char *>(block));
                offerHugePages(const_cast<char *>(block), size);
                for (std::size_t at = 0; at < size; at += 4096)
                    block[at] = 0;
            }
            for (void *block : blocks)
                std::free(block);
        });
    } catch (const std::system_error &) {
        return {};
    }
}

void giveBackFreePages() noexcept
{
    ::malloc_trim(0);
}

} // namespace tarvello::common
