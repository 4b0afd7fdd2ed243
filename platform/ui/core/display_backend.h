#pragma once
// Where the window tree is shown and where its input comes from. The Ui tells its backend what each top-level
// window is (rectangle, visibility, kind), says which surface pixels changed, and waits on it for input, which the
// backend hands back through Ui::inject. Every pixel is drawn by the layer into the windows' surfaces before a
// backend sees it, so the headless and the live backends show the same pixels.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/gfx/surface32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class Ui;

// How a window manager should treat a top-level window of ours; our own frame is never drawn by a live screen.
enum class TopLevelKind {
    kFramed,     // caption and border from the window manager
    kBorderless, // WS_POPUP without a caption
    kPopupMenu,  // menus and combo lists: above everything, not on the task bar
    kTooltip,
};

struct TopLevelState {
    Hwnd hwnd = kNoWindow;
    Rect windowRect; // screen coordinates, our nominal frame included
    // Screen coordinates of what a live screen shows of it, the window manager drawing the rest of the frame: the
    // client area, with the menu bar above it when it has one.
    Rect shownRect;
    std::shared_ptr<Surface32> surface; // the whole window from its top-left corner; shared with the tree
    Hwnd owner = kNoWindow;             // the top-level window it belongs to, kept above; none for most
    bool visible = false;
    bool maximized = false; // WS_MAXIMIZE: shown maximised by the window manager, and kept in step with it
    bool enabled = true;
    TopLevelKind kind = TopLevelKind::kFramed;
    bool resizable = true; // a sizing border (WS_THICKFRAME): only then may the window manager offer its grips
    int32_t minWidth = 0;  // the least size of windowRect the window manager may size it to; 0: any
    int32_t minHeight = 0;
    std::string title;
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;

    virtual std::string name() const = 0;
    virtual bool isLive() const = 0;
    // The top-level windows, topmost first, every time one is shown, hidden, moved, resized or raised. UI thread.
    virtual void syncTopLevels(const std::vector<TopLevelState>& topmostFirst) = 0;
    // Pixels of `surface` inside `surfaceRect` (surface coordinates) changed. Any thread; never blocks on the loop.
    virtual void surfaceChanged(const Surface32* surface, const Rect& surfaceRect) = 0;
    virtual void present() = 0; // shows what changed since the last call. UI thread
    // Waits at most timeoutMs for input or wake(), then hands every pending event to `target`. UI thread.
    virtual void waitForInput(Ui& target, int32_t timeoutMs) = 0;
    virtual void wake() = 0;           // any thread: ends a wait early
    virtual void warpPointer(Point) {} // SetCursorPos: a live screen moves the real pointer. UI thread
    // Pointer lock: a live screen hides the pointer, keeps it in place and hands its motion to
    // Ui::injectLockedMotion until turned off. UI thread
    virtual void setRelativePointer(bool) {}
    // The tree's cursor (Ui::currentCursor) on the screen now rather than at the next loop step, which a UI thread
    // busy for a while does not reach: the wait cursor it set is to be seen meanwhile. UI thread
    virtual void showCursor(Ui&) {}
};

// Shows nothing and waits for nothing: the backend of tests and of runs without a display.
class HeadlessBackend final : public DisplayBackend {
public:
    std::string name() const override { return "headless"; }
    bool isLive() const override { return false; }
    void syncTopLevels(const std::vector<TopLevelState>&) override {}
    void surfaceChanged(const Surface32*, const Rect&) override {}
    void present() override {}
    void waitForInput(Ui&, int32_t) override {}
    void wake() override {}
};

DisplayBackend& headlessBackend(); // the process-wide one

// The backend that device contexts report changed pixels to, from any thread; set by Ui::setBackend.
DisplayBackend* presentationBackend();

} // namespace pf
