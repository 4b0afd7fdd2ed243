// Where an MDI child lies in the client area: placed, restored, moved and sized by the mouse, and brought forward.
// The client area has no scroll bars, so a caption left past its edge could be grabbed by no one again.
#include "platform/ui/frame/frame_window.h"

#include <algorithm>

#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

namespace pf {

namespace {

constexpr int32_t kMinTrackSize = 100; // a child sized by its border keeps room for its caption's buttons

} // namespace

// Placed in, or restored into, a client area narrower than it, the window is narrowed and moved into it: its caption
// and buttons past the edge could be reached by no one.
Rect MdiChild::withinClient(const Rect& place) const
{
    const Window* client = parent();
    if (client == nullptr || client->clientRect().isEmpty())
        return place;
    const Rect area = client->clientRect();
    const auto width =
        static_cast<int32_t>(std::min<int64_t>(place.width(), std::max<int64_t>(area.width(), kMinTrackSize)));
    const auto height = static_cast<int32_t>(place.height());
    const int32_t l = std::max(area.l, std::min(place.l, area.r - width));
    const int32_t t = std::max(area.t, std::min(place.t, area.b - (clientInsets().t + clientInsets().b)));
    return Rect::fromXywh(l, t, width, height);
}

void MdiChild::keepInClient()
{
    if (m_state == State::kMaximized)
        return;
    if (const Rect place = withinClient(windowRect()); place != windowRect())
        setPos(HWND_TOP, place, SWP_NOZORDER);
}

void MdiChild::fitToClient()
{
    const Window* client = parent();
    if (client == nullptr)
        return;
    if (m_state == State::kNormal) {
        keepInClient(); // a client area made narrower: the frame sized down, or a smaller screen
        return;
    }
    setPos(HWND_TOP, m_state == State::kMaximized ? client->clientRect() : minimizedPlace(), SWP_NOZORDER);
    invalidateFrame();
}

// The child follows the pointer anywhere while the button is down; endTrack puts it back where its caption can be
// grabbed.
void MdiChild::track(Point screen)
{
    const int32_t dx = screen.x - m_trackFrom.x;
    const int32_t dy = screen.y - m_trackFrom.y;
    Rect r = m_trackRect;
    if (m_track == Track::kMove) {
        r = r.offsetBy(dx, dy);
    } else {
        if ((m_sizeEdges & 1) != 0)
            r.l = std::min(r.l + dx, r.r - kMinTrackSize);
        if ((m_sizeEdges & 2) != 0)
            r.t = std::min(r.t + dy, r.b - kMinTrackSize);
        if ((m_sizeEdges & 4) != 0)
            r.r = std::max(r.r + dx, r.l + kMinTrackSize);
        if ((m_sizeEdges & 8) != 0)
            r.b = std::max(r.b + dy, r.t + kMinTrackSize);
    }
    if (m_state == State::kMinimized && m_track == Track::kMove)
        m_restore = m_restore.offsetBy(r.l - windowRect().l, r.t - windowRect().t);
    setPos(HWND_TOP, r, SWP_NOZORDER);
}

// The release, or the capture taken away mid-drag. A child let go over the status bar or past the frame's edge was
// lost: only a resized main window brought it back, and without a window manager nothing did.
void MdiChild::endTrack()
{
    const Hwnd self = hwnd();
    m_track = Track::kNone;
    if (ui().capture() == self)
        ui().releaseCapture();
    if (ui().window(self) == this)
        keepInClient();
}

} // namespace pf
