#pragma once
// SWnavigationmotion (timed-action type 16): walks a node, usually the camera, with keys and mouse-look. In walk
// mode forward movement stays horizontal (world Z is up) and turning is about the world's vertical through the
// node; in free mode every channel acts in the node's own axes and there is no mouse-look.
//
// Channels: 0 turn, 1 forward, 4 sideways, 5 tilt (clamped to +-1.55 rad); 2 and 3 are never fed. Held keys set
// key bits between input events; each step feeds the channels by the time since their last feed.
//
// Records: "7443" (free mode, six keys, walk speed, turn rate) and, in walk mode only, "GNHM" (the other keys,
// the mouse-look buttons, the spare value, run and slow speeds, the spare flag); keys are stored by code.
#include <array>
#include <cstdint>

#include "engine/behaviour/channel_motion.h"

class SWnavigationmotion : public SWchannelmotion {
public:
    static constexpr uint32_t kType = 16;
    static constexpr int kSlotCount = 15;
    static constexpr float kMouseLookFactor = -61842.375f;

    explicit SWnavigationmotion(SWworld* world); // the default keys from the world's key table
    SWmotion* Clone() const override;            // the settings and free mode; no held keys, no mouse-look

    void Apply() override;
    void MouseDown(int32_t x, int32_t y, uint8_t buttons) override;
    void MouseUp(int32_t x, int32_t y, uint8_t buttons) override;
    void MouseMove(SWworld* world, int32_t dx, int32_t dy, uint8_t buttons) override;
    void KeyDown(const SWkeyentry* key) override;
    void KeyUp(const SWkeyentry* key) override;
    void EndMouseLook(); // mouse-look off; the world learns navigation changed
    // The driven node was reset under it: held movement stops and every channel starts again from 0.
    void ReloadState();

    bool IsFreeMode() const { return m_freeMode != 0; }
    void SetFreeMode(uint8_t on) { m_freeMode = on; }
    uint16_t GetKeyBits() const { return m_keyBits; }
    bool IsMouseLook() const { return m_mouseLook != 0; }
    const SWkeyentry* GetKeySlot(int slot) const;
    void SetKeySlot(int slot, const SWkeyentry* key); // out-of-range slots are ignored
    uint8_t GetMouseLookButtons() const { return m_mouseLookButtons; }
    void SetMouseLookButtons(uint8_t buttons) { m_mouseLookButtons = buttons; }
    float GetWalkSpeed() const { return m_walkSpeed; }
    float GetRunSpeed() const { return m_runSpeed; }
    float GetSlowSpeed() const { return m_slowSpeed; }
    float GetTurnRate() const { return m_turnRate; }

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override; // false: a record could not be opened or was short

private:
    int MatchSlot(const SWkeyentry* key) const; // the first slot in the test order, or -1
    void FeedHeldKeys(float now);
    void BeginMouseLook();
    void StopMouseLook();
    void SetRunState(uint8_t state);
    void WriteKey(SWchunkstream& out, int slot) const;
    const SWkeyentry* ReadKey(SWchunkstream& in) const;

    uint8_t m_freeMode = 0;
    uint16_t m_keyBits = 0;
    uint8_t m_mouseLook = 0;
    std::array<const SWkeyentry*, kSlotCount> m_slots{}; // entries of the world's key table, which outlives us
    uint8_t m_mouseLookButtons = kButtonRight;
    float m_turnRate = 1.5707964f;
    float m_walkSpeed = 1.34f;
    float m_runSpeed = 2.68f;
    float m_slowSpeed = 0.67f;
    float m_spareValue = 0.0f;
    uint8_t m_spareFlag = 1;
};
