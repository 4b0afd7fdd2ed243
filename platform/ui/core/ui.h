#pragma once
// The window system of one process: handles, the window tree, messages, window timers, input routing (capture,
// focus, keys, cursors), activation and painting. One Ui exists at a time (ui()); the user-interface thread that
// made it owns every window, and every call but post() must come from that thread.
//
// ui.cpp: handles and classes; creation and destruction; sending and posting; timers; geometry and z-order;
// activation and focus. ui_input.cpp: hit testing, mouse and key routing, cursors. ui_paint.cpp: invalidation,
// painting and visible regions.
#include "platform/base/region.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/surface32.h"
#include "platform/ui/core/cursor.h"
#include "platform/ui/core/display_backend.h"
#include "platform/ui/core/input.h"
#include "platform/ui/core/msg.h"
#include "platform/ui/core/window.h"

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace pf {

class Providers;
class VirtualClock;

// A layer message: files dropped on a window, lParam = const std::vector<std::string>* of their paths.
constexpr uint32_t kMsgDropFiles = kLayerMessageBase + 1;
// Sent up the parent chain of a window pressed by a mouse button, wParam = the pressed window.
constexpr uint32_t kMsgMouseActivate = kLayerMessageBase + 2;
// A press on a window's frame, outside its client area: wParam = x, lParam = y in window coordinates. A top-level
// frame opens its menu bar from it, an MDI child moves, sizes or uses its caption buttons.
constexpr uint32_t kMsgNonClientClick = kLayerMessageBase + 3;
// A command routed by a frame (menu, accelerator, tool bar) to its active view: wParam = id | code << 16. The view
// answers non-zero when it handled it; otherwise the MDI child and then the frame get it.
constexpr uint32_t kMsgRouteCommand = kLayerMessageBase + 4;
// Sent once to a window that asked with Ui::trackMouseLeave, when the pointer next moves over another window.
constexpr uint32_t kMsgMouseLeave = kLayerMessageBase + 5;

using WindowFactory = std::function<std::unique_ptr<Window>()>;

struct WindowClass {
    std::string name;
    WindowFactory factory;
    uint32_t style = 0; // CS_DBLCLKS enables double clicks
    Cursor cursor;
    int32_t background = -1; // a system colour index whose colour erases the background; -1 erases nothing
};

// Observes every dispatch (the message spy); runs before the handler.
using DispatchObserver = std::function<void(const Msg&)>;

class Ui {
public:
    static constexpr int kMaxSendDepth = 256;

    Ui();  // becomes the current Ui; registers the built-in control classes
    ~Ui(); // destroys the remaining top-level windows, owned before owners
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // ---- handles and classes
    Window* window(Hwnd hwnd) const; // null for a dead or unknown handle
    bool isWindow(Hwnd hwnd) const { return window(hwnd) != nullptr; }
    bool registerClass(WindowClass windowClass); // false when the name is taken
    const WindowClass* findClass(const std::string& name) const;
    // A window of a registered class, owned by the layer; null when the class is unknown or creation failed.
    Window* createWindow(const CreateParams& params);
    // Puts `replacement` behind the handle of `old` (subclassing): same state, same place in the tree; `old`
    // goes without a message. Returns the new object, owned by the layer.
    Window* replaceObject(Window& old, std::unique_ptr<Window> replacement);
    std::vector<Hwnd> topLevels() const { return m_topLevels; } // topmost first

    // ---- messages
    LResult send(Hwnd hwnd, uint32_t message, WParam w = 0, LParam l = 0); // 0 for a dead handle
    bool post(Hwnd hwnd, uint32_t message, WParam w = 0, LParam l = 0);    // any thread; dropped for a dead handle
    void pump(); // posts in order, then due timers, then paints
    size_t pendingPostCount() const;
    void addObserver(const void* key, DispatchObserver observer);
    void removeObserver(const void* key);

    // ---- window timers
    uint32_t setTimer(Hwnd hwnd, uint32_t id, uint32_t periodMs); // the id, or 0 for a dead handle
    bool killTimer(Hwnd hwnd, uint32_t id);
    size_t timerCount() const { return m_timers.size(); }

    // ---- activation, focus, capture
    Hwnd activeWindow() const { return m_active; }
    void activate(Hwnd hwnd);
    // The topmost enabled window shown that a disabled one waits for: one it owns, directly or through others (its
    // modal dialog); null when there is none.
    Window* blockingWindowOf(Window& disabled) const;
    Hwnd focus() const { return m_focus; }
    Hwnd setFocus(Hwnd hwnd); // the previous focus
    Hwnd capture() const { return m_capture; }
    Hwnd setCapture(Hwnd hwnd); // the previous capture window
    bool releaseCapture();

    // ---- input: the one entry of the headless simulator and the live backend
    void inject(const InputEvent& event);
    Point messagePos() const { return m_messagePos; } // screen point of the last mouse message
    Point cursorPos() const { return m_cursorPos; }
    void setCursorPos(Point p); // also moves the pointer of a live screen
    Hwnd windowFromPoint(Point screenPoint) const;
    void trackMouseLeave(Hwnd hwnd);       // one kMsgMouseLeave when the pointer leaves it; one window at a time
    int16_t getKeyState(uint8_t vk) const; // negative while down; bit 0 toggled
    const std::array<uint8_t, 256>& keyboardState() const { return m_keys; }
    bool dropFiles(Point screenPoint, const std::vector<std::string>& paths); // kMsgDropFiles to the window there

    // ---- pointer lock (mouse-look): the pointer stays where it is and its motion arrives as moves of the locked
    // window from a virtual position that starts at the window's centre, so routing, capture and the deltas of
    // consecutive moves stay as for any move. The lock ends with the locked window's capture and its window.
    bool lockPointer(Hwnd hwnd); // takes the capture too; false for a dead handle
    void unlockPointer();
    Hwnd pointerLock() const { return m_pointerLock; }
    void injectLockedMotion(int32_t dx, int32_t dy); // a live backend's relative motion; nothing when unlocked

    // ---- cursors
    Cursor setCursor(const Cursor& cursor); // returns the previous one
    const Cursor& currentCursor() const { return m_cursor; }

    // ---- painting
    void invalidate(Hwnd hwnd, const Rect* rect, bool erase); // client coordinates; null: the whole client
    void update(Hwnd hwnd);
    Region visibleRegion(const Window& w, bool nonClient) const; // top-level surface coordinates
    Point surfaceOrigin(const Window& w, bool nonClient) const;  // in the top-level surface
    std::shared_ptr<Surface32> surfaceOf(const Window& w) const;
    std::shared_mutex& treeLock() const { return m_treeLock; }

    // ---- the backend and the loop (ui_backend.cpp)
    void setBackend(DisplayBackend* backend); // not owned, outlives its installation; null: the headless one
    DisplayBackend& backend() const { return *m_backend.load(); }
    void postQuit(int32_t exitCode);         // any thread: the running loops end after their current step
    std::optional<int32_t> quitCode() const; // set by postQuit until clearQuit
    void clearQuit();
    int32_t msUntilNextTimer() const; // 0 when one is due; -1 when no timer runs on the real clock
    void dropFilesAtCursor(const std::vector<std::string>& paths) { dropFiles(m_cursorPos, paths); }

    // ---- services
    Providers& providers() { return *m_providers; }
    // Called for an unscripted provider call or a modal run the driver left open; tests turn it into a failure.
    void setStrictFailureHandler(std::function<void(const std::string&)> handler)
    {
        m_strictFailure = std::move(handler);
    }
    void reportStrictFailure(const std::string& what);
    std::vector<std::string> strictFailures() const { return m_strictFailures; }

    // ---- the modal state: how many modal runs (dialogs, message boxes, the common dialogs) are under way. The
    // handler hears the outermost one begin (true) and end (false), so that modeless windows, which a modal run
    // leaves enabled, can disable themselves meanwhile. Counted by ModalScope.
    using ModalStateHandler = std::function<void(bool modal)>;
    void setModalStateHandler(ModalStateHandler handler) { m_modalStateHandler = std::move(handler); } // empty: none
    int32_t modalDepth() const { return m_modalDepth; }

private:
    friend class Window;
    friend class ModalScope;
    struct Timer {
        Hwnd hwnd;
        uint32_t id;
        uint32_t periodMs;
        VirtualClock* clock = nullptr; // the test clock installed when the timer was set; outlives it
        uint64_t dueId = 0;            // under a VirtualClock
        double dueAtMs = 0;            // under the real clock
        uint64_t serial = 0;           // creation order, for ties
    };

    void assertUiThread() const;
    Hwnd allocateHandle();
    bool createWindowObject(Window& w, const CreateParams& params);
    bool destroyWindow(Window& w);
    void destroyTree(Window& w);
    void finishWindow(Window& w);
    Window* activationHeir(Hwnd closed, Hwnd owner) const; // ui_activation.cpp
    LResult dispatch(Window& w, const Msg& msg);
    void notifyObservers(const Msg& msg);
    void removeFromParent(Window& w);
    Window* topLevelOf(Window& w) const;
    void raise(Window& w);
    void raiseWithOwned(Window& top); // no screen sync: see raise
    void showWindow(Window& w, int32_t cmd);
    void hideWindow(Window& w);
    bool setWindowRect(Window& w, const Rect& rect, uint32_t flags);
    void syncScreen();
    void syncBackend();
    void ensureSurface(Window& top);
    void deliverTimers();
    void markTimerDue(uint64_t key);
    void cancelTimerEntry(Timer& t);
    void killTimersOf(Hwnd hwnd);
    void paintAll();
    void paintWindow(Window& w);
    void paintTree(Window& w);
    void routeMouse(const InputEvent& event);
    void routeKey(const InputEvent& event, bool wasDown);
    void routeWheel(const InputEvent& event);
    void updateKeyTable(const InputEvent& event);
    bool sendSetCursor(Window& target, uint32_t mouseMessage);
    void invalidateTree(Window& w, const Region& clientRegion, bool erase);
    Hwnd childFromPoint(const Window& parent, Point clientPoint) const;

    std::thread::id m_thread;
    int m_depth = 0;
    uint32_t m_nextHandle = 0x10000;
    std::unordered_map<Hwnd, Window*> m_windows; // not owned, except those in m_owned
    std::unordered_map<Hwnd, std::unique_ptr<Window>> m_owned;
    std::vector<std::unique_ptr<Window>> m_retired; // replaced by subclassing, deleted with the Ui
    std::unique_ptr<Window> m_pendingOwned;         // a factory's object on its way into m_owned
    std::unordered_map<Hwnd, Hwnd> m_lastFocus;     // top-level window -> the focus it last held
    std::unordered_map<Hwnd, Hwnd> m_activatedFrom; // top-level window -> the one active when it was activated
    std::map<std::string, std::unique_ptr<WindowClass>> m_classes;
    std::vector<Hwnd> m_topLevels;                                   // topmost first
    std::unordered_map<Hwnd, std::shared_ptr<Surface32>> m_surfaces; // per top-level window

    mutable std::mutex m_postMutex;
    std::deque<Msg> m_posts;

    std::map<uint64_t, Timer> m_timers; // by serial
    std::mutex m_dueMutex;
    std::vector<uint64_t> m_dueTimers; // serials marked by the virtual clock, in due order
    uint64_t m_nextTimerSerial = 1;

    Hwnd m_active = kNoWindow;
    Hwnd m_focus = kNoWindow;
    Hwnd m_capture = kNoWindow;
    Hwnd m_pointerLock = kNoWindow;
    Point m_lockedPos;                  // the virtual position of a locked pointer, screen coordinates
    Hwnd m_mouseLeaveWatch = kNoWindow; // told with kMsgMouseLeave when the pointer moves off it
    Point m_messagePos;
    Point m_cursorPos;
    std::array<uint8_t, 256> m_keys{};
    // A left press on a window's own scroll bar, followed until the release.
    struct BarTrack {
        Hwnd hwnd = kNoWindow;
        int32_t bar = 0;
        bool thumb = false; // a thumb drag; otherwise an arrow or the track, already sent
        int32_t grab = 0;   // the press within the thumb, along the bar
        int32_t pos = 0;    // the last position sent
    };
    bool pressOwnScrollBar(Window& w, Point screen);
    void trackOwnScrollBar(const InputEvent& e);
    std::optional<BarTrack> m_barTrack;

    struct LastClick {
        Hwnd hwnd = kNoWindow;
        uint32_t timeMs = 0;
        Point screen;
        int button = -1;
        bool valid = false;
    } m_lastClick;
    Cursor m_cursor;
    std::vector<std::pair<const void*, DispatchObserver>> m_observers;

    mutable std::shared_mutex m_treeLock; // geometry and visibility; written on the UI thread only
    std::unique_ptr<Providers> m_providers;
    std::atomic<DisplayBackend*> m_backend; // not owned; the headless one unless a live backend was set
    mutable std::mutex m_quitMutex;
    std::optional<int32_t> m_quitCode;
    std::function<void(const std::string&)> m_strictFailure;
    std::vector<std::string> m_strictFailures;
    ModalStateHandler m_modalStateHandler;
    int32_t m_modalDepth = 0;
};

// One modal run, for the length of a scope: Dialog::doModal and the provider entry points hold one, so a scripted
// run and a live one (whose services nest a doModal, which only deepens the count) signal alike.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    Ui& m_ui; // the current one, which outlives every modal run it holds
};

// The hourglass for the length of a scope; the cursor before it comes back at the end.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Cursor m_previous;
};

Ui& ui(); // the current Ui; PF_ASSERT when there is none
bool hasUi();
int32_t getSystemMetrics(int32_t index);

} // namespace pf
