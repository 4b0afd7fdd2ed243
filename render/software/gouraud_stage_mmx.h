#pragma once
// SWgouraudstageMMX: the Gouraud colour with all four channels interpolated, alpha included, from 8.7 vertex values.
// Blue, green and red come out as the plain stage's (the 16.16 values are the same numbers); only alpha differs,
// interpolated here where the plain stage keeps vertex 0's. The four channels ride in the four 32-bit lanes of one
// register; the portable form does the same 32-bit arithmetic and gives the same pixels.
#include "render/software/span_stage.h"

class SWgouraudstageMMX final : public SWspanstage {
public:
    struct Setup {
        bool isFlat = false;
        uint32_t flatColour = 0;
        int32_t start[4] = {};      // B, G, R, A: channel << 7 | 64 (8.7 plus one half)
        int32_t d1[4] = {};         // (c1 - c0) x 128
        int32_t d2[4] = {};         // (c2 - c0) x 128
        int16_t deltaPairs[8] = {}; // d1, d2 of each channel side by side, for one multiply-add with s, t
    };

    const Setup& CurrentSetup() const { return m_setup; }
    // Tests run the portable lanes on a processor that has the intrinsics, to compare the two.
    static void UsePortableLanes(bool portable);

protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;

private:
    static void SetUp(SWspanstage& stage, const uint32_t* const vertices[3]);
    static const SWspan* Spans(SWspanstage& stage, const SWspan* spans);
    static const SWspan* SpansPortable(SWspanstage& stage, const SWspan* spans);

    Setup m_setup;
};
