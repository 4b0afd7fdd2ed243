#pragma once
// SWcontrolchannel: one input axis of an interactive motion. It accumulates mouse pixels or keyboard amounts into a
// value (an angle, a distance or a scale), optionally clamps it, and turns the change since the last step into a
// rotation about one axis, a translation along one axis, or a uniform scale. Its owner (the channel motion) gives
// it a clock and a world.
//
// Editor names of the same fields: keep-moving is the momentum byte, friction duration the momentum time,
// apply-limits the clamp, negate the invert byte, combined rotation the sphere mode.
#include <cfloat>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>

#include "engine/behaviour/refs.h"
#include "engine/core/matrix.h"

class SWchannelmotion;
class SWchunkstream;
class SWnode;
class SWworld;

class SWcontrolchannel {
public:
    // What a channel drives. Any other stored code reads (and is set) as kNone, so the channel order never keeps a
    // channel it cannot place.
    static constexpr uint8_t kRotateX = 0, kRotateY = 1, kRotateZ = 2;
    static constexpr uint8_t kTranslateX = 4, kTranslateY = 5, kTranslateZ = 6;
    static constexpr uint8_t kNone = 10, kScale = 11;
    static constexpr float kRadiansPerPixel = 0.0062831854f; // 2 pi / 1000
    static constexpr float kPi = std::numbers::pi_v<float>;

    static bool IsRotationCode(uint8_t code) { return code < 3; }
    static bool IsTranslationCode(uint8_t code) { return code >= 4 && code <= 6; }
    static uint8_t UsableCode(uint8_t code); // kNone for codes nothing drives

    // -- Settings
    uint8_t GetInputCode() const { return m_code; }
    bool SetInputCode(uint8_t code);    // false when unchanged; new limits as the code asks; the owner re-sorts
    void SetTargetObject(SWnode* node); // and its name; null clears both
    SWnode* GetTargetObject() const;    // null when unset, gone from the tree, or without an owner in a world
    const std::optional<std::string>& GetTargetName() const { return m_targetName; }
    void SetTargetName(std::optional<std::string> name) { m_targetName = std::move(name); }
    float GetMinimum() const { return m_minimum; }
    float GetMaximum() const { return m_maximum; }
    void SetMinimum(float v) { m_minimum = v; }
    void SetMaximum(float v) { m_maximum = v; }
    float GetScale() const { return m_scale; }
    void SetScale(float v) { m_scale = v; }
    bool HasMomentum() const { return m_momentum != 0; }
    void SetMomentum(bool on) { m_momentum = on ? 1 : 0; }
    float GetMomentumTime() const { return m_momentumTimeMs; }
    void SetMomentumTime(float ms) { m_momentumTimeMs = ms; }
    bool IsClamped() const { return m_clamp != 0; }
    void SetClamp(bool on) { m_clamp = on ? 1 : 0; }
    uint8_t GetFrameBits() const { return m_frameBits; }
    void SetFrameBits(uint8_t bits) { m_frameBits = bits; }
    const SWmatrix& GetFixedMatrix() const { return m_fixedMatrix; }
    void SetFixedMatrix(const SWmatrix& m) { m_fixedMatrix = m; }
    bool GetUseFixedMatrix() const { return m_useFixed != 0; }
    void SetUseFixedMatrix(bool on) { m_useFixed = on ? 1 : 0; }
    bool IsInverted() const { return m_invert != 0; }
    void SetInvert(bool on) { m_invert = on ? 1 : 0; }
    bool IsSphereMode() const { return m_sphere != 0; }
    void SetSphereMode(bool on) { m_sphere = on ? 1 : 0; }
    void SetOwner(SWchannelmotion* owner) { m_owner = owner; } // the motion that holds this channel
    void CopyTo(SWcontrolchannel& other) const;                // the settings, not the running state or owner

    // -- Running state
    float GetValue() const { return m_value; }
    float GetChange() const { return m_change; }
    bool IsActive() const { return m_active != 0; }
    bool IsMomentumActive() const { return m_momentumActive != 0; }
    int32_t GetLastAmount() const { return m_lastAmount; }
    void Feed(SWworld* world, int32_t pixels); // mouse input
    void FeedValue(float amount);              // keyboard input, already in the channel's units
    void BeginDrag();
    void EndDrag();
    float GetLastTime(bool update); // the owner time of the last keyboard feed; update: now
    SWmatrix BuildMatrix();         // the change since the last call as a matrix, momentum fed first
    void Reset(bool onLoop);        // unless on a loop boundary: value, change and momentum back to rest

    // -- Record "7492"
    bool Write(SWchunkstream& out) const;
    bool Read(SWchunkstream& body); // false: damaged, the channel unchanged

private:
    float OwnerTime() const;
    SWworld* OwnerWorld() const;
    void Accumulate(float delta);

    std::optional<std::string> m_targetName;
    // Configuration only, never followed by the steps; the editors show it, and its node may be deleted while no
    // editor is open: held by id and resolved in the owner's world.
    NodeRef m_target;
    uint8_t m_code = kRotateX;
    float m_value = 0.0f;
    float m_change = 0.0f;
    SWchannelmotion* m_owner = nullptr; // owns this channel
    float m_momentumStartMs = 0.0f;
    uint8_t m_momentumActive = 0;
    int32_t m_lastAmount = 0;
    float m_minimum = -kPi;
    float m_maximum = kPi;
    uint8_t m_pressed = 0;
    float m_lastTimeMs = 0.0f;
    float m_previousScale = 1.0f;
    uint8_t m_sphere = 0;
    float m_scale = 1.0f;
    uint8_t m_momentum = 0;
    float m_momentumTimeMs = 2000.0f;
    uint8_t m_clamp = 0;
    uint8_t m_frameBits = 136;
    SWmatrix m_fixedMatrix;
    uint8_t m_useFixed = 0;
    uint8_t m_invert = 0;
    uint8_t m_active = 0;
};

bool IsRotationInputCode(uint8_t code); // the editors' test: 0, 1 and 2
