#include "testsupport/render/raster_host.h"

#include <bit>

namespace testsupport {

RasterTestHost::RasterTestHost(int32_t width, int32_t height, float nearDistance, float farDistance)
    : m_near(nearDistance), m_far(farDistance)
{
    m_buffer.SetSize(width, height);
    Clear(0);
}

void RasterTestHost::SetDepthRange(float nearDistance, float farDistance)
{
    m_near = nearDistance;
    m_far = farDistance;
}

void RasterTestHost::Clear(uint32_t colour)
{
    for (int32_t y = 0; y < m_buffer.Height(); ++y) {
        for (int32_t x = 0; x < m_buffer.Width(); ++x)
            m_buffer.Row(y)[x] = colour;
    }
    m_buffer.Depth().MarkAllRows();
}

void SetVertexLayout(SWtexturestages& format, int colourCount, int coordinateSets)
{
    format.colourCount = static_cast<uint8_t>(colourCount);
    format.firstFloatWord = static_cast<uint8_t>(4 + colourCount);
    format.vertexStride = static_cast<uint8_t>(4 + colourCount + 2 * coordinateSets);
}

std::vector<uint32_t> PackVertices(const SWtexturestages& format, std::span<const ScreenVertex> vertices)
{
    std::vector<uint32_t> words;
    for (const ScreenVertex& v : vertices) {
        std::vector<uint32_t> vertex(format.vertexStride, 0);
        vertex[0] = std::bit_cast<uint32_t>(v.x);
        vertex[1] = std::bit_cast<uint32_t>(v.y);
        vertex[3] = std::bit_cast<uint32_t>(v.w);
        for (int i = 0; i < format.colourCount && i < 2 && 4 + i < format.vertexStride; ++i)
            vertex[4 + i] = v.colours[i];
        for (int set = 0; set < 4; ++set) {
            const int word = format.firstFloatWord + 2 * set;
            if (word + 2 > format.vertexStride)
                break;
            vertex[word] = std::bit_cast<uint32_t>(v.uv[set][0]);
            vertex[word + 1] = std::bit_cast<uint32_t>(v.uv[set][1]);
        }
        words.insert(words.end(), vertex.begin(), vertex.end());
    }
    return words;
}

void PrimitiveList::Add(const SWtexturestages* format, const uint32_t* firstVertex)
{
    SWprimitivenode node;
    node.format = format;
    node.vertices = firstVertex;
    m_nodes.insert(m_nodes.end() - 1, node);
}

const SWprimitivenode* PrimitiveList::First()
{
    for (size_t i = 0; i + 1 < m_nodes.size(); ++i) {
        m_nodes[i].next = &m_nodes[i + 1];
        m_nodes[i + 1].prev = &m_nodes[i];
    }
    m_nodes.back().next = nullptr;
    return m_nodes.data();
}

FalloffImage::FalloffImage(const uint32_t* pixels, std::span<const uint8_t> falloff)
    : SWimage32("falloff", 32, 32, pixels), m_falloff(falloff.begin(), falloff.end())
{
}

} // namespace testsupport
