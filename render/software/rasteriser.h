#pragma once
// SWrasteriser: the software renderer's triangle drawer. Every triangle runs through one of 255 pipelines, chosen
// from its format record's combine mode and layers; twelve of them have a stage program, and a triangle whose
// record names another index is skipped. The stage objects are made once, in the variant the processor features
// allow, and shared by every pipeline through the route table; the scratch rows are shared the same way.
//
// Drawing runs on the render thread only; nothing here takes a lock.
#include <array>
#include <cstdint>
#include <memory>

#include "render/software/raster_pipeline.h"
#include "render/software/span_stage.h"
#include "render/software/stage_program.h"

class SWrasterhost;
struct SWdirectdraw;
struct SWprimitivenode;
struct SWtexturestages;

inline constexpr int kPipelineCount = 255;
inline constexpr int kStageClassCount = 13;

// Sees every triangle as it is handed to its pipeline, in drawing order, with what that pipeline draws it with:
// the developer tool writes frames out through it for side-by-side runs with other renderers.
class SWtrianglerecorder {
public:
    struct Run {
        const SWtexturestages* format; // not owned; lives for the frame
        int pipeline;                  // index of the pipeline that draws the run
        bool depthTest;
        bool depthWrite;
        float depthScale; // depth term = w term x this
    };
    virtual ~SWtrianglerecorder() = default;
    virtual void Record(const Run& run, const uint32_t* v0, const uint32_t* v1, const uint32_t* v2) = 0;
};

// Which routine set a stage class is made in.
enum class StageVariant : uint8_t { kPlain = 0, kMMX = 1, kSSE = 2 };

class SWrasteriser {
public:
    SWrasteriser();
    SWrasteriser(const SWrasteriser&) = delete;
    SWrasteriser& operator=(const SWrasteriser&) = delete;
    ~SWrasteriser();

    // Makes the stages, scratch rows and pipelines; the host (not owned) outlives the rasteriser. False when memory
    // ran out: what was made still draws, and triangles that need the rest are skipped.
    bool Create(SWrasterhost* host);

    void Draw(const SWdirectdraw* chain, const SWprimitivenode* list); // every record of the chain, then the list
    // Queue entries up to the end node (whose next link is null and which carries no triangle).
    void DrawPrimitives(const SWprimitivenode* list);
    void DrawIndexed(const SWdirectdraw& record);

    // The pipeline a record's triangles take, or -1 when the combine mode and layers name none of the 255.
    static int PipelineIndex(const SWtexturestages& format, bool isIndexed);
    bool IsConfigured(int index) const;
    const SWrasterpipeline* Pipeline(int index) const; // null out of range or not made
    SWrasterpipeline* Pipeline(int index);
    StageVariant VariantOf(int stageClass) const { return m_variants[stageClass]; }

    void SetRecorder(SWtrianglerecorder* recorder) { m_recorder = recorder; } // not owned; null stops recording

    const SWrasterstats& Stats() const { return m_stats; }
    void ResetStats() { m_stats = {}; }

private:
    void MakeStages();
    void ConfigurePrograms();

    SWrasterhost* m_host = nullptr; // not owned: the surface that owns this rasteriser
    std::array<std::unique_ptr<SWrasterpipeline>, kPipelineCount> m_pipelines;
    SWstageroutes m_routes;
    std::unique_ptr<SWspanstage> m_stages[kStageClassCount][kStageInstances];
    StageVariant m_variants[kStageClassCount] = {};
    std::unique_ptr<uint32_t[]> m_scratch; // kRegisterCount rows of kPassPixels pixels
    SWrasterstats m_stats;
    SWtrianglerecorder* m_recorder = nullptr; // not owned: the tool's, for the frames it writes out
};
