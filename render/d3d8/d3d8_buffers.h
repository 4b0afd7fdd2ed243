#pragma once
// Vertex and index buffers of a Direct3D 8 device behind the render target's buffer interface, so that the mesh
// renderer fills them as it fills the software surface's. Each wrapper owns one reference to its device buffer
// and is itself counted: a new wrapper holds one reference, the last Release deletes it.
#include <cstdint>

#include "render/software/direct_draw.h"

namespace pf {
class IDirect3DDevice8;
class IDirect3DIndexBuffer8;
class IDirect3DVertexBuffer8;
} // namespace pf

class SWd3d8vertexbuffer final : public SWvertexbuffer {
public:
    // Null when the device refuses; the caller owns one reference.
    static SWd3d8vertexbuffer* Create(pf::IDirect3DDevice8& device, uint32_t vertexCount, uint32_t strideBytes,
                                      uint32_t usage, uint32_t fvf);

    void* Lock(uint32_t firstVertex) override; // to the end, discarding the old contents when firstVertex is 0
    void Unlock() override;
    void* LockRange(uint32_t offsetBytes, uint32_t sizeBytes, bool discard); // null when refused

    pf::IDirect3DVertexBuffer8* GetInterface() const { return m_buffer; }
    uint32_t GetCapacity() const { return m_capacity; } // in vertices
    uint32_t GetStrideBytes() const { return m_stride; }
    uint32_t GetFvf() const { return m_fvf; }
    bool IsLocked() const { return m_locked; }

private:
    SWd3d8vertexbuffer(pf::IDirect3DVertexBuffer8* buffer, uint32_t capacity, uint32_t stride, uint32_t fvf);
    ~SWd3d8vertexbuffer() override;

    pf::IDirect3DVertexBuffer8* m_buffer; // one reference owned
    uint32_t m_capacity;
    uint32_t m_stride;
    uint32_t m_fvf;
    bool m_locked = false;
};

class SWd3d8indexbuffer final : public SWindexbuffer {
public:
    static SWd3d8indexbuffer* Create(pf::IDirect3DDevice8& device, uint32_t indexCount, uint32_t usage);

    void* Lock(uint32_t firstIndex) override; // 16-bit indices to the end
    void Unlock() override;

    pf::IDirect3DIndexBuffer8* GetInterface() const { return m_buffer; }
    uint32_t GetCapacity() const { return m_capacity; } // in indices

private:
    SWd3d8indexbuffer(pf::IDirect3DIndexBuffer8* buffer, uint32_t capacity);
    ~SWd3d8indexbuffer() override;

    pf::IDirect3DIndexBuffer8* m_buffer; // one reference owned
    uint32_t m_capacity;
    bool m_locked = false;
};
