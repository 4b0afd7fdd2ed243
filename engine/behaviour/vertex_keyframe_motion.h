#pragma once
// SWvertexkeyframemotion: plays (timed-action type 7, action kind 50) the per-frame vertex positions of a mesh
// node's vertex frame table into its mesh, or moves the vertices to one frame over the time offset (type 8, kind
// 51). Before the time offset, and always when jumping, each vertex moves from where it stood at the start towards
// the start frame's position. Written vertices grow the mesh's bounds, and the normals follow.
//
// The frame table and the mesh need not agree on the vertex count: only the vertices both have are read and
// written.
//
// Alias: apply to children is the option byte (GetApplyToChildren).
//
// Record: "7443" { f64 time offset; u8 option; u32 start frame; u32 end frame; u8 use explicit duration;
// f64 explicit duration; u32 option value }, then the node motion's "7444" and "7486".
#include <cstdint>

#include "engine/behaviour/mesh_node_motion.h"

class VertexFrameTable;

class SWvertexkeyframemotion : public SWmeshnodemotion {
public:
    static constexpr uint32_t kPlay = 7;
    static constexpr uint32_t kJump = 8;
    static constexpr float kJumpOffsetMs = 1000.0f;

    explicit SWvertexkeyframemotion(SWworld* world, uint32_t mode = kPlay);
    SWvertexkeyframemotion(const SWvertexkeyframemotion& other); // a running copy: settings kept, unbound
    ~SWvertexkeyframemotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    SWmotion* Clone() const override { return new SWvertexkeyframemotion(*this); }

    // The start handler's binding: a node carrying vertex frames with a frame table becomes the target; an unset
    // end frame (-1) becomes the table's frame count. False, with nothing bound, for any other node.
    bool Bind(SWobjectnode& node);
    VertexFrameTable* GetVertexFrameTable() const; // the target's; null when unbound or gone

    bool SetMode(uint32_t mode); // 7 or 8 (which also sets the time offset to 1000 ms); false otherwise
    uint32_t GetMode() const { return GetType(); }
    float GetTimeOffset() const { return m_offsetMs; }
    void SetTimeOffset(float ms);
    int32_t GetStartFrame() const { return m_startFrame; }
    void SetStartFrame(int32_t frame);
    int32_t GetEndFrame() const { return m_endFrame; }
    void SetEndFrame(int32_t frame);
    float GetExplicitDuration() const { return m_explicitMs; }
    void SetExplicitDuration(float ms);
    bool GetUseExplicitDuration() const { return m_useExplicit != 0; }
    void SetUseExplicitDuration(bool on);
    uint8_t GetOption() const { return m_option; }
    void SetOption(uint8_t value) { m_option = value; }
    bool GetApplyToChildren() const { return m_option != 0; } // the start handler's visit-tree choice
    uint32_t GetOptionValue() const { return m_optionValue; }
    void SetOptionValue(uint32_t value) { m_optionValue = value; }
    int32_t GetCurrentFrame() const { return m_frame; } // the frame the last Apply copied; -1 when none

    bool Save(SWchunkstream& out) const override;
    bool Load(SWchunkstream& in) override;

private:
    void Recompute();

    float m_offsetMs = 0.0f;
    int32_t m_startFrame = 0;
    int32_t m_endFrame = -1;
    float m_explicitMs = 0.0f;
    uint8_t m_useExplicit = 0;
    uint8_t m_option = 1;
    uint32_t m_optionValue = 0;
    int32_t m_frame = -1;
};
