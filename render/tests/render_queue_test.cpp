#include "render/render_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "render/format_record.h"

namespace {

constexpr uint32_t kStride = 4; // x, y, z, depth term

// Appends one triangle per depth, in order, with vertex depths d, d, d (kind 1 sums them; kind 2 reads the first).
void AppendTriangles(SWrenderbatch& batch, const SWtexturestages* format, const std::vector<float>& depths)
{
    SWprimitivenode* chain = batch.AllocPrimitives(static_cast<uint32_t>(depths.size()));
    ASSERT_NE(chain, nullptr);
    SWprimitivenode* node = chain;
    for (const float depth : depths) {
        uint32_t* vertices = batch.TakeWords(3 * kStride);
        ASSERT_NE(vertices, nullptr);
        for (uint32_t v = 0; v < 3; ++v) {
            vertices[v * kStride + 0] = FloatWord(0.0f);
            vertices[v * kStride + 1] = FloatWord(0.0f);
            vertices[v * kStride + 2] = FloatWord(0.0f);
            vertices[v * kStride + 3] = FloatWord(v == 0 ? depth : 0.0f);
        }
        node->format = format;
        node->vertices = vertices;
        node = node->next;
    }
    batch.AppendPrimitives(chain);
}

std::vector<float> FirstDepths(const SWrenderbatch& batch)
{
    std::vector<float> depths;
    for (SWprimitivenode* node = batch.FirstNode(); node != batch.EndNode(); node = node->next)
        depths.push_back(VertexFloat(node->vertices, 3));
    return depths;
}

// The draw list read backwards through the previous links, reversed again.
std::vector<const SWprimitivenode*> BackwardsOrder(const SWrenderbatch& batch)
{
    std::vector<const SWprimitivenode*> nodes;
    for (const SWprimitivenode* node = batch.EndNode()->prev; node != nullptr; node = node->prev)
        nodes.push_back(node);
    std::reverse(nodes.begin(), nodes.end());
    return nodes;
}

std::vector<const SWprimitivenode*> ForwardOrder(const SWrenderbatch& batch)
{
    std::vector<const SWprimitivenode*> nodes;
    for (const SWprimitivenode* node = batch.FirstNode(); node != batch.EndNode(); node = node->next)
        nodes.push_back(node);
    return nodes;
}

SWtexturestages StrideFormat()
{
    SWtexturestages format;
    format.vertexStride = kStride;
    return format;
}

TEST(RenderQueue, FrameWithoutBatchesDrawsNothing)
{
    SWrenderqueue queue;
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_TRUE(queue.IsEnd(queue.FirstBatch()));
    queue.Sort();
    queue.JoinBatches();
    queue.Clear();
    EXPECT_TRUE(queue.IsEnd(queue.FirstBatch()));
}

TEST(RenderQueue, BatchesAreDrawnInTheOrderTheyWereOpened)
{
    const SWtexturestages format = StrideFormat();
    SWrenderqueue queue;
    SWrenderbatch* a = queue.NewBatch();
    SWrenderbatch* b = queue.NewBatch();
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(queue.FirstBatch(), a);
    EXPECT_EQ(a->NextBatch(), b);
    EXPECT_TRUE(queue.IsEnd(b->NextBatch()));
    AppendTriangles(*b, &format, {5, 6});
    AppendTriangles(*a, &format, {1, 2});
    queue.Sort();
    queue.JoinBatches();
    EXPECT_EQ(FirstDepths(*a), (std::vector<float>{1, 2, 5, 6}));
    EXPECT_EQ(a->NodeCount(), 4u);
    EXPECT_TRUE(b->IsEmpty());
    EXPECT_EQ(BackwardsOrder(*a), ForwardOrder(*a));
    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
}

TEST(RenderBatch, EmptyListEndsAtItsEndNode)
{
    SWrenderbatch batch;
    EXPECT_EQ(batch.FirstNode(), batch.EndNode());
    EXPECT_EQ(batch.EndNode()->next, nullptr);
    EXPECT_EQ(batch.EndNode()->prev, nullptr);
    batch.AppendPrimitives(nullptr);
    EXPECT_TRUE(batch.IsEmpty());
    EXPECT_EQ(batch.AllocPrimitives(0), nullptr);
    EXPECT_EQ(batch.AllocPrimitives(SWrenderbatch::kMostNodesPerCall + 1), nullptr);
    EXPECT_EQ(batch.FirstNodeBlock(), nullptr);
    EXPECT_EQ(batch.TakeWords(0), nullptr);
    EXPECT_EQ(batch.TakeWords(SWrenderbatch::kMostWordsPerCall + 1), nullptr);
    EXPECT_EQ(batch.FirstDataBlock(), nullptr);
}

TEST(RenderBatch, FirstAllocationMakesABlockWithSpareRoom)
{
    SWrenderbatch batch;
    SWprimitivenode* chain = batch.AllocPrimitives(3);
    ASSERT_NE(chain, nullptr);
    ASSERT_NE(batch.FirstNodeBlock(), nullptr);
    EXPECT_EQ(batch.FirstNodeBlock()->freeCount, 512u); // a block of 515
    SWprimitivenode* third = chain->next->next;
    EXPECT_EQ(chain->prev, third);
    EXPECT_EQ(third->next, nullptr);
    batch.AppendPrimitives(chain);
    EXPECT_EQ(batch.FirstNode(), chain);
    EXPECT_EQ(batch.EndNode()->prev, third);
    EXPECT_EQ(third->next, batch.EndNode());
    EXPECT_EQ(chain->prev, nullptr); // the list's first node has no predecessor
}

TEST(RenderBatch, ChainSpillsIntoANewBlockSizedForTheRest)
{
    SWrenderbatch batch;
    ASSERT_NE(batch.AllocPrimitives(3), nullptr);
    ASSERT_NE(batch.AllocPrimitives(412), nullptr); // leaves 100 of 515
    const SWnodeblock* first = batch.FirstNodeBlock();
    ASSERT_EQ(first->freeCount, 100u);
    const SWprimitivenode* firstBlockEnd = first->cursor + 100;
    SWprimitivenode* chain = batch.AllocPrimitives(600);
    ASSERT_NE(chain, nullptr);
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(first->freeCount, 0u);
    EXPECT_EQ(first->next->freeCount, 1012u - 500u);
    int count = 0, fromFirst = 0;
    const SWprimitivenode* last = nullptr;
    for (SWprimitivenode* node = chain; node != nullptr; node = node->next, ++count) {
        fromFirst += node < firstBlockEnd && node >= firstBlockEnd - 100 ? 1 : 0;
        last = node;
    }
    EXPECT_EQ(count, 600);
    EXPECT_EQ(fromFirst, 100);
    EXPECT_EQ(chain->prev, last);
}

TEST(RenderBatch, BlockWithExactlyTheRequestGivesItAllAndStartsAnother)
{
    SWrenderbatch batch;
    ASSERT_NE(batch.AllocPrimitives(3), nullptr); // 512 left
    ASSERT_NE(batch.AllocPrimitives(512), nullptr);
    const SWnodeblock* first = batch.FirstNodeBlock();
    EXPECT_EQ(first->freeCount, 0u);
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(first->next->freeCount, 512u);
}

TEST(RenderBatch, DepthSumSortIsAscendingAndStable)
{
    const SWtexturestages format = StrideFormat();
    SWrenderbatch batch;
    batch.SetKind(SWrenderbatch::Kind::kDepthSum);
    AppendTriangles(batch, &format, {3.0f, 1.0f, 2.0f});
    batch.Sort();
    EXPECT_EQ(FirstDepths(batch), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(BackwardsOrder(batch), ForwardOrder(batch));

    SWrenderbatch ties;
    ties.SetKind(SWrenderbatch::Kind::kDepthSum);
    AppendTriangles(ties, &format, {2.0f, 1.0f, 2.0f, 1.0f});
    const std::vector<const SWprimitivenode*> appended = ForwardOrder(ties);
    ties.Sort();
    EXPECT_EQ(ForwardOrder(ties),
              (std::vector<const SWprimitivenode*>{appended[1], appended[3], appended[0], appended[2]}));
}

TEST(RenderBatch, DepthKeySortDrawsTheLargestKeyFirst)
{
    const SWtexturestages format = StrideFormat();
    SWrenderbatch batch;
    batch.SetKind(SWrenderbatch::Kind::kDepthKey);
    AppendTriangles(batch, &format, {0.25f, 4.0f, 1.0f});
    batch.Sort();
    EXPECT_EQ(FirstDepths(batch), (std::vector<float>{4.0f, 1.0f, 0.25f}));
}

TEST(RenderBatch, AppendOrderKindIsLeftAlone)
{
    const SWtexturestages format = StrideFormat();
    SWrenderbatch batch;
    AppendTriangles(batch, &format, {3.0f, 1.0f, 2.0f});
    batch.Sort();
    EXPECT_EQ(FirstDepths(batch), (std::vector<float>{3.0f, 1.0f, 2.0f}));
}

// Producers take records between vertex runs of odd lengths; every record must still hold its pointers aligned,
// and no take may overlap another.
TEST(RenderBatch, FormatRecordsStayAlignedBetweenOddTakes)
{
    SWrenderbatch batch;
    std::vector<std::pair<const uint8_t*, size_t>> takes;
    for (int i = 0; i < 400; ++i) {
        const uint32_t odd = 2 * static_cast<uint32_t>(i % 7) + 1;
        uint32_t* words = batch.TakeWords(odd);
        ASSERT_NE(words, nullptr);
        std::fill_n(words, odd, 0xA5A5A5A5u);
        takes.emplace_back(reinterpret_cast<const uint8_t*>(words), odd * 4);
        SWtexturestages* record = batch.TakeFormatRecord();
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(record) % alignof(SWtexturestages), 0u);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(record) % 8, 0u);
        EXPECT_EQ(record->coordinateSets[7], 7);
        EXPECT_EQ(record->images[0], nullptr);
        record->cacheLink = record;
        takes.emplace_back(reinterpret_cast<const uint8_t*>(record), sizeof(SWtexturestages));
    }
    std::sort(takes.begin(), takes.end());
    for (size_t i = 1; i < takes.size(); ++i)
        EXPECT_LE(takes[i - 1].first + takes[i - 1].second, takes[i].first);
}

TEST(FormatRecord, ConstructorClearsAllButTheCoordinateSets)
{
    const SWtexturestages record;
    EXPECT_EQ(record.vertexStride, 0);
    EXPECT_EQ(record.layerCount, 0);
    EXPECT_EQ(record.cacheLink, nullptr);
    for (int stage = 0; stage < kTextureStageCount; ++stage) {
        EXPECT_EQ(record.coordinateSets[stage], stage);
        EXPECT_EQ(record.images[stage], nullptr);
        EXPECT_EQ(record.constants[stage], 0u);
        EXPECT_EQ(record.layerFlags[stage], 0);
    }
}

// Random producers against std::stable_sort on the same keys, joined in batch order; Clear must leave nothing for
// LeakSanitizer to find.
TEST(RenderQueueProperty, SortsMatchAStableSortAndJoinKeepsBatchOrder)
{
    std::mt19937 random(19);
    const SWtexturestages format = StrideFormat();
    for (int frame = 0; frame < 12; ++frame) {
        SCOPED_TRACE(frame);
        SWrenderqueue queue;
        std::vector<std::vector<uint32_t>> expected; // per batch: first-vertex depth words in draw order
        const int batches = 1 + static_cast<int>(random() % 5);
        for (int b = 0; b < batches; ++b) {
            SWrenderbatch* batch = queue.NewBatch();
            ASSERT_NE(batch, nullptr);
            const auto kind = static_cast<SWrenderbatch::Kind>(random() % 3);
            batch->SetKind(kind);
            struct Item {
                uint32_t key;
                uint32_t id;
            };
            std::vector<Item> items;
            const int pieces = 1 + static_cast<int>(random() % 3);
            for (int p = 0; p < pieces; ++p) {
                const uint32_t length = 1 + random() % 2000;
                SWprimitivenode* chain = batch->AllocPrimitives(length);
                ASSERT_NE(chain, nullptr);
                SWprimitivenode* node = chain;
                for (uint32_t i = 0; i < length; ++i, node = node->next) {
                    uint32_t* v = batch->TakeWords(3 * kStride);
                    ASSERT_NE(v, nullptr);
                    // Positive depths: ties, denormals and the full exponent range.
                    const uint32_t pick = random() % 4;
                    const float d = pick == 0 ? 1.0f
                                    : pick == 1
                                        ? std::bit_cast<float>(static_cast<uint32_t>(random() % 0x800000))
                                        : std::ldexp(static_cast<float>(random() % 1000), -(int)(random() % 60));
                    const uint32_t id = static_cast<uint32_t>(items.size());
                    for (uint32_t k = 0; k < 3; ++k) {
                        v[k * kStride + 0] = id;
                        v[k * kStride + 3] = FloatWord(k == 0 ? d : d * 0.5f);
                    }
                    node->format = &format;
                    node->vertices = v;
                    const float sum = d + d * 0.5f + d * 0.5f;
                    const uint32_t key = kind == SWrenderbatch::Kind::kDepthSum   ? std::bit_cast<uint32_t>(sum) >> 16
                                         : kind == SWrenderbatch::Kind::kDepthKey ? 0xFFFF - (FloatWord(d) >> 16)
                                                                                  : 0;
                    items.push_back({key, id});
                }
                // Half of the chains go in as two pieces, as a producer that fills a chain in two runs would.
                if (length > 1 && random() % 2 == 0) {
                    SWprimitivenode* cut = chain;
                    for (uint32_t i = 1; i < length / 2; ++i)
                        cut = cut->next;
                    SWprimitivenode* second = cut->next;
                    cut->next = nullptr;
                    second->prev = chain->prev;
                    chain->prev = cut;
                    batch->AppendPrimitives(chain);
                    batch->AppendPrimitives(second);
                } else {
                    batch->AppendPrimitives(chain);
                }
            }
            std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.key < b.key; });
            std::vector<uint32_t> ids;
            for (const Item& item : items)
                ids.push_back(item.id);
            expected.push_back(ids);
        }
        queue.Sort();
        std::vector<uint32_t> all;
        int b = 0;
        for (SWrenderbatch* batch = queue.FirstBatch(); !queue.IsEnd(batch); batch = batch->NextBatch(), ++b) {
            std::vector<uint32_t> ids;
            for (SWprimitivenode* node = batch->FirstNode(); node != batch->EndNode(); node = node->next)
                ids.push_back(node->vertices[0]);
            EXPECT_EQ(ids, expected[b]) << "batch " << b;
            EXPECT_EQ(BackwardsOrder(*batch), ForwardOrder(*batch));
            all.insert(all.end(), ids.begin(), ids.end());
        }
        queue.JoinBatches();
        SWrenderbatch* first = queue.FirstBatch();
        std::vector<uint32_t> joined;
        for (SWprimitivenode* node = first->FirstNode(); node != first->EndNode(); node = node->next)
            joined.push_back(node->vertices[0]);
        EXPECT_EQ(joined, all);
        EXPECT_EQ(first->NodeCount(), all.size());
        queue.Clear();
        EXPECT_TRUE(queue.IsEmpty());
    }
}

} // namespace
