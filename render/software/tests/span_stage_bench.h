#pragma once
// For the span stages' tests: one stage bound to scratch rows of its own (or to the frame buffer as its output), run
// over one list of spans.
#include <cstdint>
#include <vector>

#include "render/format_record.h"
#include "render/software/span_stage.h"

struct SpanStageBench {
    std::vector<uint32_t> rows[4];
    SWoperand operands[4];
    SWtexturestages format;

    explicit SpanStageBench(bool toFrameBuffer = false)
    {
        for (int i = 0; i < 4; ++i) {
            rows[i].assign(kPassPixels, 0xDEADBEEF);
            operands[i].row = rows[i].data();
        }
        operands[0].isFrameBuffer = toFrameBuffer;
    }
    void Run(SWspanstage& stage, uint8_t a, const uint32_t* const vertices[3], const std::vector<SWspan>& spans)
    {
        SWspanstage::Binding binding;
        binding.operands = operands;
        binding.format = &format;
        binding.registers[0] = a;
        SWspanstage::SetupRoutine setup = nullptr;
        const SWspanstage::SpanRoutine routine = stage.GetRoutines(binding, setup);
        if (setup != nullptr)
            setup(stage, vertices);
        std::vector<SWspan> list = spans;
        list.push_back(SWspan{});
        for (const SWspan* next = list.data(); next->pixels != nullptr;)
            next = routine(stage, next);
    }
};
