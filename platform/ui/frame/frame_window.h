#pragma once
// Frame windows: a top-level window with a menu bar, a tool bar, a status bar and an MDI client, laid out on
// WM_SIZE by recalcLayout, which docked panels may override to take edges. Commands from the menu, accelerators
// and the tool bar go to the active view first, then to its MDI child, then to the frame (handleCommand). A
// key-down that matches the accelerator table becomes WM_COMMAND(id | 1 << 16, 0) before the focus window sees it.
// F6 and Shift+F6 move the focus round the dock site's panes and the active child, from the main frame and from the
// windows it owns (floating panels, editors) alike.
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/controls/tool_bar.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/window.h"

#include <vector>

namespace pf {

class MdiChild;

// What takes edges of a frame's client area before the MDI client gets the rest (docked panels), and the commands
// the frame's own chain left unhandled.
class DockSite {
public:
    virtual ~DockSite() = default;
    virtual Rect layoutDocked(const Rect& area) = 0; // places its windows within area; returns what is left
    virtual bool dockCommand(uint32_t id) = 0;       // true when handled
    // The panes F6 walks, in order, before the active child window: the shown panels, docked or floating.
    virtual std::vector<Window*> panes() const { return {}; }
};

class MdiClient : public Window {
public:
    MdiChild* activeChild() const;
    void activate(MdiChild* child); // WM_NCACTIVATE and onMdiActivate to both
    std::vector<MdiChild*> childFrames() const;

protected:
    LResult handle(const Msg& msg) override;

private:
    friend class MdiChild;
    Hwnd m_active = kNoWindow;
};

class FrameWindow : public Window {
public:
    // A top-level frame at `rect` (screen coordinates) with the menu and accelerators of `menuId` (0: none).
    bool createFrame(std::string_view title, const Rect& rect, uint32_t menuId, uint32_t style);
    bool createToolBar(uint32_t resourceId, ImageListRef images);
    bool createStatusBar(const std::vector<int32_t>& paneEdges);
    ToolBar* toolBar() const;
    StatusBar* statusBar() const;
    MdiClient* mdiClient() const;
    Menu& menu() { return m_menu; }
    void setAccelerators(std::vector<Accelerator> table) { m_accelerators = std::move(table); }
    Window* activeView() const;                // the active MDI child's view
    Rect menuItemRect(int32_t position) const; // window coordinates of a menu-bar item
    // The popup of a menu-bar item, through the menu chooser, and the bar's others as the user moves along it
    // (Left and Right, the pointer over another title); fromKeys lights the popup's first item.
    bool openMenu(int32_t position, bool fromKeys = false);
    int32_t menuBarHot() const { return m_barHot; } // the lit title of the bar, -1 for none
    bool routeCommand(uint32_t id, uint32_t code);  // view, MDI child, frame
    virtual void recalcLayout(); // tool bar at the top, status bar at the bottom, the dock site, MDI client between
    void setDockSite(DockSite* site) { m_dockSite = site; } // not owned: the site clears itself before it goes
    DockSite* dockSite() const { return m_dockSite; }

protected:
    LResult handle(const Msg& msg) override;
    bool preTranslateMessage(const Msg& msg) override;
    bool translateAccelerator(const Msg& msg) override;
    void paintNonClient(Dc& dc) override;
    virtual bool handleCommand(uint32_t id, uint32_t code); // the frame's own commands; true when handled

private:
    bool menuBarKey(const Msg& msg);           // F10, Alt and Alt+letter, and the keys of the selected bar
    int32_t titleOfMnemonic(uint8_t vk) const; // the bar's title that the key's letter names; -1 when none
    bool paneKey(const Msg& msg);              // F6 and Shift+F6: the focus to the next or previous pane, round
    void focusPane(Window& pane);
    void setMenuBarHot(int32_t position, bool selected);
    int32_t menuBarTitleAt(Point screen) const;

    Menu m_menu;
    int32_t m_barHot = -1;      // the title lit: its popup open, or the bar selected from the keyboard
    bool m_barSelected = false; // selected from the keyboard, no popup open
    bool m_altAlone = false;    // Alt went down and no other key since
    std::vector<Accelerator> m_accelerators;
    Hwnd m_toolBar = kNoWindow;
    Hwnd m_statusBar = kNoWindow;
    Hwnd m_mdiClient = kNoWindow;
    DockSite* m_dockSite = nullptr;
};

// An MDI child frame: a caption, one view filling its client area, the focus passed on to the view. Activation
// tells it through onMdiActivate and WM_NCACTIVATE. The mouse moves it by its caption and sizes it by its border;
// its caption buttons minimise it to a caption at the client's bottom, beside the other minimised ones, maximise it
// over the whole client area (as a double click on the caption does) or restore it, and close it. A double click on a
// minimised caption and Ctrl+Tab to a minimised child restore it.
class MdiChild : public Window {
public:
    enum CaptionButton : int32_t { kMinimizeButton, kMaximizeButton, kCloseButton };
    Rect captionButtonRect(CaptionButton button) const; // window coordinates
    bool isMaximized() const { return m_state == State::kMaximized; }
    bool isMinimized() const { return m_state == State::kMinimized; }
    void maximize();
    void minimize();
    void restore();
    bool createChild(FrameWindow& frame, std::string_view title, const Rect& rect);
    // Narrowed and moved into the client area where it sticks out (a maximised one fills it already): caption buttons
    // past the edge could be reached by no one, as the client area has no scroll bars.
    void keepInClient();
    Window* view() const;
    void setView(Window* view); // a child of this frame
    bool isActive() const;
    void activate();
    void setAccelerators(std::vector<Accelerator> table) { m_accelerators = std::move(table); }

protected:
    LResult handle(const Msg& msg) override;
    bool preTranslateMessage(const Msg& msg) override;
    virtual void onMdiActivate(bool active, MdiChild* other)
    {
        (void)active;
        (void)other;
    }
    virtual bool handleCommand(uint32_t id, uint32_t code)
    {
        (void)id;
        (void)code;
        return false;
    }
    void paintNonClient(Dc& dc) override;

private:
    friend class MdiClient;
    friend class FrameWindow;
    enum class State { kNormal, kMinimized, kMaximized };
    enum class Track { kNone, kMove, kSize };
    bool pressFrame(Point window); // a press on the frame, window coordinates
    void track(Point screen);
    void endTrack();                            // the drag over: the child kept where its caption can be grabbed
    void fitToClient();                         // the child follows the client area's size
    Rect withinClient(const Rect& place) const; // parent client coordinates
    // Minimised children stand side by side along the client's bottom, a row above when the row is full, each in
    // the slot it took when minimised, so that none covers another's caption.
    int32_t freeMinimizedSlot() const;   // the lowest slot no minimised sibling holds
    Rect minimizedPlace() const;         // the place of m_minimizedSlot, parent client coordinates
    void activateAnotherThanMinimized(); // the active child minimised hands the keys to the topmost one still whole
    void activateWhole();                // activated and, when minimised, restored: a caption alone takes no keys

    Hwnd m_view = kNoWindow;
    State m_state = State::kNormal;
    Rect m_restore; // the place to restore to, parent client coordinates
    int32_t m_minimizedSlot = 0;
    Track m_track = Track::kNone;
    Point m_trackFrom;        // screen
    Rect m_trackRect;         // the rectangle when the press came
    uint32_t m_sizeEdges = 0; // 1 left, 2 top, 4 right, 8 bottom
    uint32_t m_lastCaptionPressMs = 0;
    bool m_captionPressed = false; // the last press was on the caption, at m_lastCaptionPressMs
    std::vector<Accelerator> m_accelerators;
};

bool matchAccelerator(const std::vector<Accelerator>& table, uint8_t vk, uint16_t& outCommand); // by the key state

} // namespace pf
