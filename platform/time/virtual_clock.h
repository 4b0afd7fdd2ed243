#pragma once
// Time that moves only when told. Whatever must happen at a given time (multimedia timers now, window timers
// later) registers a due callback here; advance() runs each at its due time with the clock reading that time,
// so a test sees exactly the sequence the live program would, minus the waiting.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/time/clock.h"

namespace pf {

class VirtualClock final : public Clock {
public:
    using DueId = uint64_t; // 0 is never an id

    explicit VirtualClock(uint32_t startMs = 0);
    ~VirtualClock() override; // uninstalls itself when it is the installed clock

    uint32_t nowMs() override;
    double nowMsExact() override;
    void sleepMs(uint32_t ms) override { advance(ms); }

    void advance(uint32_t ms); // runs due callbacks in time order, ties in the order they were added
    void set(uint32_t ms);     // moves the reading without running anything; pending due times keep their distance

    DueId addDue(uint32_t delayMs, uint32_t periodMs, std::function<void()> callback); // first at now + delay,
                                                                                       // then every period; 0: once
    bool cancelDue(DueId id); // false when unknown or finished; returns only once no callback of it runs elsewhere
    size_t pendingDueCount() const;
    std::optional<uint64_t> nextDueMs() const; // the earliest pending due time on the unwrapped scale; nullopt: none

private:
    struct Due {
        uint64_t atMs;
        uint32_t periodMs;
        std::shared_ptr<const std::function<void()>> callback;
    };
    struct Running {
        DueId id;
        std::thread::id thread;
    };

    bool isRunningElsewhere(DueId id) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_finished; // a callback returned
    uint64_t m_nowMs;                   // never wraps; nowMs() shows its low 32 bits
    DueId m_nextId = 1;
    std::map<DueId, Due> m_due; // by id, which is also the order of adding
    std::vector<Running> m_running;
};

} // namespace pf
