#include "render/d3d8/d3d8_drawer.h"

#include <cstring>

#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/device_state.h"
#include "render/d3d8/d3d8_buffers.h"
#include "render/d3d8/d3d8_surface.h"
#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_target.h"

namespace {

constexpr uint32_t kLeadWords = 6;

// The texture-set count of a queued vertex layout, or -1 when no stream takes it (odd, too short or too wide).
int TextureSetsOf(const SWtexturestages& block)
{
    const uint32_t stride = block.vertexStride;
    if (stride < kLeadWords || (stride - kLeadWords) % 2 != 0)
        return -1;
    const uint32_t sets = (stride - kLeadWords) / 2;
    return sets < SWd3d8drawer::kStreams ? static_cast<int>(sets) : -1;
}

uint32_t ScreenFvf(uint32_t sets)
{
    return pf::D3DFVF_XYZRHW | pf::D3DFVF_DIFFUSE | pf::D3DFVF_SPECULAR | (sets << pf::D3DFVF_TEXCOUNT_SHIFT);
}

} // namespace

SWd3d8drawer::~SWd3d8drawer()
{
    ReleaseBatchState();
    if (m_device != nullptr)
        m_device->Release();
}

bool SWd3d8drawer::Init(SWd3d8surface& surface)
{
    m_surface = &surface;
    if (m_device != nullptr)
        m_device->Release();
    m_device = surface.GetDevice();
    try {
        m_runs.reserve(kMostRuns);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return m_device != nullptr;
}

bool SWd3d8drawer::DrawLists(const SWdirectdraw* worldItems, const SWdirectdraw* groupItems,
                             const SWprimitivenode* batch)
{
    if (m_device == nullptr)
        return false;
    bool drawn = true;
    for (const SWdirectdraw* item = groupItems; item != nullptr; item = item->next)
        drawn = DrawGroupItem(*item, false) && drawn;
    for (const SWdirectdraw* item = worldItems; item != nullptr; item = item->next)
        drawn = DrawGroupItem(*item, true) && drawn;
    if (batch != nullptr)
        drawn = DrawBatch(batch) && drawn;
    return drawn;
}

bool SWd3d8drawer::BuildRecipe(const SWtexturestages& block, SWrecipe& out)
{
    const uint32_t simultaneous = m_surface != nullptr ? m_surface->GetMaxSimultaneousTextures() : 0;
    return ::BuildRecipe(
        block, simultaneous,
        [this](const SWtexture* image) { return m_surface != nullptr ? m_surface->TextureFor(image) : nullptr; }, out);
}

bool SWd3d8drawer::ApplyPass(const SWrecipepass& pass)
{
    return m_device != nullptr && ApplyRecipePass(*m_device, pass);
}

// Group items come from the target's direct-draw chains, whose every record is an SWdirectdrawrecord holding the
// buffers; an item without triangles or without both of our buffers is skipped.
bool SWd3d8drawer::DrawGroupItem(const SWdirectdraw& item, bool world)
{
    const auto& record = reinterpret_cast<const SWdirectdrawrecord&>(item);
    auto* vertices = dynamic_cast<SWd3d8vertexbuffer*>(record.vertices);
    auto* indices = dynamic_cast<SWd3d8indexbuffer*>(record.indices);
    if (item.triangleCount <= 0 || item.vertexCount <= 0 || vertices == nullptr || indices == nullptr ||
        item.format == nullptr)
        return true;
    const pf::D3DMATRIX identity = pf::identityMatrix();
    bool ok = pf::succeeded(m_device->SetTransform(pf::D3DTS_WORLD, &identity));
    if (world)
        ok = pf::succeeded(m_device->SetRenderState(pf::D3DRS_CLIPPING, 1)) && ok;
    SWrecipe recipe;
    if (!BuildRecipe(*item.format, recipe))
        return ok;
    ok = pf::succeeded(m_device->SetIndices(indices->GetInterface(), 0)) && ok;
    ok = pf::succeeded(m_device->SetStreamSource(0, vertices->GetInterface(), vertices->GetStrideBytes())) && ok;
    ok = pf::succeeded(m_device->SetVertexShader(vertices->GetFvf())) && ok;
    for (uint32_t p = 0; p < recipe.passCount; ++p) {
        ok = ApplyPass(recipe.passes[p]) && ok;
        ok = pf::succeeded(m_device->DrawIndexedPrimitive(pf::D3DPT_TRIANGLELIST, 0,
                                                          static_cast<uint32_t>(item.vertexCount), 0,
                                                          static_cast<uint32_t>(item.triangleCount))) &&
             ok;
    }
    m_device->SetIndices(nullptr, 0);
    m_device->SetStreamSource(0, nullptr, 0);
    if (world)
        m_device->SetRenderState(pf::D3DRS_CLIPPING, 0);
    return ok;
}

bool SWd3d8drawer::DrawBatch(const SWprimitivenode* list)
{
    bool ok = true;
    m_runs.clear();
    for (const SWprimitivenode* node = list; node != nullptr; node = node->next) {
        if (node->format == nullptr || node->vertices == nullptr)
            continue; // the list's end node
        const int sets = TextureSetsOf(*node->format);
        if (sets < 0) {
            ++m_counters.skippedPrimitives;
            continue;
        }
        Stream& stream = m_streams[static_cast<uint32_t>(sets)];
        if (stream.written + 3 > kStreamVertices || m_runs.size() >= kMostRuns)
            ok = DrawPendingRuns() && ok;
        if (stream.cursor == nullptr && !OpenStream(static_cast<uint32_t>(sets))) {
            ++m_counters.skippedPrimitives;
            ok = false;
            continue;
        }
        const uint32_t stride = node->format->vertexStride;
        std::memcpy(stream.cursor + size_t{stream.written} * stride, node->vertices, size_t{3} * stride * 4);
        Run* last = m_runs.empty() ? nullptr : &m_runs.back();
        if (last != nullptr && last->block == node->format && last->stream == static_cast<uint32_t>(sets) &&
            last->firstVertex + last->vertexCount == stream.written)
            last->vertexCount += 3;
        else
            m_runs.push_back({node->format, static_cast<uint32_t>(sets), stream.written, 3});
        stream.written += 3;
    }
    ok = DrawPendingRuns() && ok;
    m_device->SetStreamSource(0, nullptr, 0);
    ReleaseBatchState();
    return ok;
}

bool SWd3d8drawer::OpenStream(uint32_t sets)
{
    Stream& stream = m_streams[sets];
    if (stream.buffer == nullptr)
        stream.buffer = m_surface->GetScreenVertexBuffer(sets, kStreamVertices);
    if (stream.buffer == nullptr)
        return false;
    stream.cursor = static_cast<uint32_t*>(stream.buffer->LockRange(0, 0, true));
    stream.written = 0;
    return stream.cursor != nullptr;
}

bool SWd3d8drawer::DrawPendingRuns()
{
    for (Stream& stream : m_streams) {
        if (stream.cursor != nullptr)
            stream.buffer->Unlock();
        stream.cursor = nullptr;
    }
    bool ok = true;
    for (const Run& run : m_runs)
        ok = DrawRun(run) && ok;
    if (!m_runs.empty())
        ++m_counters.flushes;
    m_runs.clear();
    // The streams start again from the cache's next buffers, so the ones just drawn from are not written over.
    for (Stream& stream : m_streams) {
        if (stream.buffer != nullptr)
            stream.buffer->Release();
        stream = Stream{};
    }
    return ok;
}

bool SWd3d8drawer::DrawRun(const Run& run)
{
    const Stream& stream = m_streams[run.stream];
    CachedBlock* cached = CachedFor(*run.block, stream, run.stream);
    if (cached == nullptr || cached->passCount == 0)
        return cached != nullptr;
    ++m_counters.runsDrawn;
    // A block recorded while another buffer was the stream sets its own; the run's buffer goes back after it.
    const bool restream = cached->capturedStream != stream.buffer;
    const auto apply = [&](uint32_t p) {
        bool ok = pf::succeeded(m_device->ApplyStateBlock(cached->tokens[p]));
        if (restream)
            ok = pf::succeeded(
                     m_device->SetStreamSource(0, stream.buffer->GetInterface(), stream.buffer->GetStrideBytes())) &&
                 ok;
        return ok;
    };
    bool ok = true;
    if (cached->blended && cached->passCount > 1) {
        // Each triangle's passes blend onto it before the next triangle is drawn.
        for (uint32_t t = 0; t < run.vertexCount / 3; ++t)
            for (uint32_t p = 0; p < cached->passCount; ++p) {
                ok = apply(p) && ok;
                ok = pf::succeeded(m_device->DrawPrimitive(pf::D3DPT_TRIANGLELIST, run.firstVertex + 3 * t, 1)) && ok;
            }
        return ok;
    }
    for (uint32_t p = 0; p < cached->passCount; ++p) {
        ok = apply(p) && ok;
        ok = pf::succeeded(m_device->DrawPrimitive(pf::D3DPT_TRIANGLELIST, run.firstVertex, run.vertexCount / 3)) && ok;
    }
    return ok;
}

SWd3d8drawer::CachedBlock* SWd3d8drawer::CachedFor(const SWtexturestages& block, const Stream& stream, uint32_t sets)
{
    if (block.cacheLink != nullptr)
        return static_cast<CachedBlock*>(block.cacheLink);
    auto cached = std::make_unique<CachedBlock>();
    cached->block = &block;
    cached->capturedStream = stream.buffer;
    SWrecipe recipe;
    if (BuildRecipe(block, recipe)) {
        cached->blended = recipe.blended;
        for (uint32_t p = 0; p < recipe.passCount; ++p) {
            if (!pf::succeeded(m_device->BeginStateBlock()))
                break;
            ApplyPass(recipe.passes[p]);
            m_device->SetStreamSource(0, stream.buffer != nullptr ? stream.buffer->GetInterface() : nullptr,
                                      stream.buffer != nullptr ? stream.buffer->GetStrideBytes() : 0);
            m_device->SetVertexShader(ScreenFvf(sets));
            uint32_t token = 0;
            if (!pf::succeeded(m_device->EndStateBlock(&token)))
                break;
            cached->tokens[cached->passCount++] = token;
            ++m_counters.stateBlocksMade;
        }
    }
    // The block is the scene's; its link is the one word kept for this cache, cleared after the batch.
    const_cast<SWtexturestages&>(block).cacheLink = cached.get();
    m_cached.push_back(std::move(cached));
    return m_cached.back().get();
}

void SWd3d8drawer::ReleaseBatchState()
{
    for (const auto& cached : m_cached) {
        for (uint32_t p = 0; p < cached->passCount; ++p)
            if (m_device != nullptr)
                m_device->DeleteStateBlock(cached->tokens[p]);
        const_cast<SWtexturestages*>(cached->block)->cacheLink = nullptr;
    }
    m_cached.clear();
    for (Stream& stream : m_streams) {
        if (stream.buffer != nullptr) {
            if (stream.cursor != nullptr)
                stream.buffer->Unlock();
            stream.buffer->Release();
        }
        stream = Stream{};
    }
}
