#pragma once
// Where a docking panel's sizing bar sits: an edge of the main frame's client area or a floating window, with its
// size, kept between runs in the settings section "<bar name>-SCBar-<index>" as the dwords "Side", "Size",
// "Visible", "Floating", "FloatX", "FloatY", "FloatW", "FloatH" and "Share". A stored state is believed only whole:
// one value missing or out of range and the bar takes its default place. "Share" alone may be missing (a file from
// before the splitters): the bar then shares its side equally.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/rect.h"

namespace pf {
class Profile;
}

// Stored as "Side"; a file from before the top row holds only the first three.
enum class DockSide : uint32_t { kLeft = 0, kRight = 1, kBottom = 2, kTop = 3 };

struct CVTND_DockState {
    DockSide side = DockSide::kLeft;
    int32_t size = 220; // width at the left and the right, height at the bottom, in pixels
    bool visible = true;
    bool floating = false;
    pf::Rect floatRect; // the floating window, screen coordinates
    int32_t share = 0;  // its length along its side as a splitter last left it; 0: an equal share
    bool operator==(const CVTND_DockState&) const = default;
};

inline constexpr int32_t kMinDockSize = 60;    // a docked bar keeps its caption and a few rows
inline constexpr int32_t kMaxDockSize = 4000;  // beyond any screen: a bigger stored value is damage
inline constexpr int32_t kMinFloatSide = 80;   // a floating bar keeps its caption and close box
inline constexpr int32_t kMaxFloatSide = 4000; // as above
inline constexpr int32_t kMinOnWorkArea = 32;  // a floating bar this much on the work area can be taken back
inline constexpr int32_t kMinMiddle = 120;     // what the docked bars leave the 3D views, each way
inline constexpr int32_t kMinSplitPane = 40;   // a splitter leaves each of its two bars its caption and a row
inline constexpr int32_t kDockZone = 32;       // how far in from an empty edge a dragged bar docks there

// Whether state shows its bar docked on side (a hidden or floating bar is on no side).
bool IsDocked(const CVTND_DockState& state, DockSide side);
// The top and bottom rows lie across the frame and share its width; the columns share its height.
inline bool IsRow(DockSide side)
{
    return side == DockSide::kBottom || side == DockSide::kTop;
}

std::string DockSectionName(std::string_view barName, int32_t index); // "%s-SCBar-%d"
// The stored state, or fallback when the section is missing or any value is damaged: a side that is not one of
// the four, a size outside [kMinDockSize, kMaxDockSize], flags other than 0 and 1, a floating rectangle of a
// side outside [kMinFloatSide, kMaxFloatSide] or less than kMinOnWorkArea square on workArea, a share outside
// [0, kMaxDockSize]. A floating rectangle whose caption lies above the work area is moved down onto it.
CVTND_DockState ReadDockState(const pf::Profile& profile, std::string_view barName, int32_t index,
                              const CVTND_DockState& fallback, const pf::Rect& workArea);
bool WriteDockState(pf::Profile& profile, std::string_view barName, int32_t index, const CVTND_DockState& state);

// Lays the docked, visible bars of states out in area: the left and right columns take the full height, the top
// and bottom rows lie between them; the bars of one side share it in their order, in proportion to their shares (a bar
// of share 0 weighs as the average of the others, as all of them when none has one). A side is as thick as its first
// shown bar's size, cut so the middle keeps kMinMiddle each way where area allows (the bottom row gives way first).
// outRects gets one rectangle per state (empty for a hidden or floating bar); the result is what is left for the MDI
// client.
pf::Rect LayoutDockedBars(const pf::Rect& area, const std::vector<CVTND_DockState>& states,
                          std::vector<pf::Rect>& outRects);
// The thickness the layout gives side in area, before sharing (0 when no bar shows there).
int32_t DockedThickness(const pf::Rect& area, const std::vector<CVTND_DockState>& states, DockSide side);
// The side a bar let go at point (in area's coordinates) docks on: the left or right column, else the top or bottom
// row, each as thick as the bars docked there now and at least kDockZone; nullopt away from every dock edge.
std::optional<DockSide> DockSideAt(const pf::Rect& area, const std::vector<CVTND_DockState>& states, pf::Point point);
