#include "platform/base/large_pages.h"

#include <sys/mman.h>

#include <unistd.h>

#include <cstdint>
#include <new>

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

namespace {

constexpr size_t kChunkBytes = size_t{2} << 20; // one large page

// A chunk aligned to a large page, so that the whole of it can be one.
std::byte* MapChunk()
{
    void* mapped = ::mmap(nullptr, 2 * kChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kChunkBytes - 1) & ~(uintptr_t{kChunkBytes} - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const uintptr_t tail = start + 2 * kChunkBytes - (aligned + kChunkBytes); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + kChunkBytes), tail);
    adviseLargePages(reinterpret_cast<void*>(aligned), kChunkBytes);
    return reinterpret_cast<std::byte*>(aligned);
}

} // namespace

LargePagePool::~LargePagePool()
{
    for (std::byte* chunk : m_chunks)
        ::munmap(chunk, kChunkBytes);
}

void* LargePagePool::allocate(size_t bytes)
{
    if (bytes > kLargestBlock)
        return ::operator new (bytes, std::align_val_t{kBlockAlign});
    const size_t slot = bytes == 0 ? 0 : (bytes - 1) / kBlockAlign;
    const size_t blockBytes = (slot + 1) * kBlockAlign;
    const std::lock_guard guard(m_lock);
    if (FreeBlock* block = m_free[slot]) {
        m_free[slot] = block->next;
        return block;
    }
    if (static_cast<size_t>(m_end - m_next) < blockBytes) {
        m_chunks.reserve(m_chunks.size() + 1); // before the chunk: a throw here leaves nothing mapped behind
        m_next = MapChunk();
        m_end = m_next + kChunkBytes;
        m_chunks.push_back(m_next);
    }
    void* block = m_next;
    m_next += blockBytes;
    return block;
}

void LargePagePool::release(void* block, size_t bytes) noexcept
{
    if (block == nullptr)
        return;
    if (bytes > kLargestBlock) {
        ::operator delete (block, std::align_val_t{kBlockAlign});
        return;
    }
    const size_t slot = bytes == 0 ? 0 : (bytes - 1) / kBlockAlign;
    const std::lock_guard guard(m_lock);
    m_free[slot] = ::new (block) FreeBlock{m_free[slot]};
}

size_t LargePagePool::mappedBytes() const
{
    const std::lock_guard guard(m_lock);
    return m_chunks.size() * kChunkBytes;
}
} // namespace pf
