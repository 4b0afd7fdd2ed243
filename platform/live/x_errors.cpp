#include "platform/live/x_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace pf {

namespace {

XErrorHandler g_previous = nullptr;

int passWakeToClosedWindow(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow && error->request_code == X_SendEvent)
        return 0;
    return g_previous != nullptr ? g_previous(display, error) : 0;
}

} // namespace

void passErrorsOfWakesToClosedWindows()
{
    const XErrorHandler was = XSetErrorHandler(passWakeToClosedWindow);
    if (was != passWakeToClosedWindow)
        g_previous = was;
}

} // namespace pf
