#include "codecs/sound/tests/tonalwave_allocation_probe.h"

#include <atomic>

namespace {

std::atomic<int64_t> g_count{0};
std::atomic<int64_t> g_failAt{0}; // the count at which the next allocation fails; 0: none

} // namespace

namespace soundtest {

bool CanCountAllocations()
{
    return SOUNDTEST_REPLACES_NEW != 0;
}

void ResetAllocationCount()
{
    g_failAt = 0; // a failure that was never reached would otherwise strike some later test
    g_count = 0;
}

int64_t AllocationCount()
{
    return g_count.load();
}

bool CanFailAllocations()
{
    return SOUNDTEST_REPLACES_NEW != 0;
}

void FailAllocationNumber(int64_t k)
{
    g_failAt = k <= 0 ? 0 : g_count.load() + k;
}

bool CountAllocationAndAskFailure()
{
    const int64_t count = g_count.fetch_add(1, std::memory_order_relaxed) + 1;
    int64_t failAt = g_failAt.load(std::memory_order_relaxed);
    // Only one allocation fails: the clean-up after it must be able to allocate again.
    return failAt != 0 && count == failAt && g_failAt.compare_exchange_strong(failAt, 0);
}

} // namespace soundtest
