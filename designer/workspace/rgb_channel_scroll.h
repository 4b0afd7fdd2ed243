#pragma once
// CVTND_RGBChannelScroll: one colour channel as a self-drawn slider with an edit box at its right. Modes 0, 1 and 2
// are red, green and blue, shown as value x 255 with "%d"; mode 3 is an intensity, shown as the value with "%g".
// While the slider is dragged it sends the parent kChannelDragging; at the end of a drag, and when a number is
// typed into the box, kChannelChanged. wParam is the control id and lParam points to the float value.
//
// A typed channel is clamped to [0, 1] before it is stored or sent: its receivers turn it back into a byte with
// c x 255 + 0.5, and 300 / 255 would wrap there to a wrong colour. A typed intensity that is not finite is 0.
#include <cstdint>

#include "designer/workspace/capture_drag.h"
#include "platform/ui/controls/control.h"

namespace pf {
class Edit;
}

class CVTND_RGBChannelScroll : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_RGBChannelScroll";
    static constexpr int32_t kEditId = 1;
    static constexpr int32_t kEditWidth = 40;

    void SetValue(float value, int32_t mode); // shows it without notifying; modes outside 0..3 read as 3
    float GetValue() const { return m_value; }
    int32_t GetMode() const { return m_mode; }
    pf::Edit* GetEdit() const;  // the box; null before the control was made
    pf::Rect TrackRect() const; // the slider's channel, client coordinates
    void Initialize();          // makes the box; WM_CREATE calls it, a subclassed placeholder calls it itself

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    void ShowValueText();
    void TakeValueAt(int32_t x);
    void ValueTyped();
    void Send(uint32_t message);

    float m_value = 0.0f;
    int32_t m_mode = 0;
    CVTND_CaptureDrag m_drag;
    bool m_updating = false; // set while the control writes its own box
};
