#include "designer/workspace/dock_state.h"

#include <algorithm>
#include <climits>

#include "platform/settings/profile.h"

namespace {

constexpr int kMissing = INT_MIN;

std::optional<int32_t> ReadValue(const pf::Profile& profile, const std::string& section, const char* entry)
{
    const int value = profile.getInt(section, entry, kMissing);
    if (value == kMissing)
        return std::nullopt;
    return value;
}

std::optional<bool> ReadFlag(const pf::Profile& profile, const std::string& section, const char* entry)
{
    const std::optional<int32_t> value = ReadValue(profile, section, entry);
    if (!value || (*value != 0 && *value != 1))
        return std::nullopt;
    return *value == 1;
}

bool InRange(std::optional<int32_t> value, int32_t low, int32_t high)
{
    return value && *value >= low && *value <= high;
}

// The floating rectangle, kept in 64 bits until it is known to fit, since the four values are the file's.
std::optional<pf::Rect> ReadFloatRect(const pf::Profile& profile, const std::string& section, const pf::Rect& workArea)
{
    const std::optional<int32_t> x = ReadValue(profile, section, "FloatX");
    const std::optional<int32_t> y = ReadValue(profile, section, "FloatY");
    const std::optional<int32_t> w = ReadValue(profile, section, "FloatW");
    const std::optional<int32_t> h = ReadValue(profile, section, "FloatH");
    if (!x || !y || !InRange(w, kMinFloatSide, kMaxFloatSide) || !InRange(h, kMinFloatSide, kMaxFloatSide))
        return std::nullopt;
    // No larger than the work area: each floating bar's window and its pictures cost its area, and more of it
    // than the screen shows is never seen.
    const int32_t width = static_cast<int32_t>(std::clamp<int64_t>(workArea.width(), kMinFloatSide, *w));
    const int32_t height = static_cast<int32_t>(std::clamp<int64_t>(workArea.height(), kMinFloatSide, *h));
    const int64_t l = std::max<int64_t>(*x, workArea.l);
    const int64_t t = std::max<int64_t>(*y, workArea.t);
    const int64_t r = std::min<int64_t>(int64_t{*x} + width, workArea.r);
    const int64_t b = std::min<int64_t>(int64_t{*y} + height, workArea.b);
    if (r - l < kMinOnWorkArea || b - t < kMinOnWorkArea)
        return std::nullopt;
    // The caption runs along the top: one above the work area (another screen's layout, or a window manager's move)
    // could be neither grabbed nor docked, and would be stored there again at exit.
    return pf::Rect::fromXywh(*x, std::max(*y, workArea.t), width, height);
}

int32_t SideLimit(const pf::Rect& area, DockSide side)
{
    const int64_t span = IsRow(side) ? area.height() : area.width();
    // Both columns share the width: each may take half of what the middle does not need. The rows are asked one
    // after the other, each of what the one before left.
    const int64_t room = IsRow(side) ? span - kMinMiddle : (span - kMinMiddle) / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(room, 0, kMaxDockSize));
}

} // namespace

bool IsDocked(const CVTND_DockState& state, DockSide side)
{
    return state.visible && !state.floating && state.side == side;
}

std::string DockSectionName(std::string_view barName, int32_t index)
{
    return std::string(barName) + "-SCBar-" + std::to_string(index);
}

CVTND_DockState ReadDockState(const pf::Profile& profile, std::string_view barName, int32_t index,
                              const CVTND_DockState& fallback, const pf::Rect& workArea)
{
    const std::string section = DockSectionName(barName, index);
    const std::optional<int32_t> side = ReadValue(profile, section, "Side");
    const std::optional<int32_t> size = ReadValue(profile, section, "Size");
    const std::optional<bool> visible = ReadFlag(profile, section, "Visible");
    const std::optional<bool> floating = ReadFlag(profile, section, "Floating");
    const std::optional<int32_t> share = ReadValue(profile, section, "Share");
    if (!InRange(side, 0, 3) || !InRange(size, kMinDockSize, kMaxDockSize) || !visible || !floating ||
        (share && !InRange(share, 0, kMaxDockSize)))
        return fallback;
    CVTND_DockState state;
    state.side = static_cast<DockSide>(*side);
    state.size = *size;
    state.visible = *visible;
    state.floating = *floating;
    state.share = share.value_or(0);
    state.floatRect = fallback.floatRect;
    const std::optional<pf::Rect> rect = ReadFloatRect(profile, section, workArea);
    if (rect)
        state.floatRect = *rect;
    else if (state.floating)
        return fallback; // a floating bar with no place on the screen could never be reached again
    return state;
}

bool WriteDockState(pf::Profile& profile, std::string_view barName, int32_t index, const CVTND_DockState& state)
{
    const std::string section = DockSectionName(barName, index);
    bool ok = profile.writeInt(section, "Side", static_cast<int>(state.side));
    ok = profile.writeInt(section, "Size", state.size) && ok;
    ok = profile.writeInt(section, "Visible", state.visible ? 1 : 0) && ok;
    ok = profile.writeInt(section, "Floating", state.floating ? 1 : 0) && ok;
    ok = profile.writeInt(section, "FloatX", state.floatRect.l) && ok;
    ok = profile.writeInt(section, "FloatY", state.floatRect.t) && ok;
    ok = profile.writeInt(section, "FloatW", static_cast<int>(state.floatRect.width())) && ok;
    ok = profile.writeInt(section, "FloatH", static_cast<int>(state.floatRect.height())) && ok;
    ok = profile.writeInt(section, "Share", state.share) && ok;
    return ok;
}

int32_t DockedThickness(const pf::Rect& area, const std::vector<CVTND_DockState>& states, DockSide side)
{
    const auto first =
        std::find_if(states.begin(), states.end(), [side](const CVTND_DockState& s) { return IsDocked(s, side); });
    if (first == states.end())
        return 0;
    return std::clamp(first->size, 0, SideLimit(area, side));
}

pf::Rect LayoutDockedBars(const pf::Rect& area, const std::vector<CVTND_DockState>& states,
                          std::vector<pf::Rect>& outRects)
{
    outRects.assign(states.size(), pf::Rect{});
    if (area.isEmpty())
        return area;
    const int32_t left = DockedThickness(area, states, DockSide::kLeft);
    const int32_t right = DockedThickness(area, states, DockSide::kRight);
    pf::Rect middle{area.l + left, area.t, area.r - right, area.b};
    const int32_t top = DockedThickness(middle, states, DockSide::kTop);
    middle.t += top;
    const int32_t bottom = DockedThickness(middle, states, DockSide::kBottom);
    const pf::Rect strips[4] = {
        {area.l, area.t, area.l + left, area.b},
        {area.r - right, area.t, area.r, area.b},
        {middle.l, middle.b - bottom, middle.r, middle.b},
        {middle.l, area.t, middle.r, middle.t},
    };
    for (const DockSide side : {DockSide::kLeft, DockSide::kRight, DockSide::kBottom, DockSide::kTop}) {
        const pf::Rect strip = strips[static_cast<size_t>(side)];
        const int64_t count =
            std::count_if(states.begin(), states.end(), [side](const CVTND_DockState& s) { return IsDocked(s, side); });
        if (count == 0 || strip.isEmpty())
            continue;
        const bool across = IsRow(side);
        const int64_t span = across ? strip.width() : strip.height();
        // Weights in 64 bits: ten shares of at most kMaxDockSize each, times a span, stay far inside.
        int64_t given = 0;
        int64_t withShare = 0;
        for (const CVTND_DockState& s : states)
            if (IsDocked(s, side) && s.share > 0) {
                given += s.share;
                ++withShare;
            }
        const int64_t unshared = withShare > 0 ? given / withShare : 1;
        const auto weight = [unshared](const CVTND_DockState& s) { return s.share > 0 ? s.share : unshared; };
        int64_t total = 0;
        for (const CVTND_DockState& s : states)
            if (IsDocked(s, side))
                total += weight(s);
        int64_t before = 0;
        for (size_t i = 0; i < states.size(); ++i) {
            if (!IsDocked(states[i], side))
                continue;
            const int64_t at = span * before / total;
            before += weight(states[i]);
            const int64_t next = span * before / total;
            outRects[i] = across ? pf::Rect{static_cast<int32_t>(strip.l + at), strip.t,
                                            static_cast<int32_t>(strip.l + next), strip.b}
                                 : pf::Rect{strip.l, static_cast<int32_t>(strip.t + at), strip.r,
                                            static_cast<int32_t>(strip.t + next)};
        }
    }
    middle.b -= bottom;
    return middle;
}

std::optional<DockSide> DockSideAt(const pf::Rect& area, const std::vector<CVTND_DockState>& states, pf::Point point)
{
    if (!area.contains(point))
        return std::nullopt;
    const auto reach = [&](DockSide side) { return std::max(kDockZone, DockedThickness(area, states, side)); };
    if (point.x < area.l + reach(DockSide::kLeft))
        return DockSide::kLeft;
    if (point.x >= area.r - reach(DockSide::kRight))
        return DockSide::kRight;
    if (point.y >= area.b - reach(DockSide::kBottom))
        return DockSide::kBottom;
    if (point.y < area.t + reach(DockSide::kTop))
        return DockSide::kTop;
    return std::nullopt;
}
