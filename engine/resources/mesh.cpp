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
    // Whether each position has exactly one key; then key_of_position[p] is p's.
    bool OnePerPosition() const
    {
        return Count() == m_first.size() &&
               std::none_of(m_first.begin(), m_first.end(), [](uint32_t key) { return key == kNoKey; });
    }

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

bool SameKind(const SWfacekind& a, const SWfacekind& b)
{
    return a.material == b.material && a.flags == b.flags && a.smoothingMask == b.smoothingMask;
}

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
    m_vertices = positions.empty() ? nullptr : std::make_shared<std::vector<float>>(std::move(positions));
    ClearTableUnlessFits();
    m_loaded = 0;
}

float* SWmesh::GetVertices()
{
    std::vector<float>& positions = WorkingVertices();
    return positions.empty() ? nullptr : positions.data();
}

std::vector<float>& SWmesh::WorkingVertices()
{
    if (!m_vertices)
        m_vertices = std::make_shared<std::vector<float>>();
    else if (m_vertices.use_count() > 1)
        m_vertices = std::make_shared<std::vector<float>>(*m_vertices);
    return *m_vertices;
}

void SWmesh::ShareVertices(std::shared_ptr<std::vector<float>> positions)
{
    if (SizeOf(positions) == SizeOf(m_vertices))
        m_vertices = std::move(positions);
}

void SWmesh::SetTextureVertices(std::vector<float>&& uv)
{
    uv.resize(uv.size() - uv.size() % 2);
    m_textureVertices = uv.empty() ? nullptr : std::make_shared<std::vector<float>>(std::move(uv));
    ClearTableUnlessFits();
    m_loaded = 0;
}

uint32_t SWmesh::GetSmoothingMask(uint32_t polygon) const
{
    return polygon < m_polygonCount ? m_kinds[GetFaceKindIndex(polygon)].smoothingMask : 0;
}

SWindexrecord SWmesh::GetIndexRecord(uint32_t polygon) const
{
    SWindexrecord record{};
    const SWindexview positions = GetCornerPositions(), keys = GetCornerKeys(), textures = GetCornerTextures();
    for (size_t c = 0; c < 3; ++c) {
        const size_t at = size_t{polygon} * 3 + c;
        record.position[c] = positions[at];
        record.cornerKey[c] = keys[at];
        record.texture[c] = textures.empty() ? 0 : textures[at];
    }
    return record;
}

SWindexview SWmesh::GetCornerTextures() const
{
    switch (m_textureIndices) {
    case TextureIndices::kPositions:
        return GetCornerPositions();
    case TextureIndices::kOwn:
        return ViewOf(m_cornerTextures, m_cornerTextures16);
    case TextureIndices::kZero:
        break;
    }
    return {};
}

void SWmesh::ClearTableUnlessFits()
{
    const uint32_t positions = GetVertexCount(), textures = GetTextureVertexCount();
    const SWindexview cornerPositions = GetCornerPositions(), cornerTextures = GetCornerTextures();
    bool fits = true;
    for (size_t i = 0; i < cornerPositions.size() && fits; ++i)
        fits = cornerPositions[i] < positions;
    for (size_t i = 0; i < cornerTextures.size() && fits; ++i)
        fits = textures > 0 ? cornerTextures[i] < textures : cornerTextures[i] == 0;
    if (!fits)
        ClearTable();
}

void SWmesh::ClearTable()
{
    // Swapped out rather than cleared: a large table's memory goes back at once.
    std::vector<uint32_t>().swap(m_cornerPositions);
    std::vector<uint32_t>().swap(m_cornerKeys);
    std::vector<uint32_t>().swap(m_cornerTextures);
    std::vector<uint16_t>().swap(m_cornerPositions16);
    std::vector<uint16_t>().swap(m_cornerKeys16);
    std::vector<uint16_t>().swap(m_cornerTextures16);
    std::vector<uint32_t>().swap(m_kindOf);
    m_polygonCount = 0;
    m_kinds.clear();
    m_textureIndices = TextureIndices::kZero;
    m_unresolvedMaterials.clear();
    m_cornerKeyCount = 0;
    m_keysArePositions = false;
    m_normals.reset();
}

uint32_t SWmesh::KindOf(const SWfacekind& kind)
{
    constexpr size_t kLooked = 32; // a mesh has few kinds; one whose every polygon differs is not searched whole
    for (size_t i = m_kinds.size(), looked = 0; i > 0 && looked < kLooked; --i, ++looked)
        if (SameKind(m_kinds[i - 1], kind))
            return static_cast<uint32_t>(i - 1);
    m_kinds.push_back(kind);
    return static_cast<uint32_t>(m_kinds.size() - 1);
}

SWpolygonbuild SWmesh::BuildPolygonIndices(const SWarrayblock* chain)
{
    uint64_t triangles = 0;
    for (const SWarrayblock* block = chain; block != nullptr; block = block->GetNext())
        if (block->GetCount() >= 3)
            triangles += block->GetCount() - 2;
    ClearTable();
    pf::reserveWithLargePages(m_cornerPositions, triangles * 3);
    pf::reserveWithLargePages(m_cornerTextures, triangles * 3);
    m_cornerPositions.resize(triangles * 3);
    m_cornerTextures.resize(triangles * 3);
    return BuildFrom(triangles, [chain](auto&& add) {
        for (const SWarrayblock* block = chain; block != nullptr; block = block->GetNext())
            add(PolygonView{block->GetVertexIndices(), block->GetTextureIndices(), block->HasTextureIndices(),
                            block->GetSmoothingMask(), block->GetMaterial(), block->GetPolygonFlags()});
    });
}

SWpolygonbuild SWmesh::BuildTriangleIndices(SWtrianglelist&& list)
{
    const size_t count = list.smoothingMasks.size();
    const bool ownTextures = !list.textures.empty();
    const bool agree = list.positions.size() == count * 3 && list.materialIndices.size() == count &&
                       (!ownTextures || list.textures.size() == count * 3);
    ClearTable();
    if (agree) {
        // Built in place: a triangle is written at or before where it was read.
        m_cornerPositions = std::move(list.positions);
        m_cornerTextures = std::move(list.textures);
    }
    const std::span<const uint32_t> corners = m_cornerPositions, uvs = ownTextures ? m_cornerTextures : corners;
    return BuildFrom(agree ? count : 0, [&](auto&& add) {
        for (size_t t = 0; t < count; ++t) {
            const uint16_t material = agree ? list.materialIndices[t] : 0;
            add(PolygonView{corners.subspan(agree ? t * 3 : 0, agree ? 3 : 0),
                            uvs.subspan(agree ? t * 3 : 0, agree ? 3 : 0), true, list.smoothingMasks[t],
                            material < list.materials.size() ? list.materials[material] : nullptr, 0u});
        }
    });
}

// forEach calls its argument once per polygon in order; triangles is what the polygons make, to reserve. The
// position array holds room for them; the texture array too where the polygons bring texture indices of their own
// (else the position indices serve).
template <typename ForEachPolygon> SWpolygonbuild SWmesh::BuildFrom(uint64_t triangles, ForEachPolygon&& forEach)
{
    SWpolygonbuild build;
    const uint32_t positions = GetVertexCount(), textures = GetTextureVertexCount();
    const bool ownTextures = !m_cornerTextures.empty();
    pf::reserveWithLargePages(m_cornerKeys, triangles * 3);
    pf::reserveWithLargePages(m_kindOf, triangles);
    CornerKeyTable keys(positions, triangles * 3); // a polygon of n corners makes n - 2 triangles, n >= 3
    // Kinds by a hash of their fields, so that finding one costs a comparison however the polygons alternate.
    std::array<uint32_t, 64> kindSlots;
    kindSlots.fill(kNoKey);
    std::vector<uint32_t> cornerKeys, corners, uvs;
    size_t made = 0;
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
        // Copied first: a flat build writes its triangles into the arrays it reads them from.
        corners.assign(polygon.corners.begin(), polygon.corners.end());
        uvs.assign(polygon.uvs.begin(), polygon.uvs.end());
        // Keys per corner of the polygon, so that the triangles of its fan share them (also when faceted).
        cornerKeys.clear();
        for (const uint32_t position : corners)
            cornerKeys.push_back(keys.KeyFor(position, polygon.smoothingMask));
        const SWfacekind kind{polygon.material, polygon.flags, polygon.smoothingMask};
        const size_t slot = (reinterpret_cast<uintptr_t>(kind.material) >> 4 ^ kind.flags * 0x9E3779B1u ^
                             kind.smoothingMask * 0x85EBCA77u) %
                            kindSlots.size();
        if (kindSlots[slot] == kNoKey || !SameKind(m_kinds[kindSlots[slot]], kind))
            kindSlots[slot] = KindOf(kind);
        for (size_t i = 1; i + 1 < corners.size(); ++i) {
            const size_t fan[3] = {0, i, i + 1};
            for (size_t c = 0; c < 3; ++c) {
                m_cornerPositions[made * 3 + c] = corners[fan[c]];
                m_cornerKeys.push_back(cornerKeys[fan[c]]);
                if (ownTextures)
                    m_cornerTextures[made * 3 + c] = withTexture ? uvs[fan[c]] : 0;
            }
            m_kindOf.push_back(kindSlots[slot]);
            ++made;
        }
    });
    build.triangles = static_cast<uint32_t>(made);
    m_cornerPositions.resize(made * 3);
    m_cornerTextures.resize(ownTextures ? made * 3 : 0);
    // Texture indices are kept only where they say more than the positions' or than 0.
    const bool equal = ownTextures && m_cornerTextures == m_cornerPositions;
    const bool zero =
        ownTextures && std::all_of(m_cornerTextures.begin(), m_cornerTextures.end(), [](uint32_t i) { return i == 0; });
    if (textures == 0 || zero || (!ownTextures && made == 0))
        m_textureIndices = TextureIndices::kZero;
    else if (!ownTextures || equal)
        m_textureIndices = TextureIndices::kPositions;
    else
        m_textureIndices = TextureIndices::kOwn;
    if (m_textureIndices != TextureIndices::kOwn)
        std::vector<uint32_t>().swap(m_cornerTextures);
    m_polygonCount = static_cast<uint32_t>(made);
    if (m_kinds.size() <= 1)
        std::vector<uint32_t>().swap(m_kindOf); // every polygon has kind 0
    m_cornerKeyCount = keys.Count();
    m_keysArePositions = keys.OnePerPosition();
    if (m_keysArePositions)
        std::vector<uint32_t>().swap(m_cornerKeys);
    NarrowIndices();
    m_loaded = 0;
    return build;
}

void SWmesh::NarrowIndices()
{
    const auto narrow = [](std::vector<uint32_t>& wide, std::vector<uint16_t>& out, uint32_t bound) {
        if (wide.empty() || bound > 0x10000u)
            return;
        out.assign(wide.begin(), wide.end());
        std::vector<uint32_t>().swap(wide);
    };
    narrow(m_cornerPositions, m_cornerPositions16, GetVertexCount());
    narrow(m_cornerKeys, m_cornerKeys16, m_cornerKeyCount);
    narrow(m_cornerTextures, m_cornerTextures16, GetTextureVertexCount());
}

void SWmesh::SetPolygonMaterial(uint32_t polygon, SWmaterial* material)
{
    if (polygon >= m_polygonCount)
        return;
    SWfacekind kind = m_kinds[GetFaceKindIndex(polygon)];
    // The draw groups keep each group's material and are rebuilt only when the stamp moves: a change left
    // unstamped would keep drawing with a material the mesh has let go.
    if (kind.material != material)
        ++m_geometryStamp;
    kind.material = material;
    const uint32_t index = KindOf(kind);
    if (m_kindOf.empty() && index != 0)
        m_kindOf.assign(m_polygonCount, 0);
    if (!m_kindOf.empty())
        m_kindOf[polygon] = index;
    if (material != nullptr)
        m_unresolvedMaterials.erase(polygon);
}

void SWmesh::SetUnresolvedMaterialName(uint32_t polygon, std::string name)
{
    if (polygon < m_polygonCount && m_kinds[GetFaceKindIndex(polygon)].material == nullptr)
        m_unresolvedMaterials.insert_or_assign(polygon, std::move(name));
}

void SWmesh::FaceNormalOf(const float* a, const float* b, const float* c, float out[3])
{
    const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    NormaliseInto(e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0], out);
}

void SWmesh::GetFaceNormal(uint32_t polygon, float out[3]) const
{
    const SWindexview positions = GetCornerPositions();
    const size_t at = 3 * size_t{polygon};
    const float* const p = DataOf(m_vertices);
    FaceNormalOf(p + 3 * size_t{positions[at]}, p + 3 * size_t{positions[at + 1]}, p + 3 * size_t{positions[at + 2]},
                 out);
}

void SWmesh::ComputeNormals()
{
    const size_t polygons = m_polygonCount;
    // A new array: a renderer may hold the last one.
    std::vector<float> normals;
    pf::reserveWithLargePages(normals, static_cast<size_t>(m_cornerKeyCount) * 3);
    normals.assign(static_cast<size_t>(m_cornerKeyCount) * 3, 0.0f);
    const SWindexview keys = GetCornerKeys();
    for (size_t i = 0; i < polygons; ++i) {
        float face[3];
        GetFaceNormal(static_cast<uint32_t>(i), face);
        for (size_t k = 0; k < 3; ++k) {
            float* const n = &normals[3 * static_cast<size_t>(keys[3 * i + k])];
            n[0] += face[0];
            n[1] += face[1];
            n[2] += face[2];
        }
    }
    for (size_t key = 0; key < m_cornerKeyCount; ++key) {
        float* const n = &normals[3 * key];
        NormaliseInto(n[0], n[1], n[2], n);
    }
    m_normals = normals.empty() ? nullptr : std::make_shared<std::vector<float>>(std::move(normals));
    ++m_geometryStamp;
}

void SWmesh::UpdateNormals()
{
    if (GetVertexCount() == 0 || m_polygonCount == 0)
        return;
    ComputeNormals();
    NotifyListeners(kNotifyChanged);
}

void SWmesh::ComputeBoundingBox()
{
    m_box.Clear();
    const float* const p = DataOf(m_vertices);
    for (size_t i = 0; i + 2 < SizeOf(m_vertices); i += 3)
        m_box.AddPoint({p[i], p[i + 1], p[i + 2]});
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
    if (GetVertexCount() != 0 && m_polygonCount != 0 && m_filling == 0 && m_detached == 0) {
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
    if (m_loaded == 0 || GetVertexCount() == 0 || m_box.IsEmpty())
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
