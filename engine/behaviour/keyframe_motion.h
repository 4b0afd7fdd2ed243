#pragma once
// Key-frame motions: SWkeyframemotion plays a range of frames of a node's key-frame block (timed-action type 1,
// action kind 44); SWkeyframejumpmotion moves a node to one frame of it, optionally over a transition (type 6,
// kind 47). Frames are 33.333 ms apart (0.03 frames per ms).
//
// The block: an empty block name, or the default animation name, is the node's default track; any other name must
// name a track of the node, else nothing plays. Block and node are held by handle, so a node deleted while the
// motion runs leaves it doing nothing.
//
// Each frame undoes the transform applied last and applies the new one (B := applied inverse x M), so the node's
// pose when the play starts is the base of every frame. A blend moves the node from that pose to the start frame's
// transform over the blend time; the blend's target is the block's matrix at the start frame, which is where the
// first frame then puts the node. Options 4 and 5 both set keep the applied transform across pass boundaries.
//
// An explicit duration that is not above 0 is no explicit duration: the frames run at 0.03 per ms.
//
// Alias names: SetTransitionTime is SetBlendTime, SetExtendedTime is SetExplicitDuration, SetExtendTime is
// SetUseExplicitDuration; apply to children, reset position and reset orientation are options 2, 4 and 5. For the
// jump, apply to children is option 2; UpdateTargetTransform is its StretchDuration.
//
// Records (then the node motion's "7444" and "7486"):
//   play: "7443" { f64 blend time; u8 options 1, 2, 3; u32 start frame; u32 end frame; u8 use explicit duration;
//         f64 explicit duration; u32 option value; u8 options 4, 5 }, "7469" { string block name }
//   jump: "7443" { f64 transition time; u8 options 1, 2; u32 frame; u32 option value }, "7469" { string block name }
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"
#include "engine/core/quaternion.h"
#include "engine/core/vector.h"

class AnimationTrack;
class SWactionnode;
class SWobjectnode;

inline constexpr double kKeyFramesPerMs = 0.03;
inline constexpr double kKeyFrameMs = 33.333333333333336;

// The frame shown at local time ms: offset is the blend time (or a vertex motion's time offset); with an explicit
// duration above 0 the range is spread over it. Backwards (start > end) the frame is one below start - k. Never
// negative; a time that is not a number shows the start.
int32_t KeyFrameAt(float ms, float offsetMs, int32_t start, int32_t end, bool useExplicit, float explicitMs);
// The play time of a frame range: |end - start| frames, or the explicit duration when it is used and above 0.
float KeyFrameRangeMs(int32_t start, int32_t end, bool useExplicit, float explicitMs);
// The end frame a binding gives an unset end: the frame count, held to the largest frame number a motion stores.
int32_t EndFrameOfCount(uint32_t frameCount);

// A node's key-frame block as the motions name it: the default track for an empty or default name.
class KeyFrameBlockRef {
public:
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::optional<std::string>& GetName() const { return m_name; }
    bool Bind(SWworld* world, SWobjectnode* node); // false (unbound) when the node has no such block
    void Unbind() { m_node.Reset(); }
    bool IsBound() const { return m_node.IsSet(); }
    SWobjectnode* GetNode(const SWworld* world) const; // null when unbound or gone
    uint32_t GetFrameCount(const SWworld* world) const;
    uint32_t FrameCountOn(const SWobjectnode& node) const; // 0 when node has no such block
    // The block's matrix at frame (its key, else the track set's default slot); null when unbound, gone or
    // renamed away.
    const SWmatrix* GetMatrix(const SWworld* world, int32_t frame) const;

private:
    bool IsDefault() const;
    std::optional<std::string> m_name;
    NodeRef m_node;
};

class SWkeyframemotion : public SWnodemotion {
public:
    static constexpr uint32_t kType = 1;

    explicit SWkeyframemotion(SWworld* world);
    SWkeyframemotion(const SWkeyframemotion& other); // a running copy: settings kept, unbound
    ~SWkeyframemotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    void Finish() override; // done, and once one motion-finished record naming the node
    SWmotion* Clone() const override { return new SWkeyframemotion(*this); }

    // The start handler's binding: the block on node and the node; an unset end frame (-1) becomes the block's
    // frame count. False, with nothing bound, when the node has no such block.
    bool Bind(SWobjectnode& node);
    void Unbind() { m_block.Unbind(); } // the editors' pose: the block let go again, the settings kept
    SWobjectnode* GetBoundNode() const { return m_block.GetNode(m_world); }
    // An unset end frame becomes the frame count a binding to node gives it; false, with nothing changed, when node
    // has no frames of the block.
    bool SettleFrames(const SWobjectnode& node);
    int32_t GetCurrentFrame() const { return m_frame; } // the frame the last Apply showed; -1 while blending

    float GetBlendTime() const { return m_blendMs; }
    void SetBlendTime(float ms);
    void SetTransitionTime(float ms) { SetBlendTime(ms); }
    int32_t GetStartFrame() const { return m_startFrame; }
    void SetStartFrame(int32_t frame);
    int32_t GetEndFrame() const { return m_endFrame; }
    void SetEndFrame(int32_t frame);
    float GetExplicitDuration() const { return m_explicitMs; }
    void SetExplicitDuration(float ms);
    void SetExtendedTime(float ms) { SetExplicitDuration(ms); }
    bool GetUseExplicitDuration() const { return m_useExplicit != 0; }
    void SetUseExplicitDuration(bool on);
    void SetExtendTime(bool on) { SetUseExplicitDuration(on); }
    const std::optional<std::string>& GetBlockName() const { return m_block.GetName(); }
    void SetBlockName(std::optional<std::string> name) { m_block.SetName(std::move(name)); }
    uint8_t GetOption(int i) const; // 1..5; 0 outside
    void SetOption(int i, uint8_t value);
    int32_t GetOptionValue() const { return m_optionValue; }
    void SetOptionValue(int32_t value) { m_optionValue = value; }
    bool GetApplyToChildren() const { return m_options[1] != 0; } // the start handler's visit-tree choice
    const CVTN_Quaternion& GetRotationToBlend() const { return m_blendRotation; }
    const SWvector& GetTranslationToBlend() const { return m_blendTranslation; }

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override;

private:
    void Recompute();

    SWmatrix m_appliedInverse;
    float m_blendMs = 0.0f;
    CVTN_Quaternion m_blendRotation;
    SWvector m_blendTranslation;
    KeyFrameBlockRef m_block;
    int32_t m_startFrame = 0;
    int32_t m_endFrame = -1;
    float m_explicitMs = 0.0f;
    uint8_t m_useExplicit = 0;
    std::array<uint8_t, 5> m_options = {0, 1, 0, 1, 1};
    int32_t m_optionValue = 0;
    int32_t m_frame = -1;
};

class SWkeyframejumpmotion : public SWnodemotion {
public:
    static constexpr uint32_t kType = 6;

    explicit SWkeyframejumpmotion(SWworld* world);
    SWkeyframejumpmotion(const SWkeyframejumpmotion& other); // a running copy: settings kept, unbound
    ~SWkeyframejumpmotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    void StretchDuration(float ms) override { UpdateTargetTransform(ms); }
    SWmotion* Clone() const override { return new SWkeyframejumpmotion(*this); }

    // The start handler's binding, then the frame's transform taken from the block. False, with nothing bound,
    // when the node has no such block.
    bool Bind(SWobjectnode& node);
    void Unbind() { m_block.Unbind(); } // the editors' pose: the block let go again, the settings kept
    SWobjectnode* GetBoundNode() const { return m_block.GetNode(m_world); }

    int32_t GetFrame() const { return m_frame; }
    void SetFrame(int32_t frame) { m_frame = frame; }
    // An unset frame (-1, which runs as frame 0) becomes 0; false, with nothing changed, when node has no frames of
    // the block.
    bool SettleFrames(const SWobjectnode& node);
    float GetTransitionTime() const { return m_durationMs; }
    // Transition time and duration := ms; with a bound block, the target transform from the block's frame (always
    // taken, so a jump without transition still goes there).
    void UpdateTargetTransform(float ms);
    const std::optional<std::string>& GetBlockName() const { return m_block.GetName(); }
    void SetBlockName(std::optional<std::string> name) { m_block.SetName(std::move(name)); }
    uint8_t GetOption(int i) const; // 1..2; 0 outside
    void SetOption(int i, uint8_t value);
    int32_t GetOptionValue() const { return m_optionValue; }
    void SetOptionValue(int32_t value) { m_optionValue = value; }
    bool GetApplyToChildren() const { return m_options[1] != 0; }
    const CVTN_Quaternion& GetTargetRotation() const { return m_rotation; }
    const SWvector& GetTargetTranslation() const { return m_translation; }

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override;

private:
    SWmatrix m_appliedInverse;
    KeyFrameBlockRef m_block;
    int32_t m_frame = -1;
    CVTN_Quaternion m_rotation;
    SWvector m_translation;
    std::array<uint8_t, 2> m_options = {0, 1};
    int32_t m_optionValue = 0;
};

// A new play or jump whose targets are now known: its unset frames take what a start on its first target with the
// block plays, so that the time line, the editor and the saved file hold what runs from the first run on. Frames
// already set, and other actions, are left as they are.
void SettleNewKeyFrames(SWactionnode& action);
