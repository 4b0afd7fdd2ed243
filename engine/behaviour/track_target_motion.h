#pragma once
// SWtracktargetmotion (action kind 42, timed-action type 4): turns its node every step so that one of its axes
// (the aim axis, 0 X, 1 Y, 2 Z; SetAimOption) points at a target node, or away from it; a camera's Z axis aims
// away, as cameras look down -Z. The increment is the whole correction, so with the local frame (option 1) the
// axis points at the target after one step and the increment is the identity from then on.
//
// A target along the axis perpendicular to the turn has no direction in that plane: the first rotation is then the
// identity rather than a division by zero folded into the node for good. A target on the node itself gives no
// direction at all, so the node keeps its pose.
//
// Option 2, option 3 and values 1..6 are the editor's; they are kept, copied and (1..4) saved, never used here.
//
// Records: "7443" { f64 duration; u16 aim axis; string target name; u8 aim away; u8 option 2; u8 option 3;
// f32 values 1..4 }, then the node motion's "7444" and "7486".
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"

class SWtracktargetmotion : public SWnodemotion {
public:
    static constexpr uint32_t kType = 4;
    static constexpr float kSmallestLength = 1e-20f;
    static constexpr float kOnTheNode = 1e-6f; // a target nearer than this is on the node: no turn

    explicit SWtracktargetmotion(SWworld* world);
    SWtracktargetmotion(const SWtracktargetmotion& other); // a running copy
    ~SWtracktargetmotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    SWmotion* Clone() const override { return new SWtracktargetmotion(*this); }
    // Without a target name there is nothing to aim at: not ready.
    uint32_t IsReady() const override { return m_targetName && !m_targetName->empty() ? SWnodemotion::IsReady() : 0; }

    void SetTargetName(std::optional<std::string> name); // forgets the resolved target
    const std::optional<std::string>& GetTargetName() const { return m_targetName; }
    void SetTarget(SWnode* node);                               // the resolved target; the start handler's
    SWnode* GetTarget() const { return m_target.Get(m_world); } // null when unresolved or gone from the tree
    // The start's: an object node found by the target name from the root becomes the target, unless one is held.
    // A motion read from a file has the name alone.
    void ResolveTarget();
    void SetOwnNode(SWnode* node); // the node this motion turns; the start handler's
    uint16_t GetAimOption() const { return m_aimAxis; }
    void SetAimOption(uint16_t axis) { m_aimAxis = axis; }
    bool GetAimAway() const { return m_aimAway != 0; }
    void SetAimAway(bool on) { m_aimAway = on ? 1 : 0; }
    uint8_t GetOption(int i) const { return i == 2 ? m_option2 : i == 3 ? m_option3 : 0; }
    void SetOption(int i, uint8_t value);
    float GetValue(int i) const { return i >= 1 && i <= 6 ? m_values[static_cast<size_t>(i - 1)] : 0.0f; }
    void SetValue(int i, float value);
    bool IsRunningCopy() const { return m_runningCopy != 0; }

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override; // false when damaged; what was read stays

private:
    SWmatrix m_aim; // kept for the editor; the step does not read it
    uint16_t m_aimAxis = 2;
    std::optional<std::string> m_targetName;
    NodeRef m_target;
    NodeRef m_ownNode;
    uint8_t m_aimAway = 0;
    uint8_t m_option2 = 0;
    uint8_t m_option3 = 0;
    std::array<float, 6> m_values = {};
    uint8_t m_runningCopy = 0;
};
