#include "render/render_surface.h"

#include <bit>
#include <new>

#include "engine/core/matrix.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"
#include "render/software/rasteriser.h"

namespace {

// A surface without a camera draws with a default one's depth range.
const SWrendercamera kDefaultCamera;

} // namespace

SWrendersurface::SWrendersurface() : m_current(&m_a) {}

SWrendersurface::~SWrendersurface()
{
    FreeDirectDraws();
    if (m_vertexScratch != nullptr)
        m_vertexScratch->Release();
    if (m_indexScratch != nullptr)
        m_indexScratch->Release();
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
    m_factor = a;
    m_a.SetRowRepeat(a);
    m_b.SetRowRepeat(a);
    return true;
}

bool SWrendersurface::RefreshBuffers()
{
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
    m_current = (m_mode == Mode::kStereo && m_phase == 1) ? &m_b : &m_a;
    FitCurrentBuffer();
    return SWrendertarget::BeginFrame();
}

bool SWrendersurface::EndFrame()
{
    if (!CanDraw()) {
        FreeDirectDraws();
        m_queue.Clear();
        return false;
    }
    SWrendertarget::EndFrame();
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
    m_rasteriser->Draw(chainA, list);
    return true;
}

bool SWrendersurface::Flush()
{
    if (!CanDraw()) {
        FreeDirectDraws();
        return false;
    }
    return SWrendertarget::Flush();
}

bool SWrendersurface::SetRenderMode(uint32_t mode)
{
    if (mode > 2)
        return false;
    m_mode = static_cast<Mode>(mode);
    return true;
}

bool SWrendersurface::SetPhase(uint32_t phase)
{
    if (phase > 1)
        return false;
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
    if (m_vertexScratch == nullptr || coordinateSets > m_vertexScratchSets || vertexCount > m_vertexScratchCount) {
        if (m_vertexScratch != nullptr)
            m_vertexScratch->Release();
        m_vertexScratch = SWsoftvertexbuffer::Create(vertexCount, coordinateSets);
        m_vertexScratchSets = m_vertexScratch != nullptr ? coordinateSets : 0;
        m_vertexScratchCount = m_vertexScratch != nullptr ? vertexCount : 0;
        if (m_vertexScratch == nullptr)
            return nullptr;
    }
    m_vertexScratch->AddRef();
    return m_vertexScratch;
}

SWindexbuffer* SWrendersurface::GetIndexScratch(uint32_t indexCount)
{
    if (m_indexScratch == nullptr || indexCount > m_indexScratchCount) {
        if (m_indexScratch != nullptr)
            m_indexScratch->Release();
        m_indexScratch = SWsoftindexbuffer::Create(indexCount);
        m_indexScratchCount = m_indexScratch != nullptr ? indexCount : 0;
        if (m_indexScratch == nullptr)
            return nullptr;
    }
    m_indexScratch->AddRef();
    return m_indexScratch;
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
