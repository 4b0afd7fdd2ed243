#include "engine/core/unique_id.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

TEST(UniqueId, RaisingPastAnIdMakesLaterIdsLarger)
{
    const uint32_t first = NextUniqueId();
    EXPECT_GT(NextUniqueId(), first);
    RaiseUniqueIdPast(first + 1000);
    EXPECT_EQ(NextUniqueId(), first + 1001);
    RaiseUniqueIdPast(first); // lower: no change
    EXPECT_EQ(NextUniqueId(), first + 1002);
}

TEST(UniqueId, UnsetIdFromAFileDoesNotWrapTheCounter)
{
    const uint32_t before = NextUniqueId();
    RaiseUniqueIdPast(0xFFFFFFFF);
    EXPECT_EQ(NextUniqueId(), before + 1);
}

TEST(UniqueId, WrapSkipsNoneAndUnset)
{
    RaiseUniqueIdPast(0xFFFFFFFE);
    EXPECT_EQ(NextUniqueId(), 1u); // neither 0xFFFFFFFF ("unset") nor 0 ("none")
}

// A file may keep an id just below the range readers renumber; the ids made after it must stay below that range
// (or the next read renumbers them) without ever repeating a kept one. The counter is first raised to just below
// the ids it steps over, so the cases reach them within a few calls.
TEST(UniqueId, IdsMadeAfterAKeptHighIdStayBelowTheRenumberedRangeAndStepOverKeptOnes)
{
    RaiseUniqueIdPast(kFirstUnraisedId - 1);
    EXPECT_EQ(PeekUniqueId(), kFirstUnraisedId - 1);
    RaiseUniqueIdPast(0x7FFFFFFFu);
    RaiseUniqueIdPast(0x7FFFFFF0u);
    RaiseUniqueIdPast(kFirstUnraisedId + 1);
    RaiseUniqueIdPast(kFirstUnraisedId + 2);
    EXPECT_EQ(NextUniqueId(), kFirstUnraisedId);
    EXPECT_EQ(NextUniqueId(), kFirstUnraisedId + 3);
    EXPECT_EQ(NextUniqueId(), kFirstUnraisedId + 4);
    RaiseUniqueIdPast(kFirstUnraisedId + 1); // below the counter now: nothing changes
    EXPECT_EQ(NextUniqueId(), kFirstUnraisedId + 5);
    RaiseUniqueIdPast(kFirstUnraisedId - 5); // below: as before
    EXPECT_EQ(NextUniqueId(), kFirstUnraisedId + 6);
}

TEST(UniqueId, ThreadsNeverShareAnId)
{
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<std::vector<uint32_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&ids, t] {
            for (int i = 0; i < kEach; ++i)
                ids[static_cast<size_t>(t)].push_back(NextUniqueId());
        });
    for (std::thread& thread : threads)
        thread.join();
    std::vector<uint32_t> all;
    for (const std::vector<uint32_t>& some : ids)
        all.insert(all.end(), some.begin(), some.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

} // namespace
