#include "render/render_surface.h"

#include <algorithm>
#include <bit>
#include <new>

#include "engine/core/matrix.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"
#include "render/software/rasteriser.h"

namespace {

// A surface without a camera draws with a default one's depth range.
const SWrendercamera kDefaultCamera;

// The triangles waiting in records before they are handed to the workers ahead of the frame's end.
constexpr uint64_t kLeastTrianglesAhead = 16384;
// The scratch buffers that records handed to the workers and records waiting for them may hold at once: a few
// passes of a large world's groups, whatever the world's size.
constexpr size_t kMostScratchBytes = size_t{24} << 20;

size_t BytesOf(const SWdirectdraw& draw)
{
    return (draw.vertices != nullptr ? size_t{draw.vertices->WordCount()} * sizeof(uint32_t) : 0) +
           (draw.indices != nullptr ? size_t{draw.indices->IndexCount()} * sizeof(uint16_t) : 0);
}

} // namespace

SWrendersurface::SWrendersurface()
    : m_current(&m_a), m_leastAhead(kLeastTrianglesAhead), m_mostScratchBytes(kMostScratchBytes)
{
}

SWrendersurface::~SWrendersurface()
{
    if (m_rasteriser != nullptr)
        m_rasteriser->FinishAhead();
    FreeDirectDraws();
    for (const Scratch<SWsoftvertexbuffer>& scratch : m_vertexScratches)
        scratch.buffer->Release();
    for (const Scratch<SWsoftindexbuffer>& scratch : m_indexScratches)
        scratch.buffer->Release();
}

bool SWrendersurface::Init()
{
    std::unique_ptr<SWrasteriser> rasteriser(new (std::nothrow) SWrasteriser);
    std::unique_ptr<SWclipper> clipper(new (std::nothrow) SWclipper);
    if (rasteriser == nullptr || clipper == nullptr)
        return false;
    rasteriser->Create(this);
    m_rasteriser = std::move(rasteriser);
    SetClipper(std::move(clipper));
    return true;
}

bool SWrendersurface::Resize(uint32_t width, uint32_t height)
{
    return SetSize(width, height, nullptr);
}

bool SWrendersurface::SetSupersampling(uint32_t a, uint32_t b)
{
    if (a != b || (a != 1 && a != 2))
        return false;
    DrawWaiting();
    m_factor = a;
    m_a.SetRowRepeat(a);
    m_b.SetRowRepeat(a);
    return true;
}

bool SWrendersurface::RefreshBuffers()
{
    DrawWaiting();
    if (m_mode == Mode::kStereo) {
        m_b.Refresh(true);
        m_a.Refresh(true);
    } else {
        m_a.Refresh(false);
    }
    return true;
}

bool SWrendersurface::BeginFrame()
{
    DrawWaiting();
    m_current = (m_mode == Mode::kStereo && m_phase == 1) ? &m_b : &m_a;
    FitCurrentBuffer();
    return SWrendertarget::BeginFrame();
}

bool SWrendersurface::EndFrame()
{
    if (!CanDraw()) {
        FreeDirectDraws();
        RecordsFreed();
        m_queue.Clear();
        return false;
    }
    SWrendertarget::EndFrame();
    RecordsFreed();
    if (m_mode == Mode::kStereo && m_phase == 1) {
        const int32_t rows = static_cast<int32_t>(m_factor * m_height);
        for (int32_t row = 0; row < rows; ++row)
            m_a.ApplyColourTable(m_b, row, true);
    }
    if (m_factor == 2 && !m_current->IsAttached()) {
        const int32_t width = static_cast<int32_t>(m_width);
        const int32_t height = static_cast<int32_t>(m_height);
        if (m_c.Width() != width || m_c.Height() != height)
            m_c.SetSize(width, height);
        for (int32_t row = 0; row < m_c.Height(); ++row)
            m_c.HalveInto(m_a, row);
        m_current = &m_c;
    }
    return true;
}

bool SWrendersurface::Draw(const SWdirectdraw* /*chainB*/, const SWdirectdraw* chainA, const SWprimitivenode* list)
{
    if (!CanDraw())
        return false;
    if (m_drawnAhead != nullptr && chainA == ChainA())
        chainA = m_drawnAhead->draw.next;
    m_rasteriser->Draw(chainA, list);
    return true;
}

bool SWrendersurface::Flush()
{
    if (!CanDraw()) {
        FreeDirectDraws();
        RecordsFreed();
        return false;
    }
    if (m_rasteriser->Workers() > 0) {
        DrawAhead();
        return true;
    }
    const bool drawn = SWrendertarget::Flush();
    RecordsFreed();
    return drawn;
}

void SWrendersurface::DrawAhead()
{
    GiveBackDrawn();
    SWdirectdrawrecord* const first = m_drawnAhead != nullptr ? m_drawnAhead->next : FirstDirectDrawRecord();
    if (first == nullptr || !m_rasteriser->CanDrawAhead())
        return;
    // Every pass wakes every worker and ends only when the last has looked for work: a few large passes a frame
    // cost less than one a group, and what is left when the frame ends is drawn by every lane at once anyway.
    uint64_t triangles = 0;
    size_t bytes = 0;
    for (SWdirectdrawrecord* record = first; record != nullptr; record = record->next) {
        triangles += static_cast<uint64_t>(std::max(record->draw.triangleCount, 0));
        bytes += BytesOf(record->draw);
    }
    if (triangles < m_leastAhead)
        return;
    // Past the bound, the records wait for the workers to give scratch back, and once a quarter of the bound
    // waits, this thread draws with the workers until the oldest pass is drawn, then hands them over.
    while (!m_rasteriser->HasRoomAhead() || (m_bytesAhead != 0 && m_bytesAhead + bytes > m_mostScratchBytes)) {
        if (bytes < m_mostScratchBytes / 4)
            return;
        m_rasteriser->DrawOldestAhead();
        GiveBackDrawn();
    }
    SWdirectdrawrecord* last = first;
    for (SWdirectdrawrecord* record = first; record != nullptr; record = record->next) {
        if (record->draw.format != nullptr) {
            record->heldFormat = *record->draw.format;
            record->draw.format = &record->heldFormat;
        }
        last = record;
    }
    if (!m_rasteriser->DrawAhead(&first->draw))
        return;
    m_drawnAhead = last;
    try {
        m_handed.push_back({m_rasteriser->LastPassHanded(), last, bytes});
        m_bytesAhead += bytes;
    } catch (const std::bad_alloc&) {
        // Not given back before the frame ends, as without the workers' room
    }
}

void SWrendersurface::GiveBackDrawn()
{
    if (m_handedFirst == m_handed.size())
        return;
    const uint64_t drawn = m_rasteriser->PassesDrawn();
    for (; m_handedFirst < m_handed.size() && m_handed[m_handedFirst].pass <= drawn; ++m_handedFirst) {
        SWdirectdrawrecord* record = m_givenBack != nullptr ? m_givenBack->next : FirstDirectDrawRecord();
        for (; record != nullptr; record = record->next) {
            record->ReleaseBuffers();
            if (record == m_handed[m_handedFirst].last)
                break;
        }
        m_givenBack = m_handed[m_handedFirst].last;
        m_bytesAhead -= m_handed[m_handedFirst].bytes;
    }
}

void SWrendersurface::RecordsFreed()
{
    m_drawnAhead = nullptr;
    m_handed.clear();
    m_handedFirst = 0;
    m_givenBack = nullptr;
    m_bytesAhead = 0;
}

void SWrendersurface::SetHandOver(uint64_t leastTriangles, size_t mostScratchBytes)
{
    DrawWaiting();
    m_leastAhead = leastTriangles;
    m_mostScratchBytes = mostScratchBytes;
}

size_t SWrendersurface::ScratchBytes() const
{
    size_t bytes = m_rasteriser != nullptr ? m_rasteriser->ScratchBytes() : 0;
    for (const Scratch<SWsoftvertexbuffer>& scratch : m_vertexScratches)
        bytes += size_t{scratch.buffer->WordCount()} * sizeof(uint32_t);
    for (const Scratch<SWsoftindexbuffer>& scratch : m_indexScratches)
        bytes += size_t{scratch.buffer->IndexCount()} * sizeof(uint16_t);
    return bytes;
}

void SWrendersurface::DrawWaiting()
{
    if (ChainA() == nullptr)
        return;
    if (CanDraw())
        SWrendertarget::Flush();
    FreeDirectDraws();
    RecordsFreed();
}

bool SWrendersurface::SetRenderMode(uint32_t mode)
{
    if (mode > 2)
        return false;
    DrawWaiting();
    m_mode = static_cast<Mode>(mode);
    return true;
}

bool SWrendersurface::SetPhase(uint32_t phase)
{
    if (phase > 1)
        return false;
    DrawWaiting();
    m_phase = phase;
    if (m_mode == Mode::kStereo) {
        m_current = phase == 1 ? &m_b : &m_a;
        FitCurrentBuffer();
    }
    return true;
}

bool SWrendersurface::GetViewMatrix(float out[16])
{
    if (!CanDraw())
        return false;
    DrawWaiting();
    SWrendercamera* const camera = GetCamera();
    const float n = camera != nullptr ? camera->GetNear() : kDefaultCamera.GetNear();
    const float f = camera != nullptr ? camera->GetFar() : kDefaultCamera.GetFar();
    const float w = static_cast<float>(m_bufferWidth);
    const float h = static_cast<float>(m_bufferHeight);
    m_viewport.xScale = -0.5f * w;
    m_viewport.xOffset = 0.5f * w;
    m_viewport.yScale = 0.5f * h;
    m_viewport.yOffset = 0.5f * h;
    m_viewport.depthScale = -f / (f - n);
    m_viewport.depthOffset = -n / (f - n);
    if (m_mode == Mode::kInterlaced) {
        const uint32_t half = (m_bufferHeight + 1) >> 1;
        if (m_phase == 1) {
            m_viewport.yScale = static_cast<float>(m_bufferHeight - half) * 0.5f;
            m_viewport.yOffset = m_viewport.yScale + static_cast<float>(half);
        } else {
            m_viewport.yScale = static_cast<float>(half) * 0.5f;
            m_viewport.yOffset = m_viewport.yScale;
        }
    }
    return FinishViewMatrix(camera, n, f, w, h, out);
}

SWvertexbuffer* SWrendersurface::CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount)
{
    return SWsoftvertexbuffer::Create(vertexCount, coordinateSets);
}

SWindexbuffer* SWrendersurface::CreateIndexBuffer(uint32_t indexCount)
{
    return SWsoftindexbuffer::Create(indexCount);
}

SWvertexbuffer* SWrendersurface::GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount)
{
    return LendScratch(m_vertexScratches, coordinateSets, vertexCount,
                       [&] { return SWsoftvertexbuffer::Create(vertexCount, coordinateSets); });
}

SWindexbuffer* SWrendersurface::GetIndexScratch(uint32_t indexCount)
{
    return LendScratch(m_indexScratches, 0, indexCount, [&] { return SWsoftindexbuffer::Create(indexCount); });
}

// A scratch buffer is free when the surface holds its only reference: a record waiting to be drawn holds one more.
template <typename Buffer, typename Make>
Buffer* SWrendersurface::LendScratch(std::vector<Scratch<Buffer>>& scratches, uint32_t sets, uint32_t count,
                                     Make&& make)
{
    const auto isFree = [](Buffer* buffer) {
        const bool free = buffer->AddRef() == 1;
        buffer->Release();
        return free;
    };
    auto scratch = std::find_if(scratches.begin(), scratches.end(),
                                [&](const Scratch<Buffer>& kept) { return isFree(kept.buffer); });
    if (scratch == scratches.end()) {
        try {
            scratches.push_back({make(), sets, count});
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        scratch = scratches.end() - 1;
    } else if (sets > scratch->sets || count > scratch->count) {
        scratch->buffer->Release();
        *scratch = {make(), sets, count};
    }
    if (scratch->buffer == nullptr) {
        scratches.erase(scratch);
        return nullptr;
    }
    scratch->buffer->AddRef();
    return scratch->buffer;
}

bool SWrendersurface::AttachImage(SWtexture* image)
{
    SWpixelbuffer probe;
    if (image == nullptr || !probe.AttachImage(image))
        return false;
    return SetSize(static_cast<uint32_t>(probe.Width()), static_cast<uint32_t>(probe.Height()), image);
}

bool SWrendersurface::SetSize(uint32_t width, uint32_t height, SWtexture* image)
{
    DrawWaiting();
    m_width = width;
    m_height = height;
    if (image != nullptr) {
        if (!m_current->AttachImage(image))
            return false;
        m_bufferWidth = static_cast<uint32_t>(m_current->Width());
        m_bufferHeight = static_cast<uint32_t>(m_current->Height());
        return true;
    }
    m_bufferWidth = m_factor * width;
    m_bufferHeight = m_factor * height;
    FitCurrentBuffer();
    return true;
}

float SWrendersurface::NearDistance() const
{
    return GetCamera() != nullptr ? GetCamera()->GetNear() : kDefaultCamera.GetNear();
}

float SWrendersurface::FarDistance() const
{
    return GetCamera() != nullptr ? GetCamera()->GetFar() : kDefaultCamera.GetFar();
}

void SWrendersurface::FitCurrentBuffer()
{
    if (m_current->IsAttached())
        return;
    const uint32_t width = m_factor * m_width;
    const uint32_t height = m_factor * m_height;
    if (static_cast<uint32_t>(m_current->Width()) != width || static_cast<uint32_t>(m_current->Height()) != height)
        m_current->SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    m_bufferWidth = static_cast<uint32_t>(m_current->Width());
    m_bufferHeight = static_cast<uint32_t>(m_current->Height());
}
