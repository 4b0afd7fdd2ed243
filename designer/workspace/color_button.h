#pragma once
// CVTND_ColorButton: a push button that shows a colour. Its owner calls ChooseColor on the click; the colour dialog
// opens full, at the channels x 255, and a confirmed choice becomes the button's colour.
//
// Channels are floats 0..1; a byte is the integer part of c x 255 + 0.5 (c clamped to [0, 1] first, so a channel
// out of range never wraps) and back c = byte / 255, so every byte survives the round trip.
#include <array>
#include <cstdint>

#include "platform/base/color.h"
#include "platform/ui/controls/button.h"

namespace pf {
class Window;
}

class CVTND_ColorButton : public pf::Button {
public:
    static constexpr const char* kClassName = "CVTND_ColorButton";

    void SetColor(float red, float green, float blue, float fourth = 1.0f); // the fourth is kept, never drawn
    std::array<float, 3> GetColor() const { return m_rgb; }
    float GetFourth() const { return m_fourth; }
    pf::ColorRef GetColorRef() const;    // the channels as bytes
    bool ChooseColor(pf::Window* owner); // true when the person confirmed a colour, which the button then holds

    static uint8_t ChannelToByte(float channel);
    static float ByteToChannel(uint8_t byte) { return static_cast<float>(byte) / 255.0f; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();

    std::array<float, 3> m_rgb = {0.0f, 0.0f, 0.0f};
    float m_fourth = 1.0f;
};
