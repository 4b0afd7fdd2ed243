#include "codecs/sound/tests/tonalwave_allocation_probe.h"

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORTAN_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VORTAN_ALLOCATION_HOOKS 1
#endif
#endif

#ifdef VORTAN_ALLOCATION_HOOKS
// The sanitizer runtimes call these on every allocation and release of the process.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace {

std::atomic<int64_t> g_count{0};
std::atomic<int64_t> g_failAt{0};

#ifdef VORTAN_ALLOCATION_HOOKS
void NoteAllocation(const volatile void*, size_t)
{
    g_count.fetch_add(1, std::memory_order_relaxed);
}

void NoteFree(const volatile void*) {}

const bool kHooked = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree) != 0;
#else
const bool kHooked = false;
#endif

} // namespace

namespace soundtest {

bool CanCountAllocations()
{
    return kHooked;
}

void ResetAllocationCount()
{
    g_count = 0;
}

int64_t AllocationCount()
{
    return g_count.load();
}

bool CanFailAllocations()
{
    return false;
}

void FailAllocationNumber(int64_t k)
{
    g_failAt = k == 0 ? 0 : g_count.load() + k;
}

} // namespace soundtest
