#include "render/software/direct_draw.h"

#include <cstddef>
#include <new>

namespace {

constexpr uint32_t kMostVertices = 1u << 20; // u16 indices reach 65,536; room for several meshes in one buffer
constexpr uint32_t kMostCoordinateSets = 8;
constexpr uint32_t kMostIndices = 3u << 22;

} // namespace

uint32_t SWvertexbuffer::Release()
{
    const uint32_t left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

uint32_t SWindexbuffer::Release()
{
    const uint32_t left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

SWsoftvertexbuffer* SWsoftvertexbuffer::Create(uint32_t vertexCount, uint32_t coordinateSets)
{
    if (vertexCount > kMostVertices || coordinateSets > kMostCoordinateSets)
        return nullptr;
    SWsoftvertexbuffer* buffer = new (std::nothrow) SWsoftvertexbuffer();
    if (buffer == nullptr)
        return nullptr;
    try {
        buffer->m_strideBytes = 8 * coordinateSets + 24;
        buffer->m_words.assign(static_cast<size_t>(vertexCount) * buffer->m_strideBytes / 4, 0);
        buffer->m_vertexCount = vertexCount;
    } catch (const std::bad_alloc&) {
        buffer->Release();
        return nullptr;
    }
    return buffer;
}

void* SWsoftvertexbuffer::Lock(uint32_t firstVertex)
{
    if (firstVertex >= m_vertexCount)
        return nullptr;
    ++m_locks;
    return m_words.data() + static_cast<size_t>(firstVertex) * (m_strideBytes / 4);
}

void SWsoftvertexbuffer::Unlock()
{
    if (m_locks > 0)
        --m_locks;
}

SWsoftindexbuffer* SWsoftindexbuffer::Create(uint32_t indexCount)
{
    if (indexCount > kMostIndices)
        return nullptr;
    SWsoftindexbuffer* buffer = new (std::nothrow) SWsoftindexbuffer();
    if (buffer == nullptr)
        return nullptr;
    try {
        buffer->m_indices.assign(indexCount, 0);
    } catch (const std::bad_alloc&) {
        buffer->Release();
        return nullptr;
    }
    return buffer;
}

void* SWsoftindexbuffer::Lock(uint32_t firstIndex)
{
    return firstIndex < m_indices.size() ? m_indices.data() + firstIndex : nullptr;
}
