#pragma once
// The MMX and SSE variants of the combining stages. Their arithmetic is the plain stages' integer formulas with
// exact products, so every variant gives the plain pixels; they work on four pixels (sixteen channels) at a time,
// with the plain forms for a run's last pixels and on processors without the wide registers.
#include "render/software/span_stage.h"

class SWaddstageWide final : public SWspanstage { // saturated byte sums
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWdot3stageWide final : public SWspanstage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWmultiplyaddstageWide final : public SWspanstage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWblendstageWide final : public SWspanstage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWscaleaddstageWide final : public SWspanstage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};

class SWalphaproductstageWide final : public SWspanstage {
protected:
    SpanRoutine SelectRoutines(SetupRoutine& outSetup) override;
};
