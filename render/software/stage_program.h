#pragma once
// SWstageprogram: the short program of span stages one pipeline runs. Its stage records are configured once; every
// Prepare of the pipeline builds the call list from them for the format record at hand: a Gouraud stage per vertex
// colour first, then the records, then the final blend that the record's alpha asks for. Each pass runs every
// routine over the same span records, stage after stage.
#include <cstdint>

#include "render/software/span_stage.h"

struct SWtexturestages;

inline constexpr int kRegisterCount = 24;

// What the rasteriser lends its programs: the stage objects by kind and instance, and the scratch rows.
struct SWstageroutes {
    SWspanstage* route[kRouteKinds][kStageInstances] = {}; // not owned: the rasteriser's stage arrays
    uint32_t* registerRows[kRegisterCount] = {};           // not owned: the rasteriser's scratch area
};

// How a format record's pixels reach the frame: 0 written by the stages that name register 0, 1 over by the
// vertex alpha, 2 over by the texture alpha, 3 over by their product.
uint32_t BlendModeOf(const SWtexturestages& format);

class SWstageprogram {
public:
    static constexpr int kMostStages = 16;
    static constexpr uint8_t kFrameBuffer = 0xFF; // an operand of the final blend that is the frame buffer

    struct Record {
        SWspanstage* stage = nullptr; // resolved by Build; not owned
        StageKind kind = StageKind::kAdd;
        SWoperand operands[4];
        uint8_t registers[4] = {};
        uint8_t isTexture = 0;
        uint32_t instance = 0;
    };

    explicit SWstageprogram(const SWstageroutes* routes) : m_routes(routes) {} // routes outlive the program
    SWstageprogram(const SWstageprogram&) = delete;
    SWstageprogram& operator=(const SWstageprogram&) = delete;

    // Appends a record when kind is below 16, the routes have an instance-0 object for it and the program has
    // room; false otherwise.
    bool AddStage(StageKind kind, uint8_t a, uint8_t b, uint8_t c, uint8_t d);
    bool IsEmpty() const { return m_recordCount == 0; }
    int RecordCount() const { return m_recordCount; }
    const Record& RecordAt(int i) const { return m_records[i]; }

    void Build(const SWtexturestages& format); // binds every stage; the format record outlives the run
    void RunSetups(const uint32_t* const vertices[3]);
    void RunSpans(const SWspan* spans);

    int CallCount() const { return m_callCount; }
    StageKind CallKind(int i) const { return m_callKinds[i]; } // route row of call i, for tools and tests
    uint64_t PassCount() const { return m_passes; }

private:
    struct Call {
        SWspanstage* stage = nullptr;
        SWspanstage::SpanRoutine routine = nullptr;
    };
    struct Setup {
        SWspanstage* stage = nullptr;
        SWspanstage::SetupRoutine routine = nullptr;
    };
    static constexpr int kMostCalls = 8 + kMostStages + 2;

    void BindOperands(Record& record, bool isFrameBufferMode) const;
    void AppendCall(Record& record, StageKind row, const SWtexturestages& format);
    void AppendFinalBlend(const SWtexturestages& format, uint32_t blendMode);

    const SWstageroutes* m_routes;
    Record m_records[kMostStages];
    int m_recordCount = 0;
    uint32_t m_kindCounts[16] = {};
    Record m_prologue[kStageInstances]; // the Gouraud stages Build puts first
    Record m_finals[2];                 // alpha product and blend
    Call m_calls[kMostCalls];
    StageKind m_callKinds[kMostCalls] = {};
    int m_callCount = 0;
    Setup m_setups[kMostCalls];
    int m_setupCount = 0;
    uint64_t m_passes = 0;
};
