#pragma once
// TestPalette: a small window that starts an editor drag on a mouse press, as a docking panel does: it empties
// the drag list, appends one palette object per item and calls the engine's BeginDrag. Tests drag from it with
// the user's own mouse messages.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/core/window.h"

namespace designertest {

struct PaletteItem {
    uint16_t contentKind = 0; // one content bit of the kind word
    void* content = nullptr;  // the world's thing (for an event type, the type number)
    uint32_t followUp = 0;
    std::string label;

    static PaletteItem EventType(uint32_t type, std::string label = {});
};

class TestPalette : public pf::Window {
public:
    TestPalette(pf::Window& parent, const pf::Rect& clientRect); // a visible child

    std::vector<PaletteItem> items; // what the next press drags
    int DragsStarted() const { return m_drags; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();

    int m_drags = 0;
};

} // namespace designertest
