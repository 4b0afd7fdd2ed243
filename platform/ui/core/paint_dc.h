#pragma once
// Device contexts of a window, on its top-level window's surface. WindowDc draws at any time, from the render
// thread too: it snapshots the window's origin and visible region under the tree's shared lock when it is made.
// PaintDc is the paint of a WM_PAINT: it takes the update region (so the window is valid again), clips to it and
// asks for the background first when the invalidation asked for it.
#include "platform/gfx/surface_dc.h"
#include "platform/ui/core/window.h"

namespace pf {

class WindowDc : public SurfaceDc {
public:
    explicit WindowDc(Window& window, bool nonClient = false); // nonClient: the whole window, frame included
    explicit WindowDc(Hwnd hwnd);                              // no target for a dead handle
    ~WindowDc() override; // what it may have drawn is reported to the display backend, from any thread
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

protected:
    struct Target {
        std::shared_ptr<Surface32> surface;
        Point origin;
        Region visible;
    };
    static Target targetOf(const Window* window, bool nonClient); // the caller holds the tree's shared lock
    static Target targetOf(Hwnd hwnd);                            // takes the lock itself, then looks the handle up
    static Target lockedTargetOf(const Window& window, bool nonClient);
    explicit WindowDc(Target target);

private:
    Rect m_drawable; // surface coordinates: the visible region's bounds
};

class PaintDc : public WindowDc {
public:
    explicit PaintDc(Window& window);
    const Rect& paintRect() const { return m_paintRect; } // rcPaint: client coordinates
    bool erased() const { return m_erased; }

private:
    static Target paintTargetOf(Window& window, Region& outPaint);
    PaintDc(Window& window, Region paint);

    Rect m_paintRect;
    bool m_erased = false;
};

} // namespace pf
