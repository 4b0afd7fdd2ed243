#include "engine/core/unique_id.h"

#include <atomic>
#include <mutex>
#include <unordered_set>

#include "engine/core/read_context.h"

namespace {

std::atomic<uint32_t> g_lastId{0};

// Kept ids from kFirstUnraisedId up to the renumbered range that were above the counter when they were read.
struct SteppedOver {
    std::mutex mutex;
    std::unordered_set<uint32_t> ids;
    std::atomic<bool> any{false};
};

SteppedOver& Stepped()
{
    static SteppedOver stepped;
    return stepped;
}

bool InUnraisedRange(uint32_t id)
{
    return id >= kFirstUnraisedId && id < kLowestUnsafeId;
}

bool IsSteppedOver(uint32_t id)
{
    if (!InUnraisedRange(id))
        return false;
    SteppedOver& stepped = Stepped();
    if (!stepped.any.load(std::memory_order_acquire))
        return false;
    const std::lock_guard<std::mutex> lock(stepped.mutex);
    return stepped.ids.contains(id);
}

} // namespace

uint32_t NextUniqueId()
{
    // Stored links read 0 as "none" and all bits set as "unset": neither may name a real object.
    uint32_t id = g_lastId.fetch_add(1, std::memory_order_relaxed) + 1;
    while (id == 0 || id == UINT32_MAX || IsSteppedOver(id))
        id = g_lastId.fetch_add(1, std::memory_order_relaxed) + 1;
    return id;
}

void RaiseUniqueIdPast(uint32_t id)
{
    if (id == UINT32_MAX)
        return; // "unset" in a file: raising to it would wrap the counter onto ids already handed out
    uint32_t last = g_lastId.load(std::memory_order_relaxed);
    if (InUnraisedRange(id)) {
        if (id <= last)
            return; // the counter is past it already
        SteppedOver& stepped = Stepped();
        const std::lock_guard<std::mutex> lock(stepped.mutex);
        stepped.ids.insert(id);
        stepped.any.store(true, std::memory_order_release);
        return;
    }
    while (last < id && !g_lastId.compare_exchange_weak(last, id, std::memory_order_relaxed)) {
    }
}

uint32_t PeekUniqueId()
{
    return g_lastId.load(std::memory_order_relaxed);
}
