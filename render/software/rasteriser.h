#pragma once
// SWrasteriser: the software renderer's triangle drawer. Every triangle runs through one of 255 pipelines, chosen
// from its format record's combine mode and layers; twelve of them have a stage program, and a triangle whose
// record names another index is skipped. The stage objects are made once, in the variant the processor features
// allow, and shared by every pipeline through the route table; the scratch rows are shared the same way.
//
// Drawing is asked for by one thread at a time (the render thread). With workers, a draw is cut into bands of rows
// that lanes draw side by side: each lane has stages, scratch rows and pipelines of its own and draws only its
// band's rows, so lanes never touch the same pixel, depth value or row mask, and no lock is taken while drawing.
// A record's vertex work is shared out among the lanes first, in parts, and binned only when every part is done.
#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/software/raster_bands.h"
#include "render/software/raster_pipeline.h"
#include "render/software/span_stage.h"
#include "render/software/stage_program.h"

class SWdepthbuffer;
class SWrasterhost;
class SWrasterpool;
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
    SWrasteriser(); // its workers as VORTAN_RENDER_THREADS asks
    SWrasteriser(const SWrasteriser&) = delete;
    SWrasteriser& operator=(const SWrasteriser&) = delete;
    ~SWrasteriser();

    // Makes the stages, scratch rows and pipelines; the host (not owned) outlives the rasteriser. False when memory
    // ran out: what was made still draws, and triangles that need the rest are skipped.
    bool Create(SWrasterhost* host);

    // Each draws before it returns, whatever the workers: the caller's locks cover all of it.
    void Draw(const SWdirectdraw* chain, const SWprimitivenode* list); // every record of the chain, then the list
    // Queue entries up to the end node (whose next link is null and which carries no triangle).
    void DrawPrimitives(const SWprimitivenode* list);
    void DrawIndexed(const SWdirectdraw& record); // that record alone, whatever its next link

    // Starts drawing the chain's records on the worker threads alone and returns at once, so that the caller goes
    // on with its frame meanwhile; false, with nothing started, in frame order, with fewer than two lanes or while
    // what was started before is still drawing. The records and all they point at stay as they are until
    // FinishAhead, which every other draw calls first; they are drawn before anything handed over after them. The
    // records' vertex work runs on the workers too.
    bool DrawAhead(const SWdirectdraw* chain);
    bool CanDrawAhead() const { return m_workers > 1 && m_recorder == nullptr; } // DrawAhead may start something
    bool IsDrawingAhead() const;
    void FinishAhead(); // waits for what DrawAhead started, then takes its counts

    // 0 draws every triangle on the calling thread in frame order. n >= 1 cuts the target into bands of bandRows
    // rows (0: rows chosen from the height and n) that n lanes draw side by side, the calling thread one of them;
    // the picture is the same. The lanes bin a draw in chunks of at least chunkTriangles triangles (0: 8,192), at
    // most one a lane. The threads are made by the first draw that needs them and kept; a change of n makes them
    // anew. A recorder, when set, always sees the frame-order path.
    void SetWorkers(int workers, int bandRows = 0, uint32_t chunkTriangles = 0);
    int Workers() const { return m_workers; }
    // VORTAN_RENDER_THREADS: 1 asks for the frame-order path, n > 1 for n workers; unset, or not a number from 1 to
    // kMostWorkers, one worker per processor the system reports (the frame-order path on a single one).
    static int WorkersFromEnvironment();
    static constexpr int kMostWorkers = 64;

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
    struct RowWindow {
        int32_t first = 0;
        int32_t end = INT32_MAX;
    };

    bool MakeParts(SWrasterhost* host, const SWrasteriser* model);
    void MakeStages(const SWrasteriser* model); // model: the variants it chose, else the drivers' wishes
    void ConfigurePrograms();

    void DrawInOrder(const SWdirectdraw* chain, const SWprimitivenode* list);
    void DrawRecordInOrder(const SWdirectdraw& record);
    void DrawListInOrder(const SWprimitivenode* list);
    // The prepared pipeline of a record's run (skipped triangles counted), or null when none draws it.
    SWrasterpipeline* StartRecordRun(const SWdirectdraw& record, SWrasterrun& out);
    // The prepared pipeline of a queue run of this format record, or null when none draws it.
    SWrasterpipeline* StartListRun(const SWtexturestages* format, SWrasterrun& out);
    bool PrepareRun(SWrasterpipeline& pipeline, const SWrasterrun& run, RowWindow window);

    using Clock = std::chrono::steady_clock;
    struct BandPass;

    bool DrawInBands(const SWdirectdraw* chain, const SWprimitivenode* list); // false: nothing drawn, draw in order
    bool ListPass(BandPass& pass, const SWdirectdraw* chain, const SWprimitivenode* list); // false: nothing listed
    bool ListRuns(SWrasterbands& bands, const SWdirectdraw* chain, const SWprimitivenode* list);
    void RunPass(BandPass& pass, int lane);
    void TakeBands(BandPass& pass, int lane); // draws bands until none is left
    bool EndPass(BandPass& pass);
    bool MakeLanes();
    SWrasteriser& Lane(int lane) { return lane == 0 ? *this : *m_lanes[static_cast<size_t>(lane) - 1]; }
    void DrawBand(const SWrasterbands& bands, int band);

    SWrasterhost* m_host = nullptr; // not owned: the surface that owns this rasteriser
    std::array<std::unique_ptr<SWrasterpipeline>, kPipelineCount> m_pipelines;
    SWstageroutes m_routes;
    std::unique_ptr<SWspanstage> m_stages[kStageClassCount][kStageInstances];
    StageVariant m_variants[kStageClassCount] = {};
    std::unique_ptr<uint32_t[]> m_scratch; // kRegisterCount rows of kPassPixels pixels
    SWrasterstats m_stats;
    SWtrianglerecorder* m_recorder = nullptr; // not owned: the tool's, for the frames it writes out

    int m_workers = 0;
    int32_t m_bandRows = 0;
    uint32_t m_chunkTriangles = kChunkTriangles;
    static constexpr uint32_t kChunkTriangles = 8192; // a small draw is binned whole by the first lane to come
    std::unique_ptr<SWdepthbuffer> m_depthView;       // a lane's own tester of the host's depth values
    std::unique_ptr<SWrasterpool> m_pool;
    std::vector<std::unique_ptr<SWrasteriser>> m_lanes; // lanes 1 to n - 1: stages and pipelines of their own
    std::unique_ptr<SWrasterbands> m_bands;
    std::unique_ptr<SWrasterbands> m_aheadBands; // the runs drawn ahead, while the next ones are listed
    std::unique_ptr<BandPass> m_ahead;           // what DrawAhead started; null when nothing is
    const SWrasterrun* m_lastPrepared = nullptr; // by this lane in the pass being drawn; null: none
};
