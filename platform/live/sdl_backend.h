#pragma once
// The live screen: one SDL window per visible top-level window of ours, sized to its client area (the window
// manager draws the frame), input translated into Ui::inject and the tree's own messages, and the windows'
// surfaces copied to the screen. SDL's video calls happen on the user-interface thread only; other threads draw
// into the surfaces and report it through surfaceChanged, which only records the rectangle and wakes the loop.
// SIGINT and SIGTERM reach the program as WM_CLOSE to its windows (see deliverCloseRequest); a window that another
// program destroys on the X server is closed as its close box would close it (see loseWindow).
#include "platform/ui/core/display_backend.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;

namespace pf {

// Menus, combo lists and tips are shown without activation: the keys go on to the window they belong to.
bool takesKeyboard(TopLevelKind kind);

class SdlBackend final : public DisplayBackend {
public:
    // The backend, or null with the reason; SDL's video subsystem is opened once per process and never closed.
    static std::unique_ptr<SdlBackend> open(std::string& outReason);
    ~SdlBackend() override; // destroys its windows; SDL itself stays
    SdlBackend(const SdlBackend&) = delete;
    SdlBackend& operator=(const SdlBackend&) = delete;

    std::string name() const override { return "sdl"; }
    bool isLive() const override { return true; }
    void syncTopLevels(const std::vector<TopLevelState>& topmostFirst) override;
    void surfaceChanged(const Surface32* surface, const Rect& surfaceRect) override;
    void present() override;
    void waitForInput(Ui& target, int32_t timeoutMs) override;
    void wake() override;
    void warpPointer(Point screenPoint) override;
    void setRelativePointer(bool on) override;
    void showCursor(Ui& target) override; // sdl_wait_cursor.cpp

    SDL_Window* sdlWindowOf(Hwnd hwnd) const; // null when the window is not shown here
    bool windowManagerRuns() const { return m_windowManager; }
    uint64_t presentedFrameCount() const { return m_presentedFrames.load(); }
    // A window without an owner (the program's own main window) was destroyed on the X server by another program:
    // every loop has been asked to end with kQuitWindowLost, and the window is never shown again.
    bool lostApplicationWindow() const { return m_lostApplicationWindow; }
    // The cursor last handed to the X server: a system cursor's id (IDC_*), 0 for an icon or none yet. UI thread.
    uint32_t shownCursorId() const { return m_cursorId; }

private:
    struct Shown {
        SDL_Window* window = nullptr;
        uint32_t windowId = 0;
        unsigned long xWindow = 0;
        TopLevelState state;
        // What the SDL window covers on the screen: the client area and menu bar beside a window manager's frame,
        // the whole window where no window manager draws one and our caption stands in for it.
        Rect area;
        bool ownCaption = false;
        bool fitAwaitsFrame = false; // shown before the window manager said how wide its frame is
        Hwnd namedOwner = kNoWindow; // the owner the window manager was told
    };
    struct CaptionDrag {
        Hwnd hwnd = kNoWindow;
        Point grab;             // the pointer within the window
        void* heldOn = nullptr; // the connection (SDL's Display*) whose pointer grab holds the pointer; null: none
    };

    SdlBackend();
    Rect areaOf(const TopLevelState& s, bool ownCaption) const;
    void applyMinimumSize(const Shown& shown);
    void createWindow(Shown& shown);
    void nameOwner(Shown& shown);
    Rect usableArea() const; // the work area the window manager keeps free of its panels, else the screen
    void fitToWorkArea(Shown& shown);
    void fitWithKnownFrame(Shown& shown);
    void restackWithoutWindowManager(const std::vector<TopLevelState>& topmostFirst);
    void checkWindowManager(); // one started or ended: frames and captions change hands
    bool pressCaption(Ui& target, const Shown& shown, Point screen); // true when the press was the caption's
    bool dragCaption(Ui& target);                                    // true while a caption drag runs
    void beginCaptionDrag(const Shown& shown, Point grab);
    void endCaptionDrag();
    void bringForward(Ui& target, Hwnd blocked);
    // The keyboard for the window, asked of the server at once and again at each loop step until the server says it
    // has it: a window not yet mapped cannot take it, and a window manager may still hand it elsewhere meanwhile.
    void giveKeyboard(Hwnd hwnd);
    void askForKeyboard();
    void keyboardFollowsActivation(Hwnd topmost); // sdl_activation.cpp
    void giveFollowedKeyboard();
    Hwnd modalAbove(Ui& target, Hwnd hwnd) const;
    Hwnd keyboardHeir(Ui& target, Hwnd closedOwner) const;
    void updateWindow(Shown& shown, const TopLevelState& told);
    void presentWindow(Shown& shown, const Rect& dirty);
    void translate(Ui& target, const SDL_Event& event);
    void translateWindowEvent(Ui& target, const SDL_Event& event);
    void requestClose();                  // the process was told to end
    void deliverCloseRequest(Ui& target); // as far as the windows shown now let it go
    bool endOpenMenus(Ui& target);        // true when a menu was open
    void loseWindow(Ui& target, unsigned long xWindow);
    Shown* shownById(uint32_t windowId);
    void applyCursor(Ui& target);

    void markAllDirty(Hwnd hwnd, const Surface32& surface);

    std::map<Hwnd, Shown> m_shown; // UI thread only
    void* m_x = nullptr;           // a connection of our own for window properties (Display*)
    bool m_windowManager = false;
    bool m_leftAltAlone = false; // the left Alt, without Ctrl, held as the last key event came
    std::optional<CaptionDrag> m_drag;
    std::map<Hwnd, Rect> m_fitted;             // windows placed within the work area, told to the tree next step
    std::vector<unsigned long> m_stackedOrder; // bottom to top, as last restacked without a window manager
    Hwnd m_topmost = kNoWindow;
    Hwnd m_syncedActive = kNoWindow;    // the tree's active window when the windows were last synced
    bool m_keyboardBelowTop = false;    // given to an active window that others of ours stay above
    Hwnd m_keyboardFollows = kNoWindow; // made active; given the keyboard once no modifier is held
    bool m_adoptingFocus = false;       // the tree follows the server's focus: nothing is asked of the server
    Hwnd m_keyboardWanted = kNoWindow;  // asked for and not yet given by the server
    Hwnd m_orphanHeir = kNoWindow;      // given the keyboard of a window that went with it, checked at the next step
    Hwnd m_orphanedBy = kNoWindow;      // the owner of that window
    uint32_t m_keyboardAskedAt = 0;     // SDL ticks of the first ask
    mutable std::mutex m_dirtyMutex;    // the two maps below, shared with drawing threads
    std::map<const Surface32*, Hwnd> m_surfaces;
    std::map<Hwnd, Rect> m_dirty; // surface coordinates
    std::atomic<bool> m_wakePending{false};
    std::atomic<uint64_t> m_presentedFrames{0};
    std::vector<uint32_t> m_presentPixels; // the region being presented, before it goes to SDL's surface
    bool m_overlayWasDirty = false;
    uint32_t m_cursorId = 0;
    const void* m_cursorIcon = nullptr;
    SDL_Cursor* m_sdlCursor = nullptr; // ours, freed when replaced
    bool m_relative = false;           // the pointer is locked: motion goes to Ui::injectLockedMotion
    bool m_closeRequested = false;     // a termination signal has not yet reached a window without an owner
    std::set<Hwnd> m_askedToClose;     // the windows the pending request has reached
    std::set<Hwnd> m_lost;             // destroyed by another program and not to be shown again
    bool m_lostApplicationWindow = false;
};

// The quit code every loop is asked to end with when another program destroyed the program's main window.
inline constexpr int32_t kQuitWindowLost = 4;

// SIGINT, SIGTERM and SIGHUP caught from this call on, each kept as a close request for the live display to hand on
// once it has windows to ask: SDL puts its own handlers in only when its video opens, and a signal before that killed
// the program. Call first thing in main. A run that ends up without the live display gives the signals back to their
// default action (releaseTerminationSignals); one that came meanwhile then ends the process as it would have.
void catchTerminationSignals();
void releaseTerminationSignals();

// The backend a run gets: SDL's when its video subsystem opens a display a person sees, else the headless one with
// the reason. VORTAN_DISPLAY=headless or =sdl forces either (a forced SDL that cannot open still gives the headless
// one); only a forced SDL takes a driver that shows nothing (offscreen, dummy).
struct DisplayChoice {
    std::unique_ptr<DisplayBackend> backend;
    std::string reason; // why this one; empty when SDL opened without a word
};
DisplayChoice openDisplayBackend();

// What SDL said through its log since the process started; never printed by the layer.
std::vector<std::string> sdlLogLines();

} // namespace pf
