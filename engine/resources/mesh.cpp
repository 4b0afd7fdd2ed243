#include "engine/resources/mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/core/matrix.h"
#include "engine/resources/array_block.h"
#include "platform/base/large_pages.h"

namespace {

constexpr uint32_t kNoKey = 0xFFFFFFFFu;
// Added under the root so that a zero vector normalises to zero instead of dividing by zero.
constexpr float kSmallestNormal = 1.1754944e-38f;

void NormaliseInto(float x, float y, float z, float* out)
{
    const float scale = 1.0f / std::sqrt(x * x + y * y + z * z + kSmallestNormal);
    out[0] = x * scale;
    out[1] = y * scale;
    out[2] = z * scale;
}

// |a| > |b| on the bit patterns with the sign cleared, as the vertex outcodes compare them.
bool MagnitudeAbove(float a, float b)
{
    uint32_t ua = 0, ub = 0;
    std::memcpy(&ua, &a, 4);
    std::memcpy(&ub, &b, 4);
    return (ua & 0x7FFFFFFFu) > (ub & 0x7FFFFFFFu);
}

// Corner keys: one per (position, non-zero smoothing mask); mask 0 gives every polygon corner a key of its own. Keys of
// a position are chained, so the usual single mask costs one comparison.
class CornerKeyTable {
public:
    // keysAtMost: an upper bound of the keys to come, reserved so that the tables never move while they grow (the
    // room a bound leaves unused is never touched, so it costs no memory).
    CornerKeyTable(uint32_t positions, uint64_t keysAtMost) : m_first(positions, kNoKey)
    {
        pf::reserveWithLargePages(m_next, static_cast<size_t>(keysAtMost));
        pf::reserveWithLargePages(m_mask, static_cast<size_t>(keysAtMost));
    }

    uint32_t KeyFor(uint32_t position, uint32_t mask)
    {
        if (mask != 0)
            for (uint32_t key = m_first[position]; key != kNoKey; key = m_next[key])
                if (m_mask[key] == mask)
                    return key;
        const auto key = static_cast<uint32_t>(m_mask.size());
        m_mask.push_back(mask);
        m_next.push_back(m_first[position]);
        m_first[position] = key;
        return key;
    }
    uint32_t Count() const { return static_cast<uint32_t>(m_mask.size()); }

private:
    std::vector<uint32_t> m_first; // per position
    std::vector<uint32_t> m_next;  // per key
    std::vector<uint32_t> m_mask;  // per key
};

// One polygon as a build takes it, from a chain block or from a flat triangle list.
struct PolygonView {
    std::span<const uint32_t> corners;
    std::span<const uint32_t> uvs; // one per corner when hasTextureIndices
    bool hasTextureIndices;
    uint32_t smoothingMask;
    SWmaterial* material;
    uint32_t flags;
};

bool PolygonFits(const PolygonView& polygon, uint32_t positions, uint32_t textureVertices)
{
    for (const uint32_t index : polygon.corners)
        if (index >= positions)
            return false;
    if (polygon.hasTextureIndices && textureVertices > 0)
        for (const uint32_t index : polygon.uvs)
            if (index >= textureVertices)
                return false;
    return true;
}

} // namespace

SWmesh::SWmesh() = default;

void SWmesh::SetVertices(std::vector<float>&& positions)
{
    positions.resize(positions.size() - positions.size() % 3);
    m_vertices = std::move(positions);
    ClearTableUnlessFits();
    m_loaded = 0;
}

void SWmesh::SetTextureVertices(std::vector<float>&& uv)
{
    uv.resize(uv.size() - uv.size() % 2);
    m_textureVertices = std::move(uv);
    ClearTableUnlessFits();
    m_loaded = 0;
}

uint32_t SWmesh::GetSmoothingMask(uint32_t polygon) const
{
    return polygon < m_smoothingMasks.size() ? m_smoothingMasks[polygon] : 0;
}

void SWmesh::ClearTableUnlessFits()
{
    const uint32_t positions = GetVertexCount(), textures = GetTextureVertexCount();
    const bool fits = std::all_of(m_indexRecords.begin(), m_indexRecords.end(), [&](const SWindexrecord& record) {
        for (int c = 0; c < 3; ++c)
            if (record.position[c] >= positions ||
                (textures > 0 ? record.texture[c] >= textures : record.texture[c] != 0))
                return false;
        return true;
    });
    if (fits)
        return;
    m_polygons.clear();
    m_indexRecords.clear();
    m_smoothingMasks.clear();
    m_unresolvedMaterials.clear();
    m_cornerKeyCount = 0;
    m_normals.clear();
    m_faceNormals.clear();
}

SWpolygonbuild SWmesh::BuildPolygonIndices(const SWarrayblock* chain)
{
    uint64_t triangles = 0;
    for (const SWarrayblock* block = chain; block != nullptr; block = block->GetNext())
        if (block->GetCount() >= 3)
            triangles += block->GetCount() - 2;
    return BuildFrom(triangles, [chain](auto&& add) {
        for (const SWarrayblock* block = chain; block != nullptr; block = block->GetNext())
            add(PolygonView{block->GetVertexIndices(), block->GetTextureIndices(), block->HasTextureIndices(),
                            block->GetSmoothingMask(), block->GetMaterial(), block->GetPolygonFlags()});
    });
}

SWpolygonbuild SWmesh::BuildTriangleIndices(const SWtrianglelist& list)
{
    const size_t count = list.smoothingMasks.size();
    const bool agree = list.corners.size() == count * 6 && list.materialIndices.size() == count;
    return BuildFrom(agree ? count : 0, [&](auto&& add) {
        for (size_t t = 0; t < count; ++t) {
            const std::span<const uint32_t> corners = list.corners.subspan(agree ? t * 6 : 0, agree ? 3 : 0);
            const uint16_t material = agree ? list.materialIndices[t] : 0;
            add(PolygonView{corners, agree ? list.corners.subspan(t * 6 + 3, 3) : corners, list.hasTextureIndices,
                            list.smoothingMasks[t],
                            material < list.materials.size() ? list.materials[material] : nullptr, 0u});
        }
    });
}

// forEach calls its argument once per polygon in order; triangles is what the polygons make, to reserve.
template <typename ForEachPolygon> SWpolygonbuild SWmesh::BuildFrom(uint64_t triangles, ForEachPolygon&& forEach)
{
    SWpolygonbuild build;
    const uint32_t positions = GetVertexCount(), textures = GetTextureVertexCount();
    m_polygons.clear();
    m_indexRecords.clear();
    m_smoothingMasks.clear();
    m_unresolvedMaterials.clear();
    pf::reserveWithLargePages(m_polygons, triangles);
    pf::reserveWithLargePages(m_indexRecords, triangles);
    pf::reserveWithLargePages(m_smoothingMasks, triangles);
    CornerKeyTable keys(positions, triangles * 3); // a polygon of n corners makes n - 2 triangles, n >= 3
    std::vector<uint32_t> cornerKeys;
    forEach([&](const PolygonView& polygon) {
        ++build.polygons;
        if (polygon.corners.size() < 3) {
            ++build.droppedShort;
            return;
        }
        if (!PolygonFits(polygon, positions, textures)) {
            ++build.droppedOutOfRange;
            return;
        }
        const bool withTexture = polygon.hasTextureIndices && textures > 0;
        // Keys per corner of the polygon, so that the triangles of its fan share them (also when faceted).
        cornerKeys.clear();
        for (const uint32_t position : polygon.corners)
            cornerKeys.push_back(keys.KeyFor(position, polygon.smoothingMask));
        for (size_t i = 1; i + 1 < polygon.corners.size(); ++i) {
            const size_t fan[3] = {0, i, i + 1};
            SWindexrecord record{};
            for (int c = 0; c < 3; ++c) {
                record.position[c] = polygon.corners[fan[c]];
                record.cornerKey[c] = cornerKeys[fan[c]];
                record.texture[c] = withTexture ? polygon.uvs[fan[c]] : 0;
            }
            m_polygons.push_back({polygon.material, polygon.flags, static_cast<uint32_t>(m_indexRecords.size())});
            m_indexRecords.push_back(record);
            m_smoothingMasks.push_back(polygon.smoothingMask);
        }
    });
    build.triangles = static_cast<uint32_t>(m_polygons.size());
    m_cornerKeyCount = keys.Count();
    m_normals.clear();
    m_faceNormals.clear();
    m_loaded = 0;
    return build;
}

void SWmesh::SetPolygonMaterial(uint32_t polygon, SWmaterial* material)
{
    if (polygon >= m_polygons.size())
        return;
    // The draw groups keep each group's material and are rebuilt only when the stamp moves: a change left
    // unstamped would keep drawing with a material the mesh has let go.
    if (m_polygons[polygon].material != material)
        ++m_geometryStamp;
    m_polygons[polygon].material = material;
    if (material != nullptr)
        m_unresolvedMaterials.erase(polygon);
}

void SWmesh::SetUnresolvedMaterialName(uint32_t polygon, std::string name)
{
    if (polygon < m_polygons.size() && m_polygons[polygon].material == nullptr)
        m_unresolvedMaterials.insert_or_assign(polygon, std::move(name));
}

void SWmesh::ComputeNormals()
{
    pf::reserveWithLargePages(m_faceNormals, m_polygons.size() * 3);
    pf::reserveWithLargePages(m_normals, static_cast<size_t>(m_cornerKeyCount) * 3);
    m_faceNormals.assign(m_polygons.size() * 3, 0.0f);
    m_normals.assign(static_cast<size_t>(m_cornerKeyCount) * 3, 0.0f);
    const float* const p = m_vertices.data();
    for (size_t i = 0; i < m_polygons.size(); ++i) {
        const SWindexrecord& record = m_indexRecords[m_polygons[i].indexRecord];
        const float* a = p + 3 * static_cast<size_t>(record.position[0]);
        const float* b = p + 3 * static_cast<size_t>(record.position[1]);
        const float* c = p + 3 * static_cast<size_t>(record.position[2]);
        const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        float* const face = &m_faceNormals[3 * i];
        NormaliseInto(e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0],
                      face);
        for (const uint32_t key : record.cornerKey) {
            float* const n = &m_normals[3 * static_cast<size_t>(key)];
            n[0] += face[0];
            n[1] += face[1];
            n[2] += face[2];
        }
    }
    for (size_t key = 0; key < m_cornerKeyCount; ++key) {
        float* const n = &m_normals[3 * key];
        NormaliseInto(n[0], n[1], n[2], n);
    }
    ++m_geometryStamp;
}

void SWmesh::UpdateNormals()
{
    if (m_vertices.empty() || m_polygons.empty())
        return;
    ComputeNormals();
    NotifyListeners(kNotifyChanged);
}

void SWmesh::ComputeBoundingBox()
{
    m_box.Clear();
    for (size_t i = 0; i + 2 < m_vertices.size(); i += 3)
        m_box.AddPoint({m_vertices[i], m_vertices[i + 1], m_vertices[i + 2]});
    m_box.ComputeCorners();
}

const SWbbox* SWmesh::GetBoundingBox() const
{
    return m_loaded != 0 ? &m_box : nullptr;
}

void SWmesh::Prepare()
{
    if (m_busy != 0)
        return;
    m_busy = 1;
    if (!m_vertices.empty() && !m_polygons.empty() && m_filling == 0 && m_detached == 0) {
        ComputeNormals();
        ComputeBoundingBox();
        m_loaded = 1;
        NotifyListeners(kNotifyChanged);
    }
    m_busy = 0;
}

uint8_t SWmesh::OutcodeOf(float x, float y, float z, float nearZ)
{
    uint8_t code = 0;
    if (MagnitudeAbove(x, z))
        code |= x >= 0.0f ? kOutRight : kOutLeft;
    if (MagnitudeAbove(y, z))
        code |= y < 0.0f ? kOutBelow : kOutAbove;
    if (z > nearZ)
        code |= kOutNear;
    else if (z < -1.0f)
        code |= kOutFar;
    return code;
}

uint32_t SWmesh::TestViewVolume(const SWmatrix& combined, float nearZ) const
{
    if (m_loaded == 0 || m_vertices.empty() || m_box.IsEmpty())
        return 0;
    uint8_t all = 0x3F, any = 0;
    for (const SWvector& corner : m_box.GetTransformedCorners(combined)) {
        const uint8_t code = OutcodeOf(corner.x, corner.y, corner.z, nearZ);
        all &= code;
        any |= code;
    }
    return (all == 0 ? kViewNotOutside : 0u) | (any == 0 ? kViewInside : 0u);
}

void SWmesh::SetGeometryCodecParameters(uint8_t flag, uint32_t first, uint32_t second)
{
    m_positionBits = std::min<uint32_t>(first, 8) + 10;
    m_textureBits = std::min<uint32_t>(second, 6) + 6;
    m_codecFlag = flag;
}

void SWmesh::SetUserSettings(uint32_t position, uint32_t texture)
{
    m_userPositionSetting = position;
    m_userTextureSetting = texture;
}
