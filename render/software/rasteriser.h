#pragma once
// SWrasteriser: the software renderer's triangle drawer. Every triangle runs through one of 255 pipelines, chosen
// from its format record's combine mode and layers; twelve of them have a stage program, and a triangle whose
// record names another index is skipped. The stage objects are made once, in the variant the processor features
// allow, and shared by every pipeline through the route table; the scratch rows are shared the same way.
//
// Drawing is asked for by one thread at a time (the render thread). With workers, a draw is cut into bands of rows
// that lanes draw side by side: each lane has stages, scratch rows and pipelines of its own and draws only its
// band's rows, so lanes never touch the same pixel, depth value or row mask, and no lock is taken while drawing.
// Draws are passes that the worker threads take piece by piece from the moment they are handed over: a record's
// vertex work and binning, then the bands, each band after the passes before it have drawn theirs. The workers
// stay in their loop from the first draw that needs them until the lanes end, sleeping while no pass has work.
#include <array>
#include <atomic>
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

    // Hands the chain's records to the worker threads as a pass and returns at once, so that the caller goes on
    // with its frame meanwhile; false, with nothing handed over, with fewer than two lanes or when the lanes have
    // no room (see HasRoomAhead). The lanes bin a pass while they still draw the passes before it, and draw each
    // band of it after those passes' same band, so the picture is the frame-order one. The records and all they
    // point at stay as they are until PassesDrawn reaches LastPassHanded of their pass, or until FinishAhead,
    // which every other draw calls first. The records' vertex work runs on the workers too.
    bool DrawAhead(const SWdirectdraw* chain);
    bool CanDrawAhead() const { return m_workers > 1 && m_recorder == nullptr; } // DrawAhead may start something
    bool HasRoomAhead() const; // DrawAhead would not have to wait for a pass before to end
    void DrawOldestAhead();    // the calling thread draws with the lanes until the oldest pass is drawn
    uint64_t LastPassHanded() const { return m_passNumber; } // passes are numbered from 1 over the rasteriser's life
    uint64_t PassesDrawn() const; // every pass up to this number is drawn and no lane reads its records again
    void FinishAhead();           // draws, with the lanes, whatever was handed over, then takes the counts
    // Bytes the lanes keep between draws: the bins and runs of the passes they may hold at once. Asked once what
    // was handed over is drawn (after FinishAhead), as the workers grow them while they bin.
    size_t ScratchBytes() const;

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
    struct AheadSlot;
    // Passes the lanes may hold at once: enough that the walking thread seldom waits for one to be drawn.
    static constexpr uint64_t kAheadSlots = 8;
    static constexpr uint64_t kNoPass = UINT64_MAX;

    bool DrawInBands(const SWdirectdraw* chain, const SWprimitivenode* list); // false: nothing drawn, draw in order
    // Lists the chain and the list as the next pass and hands it to the lanes' loop, starting the loop when none
    // runs; firstLane 1 leaves the calling thread out of binning. False: nothing handed over.
    bool Publish(const SWdirectdraw* chain, const SWprimitivenode* list, int firstLane);
    bool ListPass(BandPass& pass, const SWdirectdraw* chain, const SWprimitivenode* list); // false: nothing listed
    bool ListRuns(SWrasterbands& bands, const SWdirectdraw* chain, const SWprimitivenode* list);
    void ServeAhead(int lane);
    bool TakePiece(int lane); // false: no piece of any pass is ready
    bool TakePiece(BandPass& pass, int lane, bool isTakingOthers);
    bool DrawReadyBand(BandPass& pass, int lane, bool isTakingOthers);
    void OrderBands(BandPass& pass); // by the lane that binned the last chunk
    void Signal();                   // a piece may be ready
    void WaitForWork(uint32_t epoch);
    template <typename Done> void WorkUntil(Done&& done); // this thread takes pieces too
    bool IsDrawn(const BandPass& pass) const;
    // Frees the slot of the oldest pass once it is drawn and every worker has left it, drawing with the lanes
    // meanwhile; false when the pass could not be binned (it stays, for FinishAhead to draw in frame order).
    bool Reclaim(AheadSlot& slot);
    void Retire(AheadSlot& slot); // no worker enters the slot's pass any more, and none is inside
    void TakeCounts(const BandPass& pass);
    AheadSlot& SlotOf(uint64_t number) { return *m_slots[number % kAheadSlots]; }
    const AheadSlot& SlotOf(uint64_t number) const { return *m_slots[number % kAheadSlots]; }
    bool MakeLanes();
    void EndLanes(); // after drawing what was handed over
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
    std::vector<std::unique_ptr<SWrasteriser>> m_lanes;          // lanes 1 to n - 1: stages and pipelines of their own
    std::array<std::unique_ptr<AheadSlot>, kAheadSlots> m_slots; // pass n in slot n % kAheadSlots
    // Passes handed over x 2, plus 1 once the lanes end; the workers wait on it for the next pass.
    std::atomic<uint64_t> m_aheadState{0};
    std::atomic<uint64_t> m_oldestLive{1}; // passes before it are drawn: a worker woken late passes over them
    std::atomic<uint32_t> m_workEpoch{0};  // moves on whenever a piece may have become ready
    bool m_isServing = false;              // passes were handed over since the last FinishAhead
    uint64_t m_passNumber = 0;             // the last pass handed over
    uint64_t m_drawnThrough = 0;           // the last pass whose slot was freed
    uint64_t m_loopFirst = 0;              // the loop's first pass
    int m_loopBands = 0;
    int32_t m_loopBandRows = 0;
    Clock::time_point m_loopStarted;
    // Per band, the passes of the loop that have drawn it: pass i of the loop draws band b at turn i.
    std::unique_ptr<std::atomic<uint32_t>[]> m_bandTurns;
    int m_bandTurnCount = 0;
    std::atomic<uint64_t> m_firstFailed{kNoPass}; // the first pass binning ran out of memory for
    uint64_t m_lastPass = 0;                      // the pass this lane last drew a band of
    const SWrasterrun* m_lastPrepared = nullptr;  // by this lane in the pass being drawn; null: none
};
