#pragma once
// CVTND_DockDrag: a docking bar taken by its caption. The press alone changes nothing; once the pointer has gone
// the system's drag distance from it, an outline follows the pointer: the bar's floating window where it would
// float, or the place it would take docked on the edge under the pointer. The outline is drawn exclusive-or into the
// screen's overlay, so it shows over the frame and the floating bars, headless and live alike, and drawing it a
// second time takes it away without a repaint of what lies under it.
#include <cstdint>
#include <optional>

#include "designer/workspace/dock_state.h"
#include "platform/base/rect.h"

// Where a dragged bar goes when let go.
struct CVTND_DockTarget {
    std::optional<DockSide> side; // nullopt: floating
    pf::Rect rect;                // screen coordinates: the docked place, or the floating window
    int32_t size = 0;             // docked: the thickness it takes on that side
    bool operator==(const CVTND_DockTarget&) const = default;
};

class CVTND_DockDrag {
public:
    static constexpr int32_t kFloatOutline = 3;  // a floating window's outline, as thick as a sizing frame
    static constexpr int32_t kDockedOutline = 2; // a docked place's, thinner

    CVTND_DockDrag() = default;
    ~CVTND_DockDrag(); // an outline still shown is taken away
    CVTND_DockDrag(const CVTND_DockDrag&) = delete;
    CVTND_DockDrag& operator=(const CVTND_DockDrag&) = delete;

    // press: the screen point on the caption; floatShape: the floating window the bar would have with the press at
    // the same place on its caption.
    void Begin(pf::Point press, const pf::Rect& floatShape);
    bool IsDragging() const { return m_shown.has_value(); } // past the drag distance, an outline shown
    bool IsBeyondDragDistance(pf::Point screen) const;
    CVTND_DockTarget FloatingAt(pf::Point screen) const; // the floating window with the pointer at screen
    void Show(const CVTND_DockTarget& target);           // the outline moves there
    std::optional<CVTND_DockTarget> End();               // the outline gone; the last target, nullopt if none shown

private:
    static void DrawOutline(const CVTND_DockTarget& target); // twice leaves the screen as it was

    pf::Point m_press;
    pf::Rect m_floatShape;
    std::optional<CVTND_DockTarget> m_shown;
};
