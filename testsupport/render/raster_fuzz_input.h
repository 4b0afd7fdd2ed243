#pragma once
// What the rasteriser fuzz targets and the robustness tests share: bytes become a format record with its layer
// images, a depth range and vertex words, drawn into a 64 x 48 buffer that sits between canary rows, once in frame
// order and once in bands by several lanes. The tests feed the same functions seeded random bytes, so that random
// records and triangles run in every test run, not only under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/software/direct_draw.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"
#include "render/software/rasteriser.h"

namespace rasterfuzz {

inline constexpr int32_t kWidth = 64;
inline constexpr int32_t kHeight = 48;
inline constexpr int32_t kCanaryRows = 8;
inline constexpr uint32_t kCanary = 0xA5C3E1F0u;
inline constexpr size_t kMostVertexWords = 4096;

// Bytes read in order; past the end they read as 0.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> data) : m_data(data) {}
    uint8_t U8() { return m_at < m_data.size() ? m_data[m_at++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
    float F32()
    {
        const uint32_t bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    size_t Left() const { return m_data.size() - m_at; }

private:
    std::span<const uint8_t> m_data;
    size_t m_at = 0;
};

class FalloffLayer final : public SWimage32 {
public:
    explicit FalloffLayer(const uint32_t* pixels) : SWimage32("falloff", 32, 32, pixels), m_table(512, 0x80) {}
    std::span<const uint8_t> GetFalloff() const override { return m_table; }

private:
    std::vector<uint8_t> m_table;
};

class Host final : public SWrasterhost {
public:
    Host() : m_memory(static_cast<size_t>(kWidth) * (kHeight + 2 * kCanaryRows), kCanary)
    {
        uint32_t* inside = m_memory.data() + static_cast<size_t>(kCanaryRows) * kWidth;
        std::fill_n(inside, kWidth * kHeight, 0u);
        m_buffer.AttachPixels(inside, kWidth, kHeight);
    }
    SWpixelbuffer* CurrentPixelBuffer() override { return &m_buffer; }
    float NearDistance() const override { return m_near; }
    float FarDistance() const override { return m_far; }
    void SetDepthRange(float nearDistance, float farDistance)
    {
        m_near = nearDistance;
        m_far = farDistance;
    }
    bool CanariesIntact() const
    {
        const size_t inside = static_cast<size_t>(kCanaryRows) * kWidth;
        for (size_t i = 0; i < m_memory.size(); ++i) {
            if ((i < inside || i >= inside + static_cast<size_t>(kWidth) * kHeight) && m_memory[i] != kCanary)
                return false;
        }
        return true;
    }
    const std::vector<uint32_t>& Memory() const { return m_memory; } // the buffer between its canary rows
    size_t PixelsDrawn() const
    {
        const uint32_t* inside = m_memory.data() + static_cast<size_t>(kCanaryRows) * kWidth;
        return static_cast<size_t>(std::count_if(inside, inside + kWidth * kHeight, [](uint32_t p) { return p != 0; }));
    }

private:
    std::vector<uint32_t> m_memory;
    SWpixelbuffer m_buffer;
    float m_near = 1.0f;
    float m_far = 100.0f;
};

// The record, its images (owned here) and the depth range.
struct Scene {
    SWtexturestages format;
    std::vector<std::unique_ptr<SWtexture>> images;
};

inline void ReadScene(Bytes& in, Scene& scene, Host& host)
{
    SWtexturestages& f = scene.format;
    f.combineMode = in.U8();
    f.layerCount = in.U8();
    f.flags = in.U8();
    f.vertexAlpha = in.U8();
    f.vertexStride = in.U8();
    f.firstFloatWord = in.U8();
    f.colourCount = in.U8();
    for (int i = 0; i < kTextureStageCount; ++i) {
        f.layerFlags[i] = in.U8();
        f.coordinateSets[i] = static_cast<int8_t>(in.U8());
        f.constants[i] = in.U32();
    }
    const std::vector<uint32_t> texels(64 * 64, 0xFF8040C0u);
    for (int i = 0; i < kTextureStageCount; ++i) {
        const uint8_t width = in.U8(), height = in.U8();
        if (width == 255) {
            scene.images.push_back(std::make_unique<FalloffLayer>(texels.data()));
        } else if (width == 254) {
            scene.images.push_back(nullptr);
        } else {
            scene.images.push_back(
                std::make_unique<SWimage32>("layer", 1 + width % 64, 1 + height % 64, texels.data()));
        }
        f.images[i] = scene.images.back().get();
    }
    const float nearDistance = in.F32();
    const float farDistance = in.F32();
    host.SetDepthRange(nearDistance, farDistance);
}

inline std::vector<uint32_t> ReadWords(Bytes& in, size_t most)
{
    std::vector<uint32_t> words;
    while (in.Left() >= 4 && words.size() < most)
        words.push_back(in.U32());
    return words;
}

// What one input did: whether every canary survived, how many pixels of the buffer changed, and whether the banded
// path drew and counted exactly what the frame-order path did.
struct Outcome {
    bool canariesIntact = false;
    size_t pixelsDrawn = 0;
    bool pathsAgree = false;
};

// The fuzz targets' banded drawing: three lanes over bands of 5 rows, which do not divide the 48 rows.
inline constexpr int kBandWorkers = 3;
inline constexpr int32_t kBandRows = 5;

struct Banding {
    int workers = kBandWorkers;
    int32_t rows = kBandRows; // 0: as the rasteriser chooses
};

// What both paths start from: the scene read from the front of the input and a rasteriser drawing into its host;
// the rest of the input is left in `in` for the path to read.
struct Drawing {
    Drawing(std::span<const uint8_t> data, int workers, int32_t bandRows = 0) : in(data)
    {
        ReadScene(in, scene, host);
        rasteriser.Create(&host);
        rasteriser.SetWorkers(workers, bandRows, 1); // a chunk a lane, however few the triangles
    }

    Bytes in;
    Host host;
    Scene scene;
    SWrasteriser rasteriser;
};

// The input drawn by `draw` once in frame order and once in bands; the outcome is the frame-order one's.
template <typename Draw> Outcome DrawBothWays(std::span<const uint8_t> data, Banding banding, Draw&& draw)
{
    Drawing inOrder(data, 0);
    Drawing banded(data, banding.workers, banding.rows);
    if (!draw(inOrder) || !draw(banded))
        return {};
    const SWrasterstats& a = inOrder.rasteriser.Stats();
    const SWrasterstats& b = banded.rasteriser.Stats();
    const bool sameCounts = a.affineTriangles == b.affineTriangles &&
                            a.perspectiveTriangles == b.perspectiveTriangles &&
                            a.skippedTriangles == b.skippedTriangles && a.pixelsDrawn == b.pixelsDrawn;
    return {inOrder.host.CanariesIntact() && banded.host.CanariesIntact(), inOrder.host.PixelsDrawn(),
            sameCounts && inOrder.host.Memory() == banded.host.Memory()};
}

// The queue path: triangles of stride words each, one after another, drawn through DrawPrimitives.
inline Outcome DrawQueueInput(std::span<const uint8_t> data, Banding banding = {})
{
    return DrawBothWays(data, banding, [](Drawing& drawing) {
        const std::vector<uint32_t> words = ReadWords(drawing.in, kMostVertexWords);
        const size_t stride = drawing.scene.format.vertexStride;
        std::vector<SWprimitivenode> nodes;
        for (size_t first = 0; stride > 0 && first + 3 * stride <= words.size(); first += 3 * stride) {
            SWprimitivenode node;
            node.format = &drawing.scene.format;
            node.vertices = words.data() + first;
            nodes.push_back(node);
        }
        nodes.push_back(SWprimitivenode{});
        for (size_t i = 0; i + 1 < nodes.size(); ++i)
            nodes[i].next = &nodes[i + 1];
        drawing.rasteriser.DrawPrimitives(nodes.data());
        return true;
    });
}

// The indexed path: stated vertex and triangle counts, buffers of their own sizes and indices of any value, drawn
// through a direct-draw record. A buffer that cannot be made counts as a damaged canary: it never should fail.
inline Outcome DrawIndexedInput(std::span<const uint8_t> data, Banding banding = {})
{
    return DrawBothWays(data, banding, [](Drawing& drawing) {
        Bytes& in = drawing.in;
        const int32_t vertexCount = static_cast<int16_t>(in.U16());
        const int32_t triangleCount = static_cast<int16_t>(in.U16());
        const uint32_t bufferVertices = in.U8();
        const uint32_t indexCount = in.U8();
        SWsoftvertexbuffer* vertices = SWsoftvertexbuffer::Create(bufferVertices, in.U8() % 9);
        SWsoftindexbuffer* indices = SWsoftindexbuffer::Create(indexCount);
        if (vertices == nullptr || indices == nullptr) {
            if (vertices != nullptr)
                vertices->Release();
            if (indices != nullptr)
                indices->Release();
            return false;
        }
        for (uint32_t i = 0; i < indexCount; ++i)
            indices->Data()[i] = static_cast<uint16_t>(in.U8() % 64);
        const std::vector<uint32_t> words = ReadWords(in, vertices->WordCount());
        std::copy(words.begin(), words.end(), vertices->Data());
        SWdirectdraw record{nullptr, &drawing.scene.format, vertices, indices, vertexCount, triangleCount};
        drawing.rasteriser.Draw(&record, nullptr);
        vertices->Release();
        indices->Release();
        return true;
    });
}

} // namespace rasterfuzz
