#pragma once
// CVTND_AngularInput: a dial for one angle. 0 points right and angles grow counter-clockwise, as on the unit
// circle. A press and every move of a drag send the parent kAngleDragging, the release kAngleReleased; wParam is
// the control id and lParam points to the angle in radians, in [0, 2 pi).
#include "designer/workspace/capture_drag.h"
#include "platform/ui/controls/control.h"

class CVTND_AngularInput : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_AngularInput";

    // Stored normalised into [0, 2 pi); a value that is not finite (or a null pointer) becomes 0. Repaints.
    void SetAngle(const float* radians);
    float GetAngle() const { return m_angle; }
    bool IsDragging() const { return m_drag.IsActive(); }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    bool TakeAngleAt(pf::Point client); // false at the exact centre, which has no direction
    pf::Rect DialRect() const;

    float m_angle = 0.0f;
    CVTND_CaptureDrag m_drag;
};

float NormaliseAngle(float radians); // into [0, 2 pi); not finite: 0
