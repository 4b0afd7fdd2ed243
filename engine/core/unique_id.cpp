#include "engine/core/unique_id.h"

#include <atomic>

namespace {

std::atomic<uint32_t> g_lastId{0};

} // namespace

uint32_t NextUniqueId()
{
    // Stored links read 0 as "none" and all bits set as "unset": neither may name a real object.
    uint32_t id = g_lastId.fetch_add(1, std::memory_order_relaxed) + 1;
    while (id == 0 || id == UINT32_MAX)
        id = g_lastId.fetch_add(1, std::memory_order_relaxed) + 1;
    return id;
}

void RaiseUniqueIdPast(uint32_t id)
{
    if (id == UINT32_MAX)
        return; // "unset" in a file: raising to it would wrap the counter onto ids already handed out
    uint32_t last = g_lastId.load(std::memory_order_relaxed);
    while (last < id && !g_lastId.compare_exchange_weak(last, id, std::memory_order_relaxed)) {
    }
}

uint32_t PeekUniqueId()
{
    return g_lastId.load(std::memory_order_relaxed);
}
