#pragma once
// A world run frame by frame as the preview runs it, on a virtual clock, with every event that fires noted beside
// the number of the frame that fired it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/core/world.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

class FiredEvents : public BehaviourObserver {
public:
    void EventFired(const SWevent& event, const SWinputrecord&) override
    {
        fired.emplace_back(frame, event.GetName().value_or(""));
    }
    std::vector<int> FramesOf(const std::string& name) const
    {
        std::vector<int> frames;
        for (const auto& [f, n] : fired)
            if (n == name)
                frames.push_back(f);
        return frames;
    }
    int frame = 0; // the frame being run, 1 for the first
    std::vector<std::pair<int, std::string>> fired;
};

template <typename World = SWworld> struct PreviewRun {
    pf::VirtualClock clock{5000};
    World world;
    FiredEvents recorder;
    int frame = 0;

    PreviewRun()
    {
        pf::setClock(&clock);
        world.SetObserver(&recorder);
    }
    ~PreviewRun()
    {
        world.SetObserver(nullptr);
        pf::setClock(nullptr);
    }
    PreviewRun(const PreviewRun&) = delete;
    PreviewRun& operator=(const PreviewRun&) = delete;

    void Frame(uint32_t dt = 33)
    {
        recorder.frame = ++frame;
        world.RunFrame();
        clock.advance(dt);
    }
};
