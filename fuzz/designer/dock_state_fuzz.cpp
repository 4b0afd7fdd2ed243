// Any text as the settings file, through the settings parser, then the ten bars' places read from it and laid out
// in a frame: every docked bar ends inside the frame's client area, every size and floating window within its limits.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/startup.h"
#include "designer/workspace/dock_state.h"
#include "designer/workspace/panels.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    pf::SettingsStore store(std::make_unique<pf::MemoryBackend>(text));
    const pf::Profile profile(store, CVTND_Designer::kProfileKey);
    const pf::Rect work{0, 0, 1280, 1024};
    const pf::Rect frame{0, 0, 1280, 1000};
    std::vector<CVTND_DockState> states;
    for (size_t i = 0; i < CVTND_Panels::kCount; ++i) {
        const CVTND_DockState state = ReadDockState(profile, CVTND_Panels::BarName(i), static_cast<int32_t>(i),
                                                    CVTND_Panels::DefaultState(i, frame), work);
        Check(state.size >= kMinDockSize && state.size <= kMaxDockSize);
        Check(state.share >= 0 && state.share <= kMaxDockSize);
        if (state.floating)
            Check(state.floatRect.width() >= kMinFloatSide && state.floatRect.width() <= kMaxFloatSide &&
                  state.floatRect.height() >= kMinFloatSide && state.floatRect.height() <= kMaxFloatSide &&
                  state.floatRect.intersected(work).width() >= kMinOnWorkArea &&
                  state.floatRect.intersected(work).height() >= kMinOnWorkArea);
        states.push_back(state);
    }
    for (const pf::Rect area : {pf::Rect{0, 40, 1280, 980}, pf::Rect{0, 40, 300, 200}, pf::Rect{0, 0, 1, 1}}) {
        std::vector<pf::Rect> rects;
        const pf::Rect rest = LayoutDockedBars(area, states, rects);
        Check(rects.size() == states.size() && area.containsRect(rest));
        for (size_t i = 0; i < rects.size(); ++i) {
            Check(area.containsRect(rects[i]) && !rects[i].intersects(rest));
            if (!states[i].visible || states[i].floating)
                Check(rects[i].isEmpty());
            for (size_t j = 0; j < i; ++j) // the bars of a side, however their shares part it, never overlap
                Check(!rects[i].intersects(rects[j]));
        }
    }
    return 0;
}
