#pragma once
// Large pages for large buffers. A buffer of many megabytes filled at once (a world file's bytes, a mesh's tables)
// otherwise takes one page fault per 4 KiB on its first touch, which costs more than filling it.
#include <cstddef>
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
} // namespace pf
