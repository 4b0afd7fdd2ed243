#pragma once
// A private X server for tests of the live screen: Xvfb on a display number it picks itself (-displayfd), without
// authorisation or TCP, killed with its parent; and a user at it, acting through XTest and reading the screen back
// with XGetImage. A server that cannot start is a failure, never a skip: the tests need it to mean anything. Once a
// server is connected, an X error in the test program fails the running case rather than ending the process.
#include "platform/base/rect.h"
#include "platform/gfx/surface32.h"

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer(); // stops the server
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts Xvfb with a screen of that size at depth 24 and points DISPLAY at it; false with the reason.
    bool start(std::string& outError, Size screen = {1280, 1024});
    // Starts openbox on the server and waits until it announces itself (_NET_SUPPORTING_WM_CHECK); it ends with the
    // server. stopWindowManager ends it and waits until the announcement is gone.
    bool startWindowManager(std::string& outError);
    void stopWindowManager();
    // The server ends under its clients as a killed one does (SIGKILL); this program's own connection is closed
    // first, so that only the others meet the loss.
    void killServer();
    // A window manager slow to answer, as on a loaded machine: stopped for `ms` from now, then let go on its own
    // unless letWindowManagerGo came first. letWindowManagerGo is false when the hold had already ended.
    void holdWindowManager(int ms);
    bool letWindowManagerGo();
    const std::string& display() const { return m_display; }   // ":N"
    pid_t windowManagerPid() const { return m_windowManager; } // -1 when none was started

    // ---- a user at the server, through XTest; each call is flushed and synchronised before it returns
    void moveTo(Point screen);
    void button(int button, bool down); // 1 left, 3 right
    void click(Point screen, int button = 1);
    void key(unsigned long keysym, bool down);
    void tap(unsigned long keysym); // down and up
    // What a window manager sends when the user closes a top-level window: WM_DELETE_WINDOW to the X window.
    void askToClose(unsigned long xWindow);
    // What another program does to a window it wants gone without asking (xdotool windowclose): XDestroyWindow.
    void destroyWindow(unsigned long xWindow);
    // What a pager asks of the window manager when the user maximises a window, or restores it (_NET_WM_STATE).
    void maximize(unsigned long xWindow, bool on = true);
    // A top-level window of another program, found as a window manager lists it (_NET_CLIENT_LIST), else among the
    // root window's children: the first whose name (WM_NAME) starts with namePrefix, or is it when wholeName; 0 when
    // there is none.
    unsigned long findTopLevel(const std::string& namePrefix, bool wholeName = false);
    Point pointer();       // where the pointer is on the root window
    unsigned long focus(); // the window that has the keyboard focus (XGetInputFocus); 0 when none has

    // ---- what the server shows, as xprop and xwininfo read it
    // A property of 32-bit items (windows, atoms, cardinals) of a window, 0 the root; empty when it is not set.
    std::vector<unsigned long> property(unsigned long xWindow, const std::string& name);
    std::string atomName(unsigned long atom);
    // The client windows the window manager stacks, bottom to top (_NET_CLIENT_LIST_STACKING).
    std::vector<unsigned long> stacking() { return property(0, "_NET_CLIENT_LIST_STACKING"); }
    // The window's outer rectangle on the root window, the window manager's frame included (_NET_FRAME_EXTENTS).
    Rect outerRect(unsigned long xWindow);
    // Another client holds the pointer grab: a grab of our own then fails.
    bool isPointerGrabbed();
    // The root window's pixels in `area` as 0x00RRGGBB, black where the area reaches past the screen; an empty surface
    // when it cannot be read.
    std::unique_ptr<Surface32> grab(const Rect& area);

private:
    bool connect(std::string& outError);

    pid_t m_pid = -1;
    pid_t m_windowManager = -1;
    std::shared_ptr<std::atomic<bool>> m_held; // the window manager is stopped; shared with the thread that lets it go
    std::string m_display;
    void* m_connection = nullptr; // Display*, ours
};

} // namespace pf
