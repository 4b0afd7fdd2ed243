#include "render/mesh/vector_mesh_renderer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/render_drivers.h"
#include "render/render_target.h"
#include "render/software/direct_draw.h"

namespace {

constexpr float kNormalScale = 32760.0f;
constexpr float kDistanceBias = 3.0f;
constexpr float kTiny = 1.1754944e-38f;

// Portable lanes: each operation is the one IEEE single operation the intrinsic performs, lane by lane, and the
// comparisons answer as the intrinsics do when a lane is NaN.
struct PortableLanes {
    struct F {
        float v[4];
    };
    static F Set(float a) { return {{a, a, a, a}}; }
    static F Load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
    static void Store(float* p, F a) { std::memcpy(p, a.v, sizeof(a.v)); }
    template <typename Op> static F Map(F a, F b, Op op)
    {
        return {{op(a.v[0], b.v[0]), op(a.v[1], b.v[1]), op(a.v[2], b.v[2]), op(a.v[3], b.v[3])}};
    }
    static F Add(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x + y; });
    }
    static F Sub(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x - y; });
    }
    static F Mul(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x * y; });
    }
    static F Div(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x / y; });
    }
    static F Max(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x > y ? x : y; });
    }
    static F Min(F a, F b)
    {
        return Map(a, b, [](float x, float y) { return x < y ? x : y; });
    }
    static F Sqrt(F a) { return {{std::sqrt(a.v[0]), std::sqrt(a.v[1]), std::sqrt(a.v[2]), std::sqrt(a.v[3])}}; }
    static F Abs(F a)
    {
        F out;
        for (int i = 0; i < 4; ++i)
            out.v[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(a.v[i]) & 0x7FFFFFFFu);
        return out;
    }
    // Lanes of b where a >= 0 holds (NaN fails), else lanes of c.
    static F SelectNonNegative(F a, F b, F c)
    {
        F out;
        for (int i = 0; i < 4; ++i)
            out.v[i] = a.v[i] >= 0.0f ? b.v[i] : c.v[i];
        return out;
    }
    static int NonNegativeMask(F a)
    {
        int mask = 0;
        for (int i = 0; i < 4; ++i)
            mask |= a.v[i] >= 0.0f ? 1 << i : 0;
        return mask;
    }
    // Rounds to nearest, ties to even; the caller has brought every lane into range.
    static void ToIndex(F a, int32_t* out)
    {
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<int32_t>(std::nearbyint(a.v[i]));
    }
    static F Widen(const int16_t* p)
    {
        return {
            {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), static_cast<float>(p[3])}};
    }
    static void Prefetch(const void*) {}
};

#if defined(__SSE2__)
struct SSELanes {
    using F = __m128;
    static F Set(float a) { return _mm_set1_ps(a); }
    static F Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, F a) { _mm_storeu_ps(p, a); }
    static F Add(F a, F b) { return _mm_add_ps(a, b); }
    static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F Div(F a, F b) { return _mm_div_ps(a, b); }
    static F Max(F a, F b) { return _mm_max_ps(a, b); }
    static F Min(F a, F b) { return _mm_min_ps(a, b); }
    static F Sqrt(F a) { return _mm_sqrt_ps(a); }
    static F Abs(F a) { return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    static F SelectNonNegative(F a, F b, F c)
    {
        const F keep = _mm_cmpge_ps(a, _mm_setzero_ps());
        return _mm_or_ps(_mm_and_ps(keep, b), _mm_andnot_ps(keep, c));
    }
    static int NonNegativeMask(F a) { return _mm_movemask_ps(_mm_cmpge_ps(a, _mm_setzero_ps())); }
    static void ToIndex(F a, int32_t* out) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_cvtps_epi32(a)); }
    static F Widen(const int16_t* p)
    {
        const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16));
    }
    static void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
};
#endif

} // namespace

namespace {

template <typename L> uint32_t CullMaskOf(const SWtrianglepack& pack, const SWtrianglepack* next, const SWvector& eye)
{
    if (next != nullptr)
        L::Prefetch(next);
    const auto side =
        L::Sub(L::Add(L::Add(L::Mul(L::Widen(pack.nx), L::Set(eye.x)), L::Mul(L::Widen(pack.ny), L::Set(eye.y))),
                      L::Mul(L::Widen(pack.nz), L::Set(eye.z))),
               L::Load(pack.distance));
    return static_cast<uint32_t>(L::NonNegativeMask(side));
}

} // namespace

uint32_t CullMask(const SWtrianglepack& pack, const SWtrianglepack* next, const SWvector& eye, bool portable)
{
#if defined(__SSE2__)
    if (!portable)
        return CullMaskOf<SSELanes>(pack, next, eye);
#else
    (void)portable;
#endif
    return CullMaskOf<PortableLanes>(pack, next, eye);
}

namespace {

// Four vertices' worth of the vertex stage's arithmetic; the table lookups and stores stay per lane.
struct ShadedLanes {
    float pos[4][4]; // floats 0-3 per lane
    float c[4];
    int32_t index[4];
    float highlight[2][4];
    float reflection[2][4];
};

template <typename L>
void ShadeLanes(const SWvertexpack& pack, const SWframelighting& lighting, const SWviewport* viewport, float k, float o,
                bool wantHighlight, bool wantReflection, ShadedLanes& out)
{
    using F = typename L::F;
    const float* m = lighting.combined.Data();
    const F px = L::Load(pack.x);
    const F py = L::Load(pack.y);
    const F pz = L::Load(pack.z);
    const F nx = L::Load(pack.nx);
    const F ny = L::Load(pack.ny);
    const F nz = L::Load(pack.nz);
    const auto row = [&](int r) {
        return L::Add(L::Add(L::Add(L::Mul(L::Set(m[r * 4]), px), L::Mul(L::Set(m[r * 4 + 1]), py)),
                             L::Mul(L::Set(m[r * 4 + 2]), pz)),
                      L::Set(m[r * 4 + 3]));
    };
    const F x = row(0);
    const F y = row(1);
    const F z = row(2);
    if (viewport != nullptr) {
        const F q = L::Div(L::Set(1.0f), z);
        L::Store(out.pos[0], L::Add(L::Mul(L::Mul(x, q), L::Set(viewport->xScale)), L::Set(viewport->xOffset)));
        L::Store(out.pos[1], L::Add(L::Mul(L::Mul(y, q), L::Set(viewport->yScale)), L::Set(viewport->yOffset)));
        L::Store(out.pos[2], L::Add(L::Mul(z, L::Set(viewport->depthScale)), L::Set(viewport->depthOffset)));
        L::Store(out.pos[3], L::Abs(q));
    } else {
        L::Store(out.pos[0], x);
        L::Store(out.pos[1], y);
        L::Store(out.pos[2], z);
        L::Store(out.pos[3], L::Set(0.0f));
    }
    const auto dot = [&](const SWvector& v) {
        return L::Add(L::Add(L::Mul(nx, L::Set(v.x)), L::Mul(ny, L::Set(v.y))), L::Mul(nz, L::Set(v.z)));
    };
    const F c = dot(lighting.lightUnit);
    L::Store(out.c, c);
    // max answers its second operand for NaN, so a NaN normal lands on index 0; min keeps a long normal in the table.
    const F scaled = L::Min(L::Mul(L::Max(c, L::Set(0.0f)), L::Set(16383.0f)), L::Set(16383.0f));
    L::ToIndex(scaled, out.index);
    if (wantHighlight) {
        const F a = dot(lighting.b2);
        const F b = dot(lighting.b1);
        const F r = L::Sqrt(L::Add(L::Add(L::Mul(a, a), L::Mul(b, b)), L::Set(1e-9f)));
        const F f = L::Div(L::Sub(L::Set(2.0f), r), r);
        const F kk = L::Set(k);
        const F oo = L::Set(o);
        const F frontU = L::Add(L::Mul(a, kk), oo);
        const F frontV = L::Add(L::Mul(b, kk), oo);
        const F backU = L::Add(L::Mul(L::Mul(f, a), kk), oo);
        const F backV = L::Add(L::Mul(L::Mul(f, b), kk), oo);
        L::Store(out.highlight[0], L::SelectNonNegative(c, frontU, backU));
        L::Store(out.highlight[1], L::SelectNonNegative(c, frontV, backV));
    }
    if (wantReflection) {
        const F vx = L::Sub(px, L::Set(lighting.eye.x));
        const F vy = L::Sub(py, L::Set(lighting.eye.y));
        const F vz = L::Sub(pz, L::Set(lighting.eye.z));
        const F scale =
            L::Div(L::Set(1.0f),
                   L::Sqrt(L::Add(L::Add(L::Add(L::Mul(vx, vx), L::Mul(vy, vy)), L::Mul(vz, vz)), L::Set(kTiny))));
        const F rx = L::Add(L::Mul(vx, scale), nx);
        const F ry = L::Add(L::Mul(vy, scale), ny);
        const F rz = L::Add(L::Mul(vz, scale), nz);
        const auto project = [&](const SWvector& axis) {
            const F d =
                L::Add(L::Add(L::Mul(rx, L::Set(axis.x)), L::Mul(ry, L::Set(axis.y))), L::Mul(rz, L::Set(axis.z)));
            return L::Add(L::Mul(d, L::Set(0.375f)), L::Set(0.5f));
        };
        L::Store(out.reflection[0], project(lighting.viewX));
        L::Store(out.reflection[1], project(lighting.viewY));
    }
}

void PutFloat(uint32_t* vertex, int word, float value)
{
    vertex[word] = std::bit_cast<uint32_t>(value);
}

} // namespace

int16_t PackedNormalComponent(float value)
{
    const float scaled = value * kNormalScale;
    // A scene file may hold a face normal longer than one; its packed form saturates rather than overflowing.
    if (!(scaled == scaled))
        return 0;
    const float clamped = std::clamp(scaled, -32767.0f, 32767.0f);
    return static_cast<int16_t>(std::nearbyint(clamped));
}

void PackDrawGroup(SWpackeddrawgroup& packed, SWdrawgroup& group)
{
    packed.group = &group;
    const uint32_t vertexCount = group.VertexCount();
    packed.vertices.Reset((vertexCount + 3) / 4);
    for (uint32_t n = 0; n < packed.vertices.size() * 4; ++n) {
        const float* record = &group.vertices[size_t{std::min(n, vertexCount - 1)} * 6];
        SWvertexpack& pack = packed.vertices[n / 4];
        const uint32_t lane = n % 4;
        pack.x[lane] = record[0];
        pack.y[lane] = record[1];
        pack.z[lane] = record[2];
        pack.nx[lane] = record[3];
        pack.ny[lane] = record[4];
        pack.nz[lane] = record[5];
    }
    PackTriangles(packed, group);
}

bool ShareMeshArrays(SWpackeddrawgroup& packed, SWdrawgroup& group, const SWmeshview& view)
{
    packed.group = &group;
    const size_t count = group.VertexCount();
    if (!view.heldPositions || !view.heldNormals || count == 0 || group.vertices.size() != count * 6 ||
        view.positions.size() != count * 3 || view.normals.size() != count * 3)
        return false;
    for (size_t n = 0; n < count; ++n) {
        // Compared as bytes: the stage must read exactly what a pack would have held.
        if (std::memcmp(&group.vertices[n * 6], &view.positions[n * 3], 3 * sizeof(float)) != 0 ||
            std::memcmp(&group.vertices[n * 6 + 3], &view.normals[n * 3], 3 * sizeof(float)) != 0)
            return false;
    }
    packed.positions = view.heldPositions;
    packed.normals = view.heldNormals;
    const SWindexview polygons = view.cornerPositions;
    bool sameCorners = polygons.Narrow() != nullptr && polygons.size() == size_t{group.TriangleCount()} * 3;
    for (size_t m = 0; sameCorners && m < group.TriangleCount(); ++m)
        for (int c = 0; c < 3 && sameCorners; ++c)
            sameCorners = group.triangles[m].corners[c] == polygons[m * 3 + c];
    packed.meshCorners = sameCorners;
    if (view.heldTextureVertices && !group.coordinates.empty() &&
        group.coordinates.size() == view.textureVertices.size() &&
        std::memcmp(group.coordinates.data(), view.textureVertices.data(), group.coordinates.size() * sizeof(float)) ==
            0) {
        packed.coordinates = view.heldTextureVertices;
        std::vector<float>().swap(group.coordinates);
    }
    return true;
}

void PackTriangles(SWpackeddrawgroup& packed, SWdrawgroup& group)
{
    packed.group = &group;
    const uint32_t triangleCount = group.TriangleCount();
    packed.triangles.Reset((triangleCount + 3) / 4);
    if (!packed.meshCorners)
        packed.corners.resize(packed.triangles.size() * 12);
    for (uint32_t m = 0; m < packed.triangles.size() * 4; ++m) {
        const SWgrouptriangle& triangle = group.triangles[std::min(m, triangleCount - 1)];
        SWtrianglepack& pack = packed.triangles[m / 4];
        const uint32_t lane = m % 4;
        pack.distance[lane] = triangle.distance * kNormalScale - kDistanceBias;
        pack.nx[lane] = PackedNormalComponent(triangle.normal[0]);
        pack.ny[lane] = PackedNormalComponent(triangle.normal[1]);
        pack.nz[lane] = PackedNormalComponent(triangle.normal[2]);
        for (int c = 0; c < 3 && !packed.meshCorners; ++c)
            packed.corners[size_t{m} * 3 + c] = m < triangleCount ? triangle.corners[c] : triangle.corners[0];
    }
}

const uint16_t* SWmeshrendererSSE::MeshCorners(const SWpackeddrawgroup& packed) const
{
    // The table the groups were built from: a new one comes only with a new stamp, and so with new groups.
    if (m_mesh == nullptr || packed.group == nullptr)
        return nullptr;
    const SWindexview polygons = m_mesh->GetCornerPositions();
    return polygons.size() == size_t{packed.group->TriangleCount()} * 3 ? polygons.Narrow() : nullptr;
}

void SWmeshrendererSSE::RebuildPackedGroups()
{
    m_packed.clear();
    if (m_mesh == nullptr)
        return;
    const SWmeshview view = SWmeshview::Of(*m_mesh);
    BuildDrawGroups(view);
    for (SWdrawgroup* group = m_groups.get(); group != nullptr; group = group->next.get()) {
        m_packed.emplace_back();
        if (ShareMeshArrays(m_packed.back(), *group, view))
            PackTriangles(m_packed.back(), *group);
        else
            PackDrawGroup(m_packed.back(), *group);
        group->ReleaseGeometry();
    }
}

std::span<const float> SWmeshrendererSSE::GroupVertices(const SWdrawgroup& group, std::vector<float>& scratch) const
{
    const SWpackeddrawgroup* packed = PackedGroupOf(group);
    if (packed == nullptr)
        return SWmeshrendererCommon::GroupVertices(group, scratch);
    const uint32_t count = group.VertexCount();
    scratch.resize(size_t{count} * 6);
    for (uint32_t n = 0; n < count; ++n) {
        float* out = &scratch[size_t{n} * 6];
        if (packed->positions) {
            std::copy_n(&(*packed->positions)[size_t{n} * 3], 3, out);
            std::copy_n(&(*packed->normals)[size_t{n} * 3], 3, out + 3);
            continue;
        }
        const SWvertexpack& pack = packed->vertices[n / 4];
        const uint32_t lane = n % 4;
        out[0] = pack.x[lane];
        out[1] = pack.y[lane];
        out[2] = pack.z[lane];
        out[3] = pack.nx[lane];
        out[4] = pack.ny[lane];
        out[5] = pack.nz[lane];
    }
    return scratch;
}

std::span<const float> SWmeshrendererSSE::GroupCoordinates(const SWdrawgroup& group) const
{
    const SWpackeddrawgroup* packed = PackedGroupOf(group);
    if (packed != nullptr && packed->coordinates && group.coordinates.empty())
        return *packed->coordinates;
    return group.coordinates;
}

void SWmeshrendererSSE::GroupCorners(const SWdrawgroup& group, std::vector<uint16_t>& corners) const
{
    const SWpackeddrawgroup* packed = PackedGroupOf(group);
    if (packed == nullptr) {
        SWmeshrendererCommon::GroupCorners(group, corners);
        return;
    }
    const uint32_t count = group.TriangleCount();
    const uint16_t* source = packed->meshCorners ? MeshCorners(*packed) : packed->corners.data();
    corners.assign(source, source != nullptr ? source + size_t{count} * 3 : source);
}

SWpackeddrawgroup* SWmeshrendererSSE::Find(const SWdrawgroup& group)
{
    for (SWpackeddrawgroup& packed : m_packed)
        if (packed.group == &group)
            return &packed;
    return nullptr;
}

const SWpackeddrawgroup* SWmeshrendererSSE::PackedGroupOf(const SWdrawgroup& group) const
{
    return const_cast<SWmeshrendererSSE*>(this)->Find(group);
}

uint32_t SWmeshrendererSSE::ShadedVertexCount(const SWdrawgroup& group) const
{
    return (group.VertexCount() + 3) / 4 * 4;
}

uint32_t SWmeshrendererSSE::CullGroup(SWdrawgroup& group, SWindexbuffer*& outIndices)
{
    SWpackeddrawgroup* packed = Find(group);
    outIndices = nullptr;
    m_indexList.clear();
    group.primitiveIndices.clear();
    if (packed == nullptr || packed->triangles.size() == 0)
        return 0;
    return CullBackFaces(*packed, outIndices);
}

uint32_t SWmeshrendererSSE::CullBackFaces(SWpackeddrawgroup& packed, SWindexbuffer*& outIndices)
{
    return CullPacks(packed, outIndices);
}

uint32_t SWmeshrendererSSE::CullPacks(SWpackeddrawgroup& packed, SWindexbuffer*& outIndices)
{
    SWdrawgroup& group = *packed.group;
    const uint32_t packCount = static_cast<uint32_t>(packed.triangles.size());
    packed.visiblePacks.assign(packed.VertexPackCount() / 32 + 1, 0);
    m_indexList.clear();
    group.primitiveIndices.clear();
    // Lane m's corners; a filler lane (past the last triangle) is degenerate on the last triangle's first corner.
    const uint16_t* const table = packed.meshCorners ? MeshCorners(packed) : packed.corners.data();
    const uint32_t triangleCount = group.TriangleCount();
    if (table == nullptr || triangleCount == 0)
        return 0;
    const uint16_t last = table[size_t{triangleCount - 1} * 3];
    const uint16_t filler[3] = {last, last, last};
    const auto cornersOf = [&](uint32_t m) {
        return packed.meshCorners && m >= triangleCount ? filler : table + size_t{m} * 3;
    };
    outIndices = packCount > 0 ? m_target->GetIndexScratch(packCount * 12) : nullptr;
    auto* out = outIndices != nullptr ? static_cast<uint16_t*>(outIndices->Lock(0)) : nullptr;
    if (out == nullptr) {
        if (outIndices != nullptr)
            outIndices->Release();
        outIndices = nullptr;
        return 0;
    }
    const auto cull = [&]<typename L>(L) {
        const SWvector eye = m_lighting.eye;
        uint32_t* const packBits = packed.visiblePacks.data();
        uint16_t* at = out;
        constexpr uint32_t kAhead = 8; // packs: the loads of a pack's normals wait on memory more than on anything
        for (uint32_t p = 0; p < packCount; ++p) {
            const SWtrianglepack& pack = packed.triangles[p];
            for (uint32_t kept = CullMaskOf<L>(pack, p + kAhead < packCount ? &pack + kAhead : nullptr, eye); kept != 0;
                 kept &= kept - 1) {
                const uint16_t* corners = cornersOf(p * 4 + static_cast<uint32_t>(std::countr_zero(kept)));
                for (int c = 0; c < 3; ++c) {
                    const uint16_t corner = corners[kHandOverCorners[c]];
                    *at++ = corner;
                    packBits[corner / 128] |= 1u << (corner / 4 % 32);
                }
            }
        }
        return static_cast<uint32_t>(at - out) / 3;
    };
#if defined(__SSE2__)
    const uint32_t visible = m_portable ? cull(::PortableLanes{}) : cull(SSELanes{});
#else
    const uint32_t visible = cull(::PortableLanes{});
#endif
    // A queued group's lists, from the indices kept and the packs' masks again.
    if (m_listsWanted) {
        m_indexList.assign(out, out + size_t{visible} * 3);
        for (uint32_t p = 0; p < packCount; ++p)
            for (uint32_t kept = CullMask(packed.triangles[p], nullptr, m_lighting.eye, m_portable); kept != 0;
                 kept &= kept - 1)
                group.primitiveIndices.push_back(static_cast<int32_t>(p * 4 + std::countr_zero(kept)));
    }
    outIndices->Unlock();
    m_stats.visible += visible;
    return visible;
}

void SWmeshrendererSSE::ShadeGroup(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes)
{
    const SWpackeddrawgroup* packed = Find(*stage.group);
    if (packed == nullptr)
        return;
    SWvertexstage packStage = stage;
    packStage.visible = packed->visiblePacks;
    ShadeVertexPacks(*packed, packStage, m_portable, out, outcodes);
}

namespace {

// What the vertex stage of one packed group reads, apart from the packs themselves.
struct PackShading {
    const SWvertexpack* packs = nullptr; // null: the lanes are gathered from positions and normals
    const float* positions = nullptr;
    const float* normals = nullptr;
    uint32_t packCount = 0;
    const float* coordinates = nullptr; // two per vertex; null when the group has none
    uint32_t vertexCount = 0;
    uint32_t drawFlags = 0;
    SWvertexlayout layout;
    const SWframelighting* lighting = nullptr;
    const SWshadedata* shade = nullptr;
    const SWviewport* viewport = nullptr;
    const uint32_t* visible = nullptr; // one bit per pack
    size_t visibleWords = 0;
    uint32_t stride = 6;
    float nearValue = -0.003f;
    bool portable = false;
    uint32_t* out = nullptr;
    uint8_t* outcodes = nullptr;
};

PackShading ShadingOf(const SWpackeddrawgroup& packed, const SWvertexstage& stage, bool portable, uint32_t* out,
                      uint8_t* outcodes)
{
    const SWdrawgroup& group = *packed.group;
    PackShading s;
    s.packs = packed.vertices.size() != 0 ? packed.vertices.data() : nullptr;
    s.positions = packed.positions ? packed.positions->data() : nullptr;
    s.normals = packed.normals ? packed.normals->data() : nullptr;
    s.packCount = packed.VertexPackCount();
    s.coordinates = !group.coordinates.empty() ? group.coordinates.data()
                    : packed.coordinates       ? packed.coordinates->data()
                                               : nullptr;
    s.vertexCount = group.VertexCount();
    s.drawFlags = group.drawFlags;
    s.layout = group.layout;
    s.lighting = stage.lighting;
    s.shade = stage.shade;
    s.viewport = stage.viewport;
    s.visible = stage.visible.data();
    s.visibleWords = stage.visible.size();
    s.stride = stage.stride;
    s.nearValue = stage.nearValue;
    s.portable = portable;
    s.out = out;
    s.outcodes = outcodes;
    return s;
}

bool CanShade(const PackShading& s)
{
    return s.stride >= 6 && s.out != nullptr && (s.viewport != nullptr || s.outcodes != nullptr) &&
           (s.packs != nullptr || (s.positions != nullptr && s.normals != nullptr) || s.packCount == 0);
}

// Pack p as PackDrawGroup would have made it: lanes past the last vertex repeat it.
const SWvertexpack& PackOf(const PackShading& s, uint32_t p, SWvertexpack& gathered)
{
    if (s.packs != nullptr)
        return s.packs[p];
    for (uint32_t lane = 0; lane < 4; ++lane) {
        const size_t n = std::min(p * 4 + lane, s.vertexCount - 1);
        gathered.x[lane] = s.positions[n * 3];
        gathered.y[lane] = s.positions[n * 3 + 1];
        gathered.z[lane] = s.positions[n * 3 + 2];
        gathered.nx[lane] = s.normals[n * 3];
        gathered.ny[lane] = s.normals[n * 3 + 1];
        gathered.nz[lane] = s.normals[n * 3 + 2];
    }
    return gathered;
}

// Packs first to end of the group; vertex n at position n of out.
void ShadePackRange(const PackShading& s, uint32_t first, uint32_t end)
{
    const SWshadedata& shade = *s.shade;
    const uint32_t stride = s.stride;
    const SWvertexlayout& layout = s.layout;
    const auto fits = [stride](int word) { return word >= 0 && static_cast<uint32_t>(word) + 2 <= stride; };
    const bool wantHighlight = fits(layout.highlightWord);
    const bool wantReflection = fits(layout.reflectionWord);
    const uint32_t* constants = layout.textureWord >= 0 ? shade.textured : shade.untextured;
    const uint32_t flags = s.drawFlags;
    ShadedLanes lanes;
    SWvertexpack gathered;
    for (uint32_t p = first; p < end; ++p) {
        if (p / 32 >= s.visibleWords || (s.visible[p / 32] & (1u << (p % 32))) == 0)
            continue;
        const SWvertexpack& pack = PackOf(s, p, gathered);
#if defined(__SSE2__)
        if (!s.portable)
            ShadeLanes<SSELanes>(pack, *s.lighting, s.viewport, shade.highlightScale, shade.highlightOffset,
                                 wantHighlight, wantReflection, lanes);
        else
#endif
            ShadeLanes<PortableLanes>(pack, *s.lighting, s.viewport, shade.highlightScale, shade.highlightOffset,
                                      wantHighlight, wantReflection, lanes);
        for (uint32_t lane = 0; lane < 4; ++lane) {
            const uint32_t n = p * 4 + lane;
            uint32_t* vertex = s.out + size_t{n} * stride;
            for (int w = 0; w < 4; ++w)
                PutFloat(vertex, w, lanes.pos[w][lane]);
            if (s.viewport == nullptr)
                s.outcodes[n] = VertexOutcode(lanes.pos[0][lane], lanes.pos[1][lane], lanes.pos[2][lane], s.nearValue);
            const uint8_t level = ShadeOf(static_cast<uint32_t>(lanes.index[lane]));
            const auto ramps = [&](uint8_t at) {
                vertex[4] = shade.ramp1 != nullptr ? shade.ramp1[at] : 0;
                vertex[5] = shade.ramp2 != nullptr ? shade.ramp2[at] : 0;
            };
            vertex[4] = 0;
            vertex[5] = 0;
            if ((flags & kDrawShaded) != 0)
                ramps(level);
            if ((flags & kDrawContinuous) != 0) {
                vertex[4] = constants[0];
                vertex[5] = constants[1];
            }
            if (wantHighlight) {
                ramps(lanes.c[lane] >= 0.0f ? level : 0);
                PutFloat(vertex, layout.highlightWord, lanes.highlight[0][lane]);
                PutFloat(vertex, layout.highlightWord + 1, lanes.highlight[1][lane]);
            }
            if (fits(layout.textureWord)) {
                const size_t source = std::min(n, s.vertexCount - 1);
                PutFloat(vertex, layout.textureWord, s.coordinates != nullptr ? s.coordinates[source * 2] : 0.0f);
                PutFloat(vertex, layout.textureWord + 1,
                         s.coordinates != nullptr ? s.coordinates[source * 2 + 1] : 0.0f);
            }
            if (wantReflection) {
                PutFloat(vertex, layout.reflectionWord, lanes.reflection[0][lane]);
                PutFloat(vertex, layout.reflectionWord + 1, lanes.reflection[1][lane]);
            }
        }
    }
}

// The vertex stage of a group handed over in a direct-draw record, run by the threads that draw it. It keeps its
// own copy of the frame's lighting, the material's ramps and constants, the viewport and the visible packs: the mesh
// may be drawn again under another node, and its material built again, before the record is drawn. The packs and
// coordinates it points at change only when the groups are rebuilt, which waits for the target's drawing.
class PackShadeWork final : public SWvertexwork {
public:
    static constexpr uint32_t kPacksPerPart = 64;

    // False when memory ran out.
    bool Set(const SWpackeddrawgroup& packed, const SWvertexstage& stage, bool portable, uint32_t* out)
    {
        try {
            m_visible.assign(packed.visiblePacks.begin(), packed.visiblePacks.end());
        } catch (const std::bad_alloc&) {
            return false;
        }
        m_lighting = *stage.lighting;
        m_shade = *stage.shade;
        m_viewport = *stage.viewport;
        const auto copy = [](const uint32_t* ramp, std::array<uint32_t, 256>& kept) -> const uint32_t* {
            if (ramp == nullptr)
                return nullptr;
            std::copy_n(ramp, kept.size(), kept.begin());
            return kept.data();
        };
        m_shade.ramp1 = copy(m_shade.ramp1, m_ramp1);
        m_shade.ramp2 = copy(m_shade.ramp2, m_ramp2);
        SWvertexstage kept = stage;
        kept.lighting = &m_lighting;
        kept.shade = &m_shade;
        kept.viewport = &m_viewport;
        kept.visible = m_visible;
        m_shading = ShadingOf(packed, kept, portable, out, nullptr);
        return CanShade(m_shading);
    }

    uint32_t PartCount() const override { return (m_shading.packCount + kPacksPerPart - 1) / kPacksPerPart; }
    void RunPart(uint32_t part) const override
    {
        const uint32_t first = part * kPacksPerPart;
        ShadePackRange(m_shading, first, std::min(first + kPacksPerPart, m_shading.packCount));
    }

private:
    PackShading m_shading;
    SWframelighting m_lighting;
    SWshadedata m_shade;
    SWviewport m_viewport;
    std::array<uint32_t, 256> m_ramp1{};
    std::array<uint32_t, 256> m_ramp2{};
    std::vector<uint32_t> m_visible;
};

} // namespace

void ShadeVertexPacks(const SWpackeddrawgroup& packed, const SWvertexstage& stage, bool portable, uint32_t* out,
                      uint8_t* outcodes)
{
    const PackShading shading = ShadingOf(packed, stage, portable, out, outcodes);
    if (CanShade(shading))
        ShadePackRange(shading, 0, shading.packCount);
}

bool SWmeshrendererSSE::HandOverShading(SWdirectdrawrecord& record, const SWvertexstage& stage, uint32_t* out)
{
    const SWpackeddrawgroup* packed = Find(*stage.group);
    if (packed == nullptr)
        return false;
    auto* work = dynamic_cast<PackShadeWork*>(record.work.get());
    if (work == nullptr) {
        record.work.reset(new (std::nothrow) PackShadeWork);
        work = static_cast<PackShadeWork*>(record.work.get());
    }
    if (work == nullptr || !work->Set(*packed, stage, m_portable, out))
        return false;
    record.draw.work = work;
    return true;
}
