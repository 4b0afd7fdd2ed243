#pragma once

namespace pf {

// A window of ours can be gone from the server before we know it: SDL wakes a waiting event loop from another thread
// by an X message to its newest window, we restack and name windows that SDL may close on a connection of its own at
// the same moment, and another program may destroy any of them outright (xdotool windowclose), after which every
// request on it fails until its DestroyNotify has been read. The server answers each such request with BadWindow or
// BadDrawable, and Xlib's default answer to any error ends the program. Those two are let pass; every other error
// goes to the handler before. Call after SDL's video has opened on X.
void passErrorsOnClosedWindows();

} // namespace pf
