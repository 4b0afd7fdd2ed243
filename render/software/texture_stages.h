#pragma once
// The plain texture stages: a layer of the format record (operand a & 7) sampled at the triangle's interpolated
// coordinates, nearest or bilinear, or the radial falloff of a lighting layer. Coordinates are held in 1/64 texel,
// formed per span as 16.16 texel values; their low 32 bits wrap, which repeats power-of-two sizes exactly.
//
// A layer past the record's layer count, without pixels, with a side that is not a power of two from 1 to 65,536,
// or whose coordinate set lies outside the vertex, is sampled as 0 (black, alpha 0); so is a falloff layer that is
// not 32 x 32 with a table of 512 falloff bytes.
#include <cstdint>
#include <span>

#include "render/software/span_stage.h"

class SWtexturestage : public SWspanstage {
public:
    struct Layer {
        const uint32_t* texels = nullptr; // not owned: the scene's image outlives the run of triangles
        std::span<const uint8_t> falloff;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t columnMask = 0;
        uint32_t rowMask = 0;  // (height - 1) << log2(width)
        uint32_t rowShift = 0; // 16 - log2(width)
        int coordinateWord = 0;
    };
    struct Setup {
        int64_t u0 = 0, v0 = 0;                     // vertex 0, 1/64 texel
        int64_t du1 = 0, du2 = 0, dv1 = 0, dv2 = 0; // to vertices 1 and 2
    };

    // The layer the stage would sample for this record, or false for the zero fill.
    static bool FindLayer(const SWtexturestages& format, int layer, bool isFalloff, Layer& out);
    static const SWspan* ZeroSpans(SWspanstage& stage, const SWspan* spans);

    const Setup& CurrentSetup() const { return m_setup; }

protected:
    // Vertices' coordinates of the layer in units of 1/unitsPerTexel texel, minus offset on each.
    void SetUpCoordinates(const uint32_t* const vertices[3], int32_t offset, float unitsPerTexel = 64.0f);
    // 16.16 coordinates u, v of the first pixel of span and their steps.
    void StartOf(const SWspan& span, uint32_t& u, uint32_t& v, uint32_t& du, uint32_t& dv) const;
    bool FindBoundLayer(bool isFalloff); // false: the zero fill

    static void SetUpNearest(SWspanstage& stage, const uint32_t* const vertices[3]);
    static void SetUpFiltered(SWspanstage& stage, const uint32_t* const vertices[3]); // half a texel back
    // Every pixel is Sample(layer, u, v) at its coordinates: the nearest texel, or the four around it filtered.
    template <uint32_t (*Sample)(const Layer&, uint32_t, uint32_t)>
    static const SWspan* SampledSpans(SWspanstage& stage, const SWspan* spans);
    static const SWspan* FalloffSpans(SWspanstage& stage, const SWspan* spans);

    Layer m_layer;
    Setup m_setup;
};

class SWnearesttexturestage final : public SWtexturestage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

// The MMX variant of the nearest stage: coordinates in 16.16 texel units from the start (scales w and h x 65,536),
// so a pixel's coordinate is U0 + floor((d1 s + d2 t) / 2^15). Against the plain stage's 1/64 texel it differs
// only where the coarser coordinate falls on the other side of a texel boundary.
class SWnearesttexturestageMMX final : public SWtexturestage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;

private:
    static void SetUpFine(SWspanstage& stage, const uint32_t* const vertices[3]);
    static const SWspan* FineSpans(SWspanstage& stage, const SWspan* spans);
};

class SWfilteredtexturestage final : public SWtexturestage { // bilinear; alpha of the top-left texel
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWfalloffstage final : public SWtexturestage { // the layer's centre colour scaled by a falloff byte
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

// Weights of the four texels (u, v), (u + 1, v), (u, v + 1), (u + 1, v + 1) for fractions fu, fv in 1/16; they
// sum to 256.
const uint16_t* BilinearWeights(uint32_t fu, uint32_t fv);
