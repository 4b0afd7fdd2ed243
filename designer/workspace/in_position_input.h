#pragma once
// CVTND_InPositionInput: a 2-D point picker. The point is two floats, fractions of the picking area's width and
// height, each clamped to [0, 1] as the area stands for the whole range. A press and every move of a drag send the
// parent kPointDragging, the release kPointReleased; wParam is the control id and lParam points to the two floats.
#include <array>

#include "designer/workspace/capture_drag.h"
#include "platform/ui/controls/control.h"

class CVTND_InPositionInput : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_InPositionInput";

    void SetPoint(float x, float y); // stored (not finite: 0; clamped); shown at the next paint
    const std::array<float, 2>& GetPoint() const { return m_point; }
    pf::Rect AreaRect() const; // the picking area, client coordinates: the corners are the fractions 0 and 1

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    void TakePointAt(pf::Point client);

    std::array<float, 2> m_point = {0.5f, 0.5f};
    CVTND_CaptureDrag m_drag;
};
