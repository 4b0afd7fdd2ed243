#include "platform/live/x_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace pf {

namespace {

Display* asDisplay(void* display)
{
    return static_cast<Display*>(display);
}

// The 32-bit items of a property, widened to longs as Xlib hands them; empty when it is not set.
std::vector<unsigned long> longsOf(Display* d, ::Window window, const char* name)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 64, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        out.assign(items, items + count);
    }
    if (data != nullptr)
        XFree(data);
    return out;
}

Bool isMapNotifyOf(Display*, XEvent* event, XPointer window)
{
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<const unsigned long*>(window);
}

} // namespace

XWindowRef xWindowOf(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return {};
    return {info.info.x11.display, info.info.x11.window};
}

void* openConnection()
{
    return XOpenDisplay(nullptr);
}

void closeConnection(void* display)
{
    if (display != nullptr)
        XCloseDisplay(asDisplay(display));
}

bool windowManagerRuns(void* display)
{
    Display* d = asDisplay(display);
    const std::vector<unsigned long> check = longsOf(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK");
    if (check.size() != 1 || check[0] == 0)
        return false;
    // A window manager that ended leaves the root's property behind; its check window went with it.
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const std::vector<unsigned long> self = longsOf(d, check[0], "_NET_SUPPORTING_WM_CHECK");
    XSync(d, False);
    XSetErrorHandler(previous);
    return self.size() == 1 && self[0] == check[0];
}

void setOwner(const XWindowRef& window, unsigned long ownerWindow, bool dialog)
{
    Display* d = asDisplay(window.display);
    if (ownerWindow != 0)
        XSetTransientForHint(d, window.window, ownerWindow);
    else
        XDeleteProperty(d, window.window, XA_WM_TRANSIENT_FOR);
    const Atom type = XInternAtom(d, dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL", False);
    XChangeProperty(d, window.window, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    XSync(d, False); // before SDL maps the window on its own connection
}

Rect frameExtents(const XWindowRef& window)
{
    const std::vector<unsigned long> e = longsOf(asDisplay(window.display), window.window, "_NET_FRAME_EXTENTS");
    if (e.size() != 4)
        return {};
    return {static_cast<int32_t>(e[0]), static_cast<int32_t>(e[2]), static_cast<int32_t>(e[1]),
            static_cast<int32_t>(e[3])};
}

Rect awaitFrameExtents(const XWindowRef& window, int timeoutMs)
{
    Display* d = asDisplay(window.display);
    const Atom request = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
    bool answers = false;
    for (const unsigned long atom : longsOf(d, DefaultRootWindow(d), "_NET_SUPPORTED"))
        answers = answers || atom == request;
    if (!answers)
        return {};
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window.window;
    event.xclient.message_type = request;
    event.xclient.format = 32;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(d, False);
    constexpr int kPollMs = 2;
    for (int waitedMs = 0; waitedMs <= timeoutMs; waitedMs += kPollMs) {
        if (const std::vector<unsigned long> e = longsOf(d, window.window, "_NET_FRAME_EXTENTS"); e.size() == 4)
            return {static_cast<int32_t>(e[0]), static_cast<int32_t>(e[2]), static_cast<int32_t>(e[1]),
                    static_cast<int32_t>(e[3])};
        SDL_Delay(kPollMs);
    }
    return {};
}

Rect clientOnRoot(const XWindowRef& window)
{
    Display* d = asDisplay(window.display);
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XWindowAttributes attributes{};
    int x = 0, y = 0;
    ::Window child = 0;
    const bool known = XGetWindowAttributes(d, window.window, &attributes) != 0 &&
                       XTranslateCoordinates(d, window.window, DefaultRootWindow(d), 0, 0, &x, &y, &child) != 0;
    XSync(d, False);
    XSetErrorHandler(previous);
    return known ? Rect::fromXywh(x, y, attributes.width, attributes.height) : Rect{};
}

Rect workArea(void* display)
{
    Display* d = asDisplay(display);
    const std::vector<unsigned long> area = longsOf(d, DefaultRootWindow(d), "_NET_WORKAREA");
    if (area.size() < 4)
        return {};
    return Rect::fromXywh(static_cast<int32_t>(area[0]), static_cast<int32_t>(area[1]), static_cast<int32_t>(area[2]),
                          static_cast<int32_t>(area[3]));
}

void restack(void* display, const std::vector<unsigned long>& bottomToTop)
{
    Display* d = asDisplay(display);
    for (const unsigned long w : bottomToTop)
        XRaiseWindow(d, w);
    XFlush(d);
}

unsigned long inputFocus(void* display)
{
    ::Window focused = 0;
    int revert = 0;
    XGetInputFocus(asDisplay(display), &focused, &revert);
    return focused;
}

void mapWithoutFocus(const XWindowRef& window)
{
    XMapRaised(asDisplay(window.display), window.window);
    XFlush(asDisplay(window.display));
}

bool mapRaisedWithin(const XWindowRef& window, int timeoutMs)
{
    Display* d = asDisplay(window.display);
    XMapRaised(d, window.window);
    constexpr int kPollMs = 2;
    for (int waitedMs = 0;; waitedMs += kPollMs) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(d, window.window, &attributes) != 0 && attributes.map_state != IsUnmapped) {
            // The map's notice came before the answer. SDL's own show takes it out of the queue: read later, it would
            // tell SDL that a window shown maximised had been restored.
            XEvent notice{};
            unsigned long mapped = window.window;
            XCheckIfEvent(d, &notice, isMapNotifyOf, reinterpret_cast<XPointer>(&mapped));
            return true;
        }
        if (waitedMs >= timeoutMs)
            return false;
        SDL_Delay(kPollMs);
    }
}

bool grabPointer(const XWindowRef& window)
{
    if (!window.isValid())
        return false;
    Display* d = asDisplay(window.display);
    const int result = XGrabPointer(d, window.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XFlush(d);
    return result == GrabSuccess;
}

void ungrabPointer(void* display)
{
    if (display == nullptr)
        return;
    XUngrabPointer(asDisplay(display), CurrentTime);
    XFlush(asDisplay(display));
}

bool queryPointer(void* display, Point& outScreen, bool& outLeftDown)
{
    if (display == nullptr)
        return false;
    Display* d = asDisplay(display);
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    if (XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask) == 0)
        return false;
    outScreen = {rootX, rootY};
    outLeftDown = (mask & Button1Mask) != 0;
    return true;
}

bool isReparentEvent(const void* xEvent)
{
    return static_cast<const XEvent*>(xEvent)->type == ReparentNotify;
}

unsigned long frameExtentsWindow(const void* xEvent)
{
    const auto* e = static_cast<const XEvent*>(xEvent);
    return e->type == PropertyNotify &&
                   e->xproperty.atom == XInternAtom(e->xproperty.display, "_NET_FRAME_EXTENTS", False)
               ? e->xproperty.window
               : 0;
}

unsigned long destroyedWindow(const void* xEvent)
{
    const auto* e = static_cast<const XEvent*>(xEvent);
    return e->type == DestroyNotify ? e->xdestroywindow.window : 0;
}

} // namespace pf
