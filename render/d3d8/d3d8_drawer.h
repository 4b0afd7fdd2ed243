#pragma once
// SWd3d8drawer: draws one frame's work through the Direct3D 8 device with the state recipes: draw groups from their
// own vertex and index buffers, and the render queue's screen-space triangles in runs of one stage block, copied
// into dynamic vertex buffers. Runs of one block share one state block per pass, made on first use and deleted
// after the batch, hung on the block's cache link meanwhile.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/d3d8/state_recipes.h"

class SWd3d8surface;
class SWd3d8vertexbuffer;
class SWd3d8indexbuffer;
struct SWdirectdraw;
struct SWprimitivenode;
struct SWtexturestages;
namespace pf {
class IDirect3DDevice8;
}

class SWd3d8drawer {
public:
    static constexpr uint32_t kStreamVertices = 12288; // one dynamic buffer, 4096 triangles
    static constexpr uint32_t kStreamTriangles = kStreamVertices / 3;
    static constexpr uint32_t kMostRuns = 4096;
    static constexpr uint32_t kStreams = 4; // texture-set counts 0 to 3

    struct Counters { // since construction, for reports and tests
        uint64_t runsDrawn = 0;
        uint64_t flushes = 0;
        uint64_t skippedPrimitives = 0; // a layout no stream takes
        uint64_t stateBlocksMade = 0;
    };

    SWd3d8drawer() = default;
    SWd3d8drawer(const SWd3d8drawer&) = delete;
    SWd3d8drawer& operator=(const SWd3d8drawer&) = delete;
    ~SWd3d8drawer(); // releases the device and anything a batch left

    bool Init(SWd3d8surface& surface); // keeps the surface and takes its device; false without one
    // Every group item of chain A, then every world item of chain B, then the batch; false when a part failed.
    bool DrawLists(const SWdirectdraw* worldItems, const SWdirectdraw* groupItems, const SWprimitivenode* batch);
    bool BuildRecipe(const SWtexturestages& block, SWrecipe& out);
    bool ApplyPass(const SWrecipepass& pass);
    const Counters& GetCounters() const { return m_counters; }

private:
    struct Stream {
        SWd3d8vertexbuffer* buffer = nullptr; // one reference owned
        uint32_t written = 0;                 // vertices
        uint32_t* cursor = nullptr;           // while locked
    };
    struct Run {
        const SWtexturestages* block;
        uint32_t stream;
        uint32_t firstVertex;
        uint32_t vertexCount;
    };
    struct CachedBlock {
        const SWtexturestages* block;
        bool blended = false;
        uint32_t passCount = 0;
        std::array<uint32_t, kMostRecipePasses> tokens{};
        const SWd3d8vertexbuffer* capturedStream = nullptr; // the buffer the blocks set as stream 0
    };

    bool DrawGroupItem(const SWdirectdraw& item, bool world);
    bool DrawBatch(const SWprimitivenode* list);
    bool OpenStream(uint32_t sets);
    bool DrawPendingRuns();
    bool DrawRun(const Run& run);
    CachedBlock* CachedFor(const SWtexturestages& block, const Stream& stream, uint32_t sets);
    void ReleaseBatchState();

    pf::IDirect3DDevice8* m_device = nullptr; // one reference held
    SWd3d8surface* m_surface = nullptr;       // not owned: the surface owns this drawer
    std::array<Stream, kStreams> m_streams;
    std::vector<Run> m_runs;
    std::vector<std::unique_ptr<CachedBlock>> m_cached;
    Counters m_counters;
};
