#include "designer/app/window_placement.h"

#include <algorithm>

#include "platform/display/screen.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

// The start of a span of length size placed at want within [low, high): pulled back to end by high, never before
// low, so a span longer than the range starts at low.
int64_t PlaceSpan(int64_t want, int64_t size, int64_t low, int64_t high)
{
    return std::max(low, std::min(want, high - size));
}

} // namespace

void PlaceWindowAtCursor(pf::Window& window)
{
    const pf::Point cursor = pf::ui().messagePos();
    const pf::Rect area = pf::screen().workArea();
    const pf::Rect now = window.screenRect();
    const int64_t width = now.width();
    const int64_t height = now.height();
    pf::Point topLeft{static_cast<int32_t>(PlaceSpan(cursor.x, width, area.l, area.r)),
                      static_cast<int32_t>(PlaceSpan(cursor.y, height, area.t, area.b))};
    if (const pf::Window* parent = window.parent())
        topLeft = parent->screenToClient(topLeft); // a child moves in its parent's client coordinates
    window.move(pf::Rect::fromXywh(topLeft.x, topLeft.y, static_cast<int32_t>(width), static_cast<int32_t>(height)));
}
