#include "engine/resources/render_layer.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "testsupport/resources/queue_target.h"

namespace {

std::vector<SWrenderbatch*> Batches(SWrenderqueue& queue)
{
    std::vector<SWrenderbatch*> out;
    for (SWrenderbatch* b = queue.FirstBatch(); !queue.IsEnd(b); b = b->NextBatch())
        out.push_back(b);
    return out;
}

TEST(RenderLayer, SpriteBatchFormatAndCorners)
{
    SWrenderlayer layer;
    const auto image = SWimage32::SWimage32FromPixels("tip", 128, 64, nullptr);
    SWlayersprite* sprite = SWlayersprite::Create(layer, 0, 0, image.get());
    EXPECT_EQ(sprite->GetTag(), MakeTag("STRI"));
    EXPECT_EQ(sprite->GetWidth(), 128);
    sprite->SetPosition(10, 20);
    sprite->SetSourceRect(64, 32, 32, 16);
    QueueTarget target(640, 480);
    ASSERT_EQ(layer.RenderItems(target), 1u);
    EXPECT_EQ(target.flushes, 1);

    const auto batches = Batches(target.Queue());
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0]->GetKind(), SWrenderbatch::Kind::kAppendOrder);
    ASSERT_EQ(batches[0]->NodeCount(), 2u);
    const SWprimitivenode* first = batches[0]->FirstNode();
    const SWtexturestages* format = first->format;
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->vertexStride, 8);
    EXPECT_EQ(format->firstFloatWord, 6);
    EXPECT_EQ(format->colourCount, 2);
    EXPECT_EQ(format->combineMode, 3);
    EXPECT_EQ(format->vertexAlpha, 255);
    EXPECT_EQ(format->layerCount, 1);
    EXPECT_EQ(format->flags, 4); // texture alpha, neither depth test nor depth write
    EXPECT_EQ(format->images[0], image.get());

    // Corners of both triangles: (x, y, u, v) in the target's pixels, as the rasteriser takes every vertex.
    const float left = 10, right = 74;
    const float top = 20, bottom = 52;
    const float expected[6][4] = {{left, top, 0.25f, 0.25f},     {right, top, 0.75f, 0.25f},
                                  {right, bottom, 0.75f, 0.75f}, {left, top, 0.25f, 0.25f},
                                  {right, bottom, 0.75f, 0.75f}, {left, bottom, 0.25f, 0.75f}};
    int k = 0;
    for (const SWprimitivenode* node = first; node != batches[0]->EndNode(); node = node->next) {
        EXPECT_EQ(node->format, format);
        for (int c = 0; c < 3; ++c, ++k) {
            const uint32_t* v = node->vertices + c * 8;
            EXPECT_FLOAT_EQ(VertexFloat(v, 0), expected[k][0]) << k;
            EXPECT_FLOAT_EQ(VertexFloat(v, 1), expected[k][1]) << k;
            EXPECT_EQ(VertexFloat(v, 2), 0.0f);
            EXPECT_EQ(v[4], 0xFFFFFFFFu);
            EXPECT_EQ(v[5], 0u);
            EXPECT_FLOAT_EQ(VertexFloat(v, 6), expected[k][2]) << k;
            EXPECT_FLOAT_EQ(VertexFloat(v, 7), expected[k][3]) << k;
        }
    }
    EXPECT_EQ(k, 6);
}

TEST(RenderLayer, HiddenAndDisabledSpritesAreSkippedAndOrderKept)
{
    SWrenderlayer layer;
    const auto a = SWimage32::SWimage32FromPixels("a", 16, 16, nullptr);
    const auto b = SWimage24::SWimage24FromPixels("b", 32, 32, nullptr);
    SWlayersprite* first = SWlayersprite::Create(layer, 0, 0, a.get());
    SWlayersprite* hidden = SWlayersprite::Create(layer, 0, 0, a.get());
    SWlayersprite* disabled = SWlayersprite::Create(layer, 0, 0, a.get());
    SWlayersprite::Create(layer, 0, 0, b.get());
    hidden->SetVisible(false);
    disabled->SetEnabled(false);
    QueueTarget target(100, 100);
    EXPECT_EQ(layer.RenderItems(target), 2u);
    const auto batches = Batches(target.Queue());
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0]->FirstNode()->format->images[0], a.get());
    EXPECT_EQ(batches[1]->FirstNode()->format->images[0], b.get());
    EXPECT_EQ(batches[1]->FirstNode()->format->flags, 0); // no alpha of its own
    first->Destroy();
    hidden->Destroy();
    EXPECT_EQ(layer.GetItems().Count(), 2u);
}

} // namespace
