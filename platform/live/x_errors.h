#pragma once

namespace pf {

// SDL wakes a waiting event loop from another thread by an X message to its newest window, and we restack and name
// windows that SDL may close on a connection of its own at the same moment. The X server answers such a request
// with BadWindow, and Xlib's default answer to any error ends the program. Only BadWindow on those requests is let
// pass; every other error goes to the handler before. Call after SDL's video has opened on X.
void passErrorsOnClosedWindows();

} // namespace pf
