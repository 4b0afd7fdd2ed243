// The cursor shown at once: a UI thread that works for a while after it set the wait cursor reaches no loop step to
// show it, and the person would look at an arrow over a window that does not answer.
#include <SDL.h>
#include <X11/Xlib.h>

#include "platform/live/sdl_backend.h"
#include "platform/live/x_window.h"
#include "platform/ui/core/ui.h"

namespace pf {

void SdlBackend::showCursor(Ui& target)
{
    applyCursor(target);
    // SDL defines the cursor on its windows through its own connection; sent now, not with the next request.
    for (const auto& [hwnd, shown] : m_shown) {
        if (const XWindowRef ref = xWindowOf(shown.window); ref.isValid()) {
            XFlush(static_cast<Display*>(ref.display));
            return;
        }
    }
}

} // namespace pf
