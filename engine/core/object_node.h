#pragma once
// SWobjectnode: a node with a transform. Its local matrix (node to parent) is the current value of its built-in
// "Transform" variable, whose initial value is the rest transform; "Position" and "Rotation" view it. The world's
// updates derive the other matrices, with column vectors:
//
//   X = local x animation (the controller's; the identity without one)
//   object = X;  world = parent's world x X when the parent is an object node, else X
//   base world = the same without the animation matrix
//   the geometry's render matrix = world x the geometry's own matrix
//
// A pending transform P (ApplyTransform) is folded at the next update as local := local x P: a move in the node's
// own frame. Setting the local matrix directly is not an assignment: it leaves the variable's previous value.
#include <cstdint>
#include <memory>

#include "engine/core/animation_data.h"
#include "engine/core/matrix.h"
#include "engine/core/node.h"

class SWmotioncontroller;
class SWnodemotion;
class SWproperty;
class TypedValueTransform;

// A link from a node to one of its running timed actions, with the reference frame the channel motions captured.
class SWtimedactionentry : public SWlistnode {
public:
    explicit SWtimedactionentry(SWnodemotion* motion) : motion(motion) {}
    SWnodemotion* motion; // owned by the world's timed-action table
    SWmatrix frame;
};

class SWobjectnode : public SWnode {
public:
    static constexpr uint16_t kFlagVertexAnimated = 0x20;
    static constexpr uint16_t kFlagRelativeInOwnFrame = 0x40;

    explicit SWobjectnode(uint16_t extraKinds = 0); // kind 1 plus extraKinds, with its built-in variables
    ~SWobjectnode() override;
    // The object node a node is, or null: what dynamic_cast<SWobjectnode*> answers, without its cost.
    static SWobjectnode* FromNode(SWnode* n)
    {
        return n != nullptr && n->IsOfClass(kClassObjectNode) ? static_cast<SWobjectnode*>(n) : nullptr;
    }
    static const SWobjectnode* FromNode(const SWnode* n)
    {
        return n != nullptr && n->IsOfClass(kClassObjectNode) ? static_cast<const SWobjectnode*>(n) : nullptr;
    }

    // -- Matrices (copies)
    SWmatrix GetLocalMatrix() const;
    void SetLocalMatrix(const SWmatrix& m);
    SWmatrix GetInitialMatrix() const;
    void SetInitialMatrix(const SWmatrix& m); // the rest transform, also made the current local matrix
    const SWmatrix& GetWorldMatrix() const { return m_world; }
    void SetWorldMatrix(const SWmatrix& m) { m_world = m; }
    const SWmatrix& GetObjectMatrix() const { return m_object; }
    void SetObjectMatrix(const SWmatrix& m) { m_object = m; }
    const SWmatrix& GetBaseWorldMatrix() const { return m_baseWorld; }
    const SWmatrix& GetAnimationMatrix() const { return m_animation; }
    void SetAnimationMatrix(const SWmatrix& m) { m_animation = m; } // the motion controller's
    void ApplyTransform(const SWmatrix& p); // pending, in the node's own frame; several compose in order
    void Translate(float x, float y, float z);
    bool HasPendingTransform() const { return m_hasPending; }
    const SWmatrix& GetPendingMatrix() const;                        // the identity while none is pending
    SWmatrix& PendingRelativeMatrix() { return Pending().relative; } // the controller's
    uint8_t& PendingRelativeByte() { return Pending().relativeSet; }
    // Folds the pending transform, then recomputes this node's matrices from its parent's.
    void UpdateMatrices(const SWnode* parent);
    void UpdateRenderMatrix() const; // the geometry's render matrix from the world matrix
    void RefreshObjectMatrix();      // object := local x animation, then the render matrix

    // -- Built-in variables (made when first asked for; the matrices above are the node's own until then and after)
    SWproperty* GetTransformVariable() const
    {
        MakeDeferredVariables();
        return m_transformVariable;
    }

    // -- Motion state
    uint8_t GetAxisLock() const { return m_axisLock; }
    void SetAxisLock(uint8_t bits) { m_axisLock = bits; }
    uint8_t GetHasKeyFrameMatrices() const { return m_hasKeyFrames; }
    void SetHasKeyFrameMatrices(uint8_t on) { m_hasKeyFrames = on; }
    AnimationTrackSet& GetAnimationTracks() { return m_tracks; }
    const AnimationTrackSet& GetAnimationTracks() const { return m_tracks; }
    VertexFrameTable* GetVertexFrameTable() const { return m_vertexFrames.get(); }
    void SetVertexFrameTable(std::unique_ptr<VertexFrameTable> table) { m_vertexFrames = std::move(table); }
    // The storage rows chosen for its key frames and vertex frames (scheme ids; 0: the kind's default).
    uint32_t GetKeyFrameSchemeId() const { return m_keyFrameScheme; }
    void SetKeyFrameSchemeId(uint32_t id) { m_keyFrameScheme = id; }
    uint32_t GetVertexSchemeId() const { return m_vertexScheme; }
    void SetVertexSchemeId(uint32_t id) { m_vertexScheme = id; }
    uint8_t& RunKeyState() { return m_keyStates[0]; }
    uint8_t& SlotTwelveKeyState() { return m_keyStates[1]; }

    // -- Timed actions
    SWtimedactionentry* GetTimedActions() const;
    SWtimedactionentry* AttachTimedAction(SWnodemotion* motion); // a new entry, frame the identity
    bool DeleteTimedAction(SWtimedactionentry* entry);
    SWtimedactionentry* FindTimedActionEntry(const SWnodemotion* motion) const;
    // The node's type-12 timed action; with create, a missing one is built for world, bound to this node, put
    // into the world's timed-action table and started. Null without one (or without a world to create in).
    SWmotioncontroller* GetMotionController(SWworld* world, bool create);

    void SetVisible(bool visible); // the geometry's hidden and visible bytes
    int GetKindCode() const;       // 1 mesh, camera, root; 4 particle geometry; 3 hot spot; else 2

protected:
    void MakeDeferred() override;
    void ResetDeferred() override;

private:
    // What only moving nodes use, made when first wanted (most nodes of a large world never move).
    struct PendingState {
        SWmatrix pending;
        SWmatrix relative;
        uint8_t relativeSet = 0;
    };
    PendingState& Pending();

    // Two copies of the "Transform" variable, whose values view them once it is made; the third, the previous
    // value, equals the initial one until then (only an assignment through the variable sets it apart), and is the
    // variable's own from then on.
    SWmatrix m_local;
    SWmatrix m_localInitial;
    SWproperty* m_transformVariable = nullptr; // owned by this node's variable list; null until made
    std::unique_ptr<SWmatrix> m_localPrevious; // made with the variable
    SWmatrix m_world;
    SWmatrix m_object;
    SWmatrix m_baseWorld;
    SWmatrix m_animation;
    std::unique_ptr<PendingState> m_pendingState;
    bool m_hasPending = false;
    uint8_t m_axisLock = 0;
    uint8_t m_hasKeyFrames = 0;
    uint8_t m_keyStates[2] = {0, 0};
    AnimationTrackSet m_tracks;
    std::unique_ptr<VertexFrameTable> m_vertexFrames;
    uint32_t m_keyFrameScheme = 0;
    uint32_t m_vertexScheme = 0;
    SWlist m_timedActions; // of SWtimedactionentry
};

// The product of the local matrices of node and of its object-node ancestors up to the first that is not one.
SWmatrix ComputeNodeToWorldMatrix(const SWnode& node);
