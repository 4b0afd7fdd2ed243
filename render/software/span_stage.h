#pragma once
// SWspanstage: one building block of a rasteriser stage program. A stage computes one 32-bit colour per pixel
// (0xAARRGGBB, blue in the low byte) for a pass of up to kPassPixels pixels: it interpolates a vertex colour,
// samples a texture layer or combines registers. Scratch registers hold a pass packed from the start of their row;
// an operand flagged as the frame buffer follows the pixel addresses of the span records instead.
//
// Every span routine consumes span records by the same rule (ForEachSpanInPass), so that all routines of one
// program agree on where a pass ends.
#include <cstdint>

struct SWtexturestages;

inline constexpr int32_t kPassPixels = 256;    // pixels in one scratch row
inline constexpr int32_t kMostSpanPixels = 32; // the edge walk's records never hold more

// One record of a pipeline's span buffer. A null pixel pointer ends the list.
struct SWspan {
    uint32_t* pixels = nullptr; // the first pixel in the frame buffer
    int32_t count = 0;
    uint32_t weights = 0; // low 16 bits s, high 16 bits t: vertices 1 and 2 at the first pixel, signed 1.15
    uint32_t steps = 0;   // ds, dt per pixel to the right, same packing
};

// Where a stage reads or writes: a scratch row, or the frame buffer under the spans.
struct SWoperand {
    uint32_t* row = nullptr; // the register's scratch row; not owned (the rasteriser's scratch area)
    bool isFrameBuffer = false;
};

// Stage kinds: the rows of the rasteriser's route table.
enum class StageKind : uint8_t {
    kAdd = 0,
    kDot3 = 2,
    kMultiplyAdd = 4,
    kModulate = 6,
    kTexture = 8, // resolved to kNearest, kFiltered or kFalloff by the layer's filter bits
    kBlend = 9,
    kBlend255 = 10,
    kConstant = 11,
    kGouraud = 12,
    kScaleAdd = 13,
    kFinalBlend = 14,
    kAlphaProduct = 15,
    kNearest = 16,
    kFiltered = 17,
    kFalloff = 18,
    kFalloffAlso = 19,
};
inline constexpr int kRouteKinds = 20;
inline constexpr int kStageInstances = 8;

class SWspanstage {
public:
    using SpanRoutine = const SWspan* (*)(SWspanstage& stage, const SWspan* spans); // the first span not consumed
    using SetupRoutine = void (*)(SWspanstage& stage, const uint32_t* const vertices[3]);

    struct Binding {
        const SWoperand* operands = nullptr;     // a, b, c, d; not owned (the program's stage record)
        const SWtexturestages* format = nullptr; // not owned: outlives the run of triangles
        uint8_t registers[4] = {};               // a, b, c, d register numbers
    };

    SWspanstage() = default;
    SWspanstage(const SWspanstage&) = delete;
    SWspanstage& operator=(const SWspanstage&) = delete;
    virtual ~SWspanstage() = default;

    // Binds the stage to one stage record and format record, then answers its span routine; outSetup is the
    // per-triangle set-up routine or null.
    SpanRoutine GetRoutines(const Binding& binding, SetupRoutine& outSetup);

    const Binding& Bound() const { return m_binding; }

protected:
    virtual SpanRoutine SelectRoutines(SetupRoutine& outSetup) = 0;

    // The operand's pixels for a run: the frame buffer's under the span, or the scratch row from the pass offset.
    uint32_t* Operand(int slot, uint32_t* framePixels, int32_t passOffset) const
    {
        const SWoperand& operand = m_binding.operands[slot];
        return operand.isFrameBuffer ? framePixels : operand.row + passOffset;
    }

private:
    Binding m_binding;
};

// The records of one pass: from spans while the pixel total stays within kPassPixels. A record that alone
// exceeds a pass cannot come from the edge walk; it is consumed and drawn as nothing, by every routine alike.
template <typename PerSpan> const SWspan* ForEachSpanInPass(const SWspan* spans, PerSpan&& perSpan)
{
    if (spans->pixels != nullptr && spans->count > kPassPixels)
        return spans + 1;
    int32_t total = 0;
    const SWspan* span = spans;
    for (; span->pixels != nullptr && total + span->count <= kPassPixels; ++span) {
        if (span->count > 0) {
            perSpan(*span, total);
            total += span->count;
        }
    }
    return span;
}

// The same pass, with records that follow each other in memory merged into one run(pixels, count, passOffset).
template <typename PerRun> const SWspan* ForEachRunInPass(const SWspan* spans, PerRun&& perRun)
{
    uint32_t* runPixels = nullptr;
    int32_t runCount = 0;
    int32_t runOffset = 0;
    const SWspan* end = ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        if (runPixels != nullptr && runPixels + runCount == span.pixels) {
            runCount += span.count;
            return;
        }
        if (runPixels != nullptr)
            perRun(runPixels, runCount, runOffset);
        runPixels = span.pixels;
        runCount = span.count;
        runOffset = offset;
    });
    if (runPixels != nullptr)
        perRun(runPixels, runCount, runOffset);
    return end;
}

inline int32_t WeightS(uint32_t word)
{
    return static_cast<int16_t>(word & 0xFFFF);
}
inline int32_t WeightT(uint32_t word)
{
    return static_cast<int16_t>(word >> 16);
}
