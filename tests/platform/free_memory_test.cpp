// Memory freed in the middle of a heap stays with the process until it is
// handed back; handing it back must really lower the resident size.
#include "platform/free_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

// gcc names a sanitized build by a macro; clang answers __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZED_BUILD 1
#endif
#endif

namespace {

long resident_kb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(FreeMemory, FreedHeapMemoryIsHandedBackToTheSystem)
{
#ifdef SANITIZED_BUILD
    GTEST_SKIP() << "a sanitizer's allocator keeps freed memory in quarantine, not in the C library's heap";
#endif
    long freed_kb = 0;
    std::thread([&] {
        // 64 MB in small blocks, each written to, then all freed but the
        // last, which keeps the heap's end in use so nothing is trimmed by itself.
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int i = 0; i < 64 * 1024; ++i) {
            blocks.push_back(std::make_unique<char[]>(1000));
            std::fill_n(blocks.back().get(), 1000, 'x');
        }
        auto last = std::move(blocks.back());
        blocks.clear();
        blocks.shrink_to_fit();
        long before = resident_kb();
        wrenfold::platform::return_free_memory();
        freed_kb = before - resident_kb();
    }).join();
    EXPECT_GT(freed_kb, 32 * 1024);
}

TEST(FreeMemory, LargeBlocksAreMappedApartWhateverWasFreedBefore)
{
#if defined(SANITIZED_BUILD) || !defined(__GLIBC__)
    GTEST_SKIP() << "only the C library's own heap is configured";
#else
    wrenfold::platform::configure_heaps();
    {
        // As a month's answer is: one large block, written and freed. By
        // default the heap then took every block up to its size, and kept
        // their pages after they were freed.
        auto answer = std::make_unique<char[]>(24 * 1024 * 1024);
        std::fill_n(answer.get(), 24 * 1024 * 1024, 'x');
    }
    const std::size_t mapped_before = mallinfo2().hblkhd;
    auto next = std::make_unique<char[]>(1024 * 1024);
    EXPECT_GE(mallinfo2().hblkhd - mapped_before, 1024u * 1024u);
#endif
}

}  // namespace
