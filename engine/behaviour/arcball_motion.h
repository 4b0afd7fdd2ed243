#pragma once
// SWarcballmotion (timed-action type 5): turns and moves a node with mouse drags. Each button feeds two channels
// (left 0/1, middle 2/3, right 4/5) with the drag's x and y; in centred mode the offset from the view's centre
// is fed every step instead. Pressing left and right together counts as the middle button when two-button middle
// is set. An exclusive arcball ends every other arcball when it starts.
//
// Editor names of the same things: deactivate-others is exclusive, input mode is centred, two-button emulation is
// two-button middle, translation sensitivities are the axis speeds, SetButtonFunction is SetButtonPreset.
//
// Records: "7491" (exclusive, centred, two-button middle), six "7492" (the channels, each ending with its sphere
// mode), then the node motions' shared records. Older files hold "7443" (a duration, a momentum time, a preset
// per button and the axis speeds) or "7472" (exclusive alone) instead.
#include <array>
#include <cstdint>

#include "engine/behaviour/channel_motion.h"

class SWarcballmotion : public SWchannelmotion {
public:
    static constexpr uint32_t kType = 5;
    static constexpr uint8_t kPresetCount = 21;

    explicit SWarcballmotion(SWworld* world);
    SWmotion* Clone() const override; // everything but the exclusive byte; caller owns

    void Apply() override;
    void MouseDown(int32_t x, int32_t y, uint8_t buttons) override;
    void MouseUp(int32_t x, int32_t y, uint8_t buttons) override;
    void MouseMove(SWworld* world, int32_t dx, int32_t dy, uint8_t buttons) override;

    // button 2 left, 4 middle, 1 right; presets above 20 change nothing.
    void SetButtonPreset(uint8_t button, uint8_t preset, float speedX, float speedY, float speedZ, bool momentum,
                         float momentumTimeMs);
    void SetButtonFunction(uint8_t button, uint8_t preset, float speedX, float speedY, float speedZ, bool momentum,
                           float momentumTimeMs)
    {
        SetButtonPreset(button, preset, speedX, speedY, speedZ, momentum, momentumTimeMs);
    }

    bool IsExclusive() const { return m_exclusive != 0; }
    void SetExclusive(bool on) { m_exclusive = on ? 1 : 0; }
    bool IsCentred() const { return m_centred != 0; }
    void SetCentred(bool on) { m_centred = on ? 1 : 0; }
    bool IsTwoButtonMiddle() const { return m_twoButtonMiddle != 0; }
    void SetTwoButtonMiddle(bool on) { m_twoButtonMiddle = on ? 1 : 0; }
    const std::array<float, 3>& GetAxisSpeeds() const { return m_axisSpeeds; }
    // Axis 0..2 (others change nothing). No record keeps it: the translation channels' scales, set with it, carry it.
    void SetAxisSpeed(int axis, float speed)
    {
        if (axis >= 0 && axis < 3)
            m_axisSpeeds[static_cast<size_t>(axis)] = speed;
    }
    int32_t GetDragX() const { return m_dragX; }
    int32_t GetDragY() const { return m_dragY; }

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override; // false: damaged; what was read stays

private:
    static int FirstChannelOf(uint8_t button); // 0, 2 or 4; -1 for anything else
    void ForEachChannelOf(uint8_t buttons, void (*action)(SWcontrolchannel&, void*), void* context);
    bool ReadOlderRecord(SWchunkstream& body);
    bool ReadNodeRecord(uint32_t tag, SWchunkstream& body); // keeps the option byte as stored, for older records
    void TakeNodeMotionFrames(); // after an older record: each channel's frame from the node-motion options

    int32_t m_dragX = 0;
    int32_t m_dragY = 0;
    uint8_t m_exclusive = 0;
    uint8_t m_centred = 0;
    uint8_t m_twoButtonMiddle = 1;
    std::array<float, 3> m_axisSpeeds{1.0f, 1.0f, 1.0f};
    uint8_t m_storedOptions = 1; // the node-motion option byte as read, before its setter tidies it
};
