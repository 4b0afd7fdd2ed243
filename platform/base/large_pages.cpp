#include "platform/base/large_pages.h"

#include <sys/mman.h>

#include <unistd.h>

#include <cstdint>

namespace pf {

void adviseLargePages(void* data, size_t bytes)
{
    constexpr uintptr_t kLargePageBytes = uintptr_t{2} << 20;
    if (data == nullptr || bytes < kLargePageBytes)
        return;
    const auto start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (start + kLargePageBytes - 1) & ~(kLargePageBytes - 1);
    const uintptr_t end = (start + bytes) & ~(kLargePageBytes - 1);
#ifdef MADV_HUGEPAGE
    if (end > first)
        (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE); // a hint: failure changes nothing
#endif
}

size_t releasePages(void* data, size_t bytes)
{
    static const uintptr_t pageBytes = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (data == nullptr || bytes < pageBytes)
        return 0;
    const auto start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (start + pageBytes - 1) & ~(pageBytes - 1);
    const uintptr_t end = (start + bytes) & ~(pageBytes - 1);
    if (end <= first || ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED) != 0)
        return 0;
    return end - first;
}
} // namespace pf
