// SdlBackend: a window dragged by the caption the layer draws where no window manager runs.
#include "platform/live/sdl_backend.h"
#include "platform/live/x_window.h"
#include "platform/ui/core/ui.h"

#include <SDL.h>

namespace pf {

// SDL hands on only the motion that lies over one of our windows: a quick or upward move took the pointer off the
// caption at once, and the window stayed where the pointer had last been over it. The pointer is held for the drag,
// and each loop step reads where it is (see waitForInput), whatever events come.
void SdlBackend::beginCaptionDrag(const Shown& shown, Point grab)
{
    const XWindowRef x = xWindowOf(shown.window);
    m_drag = CaptionDrag{shown.state.hwnd, grab, grabPointer(x) ? x.display : nullptr};
}

void SdlBackend::endCaptionDrag()
{
    if (!m_drag)
        return;
    void* const held = m_drag->heldOn;
    m_drag.reset();
    ungrabPointer(held);
}

// The real pointer is read, not the event's point: the event's window moves under it while it is dragged. Once the
// button is up the window still goes where it was let go: a quick move let go before a step read it was lost.
bool SdlBackend::dragCaption(Ui& target)
{
    if (!m_drag)
        return false;
    Window* w = target.window(m_drag->hwnd);
    Point at;
    bool down = false;
    if (!queryPointer(m_x, at, down)) {
        int x = 0, y = 0;
        down = (SDL_GetGlobalMouseState(&x, &y) & SDL_BUTTON_LMASK) != 0;
        at = {x, y};
    }
    if (w != nullptr) {
        const Rect r = w->screenRect();
        if (at.x - m_drag->grab.x != r.l || at.y - m_drag->grab.y != r.t)
            w->move(r.offsetBy(at.x - m_drag->grab.x - r.l, at.y - m_drag->grab.y - r.t));
    }
    if (w == nullptr || !down)
        endCaptionDrag(); // the release that ends the drag is the caption's too
    return true;
}

} // namespace pf
