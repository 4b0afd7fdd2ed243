#include "designer/app/window_placement.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/display/screen.h"
#include "platform/settings/profile.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

constexpr const char* kPlacementSection = "Main Window";
constexpr std::array<const char*, 4> kEdgeEntries = {"Left", "Top", "Right", "Bottom"};
constexpr const char* kMaximizedEntry = "Maximized";
constexpr int kMissing = std::numeric_limits<int>::min(); // no edge is stored as this: a screen is never that far off

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

std::optional<MainWindowPlacement> ReadMainWindowPlacement(const pf::Profile& profile)
{
    std::array<int, 4> edges{};
    for (size_t i = 0; i < edges.size(); ++i) {
        edges[i] = profile.getInt(kPlacementSection, kEdgeEntries[i], kMissing);
        if (edges[i] == kMissing)
            return std::nullopt;
    }
    const pf::Rect normal{edges[0], edges[1], edges[2], edges[3]};
    if (normal.isEmpty())
        return std::nullopt;
    return MainWindowPlacement{normal, profile.getInt(kPlacementSection, kMaximizedEntry, 0) != 0};
}

void WriteMainWindowPlacement(pf::Profile& profile, const MainWindowPlacement& placement)
{
    const std::array<int, 4> edges = {placement.normal.l, placement.normal.t, placement.normal.r, placement.normal.b};
    for (size_t i = 0; i < edges.size(); ++i)
        profile.writeInt(kPlacementSection, kEdgeEntries[i], edges[i]);
    profile.writeInt(kPlacementSection, kMaximizedEntry, placement.maximized ? 1 : 0);
}

pf::Rect FitWithin(const pf::Rect& rect, const pf::Rect& area)
{
    const int64_t width = std::min<int64_t>(rect.width(), area.width());
    const int64_t height = std::min<int64_t>(rect.height(), area.height());
    return pf::Rect::fromXywh(static_cast<int32_t>(PlaceSpan(rect.l, width, area.l, area.r)),
                              static_cast<int32_t>(PlaceSpan(rect.t, height, area.t, area.b)),
                              static_cast<int32_t>(width), static_cast<int32_t>(height));
}
