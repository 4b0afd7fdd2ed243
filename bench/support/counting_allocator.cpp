#include "bench/support/counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// Every form is replaced, the nothrow and aligned ones too: a form left to the runtime would hand out memory that
// one of ours frees, which the address sanitiser reports as an allocation and deallocation that do not match. All
// stay out of line: inlined, the compiler pairs free with an operator new and warns of a mismatch that is none.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<int64_t> g_bytes{0};

void Count(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    g_bytes.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed);
}

void* Allocate(std::size_t size) noexcept
{
    Count(size);
    return std::malloc(size != 0 ? size : 1);
}

// aligned_alloc takes only whole multiples of the alignment.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept
{
    Count(size);
    const std::size_t align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = size != 0 ? (size + align - 1) / align * align : align;
    if (rounded < size)
        return nullptr;
    return std::aligned_alloc(align, rounded);
}

} // namespace

namespace bench_support {

uint64_t CountedAllocations()
{
    return g_allocations.load(std::memory_order_relaxed);
}

int64_t CountedBytes()
{
    return g_bytes.load(std::memory_order_relaxed);
}

} // namespace bench_support

[[gnu::noinline]] void* operator new(std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size)
{
    return operator new(size);
}
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
[[gnu::noinline]] void* operator new(std::size_t size, std::align_val_t alignment)
{
    if (void* p = AllocateAligned(size, alignment))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return operator new(size, alignment);
}
[[gnu::noinline]] void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(size, alignment);
}
[[gnu::noinline]] void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(size, alignment);
}

[[gnu::noinline]] void operator delete(void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(p);
}
