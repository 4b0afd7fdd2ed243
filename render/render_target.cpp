#include "render/render_target.h"

#include <new>

#include "engine/core/matrix.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"

namespace {

// The near value never reaches 0, where the projection's 1/z would meet the eye.
constexpr float kMostNearValue = -1e-10f;
// A target without a camera draws with a default one's view.
const SWrendercamera kDefaultCamera;

} // namespace

SWrendertarget::SWrendertarget() = default;

SWrendertarget::~SWrendertarget()
{
    FreeDirectDraws();
    m_queue.Clear();
}

bool SWrendertarget::SetSupersampling(uint32_t a, uint32_t b)
{
    if (a != b)
        return false;
    m_factor = a == 2 ? 2 : 1;
    return true;
}

bool SWrendertarget::RefreshBuffers()
{
    return true;
}

bool SWrendertarget::BeginFrame()
{
    ++m_frameCount;
    return true;
}

bool SWrendertarget::EndFrame()
{
    if (!m_queue.IsEmpty()) {
        m_queue.Sort();
        m_queue.JoinBatches();
        Draw(nullptr, ChainA(), m_queue.FirstBatch()->FirstNode());
    } else if (m_chainA != nullptr) {
        Draw(nullptr, ChainA(), nullptr);
    }
    FreeDirectDraws();
    m_queue.Clear();
    return true;
}

bool SWrendertarget::Flush()
{
    if (m_chainA == nullptr)
        return true;
    const bool drawn = Draw(nullptr, ChainA(), nullptr);
    FreeDirectDraws();
    return drawn;
}

bool SWrendertarget::SetCamera(SWrendercamera* camera)
{
    m_camera = camera;
    return true;
}

void SWrendertarget::SetJitter(float x, float y)
{
    m_jitterX = x;
    m_jitterY = y;
}

SWdirectdrawrecord* SWrendertarget::NewDirectDrawRecord()
{
    try {
        if (m_recordsInUse == m_records.size()) {
            m_records.reserve(m_records.size() + 1);
            m_records.push_back(std::make_unique<SWdirectdrawrecord>());
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    SWdirectdrawrecord* const record = m_records[m_recordsInUse++].get();
    std::unique_ptr<SWvertexwork> work = std::move(record->work);
    *record = SWdirectdrawrecord{};
    record->work = std::move(work);
    if (m_chainALast != nullptr) {
        m_chainALast->next = record;
        m_chainALast->draw.next = &record->draw;
    } else {
        m_chainA = record;
    }
    m_chainALast = record;
    return record;
}

void* SWrendertarget::GetScratch(uint32_t size, uint32_t slot)
{
    if (slot >= kScratchSlots)
        return nullptr;
    Scratch& scratch = m_scratch[slot];
    if (scratch.capacity > size)
        return scratch.bytes.get();
    if (size > (1u << 30))
        return nullptr;
    const uint32_t capacity = ((size + 64) | 16) & ~3u;
    scratch.bytes.reset(new (std::nothrow) uint8_t[capacity]);
    scratch.capacity = scratch.bytes != nullptr ? capacity : 0;
    return scratch.bytes.get();
}

void SWdirectdrawrecord::ReleaseBuffers()
{
    if (vertices != nullptr)
        vertices->Release();
    if (indices != nullptr)
        indices->Release();
    vertices = nullptr;
    indices = nullptr;
}

void SWrendertarget::FreeDirectDraws()
{
    for (SWdirectdrawrecord* record = m_chainA; record != nullptr; record = record->next)
        record->ReleaseBuffers();
    m_chainA = nullptr;
    m_chainALast = nullptr;
    m_recordsInUse = 0;
}

void SWrendertarget::SetClipper(std::unique_ptr<SWclipper> clipper)
{
    m_clipper = std::move(clipper);
    if (m_clipper != nullptr)
        m_clipper->SetTarget(this);
}

void SWrendertarget::SetNearValue(float nearValue)
{
    m_nearValue = nearValue;
    if (m_clipper != nullptr)
        m_clipper->SetNearPlane(nearValue);
}

bool SWrendertarget::FinishViewMatrix(SWrendercamera* camera, float n, float f, float w, float h, float out[16])
{
    float nearValue = -(n / f);
    if (!(nearValue < kMostNearValue))
        nearValue = kMostNearValue;
    SetNearValue(nearValue);

    SWmatrix matrix;
    if (camera != nullptr) {
        const SWrendercamera::Window saved = camera->GetWindow();
        float left, right, bottom, top;
        camera->GetWindowX(left, right);
        camera->GetWindowY(bottom, top);
        const float shiftX = w > 0.0f ? (right - left) / w * m_jitterX : 0.0f;
        const float shiftY = h > 0.0f ? (top - bottom) / h * m_jitterY : 0.0f;
        camera->SetWindowX(left + shiftX, right + shiftX);
        camera->SetWindowY(bottom + shiftY, top + shiftY);
        camera->BuildViewMatrix(matrix);
        camera->RestoreWindow(saved);
    } else {
        kDefaultCamera.BuildViewMatrix(matrix);
    }
    for (int i = 0; i < 16; ++i)
        out[i] = matrix[i];
    return true;
}
