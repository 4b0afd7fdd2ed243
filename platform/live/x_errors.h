#pragma once
#include <functional>

namespace pf {

// A window of ours can be gone from the server before we know it: SDL wakes a waiting event loop from another thread
// by an X message to its newest window, we restack and name windows that SDL may close on a connection of its own at
// the same moment, and another program may destroy any of them outright (xdotool windowclose), after which every
// request on it fails until its DestroyNotify has been read. The server answers each such request with BadWindow or
// BadDrawable, and Xlib's default answer to any error ends the program. Those two are let pass; every other error
// goes to the handler before. Call after SDL's video has opened on X.
void passErrorsOnClosedWindows();

// The X server gone under the program (killed, or the session that ran it ended). Xlib's own answer is exit(), whose
// handlers free what the program's threads are still using, and nothing is kept. Instead the first thread that
// meets the loss runs the program's work (onUiThread: it is the thread that installed the handler; another thread
// first waits a while for that one to meet the loss too, as it soon does) and the process ends with _exit(status)
// at once, its other threads where they stand; no statics are destroyed under them. The work must not touch the
// display: every call on it would meet the loss again. Installed by catchLostDisplay on the user-interface thread,
// after SDL's video has opened on X.
using LostDisplayWork = std::function<void(bool onUiThread)>;
void whenDisplayIsLost(LostDisplayWork work, int status); // empty work: only a line, then the end
void catchLostDisplay();
bool displayWasLost(); // wakes and draws are pointless from then on

} // namespace pf
