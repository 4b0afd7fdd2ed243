#pragma once
// SWmeshobject (tag "MMES"): the mesh a world's mesh node draws. It keeps two position arrays of one size: the
// base (the rest shape, as loaded) and the working one that motions move and the renderer draws (GetVertices).
// The two are one shared array until the working positions are first handed out writable (which copies them, as
// every write of a shared array does): most meshes never move, and a second copy of a large one is a tenth of its
// memory.
// Vertices may be bound to other nodes (bones); each bucket names its node by id and caches the node itself, a
// cache cleared whenever it may be stale and filled again by id.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/resources/mesh.h"
#include "engine/resources/morph_target_list.h"

class CVTN_Container;

struct SWvertexbucket {
    uint32_t nodeId = 0;
    CVTN_Container* node = nullptr; // cached; null when it may be stale (resolve by id)
    std::vector<uint32_t> vertices;
};

class SWmeshobject : public SWmesh {
public:
    SWmeshobject(); // empty, with an unset object reference

    // The positions become the base and the working array at once.
    void SetVertices(std::vector<float>&& positions) override;
    const float* GetBaseVertices() const { return m_base && !m_base->empty() ? m_base->data() : nullptr; }
    float* GetBaseVertices(); // writable: parted from the working positions (and any reader) first
    bool HasOwnBase() const { return m_base != nullptr && m_base != SharedVertices(); }
    void Refresh() override; // the working positions become the base again

    ObjectReference& GetObjectReference() { return m_reference; }
    const ObjectReference& GetObjectReference() const { return m_reference; }

    const std::vector<SWvertexbucket>& GetVertexBuckets() const { return m_buckets; }
    // False, with nothing added, when a vertex index does not exist or the vertex is bound already.
    bool AddVertexBucket(uint32_t nodeId, std::vector<uint32_t> vertices);
    const SWvertexbucket* GetVertexBinding(uint32_t vertex) const; // null when unbound or out of range
    void SetCachedNode(size_t bucket, CVTN_Container* node);       // ignored for a bucket that does not exist
    void ClearCachedNodes();                                       // whenever a node may have gone
    void ClearVertexBuckets();

    MorphTargetList& GetMorphTargets() { return m_morphTargets; }
    const MorphTargetList& GetMorphTargets() const { return m_morphTargets; }

private:
    static constexpr uint32_t kUnbound = 0xFFFFFFFFu;

    std::shared_ptr<std::vector<float>> m_base; // the rest shape; the working array itself until that is written
    ObjectReference m_reference;
    std::vector<SWvertexbucket> m_buckets;
    std::vector<uint32_t> m_bucketOfVertex; // per vertex, kUnbound or a bucket index
    MorphTargetList m_morphTargets;
};
