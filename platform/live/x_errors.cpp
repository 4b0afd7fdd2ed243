#include "platform/live/x_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace pf {

namespace {

XErrorHandler g_previous = nullptr;

int passClosedWindow(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow) {
        switch (error->request_code) {
        case X_SendEvent:
        case X_ConfigureWindow:
        case X_ChangeProperty:
        case X_DeleteProperty:
        case X_GetProperty:
            return 0;
        default:
            break;
        }
    }
    return g_previous != nullptr ? g_previous(display, error) : 0;
}

} // namespace

void passErrorsOnClosedWindows()
{
    const XErrorHandler was = XSetErrorHandler(passClosedWindow);
    if (was != passClosedWindow)
        g_previous = was;
}

} // namespace pf
