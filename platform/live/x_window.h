#pragma once
// What SDL does not say to a window manager or ask of it: a window's owner and kind, the frame the window manager
// draws round it, the work area, whether a window manager runs at all, and the stacking of our windows when none
// does. SDL owns the connection and the windows; these only read and set properties on them.
#include "platform/base/rect.h"

#include <vector>

struct SDL_Window;

namespace pf {

struct XWindowRef {
    void* display = nullptr; // SDL's Display*
    unsigned long window = 0;
    bool isValid() const { return display != nullptr && window != 0; }
};

XWindowRef xWindowOf(SDL_Window* window); // invalid when SDL does not show it on X
void* openConnection();                   // a Display* of our own beside SDL's; null when none opens
void closeConnection(void* display);
// A window manager announces itself by a check window on the root that names itself (_NET_SUPPORTING_WM_CHECK).
bool windowManagerRuns(void* display);
// WM_TRANSIENT_FOR the owner (0 removes it), and a dialog's type for the window manager to keep it above its owner.
void setOwner(const XWindowRef& window, unsigned long ownerWindow, bool dialog);
// The widths of the window manager's frame as l, t, r, b (_NET_FRAME_EXTENTS); all zero when it has not said.
Rect frameExtents(const XWindowRef& window);
// The frame a window manager will draw round a window not yet mapped: asked for (_NET_REQUEST_FRAME_EXTENTS) and
// waited on up to timeoutMs, when the window manager says it answers such requests; all zero otherwise.
Rect awaitFrameExtents(const XWindowRef& window, int timeoutMs);
Rect clientOnRoot(const XWindowRef& window); // where the window is on the screen, its frame left out; empty if gone
Rect workArea(void* display); // the first desktop's _NET_WORKAREA; empty when the window manager has not set it
// Stacks windows bottom to top as given, each raised over the one before; for when no window manager stacks them.
void restack(void* display, const std::vector<unsigned long>& bottomToTop);
// The window that has the keyboard (XGetInputFocus): asked of the server, as SDL's own idea of it follows the focus
// events only as they are read, and loses a focus that goes with a destroyed window.
unsigned long inputFocus(void* display);
void mapWithoutFocus(const XWindowRef& window); // shown and raised, the keyboard left where it is
// Asks for the window to be mapped, raised, and waits up to timeoutMs until it is; false when it is not mapped by
// then. Under a window manager the map is the window manager's to make, and SDL's own show waits for it without end.
bool mapRaisedWithin(const XWindowRef& window, int timeoutMs);
// The pointer's presses, releases and motion all reported to the window, wherever the pointer goes (XGrabPointer on
// the window's own connection), until ungrabPointer; false when the server refused (another client holds it).
bool grabPointer(const XWindowRef& window);
void ungrabPointer(void* display);
// Where the pointer is on the screen and whether its left button is down, asked of the server (XQueryPointer): SDL's
// global state is a copy that its input extension's events keep, and a grab holds those back.
bool queryPointer(void* display, Point& outScreen, bool& outLeftDown);
bool isReparentEvent(const void* xEvent);             // a window manager took or gave back one of our windows
unsigned long frameExtentsWindow(const void* xEvent); // the window whose frame a window manager set; 0 otherwise
unsigned long destroyedWindow(const void* xEvent);    // the window a DestroyNotify names; 0 for any other event

} // namespace pf
