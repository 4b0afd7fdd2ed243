#pragma once
// SWclipper: cuts a queued triangle against the six planes of the view volume (z <= x <= -z, z <= y <= -z,
// -1 <= z <= near value) and splits what is left into a fan. The producer projects the first triangle, which is
// written back over the primitive; the clipper projects the rest with its target's viewport and appends them to
// the batch.
//
// Outcode bits: 1 x < z, 2 x > -z, 4 y < z, 8 y > -z, 16 z > near value, 32 z < -1; bits 6 and 7 mean nothing.
#include <cstdint>

class SWrenderbatch;
class SWrendertarget;
struct SWprimitivenode;

class SWclipper {
public:
    // Nine vertices is the most six planes can leave; rounding may leave one or two more. Each buffer holds that
    // many at the widest stride with room to spare, and every write is checked against it.
    static constexpr int kMostVertices = 16;
    static constexpr int kMostStride = 255;
    static constexpr uint32_t kWorkWords = kMostVertices * kMostStride;

    SWclipper() = default;
    virtual ~SWclipper() = default;

    bool SetTarget(const SWrendertarget* target); // not owned: the target owns this clipper
    void SetNearPlane(float nearValue) { m_near = nearValue; }
    float GetNearPlane() const { return m_near; }

    // The primitive's vertex words must be writable (the batch's pool or the producer's own). A triangle wholly
    // outside, cut down below three vertices or too wide for the work buffers is unlinked from the batch.
    SWprimitivenode* ClipQueuedTriangle(SWprimitivenode* primitive, const uint8_t* outcodes, SWrenderbatch& batch);
    // False when fewer than three vertices survive; else the fan's first triangle is over the primitive's.
    bool ClipPolygon(SWprimitivenode* primitive, const uint8_t* outcodes, uint8_t orCode, SWrenderbatch& batch);

    // Screen x, y, depth and |1/z| in words 0 to 3 of one vertex, with the target's viewport.
    void Project(uint32_t* vertex) const;

    uint32_t FanTrianglesMade() const { return m_fanTriangles; } // since construction, for statistics

private:
    struct Work {
        uint8_t codes[kMostVertices];
        uint32_t words[kWorkWords];
    };

    int ClipPass(const Work& in, int count, Work& out, uint8_t pairBits, uint8_t& outRunningCode) const;
    bool WriteIntersection(const Work& in, int prev, int cur, uint8_t planeBit, Work& out, int& count) const;
    void EmitFan(SWprimitivenode* primitive, const Work& polygon, int count, SWrenderbatch& batch);

    const SWrendertarget* m_target = nullptr; // not owned
    float m_near = -0.001f;
    int m_stride = 0;
    int m_lead = 0;
    Work m_a;
    Work m_b;
    uint32_t m_fanTriangles = 0;
};
