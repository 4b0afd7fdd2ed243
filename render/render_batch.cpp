#include "render/render_batch.h"

#include <bit>
#include <cassert>
#include <cstring>
#include <new>

#include "render/format_record.h"

namespace {

constexpr std::align_val_t kDataAlignment{16};
// The block header sits in front of its words, padded so that the words start 16-byte aligned.
constexpr size_t kDataHeaderBytes = (sizeof(SWdatablock) + 15) / 16 * 16;
constexpr uint32_t kFormatRecordWords = (sizeof(SWtexturestages) + 3) / 4;
static_assert(alignof(SWtexturestages) <= 8, "a record taken at an even word must be aligned for its pointers");

// Links count nodes from begin after `before` (null: none) both ways and answers the last; its next is left null.
SWprimitivenode* LinkRun(SWprimitivenode* begin, uint32_t count, SWprimitivenode* before)
{
    SWprimitivenode* previous = before;
    for (uint32_t i = 0; i < count; ++i) {
        if (previous != nullptr)
            previous->next = begin + i;
        begin[i].prev = previous;
        begin[i].next = nullptr;
        previous = begin + i;
    }
    return previous;
}

SWdatablock* NewDataBlock(uint32_t wordCount)
{
    const size_t bytes = kDataHeaderBytes + size_t{wordCount} * 4;
    void* memory = ::operator new(bytes, kDataAlignment, std::nothrow);
    if (memory == nullptr)
        return nullptr;
    auto* block = new (memory) SWdatablock;
    block->base = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(memory) + kDataHeaderBytes);
    block->cursor = block->base;
    block->freeCount = wordCount;
    return block;
}

void FreeDataBlocks(SWdatablock* block)
{
    while (block != nullptr) {
        SWdatablock* const next = block->next;
        block->~SWdatablock();
        ::operator delete(block, kDataAlignment);
        block = next;
    }
}

uint32_t VertexStride(const SWprimitivenode* node)
{
    assert(node->format != nullptr && node->vertices != nullptr && "a queued triangle needs its format and vertices");
    return node->format != nullptr ? node->format->vertexStride : 0;
}

// Kind 1: the bit pattern of the summed depth terms; for positive sums its order is the sums' order.
uint32_t DepthSumKey(const SWprimitivenode* node)
{
    if (node->vertices == nullptr)
        return 0;
    const uint32_t stride = VertexStride(node);
    const float sum = VertexFloat(node->vertices, 3) + VertexFloat(node->vertices + stride, 3) +
                      VertexFloat(node->vertices + 2 * stride, 3);
    return std::bit_cast<uint32_t>(sum);
}

uint32_t DepthKey(const SWprimitivenode* node)
{
    return node->vertices != nullptr ? node->vertices[3] : 0;
}

} // namespace

float VertexFloat(const uint32_t* vertex, int word)
{
    return std::bit_cast<float>(vertex[word]);
}

uint32_t FloatWord(float value)
{
    return std::bit_cast<uint32_t>(value);
}

SWrenderbatch::SWrenderbatch() : m_firstNode(&m_endNode) {}

SWrenderbatch::~SWrenderbatch()
{
    for (SWnodeblock* block = m_firstNodeBlock; block != nullptr;) {
        SWnodeblock* const next = block->next;
        delete block;
        block = next;
    }
    FreeDataBlocks(m_firstDataBlock);
}

SWprimitivenode* SWrenderbatch::AllocPrimitives(uint32_t count)
{
    if (count == 0 || count > kMostNodesPerCall)
        return nullptr;
    SWnodeblock* const current = m_currentNodeBlock;
    const uint32_t available = current != nullptr ? current->freeCount : 0;
    SWprimitivenode* first = nullptr;
    SWprimitivenode* last = nullptr;
    if (available > count) {
        first = current->cursor;
        last = LinkRun(first, count, nullptr);
        current->cursor += count;
        current->freeCount -= count;
    } else {
        // The new block is made before the old one's rest is taken, so a failure leaves the batch as it was.
        SWnodeblock* const block = NewNodeBlock(count - available + kSpareNodes);
        if (block == nullptr)
            return nullptr;
        if (available > 0) {
            first = current->cursor;
            last = LinkRun(first, available, nullptr);
            current->cursor += available;
            current->freeCount = 0;
        }
        const uint32_t rest = count - available;
        SWprimitivenode* const restFirst = block->cursor;
        last = LinkRun(restFirst, rest, last);
        if (first == nullptr)
            first = restFirst;
        block->cursor += rest;
        block->freeCount -= rest;
    }
    first->prev = last;
    return first;
}

void SWrenderbatch::AppendPrimitives(SWprimitivenode* chain)
{
    if (chain == nullptr)
        return;
    uint32_t count = 1;
    SWprimitivenode* last = chain;
    for (; last->next != nullptr; last = last->next)
        ++count;
    SWprimitivenode* const oldLast = m_endNode.prev;
    if (oldLast != nullptr)
        oldLast->next = chain;
    else
        m_firstNode = chain;
    chain->prev = oldLast;
    last->next = &m_endNode;
    m_endNode.prev = last;
    m_nodeCount += count;
}

void SWrenderbatch::Unlink(SWprimitivenode* node)
{
    if (node == nullptr || node == &m_endNode || node->next == nullptr)
        return;
    if (node->prev != nullptr)
        node->prev->next = node->next;
    else
        m_firstNode = node->next;
    node->next->prev = node->prev;
    if (m_nodeCount > 0)
        --m_nodeCount;
}

uint32_t* SWrenderbatch::TakeWords(uint32_t count)
{
    if (count == 0 || count > kMostWordsPerCall)
        return nullptr;
    const uint32_t even = (count + 1) & ~1u;
    SWdatablock* current = m_currentDataBlock;
    if (current == nullptr || current->freeCount < even) {
        SWdatablock* const block = NewDataBlock(even + kSpareWords);
        if (block == nullptr)
            return nullptr;
        if (current != nullptr)
            current->next = block;
        else
            m_firstDataBlock = block;
        m_currentDataBlock = current = block;
    }
    uint32_t* const words = current->cursor;
    current->cursor += even;
    current->freeCount -= even;
    return words;
}

SWtexturestages* SWrenderbatch::TakeFormatRecord()
{
    uint32_t* const words = TakeWords(kFormatRecordWords);
    return words != nullptr ? new (words) SWtexturestages : nullptr;
}

void SWrenderbatch::Sort()
{
    switch (m_kind) {
    case Kind::kDepthSum:
        SortByDepthSum();
        break;
    case Kind::kDepthKey:
        SortByDepthKey();
        break;
    case Kind::kAppendOrder:
        break;
    }
}

void SWrenderbatch::SortByDepthSum()
{
    if (IsEmpty() || !EnsureBuckets())
        return;
    RadixPass([](const SWprimitivenode* node) { return (DepthSumKey(node) >> 16) & 0xFF; });
    RadixPass([](const SWprimitivenode* node) { return DepthSumKey(node) >> 24; });
}

void SWrenderbatch::SortByDepthKey()
{
    if (IsEmpty() || !EnsureBuckets())
        return;
    RadixPass([](const SWprimitivenode* node) { return 255 - ((DepthKey(node) >> 16) & 0xFF); });
    RadixPass([](const SWprimitivenode* node) { return 255 - (DepthKey(node) >> 24); });
}

void SWrenderbatch::TakeListOf(SWrenderbatch& other)
{
    if (&other == this || other.IsEmpty())
        return;
    SWprimitivenode* const first = other.m_firstNode;
    SWprimitivenode* const last = other.m_endNode.prev;
    SWprimitivenode* const oldLast = m_endNode.prev;
    if (oldLast != nullptr)
        oldLast->next = first;
    else
        m_firstNode = first;
    first->prev = oldLast;
    last->next = &m_endNode;
    m_endNode.prev = last;
    m_nodeCount += other.m_nodeCount;
    other.ResetList();
}

void SWrenderbatch::ResetList()
{
    m_firstNode = &m_endNode;
    m_endNode.next = nullptr;
    m_endNode.prev = nullptr;
    m_nodeCount = 0;
}

SWnodeblock* SWrenderbatch::NewNodeBlock(uint32_t nodeCount)
{
    auto block = std::unique_ptr<SWnodeblock>(new (std::nothrow) SWnodeblock);
    if (!block)
        return nullptr;
    block->nodes.reset(new (std::nothrow) SWprimitivenode[nodeCount]);
    if (!block->nodes)
        return nullptr;
    block->cursor = block->nodes.get();
    block->freeCount = nodeCount;
    SWnodeblock* const made = block.release();
    if (m_currentNodeBlock != nullptr)
        m_currentNodeBlock->next = made;
    else
        m_firstNodeBlock = made;
    m_currentNodeBlock = made;
    return made;
}

// One stable distribution over 256 buckets, then the buckets relinked from 0 to 255.
template <typename BucketOf> void SWrenderbatch::RadixPass(BucketOf bucketOf)
{
    Bucket* const buckets = m_buckets.get();
    std::memset(buckets, 0, 256 * sizeof(Bucket));
    for (SWprimitivenode* node = m_firstNode; node != &m_endNode;) {
        SWprimitivenode* const next = node->next;
        Bucket& bucket = buckets[bucketOf(node)];
        if (bucket.last != nullptr)
            bucket.last->next = node;
        else
            bucket.first = node;
        node->prev = bucket.last;
        bucket.last = node;
        node = next;
    }
    SWprimitivenode* last = nullptr;
    for (int index = 0; index < 256; ++index) {
        const Bucket& bucket = buckets[index];
        if (bucket.first == nullptr)
            continue;
        if (last != nullptr)
            last->next = bucket.first;
        else
            m_firstNode = bucket.first;
        bucket.first->prev = last;
        last = bucket.last;
    }
    last->next = &m_endNode;
    m_endNode.prev = last;
}

bool SWrenderbatch::EnsureBuckets()
{
    if (!m_buckets)
        m_buckets.reset(new (std::nothrow) Bucket[256]);
    return m_buckets != nullptr;
}
