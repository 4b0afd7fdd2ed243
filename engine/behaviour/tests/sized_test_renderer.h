#pragma once
// A window renderer for the behaviour tests that keeps the size it is given and draws nothing; a test derives from it
// to record the calls it watches.
#include <cstdint>

#include "engine/core/window_renderer.h"

class SizedTestRenderer : public SWwindowrenderer {
public:
    bool SetSize(uint32_t w, uint32_t h) override
    {
        width = w;
        height = h;
        return true;
    }
    void GetSize(uint32_t& w, uint32_t& h) const override
    {
        w = width;
        h = height;
    }

    uint32_t width = 0;
    uint32_t height = 0;
};
