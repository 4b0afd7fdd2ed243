#include "render/mesh/tangent_frames.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest normal float, added under every square root so that a zero vector stays finite.
constexpr float kTiny = 1.1754944e-38f;
// Keeps 1 / det finite when the texture deltas are collinear.
constexpr float kDetGuard = 1e-19f;

struct Vec {
    float x, y, z;
};

Vec Sub(const Vec& a, const Vec& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec Cross(const Vec& a, const Vec& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec Normalised(const Vec& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + kTiny);
    return {v.x / length, v.y / length, v.z / length};
}

void NormaliseRows(SWtangentframe& frame)
{
    for (int row = 0; row < 3; ++row) {
        const Vec v = Normalised({frame[3 * row], frame[3 * row + 1], frame[3 * row + 2]});
        frame[3 * row] = v.x;
        frame[3 * row + 1] = v.y;
        frame[3 * row + 2] = v.z;
    }
}

SWtangentframe FaceFrame(const Vec p[3], const float uv[3][2])
{
    const Vec e1 = Sub(p[1], p[0]);
    const Vec e2 = Sub(p[2], p[0]);
    float du1 = uv[1][0] - uv[0][0], dv1 = uv[1][1] - uv[0][1];
    float du2 = uv[2][0] - uv[0][0], dv2 = uv[2][1] - uv[0][1];
    const bool firstZero = du1 == 0.0f && dv1 == 0.0f;
    const bool secondZero = du2 == 0.0f && dv2 == 0.0f;
    if (firstZero && secondZero) {
        du1 = 1.0f, dv1 = 0.0f, du2 = 0.0f, dv2 = 1.0f;
    } else if (firstZero) {
        du1 = -dv2, dv1 = du2;
    } else if (secondZero) {
        du2 = -dv1, dv2 = du1;
    }
    const float k = 1.0f / (du1 * dv2 - du2 * dv1 + kDetGuard);
    const Vec t =
        Normalised({(e1.x * dv2 - e2.x * dv1) * k, (e1.y * dv2 - e2.y * dv1) * k, (e1.z * dv2 - e2.z * dv1) * k});
    const Vec b =
        Normalised({(e2.x * du1 - e1.x * du2) * k, (e2.y * du1 - e1.y * du2) * k, (e2.z * du1 - e1.z * du2) * k});
    Vec n = Normalised(Cross(t, b));
    const Vec face = Normalised(Cross(e1, e2));
    if (n.x * face.x + n.y * face.y + n.z * face.z < 0.0f)
        n = {-n.x, -n.y, -n.z};
    SWtangentframe frame{t.x, b.x, n.x, t.y, b.y, n.y, t.z, b.z, n.z};
    NormaliseRows(frame);
    return frame;
}

} // namespace

uint32_t ComputeTangentFrames(const SWtangentinput& input, std::vector<SWtangentframe>& out)
{
    const size_t vertexCount = std::min(input.vertices.size() / 6, input.coordinates.size() / 2);
    const size_t triangleCount = input.triangles.size() / 3;
    constexpr SWtangentframe kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    out.assign(triangleCount * 3, kIdentity);
    std::vector<SWtangentframe> sums(vertexCount, SWtangentframe{});
    std::vector<uint8_t> isValid(triangleCount, 0);
    uint32_t skipped = 0;
    for (size_t tri = 0; tri < triangleCount; ++tri) {
        const uint16_t* const corner = &input.triangles[3 * tri];
        if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount) {
            ++skipped;
            continue;
        }
        Vec p[3];
        float uv[3][2];
        for (int i = 0; i < 3; ++i) {
            const float* const v = &input.vertices[6 * size_t{corner[i]}];
            p[i] = {v[0], v[1], v[2]};
            uv[i][0] = input.coordinates[2 * size_t{corner[i]}];
            uv[i][1] = input.coordinates[2 * size_t{corner[i]} + 1];
        }
        const SWtangentframe frame = FaceFrame(p, uv);
        for (int i = 0; i < 3; ++i)
            for (int e = 0; e < 9; ++e)
                sums[corner[i]][e] += frame[e];
        isValid[tri] = 1;
    }
    for (SWtangentframe& sum : sums)
        NormaliseRows(sum);
    for (size_t tri = 0; tri < triangleCount; ++tri) {
        if (!isValid[tri])
            continue;
        for (int i = 0; i < 3; ++i) {
            out[3 * tri + i] = sums[input.triangles[3 * tri + i]];
            NormaliseRows(out[3 * tri + i]);
        }
    }
    return skipped;
}
