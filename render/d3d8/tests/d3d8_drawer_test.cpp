// The batch drawer: runs of one stage block in dynamic buffers, the new buffer fill at the 4097th triangle and the
// flush at 4096 pending runs, blended multi-pass runs drawn triangle by triangle, state blocks that live for one
// batch, layouts no stream takes, and draw groups drawn from their own buffers.
#include "render/d3d8/d3d8_drawer.h"

#include <cstring>

#include "render/d3d8/d3d8_buffers.h"
#include "render/d3d8/tests/d3d8_fixture.h"
#include "render/format_record.h"
#include "render/render_batch.h"

namespace d3d8test {
namespace {

using namespace pf;

class D3D8Drawer : public D3D8Fixture {
protected:
    void Release() override
    {
        batch.reset();
        D3D8Fixture::Release();
    }
    // A plain untextured block (kind 3, no stage) of the given stride.
    static SWtexturestages PlainBlock(uint8_t stride = 6)
    {
        SWtexturestages block;
        block.vertexStride = stride;
        block.firstFloatWord = 6;
        block.combineMode = 3;
        block.flags = 1 | 2;
        return block;
    }
    // Appends count triangles of the block, each a small one at a different place.
    void Append(const SWtexturestages& block, uint32_t count)
    {
        SWprimitivenode* chain = batch->AllocPrimitives(count);
        ASSERT_NE(chain, nullptr);
        const uint32_t stride = block.vertexStride;
        uint32_t* words = batch->TakeWords(count * 3 * stride);
        ASSERT_NE(words, nullptr);
        SWprimitivenode* node = chain;
        for (uint32_t t = 0; t < count; ++t, node = node->next) {
            uint32_t* v = words + size_t{t} * 3 * stride;
            std::memset(v, 0, size_t{3} * stride * 4);
            const float x = static_cast<float>(t % 60), y = static_cast<float>((t / 60) % 44);
            const float corners[3][2] = {{x, y}, {x + 3, y}, {x, y + 3}};
            for (int c = 0; c < 3; ++c) {
                uint32_t* w = v + c * stride;
                w[0] = FloatWord(corners[c][0]);
                w[1] = FloatWord(corners[c][1]);
                w[2] = FloatWord(0.5f);
                w[3] = FloatWord(1.0f);
                w[4] = 0xFF808080u;
            }
            node->format = &block;
            node->vertices = v;
        }
        batch->AppendPrimitives(chain);
    }
    bool DrawBatch()
    {
        clearD3D8CallLog();
        const bool drawn = surface->Draw(nullptr, nullptr, batch->FirstNode());
        return drawn;
    }
    std::vector<std::pair<double, double>> Draws() // (first vertex, triangle count) of each DrawPrimitive
    {
        std::vector<std::pair<double, double>> draws;
        for (const D3D8Call& call : CallsNamed("DrawPrimitive"))
            draws.emplace_back(call.args[1], call.args[2]);
        return draws;
    }
    void SetUp() override
    {
        D3D8Fixture::SetUp();
        batch = std::make_unique<SWrenderbatch>();
        MakeSurface();
        ASSERT_TRUE(surface->BeginFrame());
    }

    std::unique_ptr<SWrenderbatch> batch;
};

TEST_F(D3D8Drawer, RunsBreakAtANewStageBlockAndStateBlocksLiveForOneBatch)
{
    SWtexturestages a = PlainBlock(), b = PlainBlock();
    Append(a, 3);
    Append(b, 2);
    Append(a, 1);
    ASSERT_TRUE(DrawBatch());
    EXPECT_EQ(Draws(), (std::vector<std::pair<double, double>>{{0, 3}, {9, 2}, {15, 1}}));
    EXPECT_EQ(CountOf("BeginStateBlock"), 2u); // one per block and pass, the second run of a reusing it
    EXPECT_EQ(CountOf("ApplyStateBlock"), 3u);
    EXPECT_EQ(CountOf("DeleteStateBlock"), 2u);
    EXPECT_EQ(CountOf("VertexBuffer::Lock"), 1u);
    EXPECT_EQ(a.cacheLink, nullptr);
    EXPECT_EQ(b.cacheLink, nullptr);
    const auto streams = CallsNamed("SetStreamSource");
    ASSERT_FALSE(streams.empty());
    EXPECT_EQ(streams.back().args[1], 0.0); // the stream is unset after the batch
    EXPECT_TRUE(surface->EndFrame());
}

TEST_F(D3D8Drawer, TheFourThousandNinetySeventhTriangleStartsANewFillAfterThePendingRuns)
{
    SWtexturestages a = PlainBlock();
    Append(a, 4097);
    ASSERT_TRUE(DrawBatch());
    EXPECT_EQ(Draws(), (std::vector<std::pair<double, double>>{{0, 4096}, {0, 1}}));
    EXPECT_EQ(CountOf("VertexBuffer::Lock"), 2u);
    const auto locks = CallsNamed("VertexBuffer::Lock");
    EXPECT_EQ(locks[0].args[4], double(D3DLOCK_DISCARD));
    EXPECT_NE(locks[0].args[0], locks[1].args[0]); // the next buffer of the cache's rotation
    EXPECT_EQ(surface->GetDrawer()->GetCounters().flushes, 2u);
    const auto creates = CallsNamed("CreateVertexBuffer");
    ASSERT_FALSE(creates.empty());
    EXPECT_EQ(creates[0].args[0], 12288.0 * 24);
}

TEST_F(D3D8Drawer, FourThousandNinetySixPendingRunsAreDrawnBeforeMoreAreTaken)
{
    // Two layouts, so that neither stream fills: only the number of runs makes the drawer flush.
    SWtexturestages a = PlainBlock(6), b = PlainBlock(8);
    for (int i = 0; i < 2049; ++i) {
        Append(a, 1);
        Append(b, 1);
    }
    ASSERT_TRUE(DrawBatch());
    EXPECT_EQ(CountOf("DrawPrimitive"), 4098u);
    EXPECT_EQ(surface->GetDrawer()->GetCounters().flushes, 2u);
    EXPECT_EQ(CountOf("VertexBuffer::Lock"), 4u); // each stream filled again after the flush
    EXPECT_EQ(CountOf("BeginStateBlock"), 2u);
}

TEST_F(D3D8Drawer, BlendedTwoPassRunsGoTriangleByTriangleAndOpaqueOnesWhole)
{
    SWimage32* diffuse = MakeTexture(8, 8, 1);
    SWimage32* reflection = MakeTexture(8, 8, 2);
    SWtexturestages opaque = PlainBlock(10);
    opaque.layerCount = 2;
    opaque.images[0] = diffuse;
    opaque.images[1] = reflection;
    opaque.layerFlags[1] = 8;
    SWtexturestages blended = opaque;
    blended.vertexAlpha = 128;
    Append(opaque, 3);
    Append(blended, 3);
    ASSERT_TRUE(DrawBatch());
    EXPECT_EQ(Draws(), (std::vector<std::pair<double, double>>{
                           {0, 3}, {0, 3}, {9, 1}, {9, 1}, {12, 1}, {12, 1}, {15, 1}, {15, 1}}));
    const auto applies = CallsNamed("ApplyStateBlock");
    ASSERT_EQ(applies.size(), 8u);
    EXPECT_NE(applies[2].args[0], applies[3].args[0]); // each triangle takes both passes in turn
    EXPECT_EQ(applies[2].args[0], applies[4].args[0]);
    EXPECT_EQ(CountOf("UpdateTexture"), 2u); // each texture uploaded once, on first use
}

TEST_F(D3D8Drawer, LayoutsNoStreamTakesAreSkipped)
{
    SWtexturestages tooShort = PlainBlock(4), odd = PlainBlock(7), tooWide = PlainBlock(14), fine = PlainBlock(12);
    Append(tooShort, 1);
    Append(odd, 1);
    Append(tooWide, 1);
    Append(fine, 1);
    DrawBatch();
    EXPECT_EQ(Draws(), (std::vector<std::pair<double, double>>{{0, 1}}));
    EXPECT_EQ(surface->GetDrawer()->GetCounters().skippedPrimitives, 3u);
}

TEST_F(D3D8Drawer, ACombinationWithoutRecipeDrawsNothing)
{
    SWtexturestages none = PlainBlock();
    none.combineMode = 0;
    Append(none, 2);
    ASSERT_TRUE(DrawBatch());
    EXPECT_EQ(CountOf("DrawPrimitive"), 0u);
    EXPECT_EQ(none.cacheLink, nullptr);
}

TEST_F(D3D8Drawer, GroupItemsDrawFromTheirOwnBuffersAndResetTheStream)
{
    SWtexturestages block = PlainBlock();
    SWvertexbuffer* vertices = surface->GetVertexScratch(0, 3);
    SWindexbuffer* indices = surface->GetIndexScratch(3);
    ASSERT_NE(vertices, nullptr);
    ASSERT_NE(indices, nullptr);
    auto* v = static_cast<float*>(vertices->Lock(0));
    const float corners[3][2] = {{1, 1}, {20, 1}, {1, 20}};
    for (int c = 0; c < 3; ++c) {
        v[c * 6 + 0] = corners[c][0];
        v[c * 6 + 1] = corners[c][1];
        v[c * 6 + 2] = 0.5f;
        v[c * 6 + 3] = 1.0f;
        uint32_t colour = 0xFFFFFFFFu;
        std::memcpy(&v[c * 6 + 4], &colour, 4);
    }
    vertices->Unlock();
    auto* i = static_cast<uint16_t*>(indices->Lock(0));
    i[0] = 0, i[1] = 1, i[2] = 2;
    indices->Unlock();
    SWdirectdrawrecord* record = surface->NewDirectDrawRecord();
    record->vertices = vertices;
    record->indices = indices;
    record->draw.format = &block;
    record->draw.vertexCount = 3;
    record->draw.triangleCount = 1;
    SWdirectdrawrecord* empty = surface->NewDirectDrawRecord(); // no triangles: skipped
    empty->draw.format = &block;
    clearD3D8CallLog();
    ASSERT_TRUE(surface->Flush()); // draws chain A and releases the records' buffers
    std::vector<std::string> calls;
    for (const D3D8Call& call : d3d8CallLog())
        if (call.method != "SetRenderState" && call.method != "SetTextureStageState")
            calls.push_back(call.method + (call.method == "DrawIndexedPrimitive"
                                               ? "(" + std::to_string(int(call.args[2])) + "," +
                                                     std::to_string(int(call.args[4])) + ")"
                                               : ""));
    EXPECT_EQ(calls, (std::vector<std::string>{"SetTransform", "SetIndices", "SetStreamSource", "SetVertexShader",
                                               "DrawIndexedPrimitive(3,1)", "SetIndices", "SetStreamSource"}));
    EXPECT_EQ(CallsNamed("SetIndices").back().args[0], 0.0);
    ASSERT_EQ(d3d8Draws().size(), 1u);
    EXPECT_TRUE(d3d8Draws()[0].indexed);
}

} // namespace
} // namespace d3d8test
