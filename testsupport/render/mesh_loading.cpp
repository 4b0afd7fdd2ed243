#include "testsupport/render/mesh_loading.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "engine/resources/array_block.h"
#include "engine/resources/mesh.h"
#include "testsupport/mesh/off_file.h"

namespace rendertest {

uint32_t LoadMesh(SWmesh& mesh, const TexturedMesh& source, SWmaterial* material)
{
    const bool textured = !source.uv.empty() && source.uvPolygons.size() == source.polygons.size();
    mesh.SetFilling(true);
    mesh.SetVertices(std::vector<float>(source.positions));
    mesh.SetTextureVertices(textured ? std::vector<float>(source.uv) : std::vector<float>{});
    SWarrayblockChain chain;
    for (size_t p = 0; p < source.polygons.size(); ++p) {
        const std::vector<uint32_t> none;
        auto block = std::make_unique<SWarrayblock>(std::span<const uint32_t>(source.polygons[p]), textured,
                                                    std::span<const uint32_t>(textured ? source.uvPolygons[p] : none),
                                                    0, material);
        chain.Add(std::move(block));
    }
    const SWpolygonbuild build = mesh.BuildPolygonIndices(chain.Head());
    mesh.SetFilling(false);
    mesh.Prepare();
    return build.polygons - build.Dropped();
}

TexturedMesh FromOff(const meshtest::OffMesh& off)
{
    TexturedMesh out;
    out.positions = off.positions;
    std::vector<uint32_t> corners;
    for (const int32_t index : off.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        out.polygons.push_back(std::move(corners));
        corners = {};
    }
    return out;
}

bool NormaliseToUnitRadius(TexturedMesh& mesh)
{
    double lo[3] = {INFINITY, INFINITY, INFINITY};
    double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        lo[i % 3] = std::min<double>(lo[i % 3], mesh.positions[i]);
        hi[i % 3] = std::max<double>(hi[i % 3], mesh.positions[i]);
    }
    double radius = 0.0;
    for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        double squared = 0.0;
        for (size_t a = 0; a < 3; ++a) {
            const double d = mesh.positions[i + a] - 0.5 * (lo[a] + hi[a]);
            squared += d * d;
        }
        radius = std::max(radius, std::sqrt(squared));
    }
    if (!(radius > 0.0) || !std::isfinite(radius))
        return false;
    for (size_t i = 0; i < mesh.positions.size(); ++i)
        mesh.positions[i] = static_cast<float>((mesh.positions[i] - 0.5 * (lo[i % 3] + hi[i % 3])) / radius);
    return true;
}

TexturedMesh MakeTorus(float major, float minor, uint32_t ringSegments, uint32_t tubeSegments, float uRepeat,
                       float vRepeat)
{
    TexturedMesh out;
    const double turn = 2.0 * std::numbers::pi;
    for (uint32_t i = 0; i < ringSegments; ++i) {
        const double a = turn * i / ringSegments;
        for (uint32_t j = 0; j < tubeSegments; ++j) {
            const double b = turn * j / tubeSegments;
            const double radius = major + minor * std::cos(b);
            out.positions.insert(out.positions.end(),
                                 {static_cast<float>(radius * std::cos(a)), static_cast<float>(minor * std::sin(b)),
                                  static_cast<float>(radius * std::sin(a))});
        }
    }
    // The texture grid repeats its first row and column, so the seams get coordinates of their own.
    for (uint32_t i = 0; i <= ringSegments; ++i)
        for (uint32_t j = 0; j <= tubeSegments; ++j)
            out.uv.insert(out.uv.end(), {uRepeat * static_cast<float>(i) / static_cast<float>(ringSegments),
                                         vRepeat * static_cast<float>(j) / static_cast<float>(tubeSegments)});
    const auto at = [&](uint32_t i, uint32_t j) { return (i % ringSegments) * tubeSegments + j % tubeSegments; };
    const auto uvAt = [&](uint32_t i, uint32_t j) { return i * (tubeSegments + 1) + j; };
    for (uint32_t i = 0; i < ringSegments; ++i)
        for (uint32_t j = 0; j < tubeSegments; ++j) {
            // Along the tube, then along the ring, turns about the outward normal.
            out.polygons.push_back({at(i, j), at(i, j + 1), at(i + 1, j)});
            out.uvPolygons.push_back({uvAt(i, j), uvAt(i, j + 1), uvAt(i + 1, j)});
            out.polygons.push_back({at(i + 1, j), at(i, j + 1), at(i + 1, j + 1)});
            out.uvPolygons.push_back({uvAt(i + 1, j), uvAt(i, j + 1), uvAt(i + 1, j + 1)});
        }
    return out;
}

TexturedMesh MakeUvSphere(float radius, uint32_t segments, uint32_t rings)
{
    TexturedMesh out;
    // Rows from the south pole (k = 0) to the north (k = rings), each with segments + 1 columns (a seam column).
    for (uint32_t k = 0; k <= rings; ++k) {
        const double polar = std::numbers::pi * (1.0 - static_cast<double>(k) / rings);
        for (uint32_t s = 0; s <= segments; ++s) {
            const double around = 2.0 * std::numbers::pi * s / segments;
            out.positions.insert(out.positions.end(),
                                 {static_cast<float>(radius * std::sin(polar) * std::cos(around)),
                                  static_cast<float>(radius * std::cos(polar)),
                                  static_cast<float>(-radius * std::sin(polar) * std::sin(around))});
            out.uv.insert(out.uv.end(), {static_cast<float>(s) / static_cast<float>(segments),
                                         1.0f - static_cast<float>(k) / static_cast<float>(rings)});
        }
    }
    const auto at = [&](uint32_t k, uint32_t s) { return k * (segments + 1) + s; };
    for (uint32_t k = 0; k < rings; ++k)
        for (uint32_t s = 0; s < segments; ++s) {
            // Up a meridian, then along the parallel eastwards, turns about the outward normal.
            if (k > 0) {
                out.polygons.push_back({at(k, s), at(k, s + 1), at(k + 1, s)});
                out.uvPolygons.push_back(out.polygons.back());
            }
            if (k + 1 < rings) {
                out.polygons.push_back({at(k, s + 1), at(k + 1, s + 1), at(k + 1, s)});
                out.uvPolygons.push_back(out.polygons.back());
            }
        }
    return out;
}

TexturedMesh MakeBox(float side)
{
    TexturedMesh out;
    const float h = side * 0.5f;
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}; // counter-clockwise in (u, v)
    for (int f = 0; f < 6; ++f) {
        // The face on axis n at sign s; u x v runs along +n, so v is turned over on the negative faces.
        const int n = f / 2;
        const float s = f % 2 == 0 ? 1.0f : -1.0f;
        const int u = (n + 1) % 3;
        const int v = (n + 2) % 3;
        const uint32_t base = static_cast<uint32_t>(out.positions.size() / 3);
        for (const auto& corner : corners) {
            float p[3];
            p[n] = s * h;
            p[u] = corner[0] * h;
            p[v] = corner[1] * h * s;
            out.positions.insert(out.positions.end(), {p[0], p[1], p[2]});
            out.uv.insert(out.uv.end(), {(corner[0] + 1.0f) * 0.5f, (corner[1] + 1.0f) * 0.5f});
        }
        out.polygons.push_back({base, base + 1, base + 2, base + 3});
        out.uvPolygons.push_back(out.polygons.back());
    }
    return out;
}

} // namespace rendertest
