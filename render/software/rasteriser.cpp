#include "render/software/rasteriser.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_drivers.h"
#include "render/software/combine_stages.h"
#include "render/software/combine_stages_wide.h"
#include "render/software/direct_draw.h"
#include "render/software/gouraud_stage.h"
#include "render/software/gouraud_stage_mmx.h"
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

SWrasteriser::SWrasteriser() = default;
SWrasteriser::~SWrasteriser() = default;

bool SWrasteriser::Create(SWrasterhost* host)
{
    m_host = host;
    m_scratch.reset(new (std::nothrow) uint32_t[static_cast<size_t>(kRegisterCount) * kPassPixels]());
    if (m_scratch) {
        for (int r = 0; r < kRegisterCount; ++r)
            m_routes.registerRows[r] = m_scratch.get() + static_cast<ptrdiff_t>(r) * kPassPixels;
    }
    MakeStages();
    bool isWhole = m_scratch != nullptr;
    for (int index = 0; index < kPipelineCount; ++index) {
        m_pipelines[index].reset(new (std::nothrow) SWrasterpipeline(&m_routes, &m_stats));
        if (m_pipelines[index] == nullptr)
            isWhole = false;
        else
            m_pipelines[index]->SetHost(host);
    }
    // Without scratch rows no program can run: every pipeline stays empty and skips its triangles.
    if (m_scratch)
        ConfigurePrograms();
    for (const auto& row : m_stages)
        for (const auto& stage : row)
            isWhole = isWhole && stage != nullptr;
    return isWhole;
}

void SWrasteriser::MakeStages()
{
    const SWrenderdrivers* drivers = SWrenderdrivers::Current();
    const bool useMMX = drivers != nullptr && drivers->UseMMX() != 0;
    const bool useSSE = drivers != nullptr && drivers->UseSSE() != 0;
    for (int c = 0; c < kStageClassCount; ++c) {
        const StageClass& stageClass = kStageClasses[c];
        m_variants[c] = ChooseVariant(stageClass, useMMX, useSSE);
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

void SWrasteriser::Draw(const SWdirectdraw* chain, const SWprimitivenode* list)
{
    const auto start = std::chrono::steady_clock::now();
    for (const SWdirectdraw* record = chain; record != nullptr; record = record->next)
        DrawIndexed(*record);
    if (list != nullptr)
        DrawPrimitives(list);
    m_stats.drawNanoseconds += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
}

void SWrasteriser::DrawPrimitives(const SWprimitivenode* list)
{
    const SWprimitivenode* node = list;
    while (node != nullptr && node->next != nullptr) {
        const SWtexturestages* format = node->format;
        const int index = format != nullptr ? PipelineIndex(*format, false) : -1;
        SWrasterpipeline* pipeline = IsConfigured(index) ? Pipeline(index) : nullptr;
        if (pipeline != nullptr) {
            pipeline->SetDepthFlags((format->flags & kDepthTestFlag) != 0, (format->flags & kDepthWriteFlag) != 0);
            pipeline->SetFormat(format);
            pipeline->Prepare();
        }
        const SWtrianglerecorder::Run run{format, index, (format != nullptr && (format->flags & kDepthTestFlag) != 0),
                                          (format != nullptr && (format->flags & kDepthWriteFlag) != 0),
                                          pipeline != nullptr ? pipeline->DepthScale() : 1.0f};
        for (; node->next != nullptr && node->format == format; node = node->next) {
            if (pipeline == nullptr || !pipeline->IsReady() || node->vertices == nullptr) {
                ++m_stats.skippedTriangles;
                continue;
            }
            const uint32_t* v = node->vertices;
            if (m_recorder != nullptr)
                m_recorder->Record(run, v, v + format->vertexStride, v + 2 * format->vertexStride);
            pipeline->DrawTriangle(v, v + format->vertexStride, v + 2 * format->vertexStride);
        }
    }
}

void SWrasteriser::DrawIndexed(const SWdirectdraw& record)
{
    const SWtexturestages* format = record.format;
    if (format == nullptr || record.vertices == nullptr || record.indices == nullptr || record.triangleCount < 1 ||
        record.vertexCount < 1)
        return;
    const int index = PipelineIndex(*format, true);
    SWrasterpipeline* pipeline = IsConfigured(index) ? Pipeline(index) : nullptr;
    const uint32_t stride = format->vertexStride;
    if (pipeline == nullptr || stride == 0) {
        m_stats.skippedTriangles += static_cast<uint64_t>(record.triangleCount);
        return;
    }
    // Translucent triangles test depth but never write it, whatever the record's flags.
    const bool isTranslucent = format->vertexAlpha != 0 || (format->flags & kTextureAlphaFlag) != 0;
    const bool depthTest = (format->flags & kDepthTestFlag) != 0;
    const bool depthWrite = (format->flags & kDepthWriteFlag) != 0 && !isTranslucent;
    pipeline->SetDepthFlags(depthTest, depthWrite);
    pipeline->SetFormat(format);
    if (!pipeline->Prepare()) {
        m_stats.skippedTriangles += static_cast<uint64_t>(record.triangleCount);
        return;
    }
    // The record's counts are claims: vertices must lie within the buffer, triangles within the indices.
    const uint32_t usableVertices =
        std::min<uint32_t>(static_cast<uint32_t>(record.vertexCount), record.vertices->WordCount() / stride);
    const uint32_t triangles =
        std::min<uint32_t>(static_cast<uint32_t>(record.triangleCount), record.indices->IndexCount() / 3);
    m_stats.skippedTriangles += static_cast<uint32_t>(record.triangleCount) - triangles;
    const uint32_t* words = record.vertices->Data();
    const uint16_t* indices = record.indices->Data();
    for (uint32_t j = 0; j < triangles; ++j) {
        const uint16_t* corner = indices + 3 * static_cast<size_t>(j);
        if (corner[0] >= usableVertices || corner[1] >= usableVertices || corner[2] >= usableVertices) {
            ++m_stats.skippedTriangles;
            continue;
        }
        const uint32_t* v0 = words + size_t{corner[0]} * stride;
        const uint32_t* v1 = words + size_t{corner[1]} * stride;
        const uint32_t* v2 = words + size_t{corner[2]} * stride;
        if (m_recorder != nullptr)
            m_recorder->Record({format, index, depthTest, depthWrite, pipeline->DepthScale()}, v0, v1, v2);
        pipeline->DrawTriangle(v0, v1, v2);
    }
}
