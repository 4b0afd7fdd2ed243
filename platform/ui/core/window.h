#pragma once
// A window: an object behind a handle, with a window procedure (handle), the class library's reflected
// notifications (reflect) and a last call after its handle is gone (postNcDestroy). The tree, the messages and
// the input around it belong to Ui; this class is the object side and the thin wrappers over Ui that callers use.
//
// Ownership: an object made by a class factory (a control of a dialog template, Ui::createWindow) belongs to the
// layer, which deletes it after postNcDestroy. Any other object belongs to its maker; a modeless editor deletes
// itself in postNcDestroy. Deleting an object that still has a handle destroys the window first.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/base/region.h"
#include "platform/ui/core/msg.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

class Ui;

struct CreateParams {
    std::string className; // a registered class; empty: "window"
    std::string text;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    Rect rect;               // parent client coordinates for a child, screen coordinates for a top-level window
    Hwnd parent = kNoWindow; // the parent of a child; the owner of a top-level window
    int32_t id = 0;          // a child's control id
};

struct ScrollInfo {
    int32_t nMin = 0;
    int32_t nMax = 100;
    uint32_t nPage = 0;
    int32_t nPos = 0;
    friend bool operator==(const ScrollInfo&, const ScrollInfo&) = default;
};

// The position a WM_VSCROLL or WM_HSCROLL asks for (wParam: the code, and the thumb's position in the high word),
// from the current position and the lines a page holds; the current position for a code that moves nothing.
// The receiver clamps it to its range.
int32_t scrollRequest(WParam wParam, int32_t pos, int32_t page);
// The position a thumb dragged offset pixels along a track that leaves it room pixels of travel stands for: from
// nMin to the range less a page, offset taken within 0 to room. A scroll-bar control's and a window's own bar alike.
int32_t scrollPosAtOffset(const ScrollInfo& info, int64_t offset, int64_t room);

class Window {
public:
    Window() = default;
    virtual ~Window(); // destroys the window first when it still has a handle
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool create(const CreateParams& params); // this object becomes the window; false: refused or WM_CREATE said -1
    bool destroy();                          // false: no window, or already being destroyed

    Hwnd hwnd() const { return m_hwnd; }
    bool isWindow() const { return m_hwnd != kNoWindow; }
    int32_t id() const { return m_id; }
    uint32_t style() const { return m_style; }
    uint32_t exStyle() const { return m_exStyle; }
    void setStyle(uint32_t style) { m_style = style; } // no messages, no repaint: the caller invalidates
    const std::string& className() const { return m_className; }
    uint32_t classStyle() const { return m_classStyle; }
    const std::string& text() const { return m_text; }
    std::string getText() const { return m_text; } // GetWindowText
    void setText(std::string_view text);           // through WM_SETTEXT

    Window* parent() const;                                          // null for a top-level window
    Window* owner() const;                                           // a top-level window's owner
    Window* topLevel();                                              // this window or its top-level ancestor
    Window* child(int32_t id) const;                                 // GetDlgItem: the direct child with this id
    const std::vector<Hwnd>& children() const { return m_children; } // bottom to top
    bool isChild() const { return (m_style & 0x40000000u) != 0; }
    bool isDescendantOf(const Window* ancestor) const;

    Rect windowRect() const { return m_rect; } // as created: parent client or screen coordinates
    Rect screenRect() const;                   // the whole window in screen coordinates
    Rect clientRect() const;                   // {0, 0, width, height} of the client area
    Point clientToScreen(Point p) const;
    Point screenToClient(Point p) const;
    Rect clientInsets() const;                                       // widths of the non-client frame: l, t, r, b
    bool move(const Rect& rect, bool repaint = true);                // MoveWindow
    bool setPos(Hwnd insertAfter, const Rect& rect, uint32_t flags); // SetWindowPos, HWND_TOP raises
    // The smallest a top-level window may be made, frame included, by the program or by the user at its border; a
    // window smaller now grows to it.
    void setMinimumSize(int32_t width, int32_t height);
    int32_t minimumWidth() const { return m_minWidth; }
    int32_t minimumHeight() const { return m_minHeight; }

    bool show(int32_t cmd); // returns whether it was visible before
    bool isVisible() const; // own WS_VISIBLE and every ancestor visible
    bool isEnabled() const { return (m_style & 0x08000000u) == 0; }
    bool enable(bool on); // returns whether it was disabled before

    void invalidate(bool erase = true);
    void invalidate(const Rect& rect, bool erase = true); // client coordinates
    void validate();
    void invalidateFrame() { m_ncDirty = true; } // the frame repaints at the next paint, the client left as it is
    void update();                               // UpdateWindow: paints now when the region is not empty
    const Region& updateRegion() const { return m_update; }
    bool needsErase() const { return m_erase; }
    bool scrollWindow(int32_t dx, int32_t dy); // moves client pixels and children, exposes a strip

    LResult send(uint32_t message, WParam w = 0, LParam l = 0);
    void post(uint32_t message, WParam w = 0, LParam l = 0);
    uint32_t setTimer(uint32_t id, uint32_t periodMs);
    bool killTimer(uint32_t id);

    // The window's own scroll bars (SB_HORZ, SB_VERT); the layer stores and draws them, the owner moves them.
    // setScrollInfo answers the position as clamped to the range less a page; a bar left as it was is not redrawn,
    // so a window may hand its bar its state from its own paint.
    int32_t setScrollInfo(int32_t bar, const ScrollInfo& info, bool redraw = true);
    ScrollInfo getScrollInfo(int32_t bar) const;
    int32_t setScrollPos(int32_t bar, int32_t pos, bool redraw = true); // the previous position
    int32_t getScrollPos(int32_t bar) const { return getScrollInfo(bar).nPos; }
    void setScrollRange(int32_t bar, int32_t minPos, int32_t maxPos, bool redraw = true);
    // Where an own scroll bar and its thumb lie, in window coordinates (the frame's top-left is 0, 0); empty when
    // the window has no such bar, or the bar no thumb. A press on the bar sends WM_VSCROLL or WM_HSCROLL to the
    // window itself, as a scroll-bar control does to its parent: the arrows a line, the track a page, a thumb
    // drag SB_THUMBTRACK while it moves and SB_THUMBPOSITION when let go, each press ending with SB_ENDSCROLL.
    Rect ownScrollBarRect(int32_t bar) const;
    Rect ownScrollThumbRect(int32_t bar) const;

    bool writePng(const std::string& path) const; // this window's pixels, frame included

    // The window procedure. Overrides call the base for what they do not handle.
    virtual LResult handle(const Msg& msg);
    LResult defaultHandle(const Msg& msg); // the platform's default processing

protected:
    // A control's own handling of its WM_COMMAND or WM_NOTIFY, offered before its parent sees it; true consumes it.
    virtual bool reflect(const Msg& msg, LResult& outResult);
    // Keys on their way to the focus window, offered from the focus window up to its top-level window.
    virtual bool preTranslateMessage(const Msg& msg);
    // A key-down offered to a frame that owns the window with the focus (a modeless editor): true when it was one of
    // the frame's accelerators and became its command.
    virtual bool translateAccelerator(const Msg& msg)
    {
        (void)msg;
        return false;
    }
    virtual void postNcDestroy() {}      // the very last call; may delete this
    virtual void paintNonClient(Dc& dc); // the frame, caption and border of our own look
    // Non-client room beyond the frame (a frame's menu bar). A plain field, not a virtual call: the render thread
    // reads the insets through window DCs while a derived part may be under destruction.
    void setExtraNonClientInsets(const Rect& insets);

private:
    friend class Ui;

    Hwnd m_hwnd = kNoWindow;
    Hwnd m_parent = kNoWindow;
    Hwnd m_owner = kNoWindow;
    int32_t m_id = 0;
    uint32_t m_style = 0;
    uint32_t m_exStyle = 0;
    uint32_t m_classStyle = 0;
    std::string m_className;
    std::string m_text;
    Rect m_rect;
    Region m_update; // client coordinates
    bool m_erase = false;
    bool m_ncDirty = false;
    bool m_destroying = false;
    bool m_layerOwned = false; // made by a class factory: the layer deletes it after postNcDestroy
    ScrollInfo m_scroll[2];
    Rect m_extraInsets;
    int32_t m_minWidth = 0;
    int32_t m_minHeight = 0;
    std::vector<Hwnd> m_children;                // bottom to top: z-order, creation order, tab order
    const struct WindowClass* m_class = nullptr; // owned by Ui's class registry, which outlives every window
};

} // namespace pf
