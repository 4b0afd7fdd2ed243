#pragma once
// A rasteriser host over a pixel buffer of its own, and the pieces tests, tools and benchmarks build screen-space
// triangles from: vertex records of a format record's layout, queue lists ending in their end node, and an image
// that carries a radial falloff table.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"

namespace testsupport {

class RasterTestHost final : public SWrasterhost {
public:
    RasterTestHost(int32_t width, int32_t height, float nearDistance = 1.0f, float farDistance = 100.0f);

    SWpixelbuffer* CurrentPixelBuffer() override { return &m_buffer; }
    float NearDistance() const override { return m_near; }
    float FarDistance() const override { return m_far; }

    SWpixelbuffer& Buffer() { return m_buffer; }
    void SetDepthRange(float nearDistance, float farDistance);
    void Clear(uint32_t colour = 0); // every pixel and, lazily, every depth value
    uint32_t Pixel(int32_t x, int32_t y) const { return m_buffer.Row(y)[x]; }

private:
    SWpixelbuffer m_buffer;
    float m_near;
    float m_far;
};

struct ScreenVertex {
    float x = 0.0f;
    float y = 0.0f;
    float w = 1.0f;           // the depth term: larger is nearer
    uint32_t colours[2] = {}; // words 4 and 5 when the layout has them
    float uv[4][2] = {};      // coordinate sets 0 to 3
};

// The layout the helpers write: colourCount colours from word 4, then coordinateSets (u, v) pairs.
void SetVertexLayout(SWtexturestages& format, int colourCount, int coordinateSets);
std::vector<uint32_t> PackVertices(const SWtexturestages& format, std::span<const ScreenVertex> vertices);

// A queue list of consecutive triangles over packed vertices (3 per triangle), all of one format record.
class PrimitiveList {
public:
    void Add(const SWtexturestages* format, const uint32_t* firstVertex);
    const SWprimitivenode* First(); // links the nodes and the end node; valid until the next Add
    size_t Count() const { return m_nodes.size() - 1; }

private:
    std::vector<SWprimitivenode> m_nodes{SWprimitivenode{}}; // the last is the end node
};

// A 32 x 32 lighting image with its 512 falloff bytes.
class FalloffImage final : public SWimage32 {
public:
    FalloffImage(const uint32_t* pixels, std::span<const uint8_t> falloff);
    std::span<const uint8_t> GetFalloff() const override { return m_falloff; }

private:
    std::vector<uint8_t> m_falloff;
};

} // namespace testsupport
