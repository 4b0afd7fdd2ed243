#include "render/d3d8/d3d8_buffers.h"

#include <new>

#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"

namespace {

// A device buffer is locked once at a time; a refused lock, or one that gives no memory, leaves it unlocked.
template <class Buffer>
void* LockOnce(Buffer& buffer, bool& locked, uint32_t offsetBytes, uint32_t sizeBytes, bool discard)
{
    uint8_t* data = nullptr;
    if (locked || !pf::succeeded(buffer.Lock(offsetBytes, sizeBytes, &data, discard ? pf::D3DLOCK_DISCARD : 0)) ||
        data == nullptr)
        return nullptr;
    locked = true;
    return data;
}

template <class Buffer> void UnlockIfLocked(Buffer& buffer, bool& locked)
{
    if (locked)
        buffer.Unlock();
    locked = false;
}

} // namespace

SWd3d8vertexbuffer* SWd3d8vertexbuffer::Create(pf::IDirect3DDevice8& device, uint32_t vertexCount, uint32_t strideBytes,
                                               uint32_t usage, uint32_t fvf)
{
    if (vertexCount == 0 || strideBytes == 0 || vertexCount > 0xFFFFFFFFu / strideBytes)
        return nullptr;
    pf::IDirect3DVertexBuffer8* buffer = nullptr;
    if (!pf::succeeded(
            device.CreateVertexBuffer(vertexCount * strideBytes, usage, fvf, pf::D3DPOOL_DEFAULT, &buffer)) ||
        buffer == nullptr)
        return nullptr;
    auto* made = new (std::nothrow) SWd3d8vertexbuffer(buffer, vertexCount, strideBytes, fvf);
    if (made == nullptr)
        buffer->Release();
    return made;
}

SWd3d8vertexbuffer::SWd3d8vertexbuffer(pf::IDirect3DVertexBuffer8* buffer, uint32_t capacity, uint32_t stride,
                                       uint32_t fvf)
    : m_buffer(buffer), m_capacity(capacity), m_stride(stride), m_fvf(fvf)
{
}

SWd3d8vertexbuffer::~SWd3d8vertexbuffer()
{
    UnlockIfLocked(*m_buffer, m_locked);
    m_buffer->Release();
}

void* SWd3d8vertexbuffer::Lock(uint32_t firstVertex)
{
    if (firstVertex >= m_capacity)
        return nullptr;
    return LockRange(firstVertex * m_stride, 0, firstVertex == 0);
}

void* SWd3d8vertexbuffer::LockRange(uint32_t offsetBytes, uint32_t sizeBytes, bool discard)
{
    return LockOnce(*m_buffer, m_locked, offsetBytes, sizeBytes, discard);
}

void SWd3d8vertexbuffer::Unlock()
{
    UnlockIfLocked(*m_buffer, m_locked);
}

SWd3d8indexbuffer* SWd3d8indexbuffer::Create(pf::IDirect3DDevice8& device, uint32_t indexCount, uint32_t usage)
{
    if (indexCount == 0 || indexCount > 0x7FFFFFFFu)
        return nullptr;
    pf::IDirect3DIndexBuffer8* buffer = nullptr;
    if (!pf::succeeded(
            device.CreateIndexBuffer(indexCount * 2, usage, pf::D3DFMT_INDEX16, pf::D3DPOOL_DEFAULT, &buffer)) ||
        buffer == nullptr)
        return nullptr;
    auto* made = new (std::nothrow) SWd3d8indexbuffer(buffer, indexCount);
    if (made == nullptr)
        buffer->Release();
    return made;
}

SWd3d8indexbuffer::SWd3d8indexbuffer(pf::IDirect3DIndexBuffer8* buffer, uint32_t capacity)
    : m_buffer(buffer), m_capacity(capacity)
{
}

SWd3d8indexbuffer::~SWd3d8indexbuffer()
{
    UnlockIfLocked(*m_buffer, m_locked);
    m_buffer->Release();
}

void* SWd3d8indexbuffer::Lock(uint32_t firstIndex)
{
    if (firstIndex >= m_capacity)
        return nullptr;
    return LockOnce(*m_buffer, m_locked, firstIndex * 2, 0, firstIndex == 0);
}

void SWd3d8indexbuffer::Unlock()
{
    UnlockIfLocked(*m_buffer, m_locked);
}
