#pragma once
// SWmotioncontroller: the one timed action of type 12 an object node may own. It runs the node's older actions:
// a key-frame play or a jump (each clears the other) between frames of the node's track set or vertex frames at
// 30 frames a second, with a transition into the first frame, and beside them a timed translation and a timed
// rotation. Its times are the motion's elapsed milliseconds; it is free-running, so it never finishes on its own
// and keeps running with empty slots until its node goes (the frame step then ends it and the purge deletes it).
//
// The four slots hold actions by handle, so an action an editor deletes while it runs simply empties its slot.
// Taking an action raises the wait count of its current sequence entry, dropping it lowers it, and an action
// replaced by a newer one of its slot has its entry marked finished.
//
// Durations that are not above 0 never loop inside a step: a looping translation then moves at a rate per
// millisecond, a rotation takes 33 ms, a play counts one pass per step, and without the loop byte the whole
// amount is applied at once.
#include <cstdint>
#include <vector>

#include "engine/behaviour/action_ref.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"
#include "engine/core/quaternion.h"
#include "engine/core/vector.h"

class SWoldanimationaction;
class SWoldjumpaction;
class SWoldrotationaction;
class SWoldtranslationaction;

class SWmotioncontroller : public SWnodemotion {
public:
    static constexpr uint32_t kType = 12;
    static constexpr float kFramesPerMs = 0.03f;
    static constexpr float kZeroRotationMs = 33.0f; // a rotation stored without a duration

    explicit SWmotioncontroller(SWworld* world); // free-running, deleted when done
    ~SWmotioncontroller() override;
    SWmotion* Clone() const override; // a controller of the same world, node-motion settings copied, slots empty

    void SetNode(SWobjectnode* node); // held by handle; a node deleted later leaves the controller idle
    SWobjectnode* GetNode() const;

    // -- The slots (null actions are ignored)
    void Translate(SWoldtranslationaction* action);
    void StopTranslation();
    void Rotate(SWoldrotationaction* action);
    void StopRotation();
    void Play(SWoldanimationaction* action);
    void StopPlay();
    void JumpTo(SWoldjumpaction* action);
    void StopJump();
    SWactionnode* GetTranslation() const;
    SWactionnode* GetRotation() const;
    SWactionnode* GetPlay() const;
    SWactionnode* GetJump() const;

    void Apply() override;
    void UpdateNodeMatrices(); // the node's object, world and base world matrices with the animation matrix
    // The start of a run: the node's pending relative move dropped, then every slot emptied and the clock reset.
    void ResetForStart();
    void ClearCurrentFrame() { m_currentFrame = 0; } // the per-node reset of a full object reset

    int32_t GetCurrentFrame() const { return m_currentFrame; }
    const SWmatrix& GetAnimationMatrix() const { return m_animation; }
    float GetPlayPeriod() const { return m_playPeriodMs; }
    int32_t GetRemainingPasses() const { return m_remainingPasses; }
    bool IsForward() const { return m_forward != 0; }

private:
    struct Transition {
        CVTN_Quaternion startRotation;
        CVTN_Quaternion targetRotation;
        SWvector startTranslation;
        SWvector translationDelta;
        std::vector<float> vertexStart; // xyz per vertex
        std::vector<float> vertexDelta;
    };
    SWoldanimationaction* PlayAction() const;
    SWoldjumpaction* JumpAction() const;
    void Take(SWactionnode* action);
    void Drop(ActionRef& slot);
    void Supersede(ActionRef& slot); // a running action's entry marked finished, the slot emptied
    uint32_t ClipBase(int32_t clipId) const;
    int32_t FrameAt(const SWoldanimationaction& play, float t) const;
    void CaptureTransition(double transitionSeconds, uint8_t actionAxisLock, int32_t targetFrame, int32_t clipId);
    void ShowFrame(int32_t frame); // the track pose and the frame's vertices
    void Blend(float f);           // the transition at fraction f
    void WriteVertices(const float* positions, uint32_t count);
    void ApplyRotation(float now, SWmatrix& m);
    void ApplyTranslation(float now, SWmatrix& m);
    void ApplyPlay(float now);
    void ApplyJump(float now);
    void FoldIntoNode(SWmatrix& m);

    ActionRef m_translation;
    ActionRef m_rotation;
    ActionRef m_jump;
    ActionRef m_play;
    float m_translationStart = 0.0f;
    float m_rotationStart = 0.0f;
    float m_jumpStart = 0.0f;
    float m_playStart = 0.0f;
    SWmatrix m_rotationUndo;
    SWvector m_translationUndo;
    int32_t m_currentFrame = 0;
    int32_t m_previousFrame = 0;
    Transition m_transition;
    SWmatrix m_animation;
    float m_playPeriodMs = 0.0f;
    uint8_t m_forward = 1;
    int32_t m_remainingPasses = 0;
    NodeRef m_node;
    SWobjectnode* m_detachedNode = nullptr; // a node outside any world (tests), held by pointer
};
