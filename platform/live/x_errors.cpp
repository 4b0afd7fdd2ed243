#include "platform/live/x_errors.h"

#include <X11/Xlib.h>

namespace pf {

namespace {

XErrorHandler g_previous = nullptr;

int passClosedWindow(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
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
