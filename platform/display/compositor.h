#pragma once
// The one pixel function of every backend: shown(p) = (the pixel of the topmost visible top-level window whose
// rectangle holds p, else the desktop colour) XOR overlay(p), on red, green and blue only. Window alpha is ignored
// and byte 3 of every composed pixel is 0. A window whose surface is smaller than its rectangle shows black where
// it has no pixels.
#include "platform/display/screen.h"

#include <vector>

namespace pf {

class Compositor {
public:
    explicit Compositor(const Screen& screen); // takes the screen's window list and overlay as they are now

    uint32_t composePixel(Point p) const;
    // Composes rectangle r of the screen into `out`, whose pixel (0, 0) receives r's top-left; `out` must be at
    // least r's size. Each window's surface and the overlay are locked while they are read.
    void composeRect(const Rect& r, Surface32& out) const;

private:
    std::vector<TopLevelView> m_windows; // topmost first, visible ones only
    std::shared_ptr<Surface32> m_overlay;
    uint32_t m_desktop;
};

} // namespace pf
