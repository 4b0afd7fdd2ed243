#include "engine/resources/mesh_object.h"

#include <algorithm>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

namespace {
const CVTN_TagRegistration kRegistration(MakeTag("MMES"), &CreateContainer<SWmeshobject>);
}

SWmeshobject::SWmeshobject()
{
    AddTypeTag(MakeTag("MMES"));
}

void SWmeshobject::SetVertices(std::vector<float>&& positions)
{
    SWmesh::SetVertices(std::move(positions));
    m_base = VerticesArray();
    if (m_bucketOfVertex.size() != GetVertexCount())
        ClearVertexBuckets(); // bindings name vertices of the old array
}

float* SWmeshobject::GetBaseVertices()
{
    if (!m_base)
        return nullptr;
    if (m_base.use_count() > 1)
        m_base = std::make_shared<std::vector<float>>(*m_base);
    return m_base->empty() ? nullptr : m_base->data();
}

void SWmeshobject::Refresh()
{
    // Sharing the base again is the copy, without the memory of a second array.
    if (m_base == SharedVertices())
        return;
    ShareVertices(m_base);
    // As a pose is written: the renderers rebuild from the positions only when the stamp moves, and without it the
    // posed shape stayed on screen.
    ComputeBoundingBox();
    ComputeNormals();
}

bool SWmeshobject::AddVertexBucket(uint32_t nodeId, std::vector<uint32_t> vertices)
{
    if (m_bucketOfVertex.size() != GetVertexCount())
        m_bucketOfVertex.assign(GetVertexCount(), kUnbound);
    const auto bucket = static_cast<uint32_t>(m_buckets.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        const uint32_t vertex = vertices[i];
        // A vertex named twice in this bucket finds itself marked already, as one bound elsewhere does.
        if (vertex >= m_bucketOfVertex.size() || m_bucketOfVertex[vertex] != kUnbound) {
            for (size_t j = 0; j < i; ++j)
                m_bucketOfVertex[vertices[j]] = kUnbound;
            return false;
        }
        m_bucketOfVertex[vertex] = bucket;
    }
    m_buckets.push_back({nodeId, nullptr, std::move(vertices)});
    return true;
}

const SWvertexbucket* SWmeshobject::GetVertexBinding(uint32_t vertex) const
{
    if (vertex >= m_bucketOfVertex.size() || m_bucketOfVertex[vertex] == kUnbound)
        return nullptr;
    return &m_buckets[m_bucketOfVertex[vertex]];
}

void SWmeshobject::SetCachedNode(size_t bucket, CVTN_Container* node)
{
    if (bucket < m_buckets.size())
        m_buckets[bucket].node = node;
}

void SWmeshobject::ClearCachedNodes()
{
    for (SWvertexbucket& bucket : m_buckets)
        bucket.node = nullptr;
}

void SWmeshobject::ClearVertexBuckets()
{
    m_buckets.clear();
    m_bucketOfVertex.clear();
}
