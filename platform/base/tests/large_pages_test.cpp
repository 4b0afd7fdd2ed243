#include "platform/base/large_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

using pf::LargePagePool;

bool Aligned(const void* block)
{
    return reinterpret_cast<uintptr_t>(block) % LargePagePool::kBlockAlign == 0;
}

TEST(LargePagePool, BlocksAreAlignedApartAndReusedOnlyWithinTheirSize)
{
    LargePagePool pool;
    std::vector<std::pair<std::byte*, size_t>> blocks;
    for (size_t bytes : {size_t{0}, size_t{1}, size_t{64}, size_t{65}, size_t{872}, LargePagePool::kLargestBlock,
                         LargePagePool::kLargestBlock + 1, size_t{100000}}) {
        auto* block = static_cast<std::byte*>(pool.allocate(bytes));
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(Aligned(block)) << bytes;
        std::memset(block, 0xA5, bytes);
        blocks.emplace_back(block, bytes);
    }
    // No two blocks overlap: each is filled with its own byte and read back whole.
    for (size_t i = 0; i < blocks.size(); ++i)
        std::memset(blocks[i].first, static_cast<int>(i), blocks[i].second);
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_TRUE(std::all_of(blocks[i].first, blocks[i].first + blocks[i].second, [&](std::byte b) {
            return b == static_cast<std::byte>(i);
        })) << blocks[i].second;

    // A freed block goes to the next object of its class, not to one of another size.
    void* node = pool.allocate(872);
    pool.release(node, 872);
    void* other = pool.allocate(200);
    EXPECT_NE(other, node);
    EXPECT_EQ(pool.allocate(860), node) << "860 and 872 bytes share a 64-byte class";
    pool.release(node, 860);
    pool.release(other, 200);
    for (const auto& [block, bytes] : blocks)
        pool.release(block, bytes);
    EXPECT_EQ(pool.mappedBytes(), size_t{2} << 20) << "everything above fitted in one chunk";
}

TEST(LargePagePool, ManyBlocksFromSeveralThreadsAreDistinct)
{
    LargePagePool pool;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000; // 5,000 x 4 x 896 bytes: several chunks
    std::vector<std::vector<void*>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                void* block = pool.allocate(872);
                std::memset(block, t, 872);
                made[t].push_back(block);
                if (i % 3 == 0) { // some go back at once and come out again
                    pool.release(block, 872);
                    made[t].back() = pool.allocate(872);
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<void*> distinct;
    for (const auto& blocks : made)
        for (void* block : blocks) {
            EXPECT_TRUE(Aligned(block));
            distinct.insert(block);
        }
    EXPECT_EQ(distinct.size(), size_t{kThreads * kPerThread});
    EXPECT_GE(pool.mappedBytes(), size_t{kThreads * kPerThread} * 896);
    for (const auto& blocks : made)
        for (void* block : blocks)
            pool.release(block, 872);
}

} // namespace
