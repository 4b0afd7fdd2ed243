#pragma once
// SWmotion: the clock of every timed action, and SWnodemotion, a motion bound to scene nodes and to the sequence
// that waits for it. This is their data model and the operations that only set fields; each motion kind adds its
// clock and its effect.
//
// Alias names of the loop setters: SetLoopForever is SetLoop, SetLoopCount is SetRepeatCount, SetPingPong is
// SetOscillate.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/action_queue_entry.h"
#include "engine/behaviour/refs.h"
#include "engine/core/matrix.h"

class SWchunkstream;
class SWobjectnode;
class SWsound;
class SWtimedactionentry;
class SWworld;
class SWnode;

class SWmotion {
public:
    static constexpr int kMaxWrapsPerStep = 64;

    explicit SWmotion(SWworld* world) : m_world(world) {}
    SWmotion(const SWmotion&) = default;
    SWmotion& operator=(const SWmotion&) = delete;

    virtual void Apply() {}
    virtual void Reset(bool onPassBoundary); // false: the clock back to unstepped and not done
    virtual void Rewind();                   // stopped, forward, from the first pass
    virtual void Finish() { m_done = 1; }
    virtual ~SWmotion() = default;
    // Advances to the frame time nowMs (or, with a synchronised sound, to the sound's position) and calls Apply at
    // the new local time; false once the motion has ended or is done. One step wraps at most kMaxWrapsPerStep
    // passes one by one, applying at each; the passes beyond are counted at once and applied at the end only.
    virtual bool Step(float nowMs);
    virtual bool AcceptsValue(uint32_t) { return true; }
    virtual void SetTime(float ms); // jumps to ms (world-time-driven motions), never finishing
    virtual void Start();           // resumes when paused; else the clock from 0, its sound played
    virtual void Pause()
    {
        m_running = 0;
        m_paused = 1;
    }
    virtual void Stop(); // idle with the clock reset; a playing synchronised sound is stopped
    virtual bool SetLoop(bool forever) { return (m_loopForever = forever ? 1 : 0) != 0; }
    // The passes left follow, so a motion (or a generator, which runs from its construction) set to n passes
    // runs n from here.
    virtual int32_t SetRepeatCount(int32_t count) { return m_passesLeft = m_loopCount = count; }
    virtual bool SetOscillate(bool on) { return (m_pingPong = on ? 1 : 0) != 0; }
    virtual float GetDuration() const { return m_durationMs; }
    virtual void SetDuration(float ms) { m_durationMs = ms; }
    virtual void StretchDuration(float ms) { SetDuration(ms); }
    virtual SWmotion* Clone() const { return nullptr; } // a motion of the same class; caller owns
    // The motion's record list (each kind's own records, then its shared ones). A kind without records writes
    // and reads nothing. Load answers false when damaged; what was read stays.
    virtual bool Save(SWchunkstream& /*out*/) const { return true; }
    virtual bool Load(SWchunkstream& /*in*/) { return true; }

    bool SetLoopForever(bool forever) { return SetLoop(forever); }
    int32_t SetLoopCount(int32_t count) { return SetRepeatCount(count); }
    bool SetPingPong(bool on) { return SetOscillate(on); }
    bool IsLoopingForever() const { return m_loopForever != 0; }
    int32_t GetLoopCount() const { return m_loopCount; }
    bool IsDone() const { return m_done != 0; }
    void MarkDone() { m_done = 1; } // without the notification Finish may add
    bool IsRunning() const { return m_running != 0; }
    void SetSound(SWsound* sound); // a sound of the world's list; null: none
    SWsound* GetSound() const;     // null when none, or when it has left the world's list since
    void SetSoundName(std::optional<std::string> name) { m_soundName = std::move(name); }
    const std::optional<std::string>& GetSoundName() const { return m_soundName; }
    SWworld* GetWorld() const { return m_world; }
    // A motion read without a world (a particle node's generators are read with their geometry, which a merge may
    // move into another world) takes the world that runs it; one that has a world keeps it.
    void AdoptWorld(SWworld* world)
    {
        if (m_world == nullptr)
            m_world = world;
    }
    void CopyTo(SWmotion& other) const; // the settings: loops, duration, sound; the other's clock from the start

    // The story board's preview flag and start time (the action's delay on its time line, in ms): the board sets
    // them and the runtime keeps them without reading them. Neither is saved, and a copy (Clone, copy construction)
    // starts with neither: the board sets the copy's own.
    void SetPreviewFlag(uint8_t flag) { m_board.preview = flag; }
    uint8_t GetPreviewFlag() const { return m_board.preview; }
    void SetPreviewStartTime(float ms) { m_board.startMs = ms; }
    float GetPreviewStartTime() const { return m_board.startMs; }
    // The ready test: 0 when the motion cannot run, else its kind code (its timed-action type). A motion without a
    // timed-action type (a generator) is never run by itself and answers 0.
    virtual uint32_t IsReady() const { return 0; }

    float GetLocalTime() const { return m_localMs; }
    float GetElapsed() const { return m_elapsedMs; }
    float GetStepDelta() const { return m_stepDeltaMs; }
    float GetDirection() const { return m_direction; }
    int32_t GetPassesLeft() const { return m_passesLeft; }
    bool IsPaused() const { return m_paused != 0; }
    bool IsPingPong() const { return m_pingPong != 0; }
    void SetFreeRunning(bool on) { m_freeRunning = on ? 1 : 0; }

protected:
    // Wraps the local time back into [0, duration] across pass boundaries, applying at each.
    void Wrap(float durationMs);
    void Flip() { m_direction = m_direction > 0.0f ? -1.0f : 1.0f; }

    uint8_t m_loopForever = 0;
    uint8_t m_pingPong = 0;
    int32_t m_loopCount = 1;
    float m_direction = 1.0f;
    float m_lastStepMs = -1.0f;
    float m_elapsedMs = 0.0f;
    float m_localMs = 0.0f;
    float m_stepDeltaMs = 0.0f;
    int32_t m_passesLeft = 0;
    float m_durationMs = 0.0f;
    float m_soundLengthMs = 0.0f;
    uint8_t m_done = 0;
    uint8_t m_running = 0;
    uint8_t m_paused = 0;
    uint8_t m_freeRunning = 0;
    // A sound of the world's list, not owned. Removing a scene file takes its sounds out of the list while motions
    // keep theirs: after any deletion the world counts, the sound is looked for in the list again.
    mutable SWsound* m_sound = nullptr;
    mutable uint64_t m_soundStamp = 0; // the world's structure generation when m_sound was last found listed
    std::optional<std::string> m_soundName;
    SWworld* m_world; // the owning world; may be null in tests

private:
    // Copies start from the defaults, so no copy of a motion carries the board's settings of the original.
    struct BoardSettings {
        BoardSettings() = default;
        BoardSettings(const BoardSettings&) {}
        BoardSettings& operator=(const BoardSettings&) { return *this; }
        uint8_t preview = 0;
        float startMs = 0.0f;
    };
    BoardSettings m_board;
};

// Timed-action types: 2, 3 and 11 (the XYZ rotation, translation and scale) are cloned at each start.
class SWnodemotion : public SWmotion {
public:
    SWnodemotion(SWworld* world, uint32_t type) : SWmotion(world), m_type(type) {}
    SWnodemotion(const SWnodemotion& other);
    ~SWnodemotion() override;

    void Stop() override;                     // stopped, its holds released
    void Reset(bool onPassBoundary) override; // false: also both increments back to the identity

    uint32_t GetType() const { return m_type; }
    uint32_t IsReady() const override { return m_type; }
    uint32_t GetActionId() const { return m_actionId; }
    void SetActionId(uint32_t id) { m_actionId = id; }
    float GetStartDelay() const { return m_startDelayMs; }
    void SetStartDelay(float ms) { m_startDelayMs = ms; }
    // Reference frames of the increment: 1 local, 2 parent, 4 world axes, 8 the current view's camera, 16 target node,
    // 32 fixed (also sets the fixed-frame byte), 64 capture into the node's entry, 128 pivot at the node. With bit 32
    // clear, bit 1 clears bit 128.
    static constexpr uint32_t kFrameLocal = 1;
    static constexpr uint32_t kFrameParent = 2;
    static constexpr uint32_t kFrameWorld = 4;
    static constexpr uint32_t kFrameCamera = 8;
    static constexpr uint32_t kFrameTarget = 16;
    static constexpr uint32_t kFrameFixed = 32;
    static constexpr uint32_t kFrameCapture = 64;
    static constexpr uint32_t kFramePivot = 128;
    void SetOptionFlags(uint32_t flags);
    uint32_t GetOptionFlags() const { return m_optionFlags; }
    bool GetFixedFrame() const { return m_fixedFrame != 0; }
    void ClearFixedFrame() { m_fixedFrame = 0; } // the records' reader, when bit 32 is clear
    const SWmatrix& GetFixedMatrix() const { return m_fixedMatrix; }
    void SetFixedMatrix(const SWmatrix& m) { m_fixedMatrix = m; }
    const SWmatrix& GetMatrix() const { return m_matrix; } // increment A, as Apply computed it
    const SWmatrix& GetMatrix(bool second) const { return second ? m_folded : m_matrix; } // B: as folded
    void SetIncrement(const SWmatrix& m) { m_matrix = m_folded = m; }
    void SetIncrements(const SWmatrix& a, const SWmatrix& b)
    {
        m_matrix = a;
        m_folded = b;
    }
    bool ChangedThisFrame() const { return m_changed != 0; }
    void Rewind() override; // both increments back to the identity, then the clock
    // Folds increment B into node's local matrix in the chosen reference frame (the increment is re-expressed
    // there, so a rotation turns about the frame's axes through the node).
    void ApplyToNode(SWobjectnode& node);
    // Fills entry's frame as the options ask (32 fixed; without 64 nothing; 1 local, 2 parent, 8 camera, 16
    // target); the start handler's bind slot.
    virtual void GetReferenceMatrix(SWobjectnode& node, SWtimedactionentry& entry) const;
    void SetTargetNode(SWnode* node);                                   // null clears; the name is left as it is
    SWnode* GetTargetNode() const { return m_targetNode.Get(m_world); } // null when unset or gone from the tree
    void SetTargetNodeName(std::optional<std::string> name) { m_targetName = std::move(name); }
    const std::optional<std::string>& GetTargetNodeName() const { return m_targetName; }
    void BindNode(uint32_t nodeId); // a node this motion moves; once however often it is bound
    const std::vector<uint32_t>& GetBoundNodes() const { return m_boundNodes; }

    // Starting places no hold: whoever starts a motion for a sequence places one per node with AddHold.
    void SetHoldObject(SWactionqueueentry* entry) { m_holdObject = QueueEntryRef(entry); }
    SWactionqueueentry* GetHoldObject() const { return m_holdObject.Get(); }
    void AddHold(); // nothing without a hold object
    void ReleaseHolds();
    uint32_t GetOwnHolds() const { return m_ownHolds; }

private:
    uint32_t m_type;
    uint32_t m_actionId = 0xFFFFFFFFu;
    float m_startDelayMs = 0.0f;
    uint32_t m_optionFlags = kFrameLocal;
    SWmatrix m_matrix;      // increment A
    SWmatrix m_folded;      // increment B
    SWmatrix m_fixedMatrix; // the frame of option 32
    uint8_t m_fixedFrame = 0;

protected:
    uint8_t m_changed = 0; // Apply produced an increment this frame
    void SetType(uint32_t type) { m_type = type; }
    // The shared records of every node motion, after the subclass's own: "7444" (loops, options, fixed matrix,
    // target name) and "7486" (the sound name) when there is one.
    bool SaveNodeRecords(SWchunkstream& out) const;
    // One record of a node motion's list: "7444" and "7486" are taken, others ignored; false when damaged.
    bool LoadNodeRecord(uint32_t tag, SWchunkstream& body);

private:
    // Editors and the start handler bind it, and the node may be deleted at any time after: held by id, so a node
    // that went reads as none rather than as freed memory.
    NodeRef m_targetNode;
    std::optional<std::string> m_targetName;
    std::vector<uint32_t> m_boundNodes;
    QueueEntryRef m_holdObject;
    uint32_t m_ownHolds = 0;
};
