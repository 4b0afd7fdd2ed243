#pragma once
// SWspeechmotion: a talking head driven by a speech script. Each frame the mesh of its target object starts again
// from its rest shape, takes the script's morph-target channels weighted by their value at the frame (30 frames a
// second), turns the head node by the three angle channels (undoing the last frame's turn first), and carries the
// vertices bound to other nodes along with those nodes.
//
// The script, the mesh node and the head node are bound when the motion starts on a node: the script by its name
// when none is set, the mesh node by the name the script gives, the head as the node the motion starts on. Nodes
// are held by handle and the bound nodes cached with the world's structure generation, so a deleted node is never
// reached.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/mesh_node_motion.h"
#include "engine/behaviour/refs.h"
#include "engine/core/matrix.h"

class SWmeshobject;
class SWspeechdata;

class SWspeechmotion : public SWmeshnodemotion {
public:
    static constexpr uint32_t kType = 14;
    static constexpr int32_t kKind = 60;
    static constexpr float kFramesPerMs = 0.03f;

    explicit SWspeechmotion(SWworld* world);
    SWspeechmotion(const SWspeechmotion& other); // settings, script, mesh node and head; a fresh clock
    ~SWspeechmotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    SWmotion* Clone() const override { return new SWspeechmotion(*this); }
    bool Save(SWchunkstream& out) const override; // "7443" (the script's name), then the node-motion records
    bool Load(SWchunkstream& in) override;
    // The per-node start: also binds the script, the mesh node and the head node (see the header comment).
    void GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const override;

    void SetSpeechData(SWspeechdata* data) { m_speech = data; } // a resource of the world, or the caller's
    SWspeechdata* GetSpeechData() const { return m_speech; }
    void SetSpeechDataName(std::optional<std::string> name) { m_speechName = std::move(name); }
    const std::optional<std::string>& GetSpeechDataName() const { return m_speechName; }
    void SetHeadNode(SWobjectnode* node);
    SWobjectnode* GetHeadNode() const;
    // What the story board asks before it offers to play the motion: 0 without a script or its name, else the type.
    uint32_t IsReady() const override { return m_speech != nullptr || m_speechName ? kType : 0; }

private:
    void Bind(SWobjectnode& node);
    void TurnHead(const float angles[3]);
    void CarryBoundVertices(SWobjectnode& meshNode, SWmeshobject& mesh);

    std::optional<std::string> m_speechName;
    SWspeechdata* m_speech = nullptr;
    SWmatrix m_headMatrix; // the inverse of the head turn applied last
    NodeRef m_head;
    // Bound nodes per binding bucket, valid while m_boundStamp is the world's structure generation.
    std::vector<SWobjectnode*> m_bound;
    uint64_t m_boundStamp = UINT64_MAX;
};
