#include "render/software/rasteriser.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <thread>

#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_drivers.h"
#include "render/software/combine_stages.h"
#include "render/software/combine_stages_wide.h"
#include "render/software/depth_buffer.h"
#include "render/software/direct_draw.h"
#include "render/software/gouraud_stage.h"
#include "render/software/gouraud_stage_mmx.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"
#include "render/software/raster_pool.h"
#include "render/software/texture_stages.h"

namespace {

using StageMaker = std::unique_ptr<SWspanstage> (*)();

template <typename Stage> std::unique_ptr<SWspanstage> Make()
{
    return std::unique_ptr<SWspanstage>(new (std::nothrow) Stage());
}

// One stage class: its variants (null where none exists) and the route rows it serves. A class with an SSE variant
// takes it when SSE is active, else its MMX one when MMX is, else the plain one.
struct StageClass {
    StageMaker plain;
    StageMaker mmx;
    StageMaker sse;
    StageKind kinds[2];
    int kindCount;
};

constexpr StageClass kStageClasses[kStageClassCount] = {
    {Make<SWgouraudstage>, Make<SWgouraudstageMMX>, nullptr, {StageKind::kGouraud}, 1},
    {Make<SWnearesttexturestage>,
     Make<SWnearesttexturestageMMX>,
     nullptr,
     {StageKind::kTexture, StageKind::kNearest},
     2},
    {Make<SWfilteredtexturestage>, nullptr, nullptr, {StageKind::kFiltered}, 1},
    {Make<SWblendstage>, Make<SWblendstageWide>, nullptr, {StageKind::kBlend, StageKind::kFinalBlend}, 2},
    {Make<SWalphaproductstage>, Make<SWalphaproductstageWide>, nullptr, {StageKind::kAlphaProduct}, 1},
    {Make<SWdot3stage>, Make<SWdot3stageWide>, nullptr, {StageKind::kDot3}, 1},
    {Make<SWaddstage>, Make<SWaddstageWide>, Make<SWaddstageWide>, {StageKind::kAdd}, 1},
    {Make<SWmultiplyaddstage>,
     Make<SWmultiplyaddstageWide>,
     Make<SWmultiplyaddstageWide>,
     {StageKind::kMultiplyAdd},
     1},
    {Make<SWscaleaddstage>, Make<SWscaleaddstageWide>, Make<SWscaleaddstageWide>, {StageKind::kScaleAdd}, 1},
    {Make<SWfalloffstage>, nullptr, nullptr, {StageKind::kFalloff, StageKind::kFalloffAlso}, 2},
    {Make<SWmodulatestage>, nullptr, nullptr, {StageKind::kModulate}, 1},
    {Make<SWblend255stage>, nullptr, nullptr, {StageKind::kBlend255}, 1},
    {Make<SWconstantstage>, nullptr, nullptr, {StageKind::kConstant}, 1},
};

struct StageLine {
    StageKind kind;
    uint8_t a, b, c, d; // a output; Kn is the constant index n where a stage takes one
};

struct ProgramLine {
    int index;
    int count;
    StageLine stages[12];
};

constexpr StageKind kTex = StageKind::kTexture;
constexpr StageKind kAdd = StageKind::kAdd;
constexpr StageKind kMad = StageKind::kMultiplyAdd;
constexpr StageKind kSad = StageKind::kScaleAdd;
constexpr StageKind kDot = StageKind::kDot3;
constexpr StageKind kMod = StageKind::kModulate;
constexpr StageKind kCon = StageKind::kConstant;

// Registers: 0 result, 1 and 2 temporaries, 8 + n layer n, 16 + i vertex colour i.
constexpr ProgramLine kPrograms[] = {
    {24, 1, {{kAdd, 0, 16, 17, 0}}},
    {25, 2, {{kTex, 8, 0, 0, 0}, {kMad, 0, 8, 16, 17}}},
    {26, 3, {{kTex, 8, 0, 0, 0}, {kSad, 1, 8, 16, 0}, {kAdd, 0, 1, 17, 0}}},
    {27, 4, {{kTex, 8, 0, 0, 0}, {kTex, 9, 0, 0, 0}, {kMad, 1, 8, 16, 17}, {kSad, 0, 9, 1, 0}}},
    {32, 3, {{kAdd, 1, 16, 17, 0}, {kTex, 8, 0, 0, 0}, {kAdd, 0, 8, 1, 0}}},
    {33, 4, {{kTex, 8, 0, 0, 0}, {kTex, 9, 0, 0, 0}, {kMad, 1, 16, 9, 8}, {kAdd, 0, 1, 17, 0}}},
    {34, 5, {{kAdd, 1, 16, 17, 0}, {kTex, 8, 0, 0, 0}, {kTex, 9, 0, 0, 0}, {kSad, 1, 9, 1, 0}, {kAdd, 0, 1, 8, 0}}},
    {35,
     6,
     {{kTex, 8, 0, 0, 0},
      {kTex, 9, 0, 0, 0},
      {kTex, 10, 0, 0, 0},
      {kMad, 1, 9, 16, 17},
      {kSad, 1, 10, 1, 0},
      {kAdd, 0, 1, 8, 0}}},
    {40,
     6,
     {{kTex, 8, 0, 0, 0},
      {kTex, 9, 0, 0, 0},
      {kDot, 1, 9, 16, 0},
      {kSad, 1, 1, 8, 2},
      {kCon, 2, 1, 0, 0},
      {kAdd, 0, 1, 2, 0}}},
    {41,
     8,
     {{kTex, 8, 0, 0, 0},
      {kTex, 9, 0, 0, 0},
      {kTex, 10, 0, 0, 0},
      {kDot, 1, 9, 16, 0},
      {kMod, 1, 1, 10, 0},
      {kAdd, 1, 1, 8, 0},
      {kCon, 2, 1, 0, 0},
      {kAdd, 0, 1, 2, 0}}},
    {42,
     8,
     {{kTex, 8, 0, 0, 0},
      {kTex, 9, 0, 0, 0},
      {kTex, 10, 0, 0, 0},
      {kDot, 1, 9, 16, 0},
      {kSad, 2, 1, 8, 2},
      {kSad, 1, 10, 2, 0},
      {kCon, 2, 1, 0, 0},
      {kAdd, 0, 1, 2, 0}}},
    {43,
     10,
     {{kTex, 8, 0, 0, 0},
      {kTex, 9, 0, 0, 0},
      {kTex, 10, 0, 0, 0},
      {kTex, 11, 0, 0, 0},
      {kDot, 1, 9, 16, 0},
      {kMod, 1, 1, 10, 0},
      {kAdd, 2, 1, 8, 0},
      {kSad, 1, 11, 2, 0},
      {kCon, 2, 1, 0, 0},
      {kAdd, 0, 1, 2, 0}}},
};

constexpr uint8_t kDepthTestFlag = 1;
constexpr uint8_t kDepthWriteFlag = 2;
constexpr uint8_t kTextureAlphaFlag = 4;
constexpr uint8_t kAdditiveLayerFlag = 8;

StageVariant ChooseVariant(const StageClass& stageClass, bool useMMX, bool useSSE)
{
    if (useSSE && stageClass.sse != nullptr)
        return StageVariant::kSSE;
    if (useMMX && stageClass.mmx != nullptr)
        return StageVariant::kMMX;
    return StageVariant::kPlain;
}

} // namespace

SWrasteriser::SWrasteriser() : m_workers(WorkersFromEnvironment()) {}
SWrasteriser::~SWrasteriser()
{
    EndLanes();
}

bool SWrasteriser::Create(SWrasterhost* host)
{
    return MakeParts(host, nullptr);
}

// A lane (made from the rasteriser it draws for, its model) takes the model's variants whatever the drivers say
// now, makes only the configured pipelines, and its pipelines test depth through a view of their own.
bool SWrasteriser::MakeParts(SWrasterhost* host, const SWrasteriser* model)
{
    const bool isLane = model != nullptr;
    m_host = host;
    m_scratch.reset(new (std::nothrow) uint32_t[static_cast<size_t>(kRegisterCount) * kPassPixels]());
    if (m_scratch) {
        for (int r = 0; r < kRegisterCount; ++r)
            m_routes.registerRows[r] = m_scratch.get() + static_cast<ptrdiff_t>(r) * kPassPixels;
    }
    MakeStages(model);
    if (isLane)
        m_depthView.reset(new (std::nothrow) SWdepthbuffer());
    bool isWhole = m_scratch != nullptr && (!isLane || m_depthView != nullptr);
    for (int index = 0; index < kPipelineCount; ++index) {
        if (isLane && std::none_of(std::begin(kPrograms), std::end(kPrograms),
                                   [index](const ProgramLine& line) { return line.index == index; }))
            continue;
        m_pipelines[index].reset(new (std::nothrow) SWrasterpipeline(&m_routes, &m_stats));
        if (m_pipelines[index] == nullptr) {
            isWhole = false;
            continue;
        }
        m_pipelines[index]->SetHost(host);
        m_pipelines[index]->SetDepthView(m_depthView.get());
    }
    // Without scratch rows no program can run: every pipeline stays empty and skips its triangles.
    if (m_scratch)
        ConfigurePrograms();
    for (const auto& row : m_stages)
        for (const auto& stage : row)
            isWhole = isWhole && stage != nullptr;
    return isWhole;
}

void SWrasteriser::MakeStages(const SWrasteriser* model)
{
    const SWrenderdrivers* drivers = SWrenderdrivers::Current();
    const bool useMMX = drivers != nullptr && drivers->UseMMX() != 0;
    const bool useSSE = drivers != nullptr && drivers->UseSSE() != 0;
    for (int c = 0; c < kStageClassCount; ++c) {
        const StageClass& stageClass = kStageClasses[c];
        m_variants[c] = model != nullptr ? model->m_variants[c] : ChooseVariant(stageClass, useMMX, useSSE);
        const StageMaker maker = m_variants[c] == StageVariant::kSSE   ? stageClass.sse
                                 : m_variants[c] == StageVariant::kMMX ? stageClass.mmx
                                                                       : stageClass.plain;
        for (int i = 0; i < kStageInstances; ++i) {
            m_stages[c][i] = maker();
            for (int k = 0; k < stageClass.kindCount; ++k)
                m_routes.route[static_cast<int>(stageClass.kinds[k])][i] = m_stages[c][i].get();
        }
    }
}

void SWrasteriser::ConfigurePrograms()
{
    for (const ProgramLine& line : kPrograms) {
        SWrasterpipeline* pipeline = m_pipelines[line.index].get();
        if (pipeline == nullptr)
            continue;
        for (int i = 0; i < line.count; ++i) {
            const StageLine& stage = line.stages[i];
            pipeline->Program().AddStage(stage.kind, stage.a, stage.b, stage.c, stage.d);
        }
    }
}

int SWrasteriser::PipelineIndex(const SWtexturestages& format, bool isIndexed)
{
    const int mode = format.combineMode;
    const int layers = mode > 3 ? format.layerCount + 3 - mode : format.layerCount;
    int code = layers;
    if (layers == 2) {
        code = 3;
    } else if (layers == 1) {
        // The first layer the mode's fixed stages leave free: additive (bit 3) or modulated.
        const int free = isIndexed ? (mode == 4 ? 1 : 0) : mode - 3;
        if (free < 0 || free >= kTextureStageCount)
            return -1;
        code = 1 + ((format.layerFlags[free] & kAdditiveLayerFlag) != 0 ? 1 : 0);
    }
    if (code < 0 || code > 7)
        return -1;
    const int index = mode * 8 | code;
    return index < kPipelineCount ? index : -1;
}

bool SWrasteriser::IsConfigured(int index) const
{
    const SWrasterpipeline* pipeline = Pipeline(index);
    return pipeline != nullptr && !pipeline->Program().IsEmpty();
}

const SWrasterpipeline* SWrasteriser::Pipeline(int index) const
{
    return index >= 0 && index < kPipelineCount ? m_pipelines[index].get() : nullptr;
}

SWrasterpipeline* SWrasteriser::Pipeline(int index)
{
    return index >= 0 && index < kPipelineCount ? m_pipelines[index].get() : nullptr;
}

void SWrasteriser::SetWorkers(int workers, int bandRows, uint32_t chunkTriangles)
{
    FinishAhead();
    const int kept = std::clamp(workers, 0, kMostWorkers);
    if (kept != m_workers)
        EndLanes();
    m_workers = kept;
    m_bandRows = std::max(bandRows, 0);
    m_chunkTriangles = chunkTriangles > 0 ? chunkTriangles : kChunkTriangles;
}

int SWrasteriser::WorkersFromEnvironment()
{
    if (const char* text = std::getenv("VORTAN_RENDER_THREADS"); text != nullptr) {
        int asked = 0;
        const char* end = text + std::strlen(text);
        const auto [stop, error] = std::from_chars(text, end, asked);
        if (error == std::errc() && stop == end && asked >= 1 && asked <= kMostWorkers)
            return asked == 1 ? 0 : asked;
    }
    const int cores = static_cast<int>(std::min<unsigned>(std::thread::hardware_concurrency(), kMostWorkers));
    return cores > 1 ? cores : 0;
}

void SWrasteriser::Draw(const SWdirectdraw* chain, const SWprimitivenode* list)
{
    if (m_workers != 0 && m_recorder == nullptr && DrawInBands(chain, list))
        return; // the lanes' loop counts its time
    FinishAhead();
    const auto start = Clock::now();
    DrawInOrder(chain, list);
    m_stats.drawNanoseconds +=
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

void SWrasteriser::DrawPrimitives(const SWprimitivenode* list)
{
    Draw(nullptr, list);
}

void SWrasteriser::DrawIndexed(const SWdirectdraw& record)
{
    SWdirectdraw alone = record;
    alone.next = nullptr;
    Draw(&alone, nullptr);
}

void SWrasteriser::DrawInOrder(const SWdirectdraw* chain, const SWprimitivenode* list)
{
    for (const SWdirectdraw* record = chain; record != nullptr; record = record->next)
        DrawRecordInOrder(*record);
    if (list != nullptr)
        DrawListInOrder(list);
}

void SWrasteriser::DrawRecordInOrder(const SWdirectdraw& record)
{
    SWrasterrun run;
    SWrasterpipeline* pipeline = StartRecordRun(record, run);
    if (pipeline == nullptr)
        return;
    if (record.work != nullptr) {
        for (uint32_t part = 0; part < record.work->PartCount(); ++part)
            record.work->RunPart(part);
    }
    for (uint32_t j = 0; j < run.count; ++j) {
        const uint32_t* v[3];
        if (!run.IndexedCorners(j, v)) {
            ++m_stats.skippedTriangles;
            continue;
        }
        if (m_recorder != nullptr)
            m_recorder->Record({run.format, run.pipeline, run.depthTest, run.depthWrite, pipeline->DepthScale()}, v[0],
                               v[1], v[2]);
        pipeline->DrawTriangle(v[0], v[1], v[2]);
    }
}

void SWrasteriser::DrawListInOrder(const SWprimitivenode* list)
{
    const SWprimitivenode* node = list;
    while (node != nullptr && node->next != nullptr) {
        const SWtexturestages* format = node->format;
        SWrasterrun run;
        SWrasterpipeline* pipeline = StartListRun(format, run);
        const SWtrianglerecorder::Run recorded{format, run.pipeline, run.depthTest, run.depthWrite,
                                               pipeline != nullptr ? pipeline->DepthScale() : 1.0f};
        for (; node->next != nullptr && node->format == format; node = node->next) {
            if (pipeline == nullptr || node->vertices == nullptr) {
                ++m_stats.skippedTriangles;
                continue;
            }
            const uint32_t* v = node->vertices;
            if (m_recorder != nullptr)
                m_recorder->Record(recorded, v, v + format->vertexStride, v + 2 * format->vertexStride);
            pipeline->DrawTriangle(v, v + format->vertexStride, v + 2 * format->vertexStride);
        }
    }
}

SWrasterpipeline* SWrasteriser::StartRecordRun(const SWdirectdraw& record, SWrasterrun& out)
{
    const SWtexturestages* format = record.format;
    if (format == nullptr || record.vertices == nullptr || record.indices == nullptr || record.triangleCount < 1 ||
        record.vertexCount < 1)
        return nullptr;
    const int index = PipelineIndex(*format, true);
    SWrasterpipeline* pipeline = IsConfigured(index) ? Pipeline(index) : nullptr;
    if (pipeline == nullptr || format->vertexStride == 0) {
        m_stats.skippedTriangles += static_cast<uint64_t>(record.triangleCount);
        return nullptr;
    }
    // Translucent triangles test depth but never write it, whatever the record's flags.
    const bool isTranslucent = format->vertexAlpha != 0 || (format->flags & kTextureAlphaFlag) != 0;
    const bool depthTest = (format->flags & kDepthTestFlag) != 0;
    const bool depthWrite = (format->flags & kDepthWriteFlag) != 0 && !isTranslucent;
    out = SWrasterrun::OfRecord(record, index, depthTest, depthWrite);
    if (!PrepareRun(*pipeline, out, {})) {
        m_stats.skippedTriangles += static_cast<uint64_t>(record.triangleCount);
        return nullptr;
    }
    m_stats.skippedTriangles += static_cast<uint32_t>(record.triangleCount) - out.count;
    return pipeline;
}

SWrasterpipeline* SWrasteriser::StartListRun(const SWtexturestages* format, SWrasterrun& out)
{
    out = SWrasterrun{};
    out.format = format;
    out.pipeline = format != nullptr ? PipelineIndex(*format, false) : -1;
    out.depthTest = format != nullptr && (format->flags & kDepthTestFlag) != 0;
    out.depthWrite = format != nullptr && (format->flags & kDepthWriteFlag) != 0;
    SWrasterpipeline* pipeline = IsConfigured(out.pipeline) ? Pipeline(out.pipeline) : nullptr;
    return pipeline != nullptr && PrepareRun(*pipeline, out, {}) ? pipeline : nullptr;
}

bool SWrasteriser::PrepareRun(SWrasterpipeline& pipeline, const SWrasterrun& run, RowWindow window)
{
    pipeline.SetDepthFlags(run.depthTest, run.depthWrite);
    pipeline.SetFormat(run.format);
    pipeline.SetRowWindow(window.first, window.end);
    return pipeline.Prepare();
}

// One pass of the lanes' loop: the vertex work's parts, then the chunks to bin, then the bands, each phase's pieces
// taken one at a time by whichever lane comes. A lane that finds no piece of a pass ready (its chunks still binned
// by others, or its bands still waiting for the pass before) takes one of a later pass, so that no lane waits
// while another pass has work: a lane the system wakes late finds its share taken and holds no other lane back.
struct SWrasteriser::BandPass {
    BandPass(SWrasterbands& b, int first, int lanes) : bands(b), firstLane(first), chunks(lanes - first) {}

    SWrasterbands& bands;
    const int firstLane;
    int chunks;          // of the binning, set when the runs are listed
    uint64_t number = 0; // over the rasteriser's life
    uint32_t turn = 0;   // within the loop
    std::atomic<bool> isBinned{true};
    std::atomic<uint32_t> nextPart{0}; // of the bands' vertex work
    std::atomic<uint32_t> partsDone{0};
    std::atomic<int> nextChunk{0};
    std::atomic<int> chunksDone{0};
    std::atomic<int> isOrdered{0};                // 1 once every chunk is binned and the order below is written
    std::unique_ptr<std::atomic<bool>[]> isTaken; // per band
    std::atomic<int> bandsDone{0};
    std::vector<int> order;     // the bands, most triangles first, so that no large one is left to the end
    std::vector<int> chunkLane; // the lane that binned each chunk, written by that lane
    std::vector<int> owner;     // per band, the lane that binned most of its triangles: their vertices are in its cache
    uint64_t listedSkipped = 0; // by the listing, counted once the pass is drawn in bands
    const SWdirectdraw* records = nullptr; // the chain's first record and how many, for a fall-back to frame order
    size_t recordCount = 0;
    const SWprimitivenode* list = nullptr;
};

// A worker enters a pass through its slot, and only while the slot still holds that pass: a worker woken late
// passes over what was drawn without it, and a slot is given to the next pass once no worker is inside.
struct SWrasteriser::AheadSlot {
    SWrasterbands bands;
    std::unique_ptr<BandPass> pass;  // null: free
    std::atomic<uint64_t> number{0}; // of the pass workers may enter; 0: none
    std::atomic<int> inside{0};
};

template <typename Done> void SWrasteriser::WorkUntil(Done&& done)
{
    while (!done()) {
        const uint32_t epoch = m_workEpoch.load();
        if (!done() && !TakePiece(0))
            WaitForWork(epoch);
    }
}

// The runs are listed on this thread, as the frame-order path meets them; the lanes then bin the triangles and
// draw the bands, this thread with them. Stats end as the frame-order path leaves them.
bool SWrasteriser::DrawInBands(const SWdirectdraw* chain, const SWprimitivenode* list)
{
    if (!Publish(chain, list, 0))
        return false;
    FinishAhead();
    return true;
}

bool SWrasteriser::DrawAhead(const SWdirectdraw* chain)
{
    if (!CanDrawAhead() || chain == nullptr || !MakeLanes() || m_pool->Lanes() < 2 || !HasRoomAhead())
        return false;
    return Publish(chain, nullptr, 1);
}

bool SWrasteriser::Publish(const SWdirectdraw* chain, const SWprimitivenode* list, int firstLane)
{
    if (!MakeLanes())
        return false;
    if (m_firstFailed.load() != kNoPass)
        FinishAhead(); // the loop draws the rest in frame order and ends
    const uint64_t number = m_passNumber + 1;
    AheadSlot& slot = SlotOf(number);
    if (slot.pass != nullptr && !Reclaim(slot))
        FinishAhead();
    std::unique_ptr<BandPass> pass;
    try {
        pass = std::make_unique<BandPass>(slot.bands, firstLane, m_pool->Lanes());
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ListPass(*pass, chain, list))
        return false;
    if (pass->bands.TriangleCount() == 0) {
        m_stats.skippedTriangles += pass->listedSkipped;
        return true; // nothing for the lanes: drawn as soon as the passes before it are
    }
    // A loop's passes share its bands; a target of another height starts a loop of its own.
    if (m_isServing && (pass->bands.BandCount() != m_loopBands || pass->bands.BandRows() != m_loopBandRows))
        FinishAhead();
    if (!m_isServing) {
        if (m_bandTurnCount < pass->bands.BandCount()) {
            m_bandTurns.reset(new (std::nothrow) std::atomic<uint32_t>[static_cast<size_t>(pass->bands.BandCount())]);
            m_bandTurnCount = m_bandTurns != nullptr ? pass->bands.BandCount() : 0;
            if (m_bandTurns == nullptr)
                return false;
        }
        for (int band = 0; band < pass->bands.BandCount(); ++band)
            m_bandTurns[static_cast<size_t>(band)].store(0);
        m_loopFirst = number;
        m_loopBands = pass->bands.BandCount();
        m_loopBandRows = pass->bands.BandRows();
        m_loopStarted = Clock::now();
        m_isServing = true;
    }
    pass->number = number;
    pass->turn = static_cast<uint32_t>(number - m_loopFirst);
    pass->records = chain;
    for (const SWdirectdraw* record = chain; record != nullptr; record = record->next)
        ++pass->recordCount;
    pass->list = list;
    slot.pass = std::move(pass);
    slot.number.store(number);
    m_passNumber = number;
    m_aheadState.fetch_add(2);
    Signal();
    return true;
}

bool SWrasteriser::HasRoomAhead() const
{
    if (!m_isServing || m_firstFailed.load() != kNoPass)
        return !m_isServing;
    const AheadSlot& slot = SlotOf(m_passNumber + 1);
    return slot.pass == nullptr || (IsDrawn(*slot.pass) && slot.inside.load() == 0);
}

void SWrasteriser::DrawOldestAhead()
{
    if (!m_isServing)
        return;
    AheadSlot& slot = SlotOf(m_drawnThrough + 1);
    if (m_firstFailed.load() != kNoPass || (slot.pass != nullptr && !Reclaim(slot)))
        FinishAhead();
}

uint64_t SWrasteriser::PassesDrawn() const
{
    if (!m_isServing)
        return m_passNumber;
    uint64_t drawn = m_drawnThrough;
    const uint64_t failed = m_firstFailed.load();
    for (uint64_t number = drawn + 1; number <= m_passNumber && number < failed; ++number) {
        const AheadSlot& slot = SlotOf(number);
        if (slot.pass == nullptr || slot.pass->number != number || !IsDrawn(*slot.pass))
            break;
        drawn = number;
    }
    return drawn;
}

bool SWrasteriser::IsDrawn(const BandPass& pass) const
{
    return pass.bandsDone.load() == pass.bands.BandCount();
}

bool SWrasteriser::Reclaim(AheadSlot& slot)
{
    BandPass& pass = *slot.pass;
    WorkUntil([&] { return IsDrawn(pass); }); // this thread would only wait: it takes pieces too
    Retire(slot);
    if (pass.number >= m_firstFailed.load())
        return false;
    TakeCounts(pass);
    m_drawnThrough = pass.number;
    m_oldestLive.store(pass.number + 1);
    slot.pass.reset();
    return true;
}

void SWrasteriser::Retire(AheadSlot& slot)
{
    slot.number.store(0);
    if (SWrasterpool::Watch([&] { return slot.inside.load() == 0; }))
        return;
    for (int now = slot.inside.load(); now != 0; now = slot.inside.load())
        slot.inside.wait(now);
}

void SWrasteriser::TakeCounts(const BandPass& pass)
{
    m_stats.skippedTriangles += pass.listedSkipped;
    for (int chunk = 0; chunk < pass.chunks; ++chunk)
        m_stats.skippedTriangles += pass.bands.Skipped(chunk);
}

// Every pass is drawn, by the workers and this thread, before the counts are taken: a worker writes its counts
// only while it draws a band, so they stand still once the last band is drawn, whether or not every worker has
// looked at every pass.
void SWrasteriser::FinishAhead()
{
    if (!m_isServing)
        return;
    const uint64_t oldest = m_drawnThrough + 1;
    AheadSlot& newest = SlotOf(m_passNumber);
    WorkUntil([&] { return IsDrawn(*newest.pass); }); // passes end in order: the newest ends last
    for (uint64_t number = oldest; number <= m_passNumber; ++number)
        Retire(SlotOf(number));
    m_isServing = false;
    const uint64_t failed = m_firstFailed.exchange(kNoPass);
    for (uint64_t number = oldest; number <= m_passNumber; ++number) {
        std::unique_ptr<BandPass> pass = std::move(SlotOf(number).pass);
        if (number < failed) {
            TakeCounts(*pass);
            continue;
        }
        // Binning ran out of memory: this pass and every one after it were left to frame order.
        const SWdirectdraw* record = pass->records;
        for (size_t i = 0; i < pass->recordCount; ++i, record = record->next)
            DrawRecordInOrder(*record);
        if (pass->list != nullptr)
            DrawListInOrder(pass->list);
    }
    m_drawnThrough = m_passNumber;
    m_oldestLive.store(m_passNumber + 1);
    for (const std::unique_ptr<SWrasteriser>& lane : m_lanes) {
        SWrasterstats& s = lane->m_stats;
        m_stats.affineTriangles += s.affineTriangles;
        m_stats.perspectiveTriangles += s.perspectiveTriangles;
        m_stats.skippedTriangles += s.skippedTriangles;
        m_stats.pixelsDrawn += s.pixelsDrawn;
        s = {};
    }
    m_stats.drawNanoseconds += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_loopStarted).count());
}

size_t SWrasteriser::ScratchBytes() const
{
    size_t bytes = 0;
    for (const std::unique_ptr<AheadSlot>& slot : m_slots)
        bytes += slot != nullptr ? slot->bands.Bytes() : 0;
    return bytes;
}

bool SWrasteriser::ListPass(BandPass& pass, const SWdirectdraw* chain, const SWprimitivenode* list)
{
    SWpixelbuffer* pixels = m_host != nullptr ? m_host->CurrentPixelBuffer() : nullptr;
    if (pixels == nullptr || pixels->Height() < 1)
        return false;
    const int lanes = m_pool->Lanes();
    const int32_t height = pixels->Height();
    // About six bands a lane: a worker draws its own bands pass after pass, and one that finishes early takes
    // another's; fewer, taller bands would leave lanes idle at a pass's end, more, shorter ones set up each
    // triangle in more of them.
    const int32_t bandRows = m_bandRows > 0 ? m_bandRows : std::max<int32_t>(8, (height + 6 * lanes - 1) / (6 * lanes));
    pass.bands.Reset(height, bandRows, lanes - pass.firstLane);
    m_lastPrepared = nullptr; // listing prepares this lane's pipelines afresh
    const uint64_t skippedBefore = m_stats.skippedTriangles;
    const bool isListed = ListRuns(pass.bands, chain, list);
    pass.listedSkipped = m_stats.skippedTriangles - skippedBefore;
    m_stats.skippedTriangles = skippedBefore;
    if (!isListed)
        return false;
    try {
        pass.order.resize(static_cast<size_t>(pass.bands.BandCount()));
        pass.isTaken = std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(pass.bands.BandCount()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A small draw is binned whole by the first lane to come instead of in pieces that every lane waits for.
    const uint64_t wanted = (pass.bands.TriangleCount() + m_chunkTriangles - 1) / m_chunkTriangles;
    pass.bands.LimitChunks(static_cast<int>(std::min<uint64_t>(wanted, static_cast<uint64_t>(pass.chunks))));
    // Chunks of whole runs, about four a lane, when the draw's runs are small enough to give every lane one.
    const uint64_t lanesBinning = static_cast<uint64_t>(lanes - pass.firstLane);
    pass.bands.CutAtRuns(std::max<uint64_t>(std::min(m_chunkTriangles, kChunkTriangles / 8),
                                            pass.bands.TriangleCount() / (4 * lanesBinning)));
    pass.chunks = pass.bands.Chunks();
    try {
        pass.chunkLane.resize(static_cast<size_t>(pass.chunks));
        pass.owner.resize(static_cast<size_t>(pass.bands.BandCount()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// A worker's loop, from the lanes' making to their end: pieces of the passes handed over, the oldest pass's
// first, and when none is ready, a wait for the next change.
// The epoch is read before the end is looked for: EndLanes marks the end and then moves the epoch on, so a lane that
// read the epoch first either sees the end or is woken by that move. Read the other way round, a lane could read
// the epoch already moved after finding no end, and sleep through the end for good.
void SWrasteriser::ServeAhead(int lane)
{
    for (;;) {
        const uint32_t epoch = m_workEpoch.load();
        if ((m_aheadState.load() & 1) != 0)
            return;
        if (!TakePiece(lane))
            WaitForWork(epoch);
    }
}

void SWrasteriser::WaitForWork(uint32_t epoch)
{
    if (!SWrasterpool::Watch([&] { return m_workEpoch.load() != epoch; }))
        m_workEpoch.wait(epoch);
}

void SWrasteriser::Signal()
{
    ++m_workEpoch;
    m_workEpoch.notify_all();
}

// A worker enters a pass through its slot, and only while the slot still holds that pass, so that a slot freed
// meanwhile is passed over.
bool SWrasteriser::TakePiece(int lane)
{
    const uint64_t newest = m_aheadState.load() >> 1;
    // A lane's own pieces of every pass first, then another's band: the vertices a lane shaded and binned are in
    // its cache, and a band drawn by another lane would fetch them from there.
    for (const bool isTakingOthers : {false, true}) {
        for (uint64_t number = m_oldestLive.load(); number <= newest; ++number) {
            AheadSlot& slot = SlotOf(number);
            ++slot.inside;
            const bool took = slot.number.load() == number && TakePiece(*slot.pass, lane, isTakingOthers);
            if (--slot.inside == 0)
                slot.inside.notify_all();
            if (took)
                return true;
        }
    }
    return false;
}

// A part of the vertex work, else a chunk to bin once the parts are done, else a band once every chunk is binned
// and the pass before has drawn that band: the lane's own, or with isTakingOthers, any. The counters are read
// before they are taken, so that lanes looking again and again do not run them on.
bool SWrasteriser::TakePiece(BandPass& pass, int lane, bool isTakingOthers)
{
    if (isTakingOthers)
        return pass.isOrdered.load() != 0 && DrawReadyBand(pass, lane, true);
    const uint32_t parts = pass.bands.WorkParts();
    if (pass.nextPart.load() < parts) {
        if (const uint32_t part = pass.nextPart++; part < parts) {
            pass.bands.RunWorkPart(part);
            if (++pass.partsDone == parts)
                Signal(); // binning reads the vertices the parts write
            return true;
        }
    }
    if (pass.partsDone.load() < parts)
        return false;
    if (pass.nextChunk.load() < pass.chunks) {
        if (const int chunk = pass.nextChunk++; chunk < pass.chunks) {
            if (!pass.bands.Bin(chunk)) {
                pass.isBinned = false;
                uint64_t failed = m_firstFailed.load();
                while (pass.number < failed && !m_firstFailed.compare_exchange_weak(failed, pass.number)) {
                }
            }
            pass.chunkLane[static_cast<size_t>(chunk)] = lane;
            if (++pass.chunksDone == pass.chunks) {
                OrderBands(pass);
                pass.isOrdered.store(1);
                Signal();
            }
            return true;
        }
    }
    if (pass.isOrdered.load() == 0)
        return false;
    return DrawReadyBand(pass, lane, false);
}

void SWrasteriser::OrderBands(BandPass& pass)
{
    const SWrasterbands& bands = pass.bands;
    for (int band = 0; band < bands.BandCount(); ++band) {
        pass.order[static_cast<size_t>(band)] = band;
        std::array<size_t, kMostWorkers> byLane{};
        int owner = 0;
        for (int chunk = 0; chunk < pass.chunks; ++chunk) {
            const int lane = pass.chunkLane[static_cast<size_t>(chunk)];
            byLane[static_cast<size_t>(lane)] += bands.BinTriangles(chunk, band);
            owner = byLane[static_cast<size_t>(lane)] > byLane[static_cast<size_t>(owner)] ? lane : owner;
        }
        pass.owner[static_cast<size_t>(band)] = owner;
    }
    std::stable_sort(pass.order.begin(), pass.order.end(),
                     [&](int a, int b) { return bands.BandTriangles(a) > bands.BandTriangles(b); });
}

// A band that no lane has taken and that the pass before has drawn, in the pass's order: one of the lane's own,
// or with isTakingOthers any, false when none. Every pass before this one is binned by now: its band was drawn
// after all its chunks were.
bool SWrasteriser::DrawReadyBand(BandPass& pass, int lane, bool isTakingOthers)
{
    const int count = pass.bands.BandCount();
    for (int next = 0; next < count; ++next) {
        const int band = pass.order[static_cast<size_t>(next)];
        if (!isTakingOthers && pass.owner[static_cast<size_t>(band)] != lane)
            continue;
        std::atomic<bool>& isTaken = pass.isTaken[static_cast<size_t>(band)];
        std::atomic<uint32_t>& turn = m_bandTurns[static_cast<size_t>(band)];
        if (isTaken.load(std::memory_order_relaxed) || turn.load() < pass.turn || isTaken.exchange(true))
            continue;
        SWrasteriser& drawer = Lane(lane);
        if (drawer.m_lastPass != pass.number) {
            drawer.m_lastPrepared = nullptr; // run records of an earlier pass may sit at the same addresses
            drawer.m_lastPass = pass.number;
        }
        if (pass.number < m_firstFailed.load())
            drawer.DrawBand(pass.bands, band);
        turn.store(pass.turn + 1);
        pass.bandsDone++;
        Signal();
        return true;
    }
    return false;
}

bool SWrasteriser::ListRuns(SWrasterbands& bands, const SWdirectdraw* chain, const SWprimitivenode* list)
{
    for (const SWdirectdraw* record = chain; record != nullptr; record = record->next) {
        SWrasterrun run;
        if (StartRecordRun(*record, run) == nullptr)
            continue;
        if (!bands.AddRun(run) || (record->work != nullptr && !bands.AddWork(*record->work)))
            return false;
    }
    const SWprimitivenode* node = list;
    while (node != nullptr && node->next != nullptr) {
        const SWtexturestages* format = node->format;
        SWrasterrun run;
        const bool isDrawn = StartListRun(format, run) != nullptr;
        if (isDrawn && !bands.AddRun(run))
            return false;
        for (; node->next != nullptr && node->format == format; node = node->next) {
            if (!isDrawn || node->vertices == nullptr)
                ++m_stats.skippedTriangles;
            else if (!bands.AddListed(node->vertices))
                return false;
        }
    }
    return true;
}

bool SWrasteriser::MakeLanes()
{
    if (m_pool != nullptr)
        return true;
    try {
        for (std::unique_ptr<AheadSlot>& slot : m_slots) {
            if (slot == nullptr)
                slot = std::make_unique<AheadSlot>();
        }
        m_pool = std::make_unique<SWrasterpool>(m_workers);
        m_lanes.clear();
        for (int lane = 1; lane < m_pool->Lanes(); ++lane) {
            m_lanes.push_back(std::make_unique<SWrasteriser>());
            m_lanes.back()->m_workers = 0;
            m_lanes.back()->MakeParts(m_host, this);
        }
    } catch (const std::bad_alloc&) {
        m_lanes.clear();
        m_pool.reset();
        return false;
    }
    // The workers stay in their loop, waiting for passes, until the lanes end.
    m_aheadState.store(2 * m_passNumber);
    m_oldestLive.store(m_passNumber + 1);
    m_pool->Start([this](int lane) { ServeAhead(lane); });
    return true;
}

void SWrasteriser::EndLanes()
{
    FinishAhead();
    if (m_pool != nullptr) {
        m_aheadState.fetch_or(1);
        Signal();
        m_pool->Wait();
    }
    m_lanes.clear();
    m_pool.reset();
}

void SWrasteriser::DrawBand(const SWrasterbands& bands, int band)
{
    const RowWindow window{band * bands.BandRows(), std::min(bands.Height(), (band + 1) * bands.BandRows())};
    const SWrasterrun* prepared = nullptr;
    SWrasterpipeline* pipeline = nullptr;
    bands.ForEachInBand(band, [&](const SWrasterrun& run, const uint32_t* const(&v)[3]) {
        if (&run != prepared) {
            prepared = &run;
            pipeline = Pipeline(run.pipeline);
            // The run this lane prepared last, in an earlier band of the pass, only moves its window. Any other
            // is prepared afresh: every pipeline of a lane binds the same stage objects.
            if (pipeline != nullptr && m_lastPrepared == &run) {
                pipeline->SetRowWindow(window.first, window.end);
            } else if (pipeline != nullptr && PrepareRun(*pipeline, run, window)) {
                m_lastPrepared = &run;
            } else {
                pipeline = nullptr;
                m_lastPrepared = nullptr;
            }
        }
        if (pipeline != nullptr)
            pipeline->DrawTriangle(v[0], v[1], v[2]);
    });
}
