#pragma once
// A periodic timer that calls back off the user-interface thread (the render thread's wake-up tick).
// Live: its own thread ticks at start + k * period and skips ticks it missed rather than bunching them.
// Under a VirtualClock installed when the timer is made: the callback runs inside advance() at each due time.
#include <cstdint>
#include <functional>
#include <memory>

namespace pf {

class VirtualClock;

class MmTimer {
public:
    MmTimer(uint32_t periodMs, std::function<void()> callback); // period 0 is taken as 1
    ~MmTimer();                                                 // kill()
    MmTimer(const MmTimer&) = delete;
    MmTimer& operator=(const MmTimer&) = delete;

    void kill(); // no callback runs after it returns (from inside the callback: none after the current one)
    bool isVirtual() const { return m_virtualClock != nullptr; }

private:
    struct LiveState;

    void startLive(uint32_t periodMs, std::function<void()> callback);

    VirtualClock* m_virtualClock = nullptr; // not owned: the installed test clock, which outlives its timers
    uint64_t m_dueId = 0;
    std::shared_ptr<LiveState> m_live; // set once; shared with the ticking thread, which may outlive us
};

} // namespace pf
