#pragma once

namespace pf {

// SDL wakes a waiting event loop from another thread by an X message to its newest window, sent on a connection of
// its own. A window closed at that moment makes the X server answer BadWindow there, and Xlib's default answer to
// any error ends the program. Only that one harmless error is let pass; every other goes to the handler before.
// Call after SDL's video has opened on X.
void passErrorsOfWakesToClosedWindows();

} // namespace pf
