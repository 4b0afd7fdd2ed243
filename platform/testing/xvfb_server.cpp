#include "platform/testing/xvfb_server.h"

// Before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace pf {

namespace {

constexpr int kStartTimeoutMs = 20000; // two loaded CI cores can take seconds to start a server
constexpr int kStopTimeoutMs = 3000;
constexpr int kStopPollMs = 10;

Display* asDisplay(void* connection)
{
    return static_cast<Display*>(connection);
}

// A child is asked, then made, to end: a SIGTERM that lands just before it sleeps again is only seen at its next
// wake-up, and with its clients quiet none comes.
void stopChild(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    for (int waitedMs = 0; waitpid(pid, &status, WNOHANG) == 0; waitedMs += kStopPollMs) {
        if (waitedMs >= kStopTimeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(kStopPollMs * 1000);
    }
    pid = -1;
}

// Xlib answers an X error it was not told to expect by ending the process, which takes the running case's report and
// every later case with it: an error on any connection of the test program's (its own, SDL's) fails the case instead.
int failOnXError(Display* display, XErrorEvent* error)
{
    char text[256] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    ADD_FAILURE() << "X error: " << text << " (request " << static_cast<int>(error->request_code) << "."
                  << static_cast<int>(error->minor_code) << ")";
    return 0;
}

} // namespace

XvfbServer::~XvfbServer()
{
    letWindowManagerGo();
    stopChild(m_windowManager);
    if (m_connection != nullptr)
        XCloseDisplay(asDisplay(m_connection));
    stopChild(m_pid);
}

void XvfbServer::killServer()
{
    if (m_connection != nullptr)
        XCloseDisplay(asDisplay(m_connection));
    m_connection = nullptr;
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    stopChild(m_windowManager);
}

bool XvfbServer::start(std::string& outError, Size screen)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        outError = "no pipe for the display number";
        return false;
    }
    const std::string geometryText = std::to_string(screen.cx) + "x" + std::to_string(screen.cy) + "x24";
    const char* geometry = geometryText.c_str(); // made before the fork: the child only calls exec
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        outError = "fork failed";
        return false;
    }
    if (m_pid == 0) {
        // Only async-signal-safe calls from here on: the parent may have threads.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int out = dup(fds[1]); // without close-on-exec, so that Xvfb inherits it
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        char fdText[16];
        int n = 0;
        for (int v = out; n == 0 || v > 0; v /= 10)
            ++n;
        fdText[n] = 0;
        for (int v = out, i = n - 1; i >= 0; --i, v /= 10)
            fdText[i] = static_cast<char>('0' + v % 10);
        execlp("Xvfb", "Xvfb", "-displayfd", fdText, "-screen", "0", geometry, "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos) {
        if (poll(&p, 1, kStartTimeoutMs) <= 0)
            break;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (number.empty() || number.find('\n') == std::string::npos) {
        outError = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    std::string display(1, ':');
    display.append(number, 0, number.find('\n'));
    m_display = std::move(display);
    setenv("DISPLAY", m_display.c_str(), 1);
    return connect(outError);
}

bool XvfbServer::connect(std::string& outError)
{
    Display* d = XOpenDisplay(m_display.c_str());
    if (d == nullptr) {
        outError = "cannot connect to Xvfb at " + m_display;
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
        XCloseDisplay(d);
        outError = "Xvfb has no XTest";
        return false;
    }
    m_connection = d;
    XSetErrorHandler(failOnXError);
    return true;
}

void XvfbServer::moveTo(Point screen)
{
    Display* d = asDisplay(m_connection);
    XTestFakeMotionEvent(d, 0, screen.x, screen.y, CurrentTime);
    XSync(d, False);
}

void XvfbServer::button(int button, bool down)
{
    Display* d = asDisplay(m_connection);
    XTestFakeButtonEvent(d, static_cast<unsigned>(button), down ? True : False, CurrentTime);
    XSync(d, False);
}

void XvfbServer::click(Point screen, int which)
{
    moveTo(screen);
    button(which, true);
    button(which, false);
}

void XvfbServer::key(unsigned long keysym, bool down)
{
    Display* d = asDisplay(m_connection);
    const KeyCode code = XKeysymToKeycode(d, keysym);
    if (code == 0)
        return;
    XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime);
    XSync(d, False);
}

void XvfbServer::tap(unsigned long keysym)
{
    key(keysym, true);
    key(keysym, false);
}

void XvfbServer::askToClose(unsigned long xWindow)
{
    Display* d = asDisplay(m_connection);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xWindow;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, xWindow, False, NoEventMask, &event);
    XSync(d, False);
}

unsigned long XvfbServer::focus()
{
    ::Window focused = 0;
    int revert = 0;
    XGetInputFocus(asDisplay(m_connection), &focused, &revert);
    return focused == PointerRoot ? 0 : focused;
}

void XvfbServer::destroyWindow(unsigned long xWindow)
{
    Display* d = asDisplay(m_connection);
    XDestroyWindow(d, xWindow);
    XSync(d, False);
}

void XvfbServer::maximize(unsigned long xWindow, bool on)
{
    Display* d = asDisplay(m_connection);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xWindow;
    event.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0; // add or remove
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    event.xclient.data.l[2] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    event.xclient.data.l[3] = 2; // from a pager, as a person's request
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(d, False);
}

unsigned long XvfbServer::findTopLevel(const std::string& namePrefix, bool wholeName)
{
    Display* d = asDisplay(m_connection);
    // A window manager's frames stand between the root and the clients: its own list names the clients.
    std::vector<unsigned long> candidates = property(0, "_NET_CLIENT_LIST");
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) != 0 && children != nullptr) {
        candidates.insert(candidates.end(), children, children + count);
        XFree(children);
    }
    unsigned long found = 0;
    // A window that goes between the listing and the name's reading is skipped, not an error that ends the test.
    XSync(d, False);
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    for (size_t i = 0; i < candidates.size() && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(d, candidates[i], &name) != 0 && name != nullptr) {
            if (wholeName ? namePrefix == name : std::string(name).starts_with(namePrefix))
                found = candidates[i];
            XFree(name);
        }
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    return found;
}

bool XvfbServer::startWindowManager(std::string& outError)
{
    const pid_t parent = getpid();
    m_windowManager = fork();
    if (m_windowManager < 0) {
        outError = "fork failed";
        return false;
    }
    if (m_windowManager == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int waitedMs = 0; property(0, "_NET_SUPPORTING_WM_CHECK").empty(); waitedMs += kStopPollMs) {
        int status = 0;
        if (waitedMs >= kStartTimeoutMs || waitpid(m_windowManager, &status, WNOHANG) != 0) {
            outError = "openbox did not start (is the openbox package installed?)";
            return false;
        }
        usleep(kStopPollMs * 1000);
    }
    return true;
}

void XvfbServer::holdWindowManager(int ms)
{
    if (m_windowManager <= 0)
        return;
    letWindowManagerGo();
    m_held = std::make_shared<std::atomic<bool>>(true);
    kill(m_windowManager, SIGSTOP);
    // The caller may block on the server meanwhile: another thread lets it go.
    std::thread([windowManager = m_windowManager, held = m_held, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (held->exchange(false))
            kill(windowManager, SIGCONT);
    }).detach();
}

bool XvfbServer::letWindowManagerGo()
{
    if (m_held == nullptr || !m_held->exchange(false))
        return false;
    kill(m_windowManager, SIGCONT);
    return true;
}

void XvfbServer::stopWindowManager()
{
    letWindowManagerGo();
    stopChild(m_windowManager);
    // The window manager's check window goes with its connection, the root's property may stay behind.
    Display* d = asDisplay(m_connection);
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False));
    XSync(d, False);
}

std::vector<unsigned long> XvfbServer::property(unsigned long xWindow, const std::string& name)
{
    Display* d = asDisplay(m_connection);
    const ::Window target = xWindow != 0 ? xWindow : DefaultRootWindow(d);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    XSync(d, False);
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    if (XGetWindowProperty(d, target, XInternAtom(d, name.c_str(), False), 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data); // Xlib widens 32-bit items to longs
        out.assign(items, items + count);
    }
    if (data != nullptr)
        XFree(data);
    XSync(d, False);
    XSetErrorHandler(previous);
    return out;
}

std::string XvfbServer::atomName(unsigned long atom)
{
    char* name = XGetAtomName(asDisplay(m_connection), atom);
    if (name == nullptr)
        return {};
    std::string out(name);
    XFree(name);
    return out;
}

Rect XvfbServer::outerRect(unsigned long xWindow)
{
    Display* d = asDisplay(m_connection);
    ::Window root = 0, child = 0;
    int x = 0, y = 0, rootX = 0, rootY = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(d, xWindow, &root, &x, &y, &width, &height, &border, &depth) == 0 ||
        XTranslateCoordinates(d, xWindow, root, 0, 0, &rootX, &rootY, &child) == 0)
        return {};
    const std::vector<unsigned long> extents = property(xWindow, "_NET_FRAME_EXTENTS"); // left, right, top, bottom
    Rect out = Rect::fromXywh(rootX, rootY, static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (extents.size() == 4) {
        out.l -= static_cast<int32_t>(extents[0]);
        out.r += static_cast<int32_t>(extents[1]);
        out.t -= static_cast<int32_t>(extents[2]);
        out.b += static_cast<int32_t>(extents[3]);
    }
    return out;
}

bool XvfbServer::isPointerGrabbed()
{
    Display* d = asDisplay(m_connection);
    const int result = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                    None, CurrentTime);
    if (result == GrabSuccess)
        XUngrabPointer(d, CurrentTime);
    XSync(d, False);
    return result == AlreadyGrabbed;
}

Point XvfbServer::pointer()
{
    Display* d = asDisplay(m_connection);
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return {rootX, rootY};
}

std::unique_ptr<Surface32> XvfbServer::grab(const Rect& area)
{
    Display* d = asDisplay(m_connection);
    auto out = std::make_unique<Surface32>(static_cast<int32_t>(area.width()), static_cast<int32_t>(area.height()));
    if (d == nullptr || out->isEmpty())
        return out;
    // The server reads only what lies on the screen: an area reaching past an edge (a maximised frame's border) is
    // refused outright (BadMatch), so the part on the screen is read and the rest stays black.
    const int screenNumber = DefaultScreen(d);
    const Rect on =
        area.intersected(Rect::fromXywh(0, 0, DisplayWidth(d, screenNumber), DisplayHeight(d, screenNumber)));
    if (on.isEmpty())
        return out;
    XSync(d, False);
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XImage* image = XGetImage(d, DefaultRootWindow(d), on.l, on.t, static_cast<unsigned>(on.width()),
                              static_cast<unsigned>(on.height()), AllPlanes, ZPixmap);
    XSync(d, False);
    XSetErrorHandler(previous);
    if (image == nullptr)
        return std::make_unique<Surface32>(0, 0);
    for (int32_t y = 0; y < static_cast<int32_t>(on.height()); ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(on.width()); ++x)
            out->setPixel(on.l - area.l + x, on.t - area.t + y,
                          static_cast<uint32_t>(XGetPixel(image, x, y)) & 0x00FFFFFFu);
    XDestroyImage(image);
    return out;
}

} // namespace pf
