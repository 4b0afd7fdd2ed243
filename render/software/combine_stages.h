#pragma once
// The plain span stages that combine registers: per pixel, out (operand a) from inputs b and c, and d as a third
// input or a material constant index. Channels are 8 bits; saturated means clamped to 255.
#include "render/software/span_stage.h"

class SWaddstage final : public SWspanstage { // each of the four bytes: saturated b + c
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWdot3stage final : public SWspanstage { // the dot product of b and c as signed vectors, in all four bytes
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWmultiplyaddstage final : public SWspanstage { // B, G, R: saturated b x c / 256 + d; alpha 0
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWmodulatestage final : public SWspanstage { // B, G, R: b x c / 256; alpha 0
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWblendstage final : public SWspanstage { // B, G, R: saturated c x (256 - alpha of b) / 256 + d; alpha 0
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWblend255stage final : public SWspanstage { // as the blend with 255 - alpha of b
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWconstantstage final : public SWspanstage { // material constant b, unchanged
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWscaleaddstage final : public SWspanstage { // B, G, R: saturated b x K(d) / 256 + c per channel; alpha 0
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWalphaproductstage final : public SWspanstage { // alpha byte: alpha of b x alpha of c / 256
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

// Per-pixel forms of the stages above, shared by the span routines and by tests that compare variants.
namespace plainstage {
uint32_t Add(uint32_t b, uint32_t c);
uint32_t Dot3(uint32_t b, uint32_t c);
uint32_t MultiplyAdd(uint32_t b, uint32_t c, uint32_t d);
uint32_t Modulate(uint32_t b, uint32_t c);
uint32_t Blend(uint32_t b, uint32_t c, uint32_t d, uint32_t full); // full: 256 or 255
uint32_t ScaleAdd(uint32_t b, uint32_t k, uint32_t c);
uint32_t AlphaProduct(uint32_t b, uint32_t c);
} // namespace plainstage
