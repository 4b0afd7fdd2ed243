#pragma once
// SWrenderbatch: one producer group's triangles for one frame, with the memory they live in. Nodes and data words
// come from blocks with fixed spare room and are all released together when the queue is cleared: nothing is
// allocated or freed per triangle.
//
// The draw list's end node is always there: an empty list's first node is the end node; the end node's next link
// is null and its previous link is the last node (null when the list is empty). A chain fresh from
// AllocPrimitives is linked by next links, its last node's next is null and its first node's previous link names
// its last node.
#include <cstdint>
#include <memory>

struct SWtexturestages;

// One triangle: three consecutive vertices of the stride its format record gives. Vertex words are 32 bits:
// 0, 1, 2 are x, y, z, 3 the depth term (after projection the reciprocal depth), all as float bit patterns
// (VertexFloat / FloatWord), then packed colours and further float attributes.
struct SWprimitivenode {
    SWprimitivenode* next = nullptr;
    SWprimitivenode* prev = nullptr;
    const SWtexturestages* format = nullptr; // not owned: the batch's data blocks or a mesh's draw group
    const uint32_t* vertices = nullptr;      // not owned: the batch's data blocks or the producer's own
};

struct SWnodeblock {
    std::unique_ptr<SWprimitivenode[]> nodes;
    SWprimitivenode* cursor = nullptr; // the next free node
    SWnodeblock* next = nullptr;       // owned by the batch
    uint32_t freeCount = 0;
};

struct SWdatablock {
    SWdatablock* next = nullptr; // owned by the batch
    uint32_t freeCount = 0;      // in 32-bit words
    uint32_t* cursor = nullptr;
    uint32_t* base = nullptr; // 16-byte aligned, owned
};

class SWrenderbatch {
public:
    enum class Kind : uint8_t {
        kAppendOrder = 0, // drawn as appended
        kDepthSum = 1,    // ascending by the sum of the three depth terms (far to near for reciprocal depths)
        kDepthKey = 2,    // descending by the upper 16 bits of the first vertex's depth term
    };

    static constexpr uint32_t kSpareNodes = 512;
    static constexpr uint32_t kSpareWords = 2048;
    static constexpr uint32_t kMostNodesPerCall = 1u << 22; // more than any frame draws: refused
    static constexpr uint32_t kMostWordsPerCall = 1u << 26;

    SWrenderbatch();
    SWrenderbatch(const SWrenderbatch&) = delete;
    SWrenderbatch& operator=(const SWrenderbatch&) = delete;
    ~SWrenderbatch(); // frees its blocks and bucket table

    Kind GetKind() const { return m_kind; }
    void SetKind(Kind kind) { m_kind = kind; }
    uint8_t IsTransparent() const { return m_transparent; }
    void SetTransparent(bool transparent) { m_transparent = transparent ? 1 : 0; }

    SWprimitivenode* FirstNode() const { return m_firstNode; } // the end node when the list is empty
    const SWprimitivenode* EndNode() const { return &m_endNode; }
    uint32_t NodeCount() const { return m_nodeCount; }
    bool IsEmpty() const { return m_firstNode == &m_endNode; }
    SWrenderbatch* NextBatch() const { return m_nextBatch; }
    SWrenderbatch* PrevBatch() const { return m_prevBatch; }

    SWprimitivenode* AllocPrimitives(uint32_t count); // a chain of count nodes; null for 0, too many or no memory
    void AppendPrimitives(SWprimitivenode* chain);    // a chain from AllocPrimitives; null is ignored
    // Takes a node of this batch's draw list out of it; the node keeps its own links, so a walk that stands on it
    // can go on by its next link. The end node and null are ignored.
    void Unlink(SWprimitivenode* node);

    // Words for format records and vertices, valid until the queue is cleared; null when there is no memory.
    // Every take is rounded up to an even number of words, so what follows a take stays 8-byte aligned.
    uint32_t* TakeWords(uint32_t count);
    SWtexturestages* TakeFormatRecord(); // constructed as a fresh record

    void Sort();                           // by kind; append order is left alone
    void SortByDepthSum();                 // stable
    void SortByDepthKey();                 // stable
    void TakeListOf(SWrenderbatch& other); // other's draw list moves to the end of this one's
    void ResetList();                      // forgets the draw list; the nodes stay in the blocks

    const SWnodeblock* FirstNodeBlock() const { return m_firstNodeBlock; }
    const SWdatablock* FirstDataBlock() const { return m_firstDataBlock; }

private:
    friend class SWrenderqueue;
    struct Bucket {
        SWprimitivenode* first;
        SWprimitivenode* last;
    };

    SWnodeblock* NewNodeBlock(uint32_t nodeCount);
    template <typename BucketOf> void RadixPass(BucketOf bucketOf);
    bool EnsureBuckets();

    std::unique_ptr<Bucket[]> m_buckets; // 256, made on the first sort
    SWnodeblock* m_firstNodeBlock = nullptr;
    SWnodeblock* m_currentNodeBlock = nullptr;
    SWprimitivenode* m_firstNode;
    uint32_t m_nodeCount = 0;
    SWprimitivenode m_endNode;
    SWdatablock* m_firstDataBlock = nullptr;
    SWdatablock* m_currentDataBlock = nullptr;
    SWrenderbatch* m_nextBatch = nullptr; // links of the queue's batch list
    SWrenderbatch* m_prevBatch = nullptr;
    Kind m_kind = Kind::kAppendOrder;
    uint8_t m_transparent = 0;
};

float VertexFloat(const uint32_t* vertex, int word); // the float whose bits the word holds
uint32_t FloatWord(float value);
