#pragma once
// SWrasterpipeline: one of the rasteriser's 255 pipelines. Prepare binds its stage program to a format record and
// the host's buffers; DrawTriangle walks one screen-space triangle row by row, asks the depth buffer which pixels
// of each row are visible and hands only those to the stages.
//
// Coverage: a pixel belongs to a triangle when its centre lies below the top edge and at or above the bottom one,
// right of the left edge and at or left of the right one; edges are evaluated afresh at every row centre from
// their upper to their lower end, so triangles sharing an edge agree on every pixel of it. Small or flat triangles
// are walked affinely; others with perspective-correct weights at sub-span starts.
#include <climits>
#include <cstdint>

#include "render/software/span_writer.h"
#include "render/software/stage_program.h"

class SWdepthbuffer;
class SWpixelbuffer;
class SWrasterhost;
struct SWtexturestages;

// The rows [first, end) whose centres a triangle with these top and bottom y covers within a target of height rows:
// the edge walk's own numbers, so that whoever sorts triangles by rows agrees with the walk.
struct SWrasterrows {
    int32_t first = 0;
    int32_t end = 0;
    int32_t Home(int32_t height) const { return first < height ? first : height - 1; } // the row it is counted in
};

// floor(value), held within [lowest, highest] so that any coordinate becomes a usable row or column. Worked by
// truncation and one comparison: the edge walk asks twice a row, and a call into the maths library costs more than
// the rest of the row's set-up.
inline int64_t FloorWithin(double value, int64_t lowest, int64_t highest)
{
    if (!(value >= static_cast<double>(lowest)))
        return lowest;
    if (value >= static_cast<double>(highest))
        return highest;
    const int64_t whole = static_cast<int64_t>(value);
    return static_cast<double>(whole) > value ? whole - 1 : whole;
}

inline SWrasterrows RowsCovered(double yTop, double yBottom, int32_t height)
{
    return {static_cast<int32_t>(FloorWithin(yTop + 0.5, 0, height)),
            static_cast<int32_t>(FloorWithin(yBottom + 0.5, 0, height))};
}

struct SWrasterstats {
    uint64_t affineTriangles = 0;      // walked affinely (drawn or not)
    uint64_t perspectiveTriangles = 0; // walked in perspective sub-spans
    uint64_t skippedTriangles = 0;     // refused: no program, a bad record, a bad index or a non-finite vertex
    uint64_t pixelsDrawn = 0;          // visible pixels handed to the stages
    uint64_t drawNanoseconds = 0;      // spent in SWrasteriser::Draw, for the tools' rasteriser-level timing
};

class SWrasterpipeline {
public:
    enum class Walk : uint8_t { kNone, kAffine, kPerspective };

    SWrasterpipeline(const SWstageroutes* routes, SWrasterstats* stats); // both outlive the pipeline
    SWrasterpipeline(const SWrasterpipeline&) = delete;
    SWrasterpipeline& operator=(const SWrasterpipeline&) = delete;

    void SetHost(SWrasterhost* host) { m_host = host; } // not owned: the surface owns the rasteriser
    // Another tester of the host's depth values (not owned; the rasteriser's lane), for drawing beside other
    // threads; null tests with the depth buffer itself.
    void SetDepthView(SWdepthbuffer* view) { m_depthView = view; }
    // Only rows [first, end) are drawn, and a triangle is counted in the statistics by the window that holds its
    // home row, so that windows that tile the target draw and count each triangle as one whole window would.
    void SetRowWindow(int32_t first, int32_t end);
    void SetDepthFlags(bool test, bool write);
    void SetFormat(const SWtexturestages* format) { m_format = format; }
    SWstageprogram& Program() { return m_program; }
    const SWstageprogram& Program() const { return m_program; }

    // Builds the call list and takes the host's buffers; false (and every triangle skipped) without a program, a
    // buffer or a consistent format record.
    bool Prepare();
    // Three vertex records of the format record's stride: x, y at words 0 and 1, the w term at word 3.
    void DrawTriangle(const uint32_t* v0, const uint32_t* v1, const uint32_t* v2);

    bool IsReady() const { return m_ready; }
    float DepthScale() const { return m_depthScale; }
    Walk LastWalk() const { return m_lastWalk; }
    int SubSpanLength() const { return m_subSpanLength; } // of the last perspective triangle

private:
    struct Triangle;

    static void RunPending(void* context, const SWspan* spans);
    void WalkRows(const Triangle& tri, const SWrasterrows& rows); // rows within the target and the window
    void EmitRow(const Triangle& tri, int32_t row, double xLeft, double xRight, int32_t first, uint32_t* pixels);

    const SWstageroutes* m_routes;
    SWrasterstats* m_stats;
    SWstageprogram m_program;
    SWspanwriter m_writer;
    SWrasterhost* m_host = nullptr;
    SWpixelbuffer* m_pixels = nullptr;    // the host's, for one run of triangles
    SWdepthbuffer* m_depth = nullptr;     // its depth buffer, or the view, for one run of triangles
    SWdepthbuffer* m_depthView = nullptr; // not owned: the lane's
    int32_t m_windowFirst = 0;
    int32_t m_windowEnd = INT32_MAX;
    const SWtexturestages* m_format = nullptr; // not owned: the queue's or a draw group's, for one run
    float m_depthScale = 1.0f;
    bool m_depthTest = false;
    bool m_depthWrite = false;
    bool m_ready = false;
    Walk m_lastWalk = Walk::kNone;
    int m_subSpanLength = 0;
};
