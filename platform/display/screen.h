#pragma once
// The screen as the layer models it, shared by the headless and the live backends: its size, depth and masks
// (through the display mode that device contexts read), the desktop colour, the top-level windows in z-order,
// and the exclusive-or overlay that screen device contexts draw into (all zero at rest, so an outline drawn and
// erased leaves no trace even if a window repainted underneath in between). Thread-safe.
#include "platform/base/color.h"
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/gfx/display_mode.h"
#include "platform/gfx/surface32.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pf {

// One top-level window as the screen sees it; the window tree keeps the list in step with its windows.
struct TopLevelView {
    Hwnd hwnd = kNoWindow;
    Rect rect;                          // screen coordinates of the whole window, frame included
    std::shared_ptr<Surface32> surface; // the window's pixels from its top-left corner; shared with the window
    bool visible = true;
};

class Screen {
public:
    Screen();

    Size size() const;
    void setSize(Size size); // a new, clear overlay and a whole-screen work area; sizes below 1 x 1 are ignored
    Rect bounds() const { return {0, 0, size().cx, size().cy}; }
    Rect workArea() const;              // the whole screen unless a live display reports its panels
    void setWorkArea(const Rect& area); // clipped to the screen; an empty result restores the whole screen
    int32_t depth() const { return displayMode().depth(); }
    bool setDepth(int32_t bitsPerPixel) { return displayMode().setDepth(bitsPerPixel); }
    ChannelMasks masks() const { return displayMode().masks(); }
    ColorRef desktopColor() const;
    void setDesktopColor(ColorRef color);

    void setTopLevels(std::vector<TopLevelView> topmostFirst);
    std::vector<TopLevelView> topLevels() const; // topmost first

    std::shared_ptr<Surface32> overlay() const; // screen-sized, exclusive-or over the composed pixels
    bool isOverlayClear() const;                // what a drag that ended cleanly leaves
    // Screen device contexts announce themselves, so that a clear overlay that no one has drawn on since is known
    // clear without reading it: the live backend asks at every present, and the 3D views present many times a second.
    void overlayDrawerMade() const;
    void overlayDrawerGone() const;

    bool writePng(const std::string& path) const; // the composed screen, 8-bit RGB; false when it cannot be written
    void reset();                                 // 1280 x 1024, depth 32, no windows, clear overlay

private:
    mutable std::mutex m_mutex;
    ColorRef m_desktop;
    std::vector<TopLevelView> m_topLevels;
    std::shared_ptr<Surface32> m_overlay;
    Rect m_workArea; // empty: the whole screen
    mutable std::atomic<int32_t> m_overlayDrawers{0};
    mutable std::atomic<uint64_t> m_drawersMade{0};
    mutable std::atomic<uint64_t> m_clearSince{0}; // m_drawersMade when the overlay was last read clear with none alive
};

Screen& screen(); // the process-wide screen

} // namespace pf
