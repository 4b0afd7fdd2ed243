#pragma once
// Pictures in tests: pixels probed on the composed screen, two surfaces compared within a tolerance, and golden
// PNGs compared the same way (a missing golden is written, so a new picture is reviewed once and then pinned).
#include "platform/base/rect.h"
#include "platform/gfx/surface32.h"

#include <memory>
#include <string>

namespace pf {

uint32_t screenPixel(Point p); // 0x00RRGGBB as the screen shows it
std::unique_ptr<Surface32> captureScreen(const Rect& area);
struct ImageDifference {
    int64_t differing = 0; // pixels whose channels differ by more than the tolerance
    int maxChannelDelta = 0;
    bool sizeMismatch = false;
};
ImageDifference compareSurfaces(const Surface32& a, const Surface32& b, int tolerance);
// Compares with the golden file; when it does not exist yet, writes it and reports a match.
bool matchesGolden(const Surface32& image, const std::string& goldenPath, int tolerance, std::string& outReport);

} // namespace pf
