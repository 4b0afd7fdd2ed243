#pragma once
// Animation data of object nodes.
//
// - AnimationTrackSet: named key-frame tracks, each a list of (frame, matrix) keys kept sorted by frame. A track's
//   frame count is its last key's frame + 1; its duration is that many frames of 33.333 ms.
// - NodeMotionList: the clips of a track set, each an id and the frame it starts at.
// - VertexFrameTable: per-frame vertex positions of a vertex-animated mesh node, filled by a loader on another
//   thread and read by motions under the table's own lock once it is ready.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/critical_section.h"
#include "engine/core/matrix.h"
#include "engine/core/node_names.h"

inline constexpr double kFrameDurationMs = 1000.0 / 30.0;

struct AnimationKey {
    uint32_t frame = 0;
    SWmatrix matrix;
};

class AnimationTrack {
public:
    explicit AnimationTrack(std::optional<std::string> name) : m_name(std::move(name)) {}
    const std::optional<std::string>& GetName() const { return m_name; }
    void SetKey(uint32_t frame, const SWmatrix& m); // replaces the key of that frame, else inserts in order
    const std::vector<AnimationKey>& GetKeys() const { return m_keys; }
    size_t GetKeyCount() const { return m_keys.size(); }
    uint32_t GetFrameCount() const; // last key's frame + 1 (unsigned, so frame 0xFFFFFFFF gives 0); 0 when empty
    double GetDurationMs() const { return GetFrameCount() * kFrameDurationMs; }
    const SWmatrix* FindKey(uint32_t frame) const; // null when no key has that frame

private:
    std::optional<std::string> m_name;
    std::vector<AnimationKey> m_keys; // sorted by frame
};

struct NodeMotionClip {
    uint32_t id = 0;
    uint32_t baseFrame = 0;
};

class NodeMotionList {
public:
    void Add(const NodeMotionClip& clip) { m_clips.push_back(clip); }
    const NodeMotionClip* FindById(uint32_t id) const;
    const std::vector<NodeMotionClip>& GetClips() const { return m_clips; }

private:
    std::vector<NodeMotionClip> m_clips;
};

class AnimationTrackSet {
public:
    AnimationTrack& AddTrack(std::optional<std::string> name);     // appended; the set owns it
    const AnimationTrack* FindByName(std::string_view name) const; // byte for byte; unnamed tracks never match
    AnimationTrack* FindByName(std::string_view name);
    size_t GetTrackCount() const { return m_tracks.size(); }
    const AnimationTrack& GetTrack(size_t index) const { return m_tracks[index]; }
    // The matrix of the default track's key at frame, else the default slot. flag 1 is the only value callers
    // pass; every value answers alike.
    const SWmatrix& GetTrackValue(uint32_t frame, int flag) const;
    void SetDefaultTrackName(std::string name) { m_defaultName = std::move(name); }
    const SWmatrix& GetDefaultSlot() const { return m_defaultSlot; }
    void SetDefaultSlot(const SWmatrix& m) { m_defaultSlot = m; }
    uint32_t GetFrameCount() const; // of the default track; 0 without one
    NodeMotionList& GetClips() { return m_clips; }
    const NodeMotionList& GetClips() const { return m_clips; }

private:
    std::vector<AnimationTrack> m_tracks;
    std::string m_defaultName = kDefaultAnimationName;
    SWmatrix m_defaultSlot;
    NodeMotionList m_clips;
};

class VertexFrameTable {
public:
    // frames x vertices x 3 floats; false (nothing changed) when the product overflows or memory runs out.
    bool Allocate(uint32_t frameCount, uint32_t vertexCount);
    // Takes positions as the frames, without a copy; false (nothing changed) when it is not frames x vertices x 3
    // floats long.
    bool Adopt(uint32_t frameCount, uint32_t vertexCount, std::vector<float>&& positions);
    uint32_t GetFrameCount() const { return m_frameCount; }
    uint32_t GetVertexCount() const { return m_vertexCount; }
    bool IsReady() const { return m_ready.load(std::memory_order_acquire); }
    void SetReady(bool ready) { m_ready.store(ready, std::memory_order_release); }

    bool TryLock() // waits for the lock; always true, as callers expect
    {
        m_lock.Enter();
        return true;
    }
    void Lock() { m_lock.Enter(); }
    void Unlock() { m_lock.Leave(); }

    // A frame's positions (clamped to the last frame); empty without frames. Hold the lock while using them.
    std::span<float> GetFrameVertices(uint32_t frame);
    bool GetVertex(uint32_t frame, uint32_t vertex, float (&out)[3]) const; // false: no such vertex

private:
    uint32_t m_frameCount = 0;
    uint32_t m_vertexCount = 0;
    std::vector<float> m_positions;
    std::atomic<bool> m_ready{false};
    CVTN_CriticalSection m_lock;
};
