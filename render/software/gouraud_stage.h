#pragma once
// SWgouraudstage: vertex colour (operand a & 7) interpolated across the triangle, B, G and R in 16.16 fixed point
// from 8.6 vertex values; the plain variant keeps vertex 0's alpha everywhere. Three equal colour words are written
// unchanged, alpha included.
#include "render/software/span_stage.h"

class SWgouraudstage final : public SWspanstage {
public:
    struct Setup {
        bool isFlat = false;
        uint32_t flatColour = 0;
        uint32_t alpha = 0;    // vertex 0's alpha byte, in place
        int32_t start[3] = {}; // B, G, R: channel << 6 | 32 (8.6 plus one half)
        int32_t d1[3] = {};    // (c1 - c0) x 64
        int32_t d2[3] = {};    // (c2 - c0) x 64
    };

    const Setup& CurrentSetup() const { return m_setup; }

protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;

private:
    static void SetUp(SWspanstage& stage, const uint32_t* const vertices[3]);
    static const SWspan* Spans(SWspanstage& stage, const SWspan* spans);

    Setup m_setup;
};
