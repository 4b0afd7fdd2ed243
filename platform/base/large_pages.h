#pragma once
// Large pages for large buffers. A buffer of many megabytes filled at once (a world file's bytes, a mesh's tables)
// otherwise takes one page fault per 4 KiB on its first touch, which costs more than filling it.
#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

namespace pf {

// Asks the kernel to back the whole large pages inside [data, data + bytes) with large pages when they are first
// touched. A hint only: ignored where the system has none, for small ranges and for memory already touched.
void adviseLargePages(void* data, size_t bytes);

// Gives the whole pages inside [data, data + bytes) back to the system at once, so that a large buffer read front
// to back need not stay resident behind its reader; they read as zeros afterwards. Only for heap memory the caller
// owns alone and will not read again. Answers the bytes given back (0 where the system refuses).
size_t releasePages(void* data, size_t bytes);

// Reserves room for count items with the untouched rest advised as above; as std::vector::reserve otherwise
// (it throws as that does).
template <typename T> void reserveWithLargePages(std::vector<T>& items, size_t count)
{
    if (items.capacity() >= count)
        return;
    items.reserve(count);
    adviseLargePages(items.data() + items.size(), (count - items.size()) * sizeof(T));
}

// Small objects kept together in large pages, for objects that are walked by the tens of thousands (a world's scene
// nodes): spread over the heap's small pages, each step of such a walk also waits for the page tables. Blocks are
// 64-byte aligned and handed out by size class; a freed block goes to the next object of its class, and the pages
// stay with the pool. Safe to use from several threads. Sizes above kLargestBlock come from the heap.
class LargePagePool {
public:
    static constexpr size_t kBlockAlign = 64;
    static constexpr size_t kLargestBlock = 4096;

    LargePagePool() = default;
    LargePagePool(const LargePagePool&) = delete;
    LargePagePool& operator=(const LargePagePool&) = delete;
    ~LargePagePool(); // gives the pages back: no block may be in use

    void* allocate(size_t bytes);                     // throws std::bad_alloc
    void release(void* block, size_t bytes) noexcept; // bytes as given to allocate
    size_t mappedBytes() const;                       // what the pool holds of the system, used or free

private:
    static constexpr size_t kClasses = kLargestBlock / kBlockAlign;
    struct FreeBlock {
        FreeBlock* next;
    };

    mutable std::mutex m_lock;
    std::array<FreeBlock*, kClasses> m_free{};
    std::byte* m_next = nullptr; // the unused rest of the newest chunk
    std::byte* m_end = nullptr;
    std::vector<std::byte*> m_chunks;
};
} // namespace pf
