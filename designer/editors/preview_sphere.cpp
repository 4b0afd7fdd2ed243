#include "designer/editors/preview_sphere.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/array_block.h"
#include "engine/resources/mesh_object.h"

namespace {

constexpr float kTinyFloat = 1.1754944e-38f;
constexpr uint32_t kSpherePolygonFlags = 7;

// The cube's twelve edges and its six faces as (edge, flag) around each face.
constexpr int32_t kCubeEdges[12][2] = {{0, 2}, {2, 3}, {3, 1}, {1, 0}, {2, 6}, {6, 7},
                                       {7, 3}, {6, 4}, {4, 5}, {5, 7}, {4, 0}, {1, 5}};
constexpr int32_t kCubeFaces[6][4][2] = {
    {{0, 1}, {1, 1}, {2, 1}, {3, 1}},   {{4, 1}, {5, 1}, {6, 1}, {1, 0}},  {{7, 1}, {8, 1}, {9, 1}, {5, 0}},
    {{10, 1}, {3, 0}, {11, 1}, {8, 0}}, {{10, 0}, {7, 0}, {4, 0}, {0, 0}}, {{2, 0}, {6, 0}, {9, 0}, {11, 0}},
};

void NormalisedMean(globe& state, int32_t target, const int32_t* sources, int count)
{
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c)
            sum[c] += state.positions[3 * static_cast<size_t>(sources[i]) + c];
    const float scale = count == 2 ? 0.5f : 0.25f;
    float x = sum[0] * scale, y = sum[1] * scale, z = sum[2] * scale;
    globe_normalize(x, y, z);
    float* const out = &state.positions[3 * static_cast<size_t>(target)];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// The longitude of a stored corner, -pi/2 .. 3pi/2; on the X = 0 line straight up is pi/2, straight down 3pi/2.
float CornerAngle(float x, float y)
{
    if (x < -kTinyFloat || x > kTinyFloat) {
        const float a = std::atan(y / x);
        return x < 0.0f ? a + std::numbers::pi_v<float> : a;
    }
    if (y > 0.0f)
        return std::numbers::pi_v<float> / 2.0f;
    return y < 0.0f ? 1.5f * std::numbers::pi_v<float> : 0.0f;
}

std::vector<float> TextureVertices(const std::vector<float>& stored, const std::vector<uint32_t>& triangles,
                                   float radius, bool wanted)
{
    std::vector<float> uv(triangles.size() * 2, 0.0f);
    if (!wanted)
        return uv;
    for (size_t i = 0; i < triangles.size(); ++i) {
        const float* const p = &stored[3 * static_cast<size_t>(triangles[i])];
        // Rounding can put |Z / r| just past 1, where asin has no answer.
        const float sine = std::clamp(p[2] / radius, -1.0f, 1.0f);
        uv[2 * i] = (std::asin(sine) + std::numbers::pi_v<float> / 2.0f) / std::numbers::pi_v<float>;
        uv[2 * i + 1] = CornerAngle(p[0], p[1]) / (2.0f * std::numbers::pi_v<float>);
    }
    return uv;
}

} // namespace

int globe_normalize(float& x, float& y, float& z)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f)
        return 1;
    x /= length;
    y /= length;
    z /= length;
    return 0;
}

void globe_counts(globe& state)
{
    state.faces = 6 * static_cast<int32_t>(std::pow(4.0, state.level));
    state.vertices = state.faces + 2;
    state.edges = 2 * state.faces;
}

void start_globe(globe& state)
{
    state.faceEdges.assign(4 * static_cast<size_t>(state.faces), 0);
    state.flags.assign(4 * static_cast<size_t>(state.faces), 1);
    state.positions.assign(3 * static_cast<size_t>(state.vertices), 0.0f);
    state.edgeTable.assign(2 * 12, 0);
}

void globe_cube(globe& state)
{
    for (int32_t v = 0; v < 8; ++v) {
        float x = (v & 4) ? -1.0f : 1.0f, y = (v & 2) ? -1.0f : 1.0f, z = (v & 1) ? -1.0f : 1.0f;
        globe_normalize(x, y, z);
        state.positions[3 * v] = x;
        state.positions[3 * v + 1] = y;
        state.positions[3 * v + 2] = z;
    }
    for (int e = 0; e < 12; ++e) {
        state.edgeTable[2 * e] = kCubeEdges[e][0];
        state.edgeTable[2 * e + 1] = kCubeEdges[e][1];
    }
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 4; ++k) {
            state.faceEdges[4 * f + k] = kCubeFaces[f][k][0];
            state.flags[4 * f + k] = static_cast<uint8_t>(kCubeFaces[f][k][1]);
        }
}

int32_t globe_corner(const globe& state, int32_t face, int32_t k)
{
    const size_t slot = 4 * static_cast<size_t>(face) + static_cast<size_t>(k);
    const size_t edge = static_cast<size_t>(state.faceEdges[slot]);
    return state.edgeTable[2 * edge + (state.flags[slot] != 0 ? 0 : 1)];
}

// Counts before the pass: V = 6 x 4^p + 2, F = 6 x 4^p, E = 2F. The faces' children go where the final
// depth-first order puts them: face f's four at 4f .. 4f + 3.
void globe_subdivide(globe& state)
{
    const int32_t f0 = 6 * static_cast<int32_t>(std::pow(4.0, state.pass));
    const int32_t v0 = f0 + 2;
    const int32_t e0 = 2 * f0;
    const std::vector<int32_t> oldEdges(state.edgeTable);
    const std::vector<int32_t> oldFaces(state.faceEdges.begin(), state.faceEdges.begin() + 4 * f0);
    const std::vector<uint8_t> oldFlags(state.flags.begin(), state.flags.begin() + 4 * f0);

    state.edgeTable.assign(2 * (2 * static_cast<size_t>(e0) + 4 * static_cast<size_t>(f0)), 0);
    for (int32_t e = 0; e < e0; ++e) {
        const int32_t a = oldEdges[2 * e], b = oldEdges[2 * e + 1], m = v0 + e;
        NormalisedMean(state, m, &oldEdges[2 * e], 2);
        state.edgeTable[4 * e] = a;
        state.edgeTable[4 * e + 1] = m;
        state.edgeTable[4 * e + 2] = m;
        state.edgeTable[4 * e + 3] = b;
    }
    for (int32_t f = 0; f < f0; ++f) {
        int32_t corners[4];
        int32_t middles[4];
        for (int k = 0; k < 4; ++k) {
            const int32_t edge = oldFaces[4 * f + k];
            corners[k] = oldEdges[2 * edge + (oldFlags[4 * f + k] != 0 ? 0 : 1)];
            middles[k] = v0 + edge;
        }
        const int32_t centre = v0 + e0 + f;
        NormalisedMean(state, centre, corners, 4);
        for (int k = 0; k < 4; ++k) {
            const size_t interior = 2 * (2 * static_cast<size_t>(e0) + 4 * static_cast<size_t>(f) + k);
            state.edgeTable[interior] = middles[k];
            state.edgeTable[interior + 1] = centre;
        }
        for (int k = 0; k < 4; ++k) {
            const int previous = (k + 3) % 4;
            const int32_t edge = oldFaces[4 * f + k], edgeBefore = oldFaces[4 * f + previous];
            const bool forward = oldFlags[4 * f + k] != 0, forwardBefore = oldFlags[4 * f + previous] != 0;
            const size_t child = 4 * (4 * static_cast<size_t>(f) + k);
            // c_k -> m_k, m_k -> C, C -> m_(k-1), m_(k-1) -> c_k: each half keeps its parent edge's direction.
            state.faceEdges[child] = forward ? 2 * edge : 2 * edge + 1;
            state.flags[child] = forward ? 1 : 0;
            state.faceEdges[child + 1] = 2 * e0 + 4 * f + k;
            state.flags[child + 1] = 1;
            state.faceEdges[child + 2] = 2 * e0 + 4 * f + previous;
            state.flags[child + 2] = 0;
            state.faceEdges[child + 3] = forwardBefore ? 2 * edgeBefore + 1 : 2 * edgeBefore;
            state.flags[child + 3] = forwardBefore ? 1 : 0;
        }
    }
    ++state.pass;
}

int make_globe(globe& state, int32_t level)
{
    state = globe{};
    if (level < 0 || level > kGlobeMaxLevel)
        return 1;
    state.level = level;
    globe_counts(state);
    start_globe(state);
    globe_cube(state);
    for (int32_t p = 1; p <= level; ++p)
        globe_subdivide(state);
    return 0;
}

bool BuildPreviewSphereMesh(SWmeshobject& mesh, const CVTND_SphereRequest& request)
{
    globe state;
    if (make_globe(state, request.level) != 0 || state.faces == 0)
        return false;
    const float r = request.radius;
    std::vector<float> stored(3 * static_cast<size_t>(state.vertices));
    for (size_t v = 0; v < static_cast<size_t>(state.vertices); ++v) {
        stored[3 * v] = r * state.positions[3 * v + 2];
        stored[3 * v + 1] = r * state.positions[3 * v + 1];
        stored[3 * v + 2] = r * state.positions[3 * v];
    }
    std::vector<uint32_t> triangles(6 * static_cast<size_t>(state.faces));
    for (int32_t q = 0; q < state.faces; ++q) {
        uint32_t c[4];
        for (int k = 0; k < 4; ++k)
            c[k] = static_cast<uint32_t>(globe_corner(state, q, k));
        uint32_t* const t = &triangles[6 * static_cast<size_t>(q)];
        t[0] = c[0], t[1] = c[1], t[2] = c[2];
        t[3] = c[0], t[4] = c[2], t[5] = c[3];
    }
    state = globe{};

    std::vector<float> uv = TextureVertices(stored, triangles, r, request.textureCoordinates);
    mesh.SetVertices(std::move(stored));
    mesh.SetTextureVertices(std::move(uv));
    SWarrayblockChain chain;
    const uint32_t triangleCount = static_cast<uint32_t>(triangles.size() / 3);
    for (uint32_t t = 0; t < triangleCount; ++t) {
        std::vector<uint32_t> corners(triangles.begin() + 3 * t, triangles.begin() + 3 * t + 3);
        std::vector<uint32_t> texture = {3 * t, 3 * t + 1, 3 * t + 2};
        chain.Add(std::make_unique<SWarrayblock>(std::move(corners), true, std::move(texture), kSpherePolygonFlags,
                                                 request.material));
    }
    const std::unique_ptr<SWarrayblock> head = chain.Release();
    mesh.BuildPolygonIndices(head.get());
    if (mesh.GetPolygonCount() == 0)
        return false;
    mesh.ComputeBoundingBox();
    mesh.UpdateNormals();
    mesh.Prepare();

    mesh.GetObjectReference().value = 0;
    mesh.SetVisible(false);
    mesh.SetHidden(true, true);
    mesh.SetName(request.name);
    mesh.GetObjectReference().id = request.referenceId;
    return true;
}

SWmeshobject* AddPreviewSphereToWorld(SWworld& world, std::unique_ptr<SWmeshobject> mesh)
{
    SWworldlock lock(world);
    return static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::move(mesh)));
}

SWmeshobject* FindPreviewSphere(const SWworld& world, int32_t referenceId)
{
    const SWobjectlist* const list = world.GetRootObject()->GetList(SWobjectlist::Kind::kGeometry);
    if (list == nullptr)
        return nullptr;
    for (CVTN_Container* child = list->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        auto* const mesh = dynamic_cast<SWmeshobject*>(child);
        if (mesh != nullptr && mesh->GetObjectReference().id == referenceId)
            return mesh;
    }
    return nullptr;
}
