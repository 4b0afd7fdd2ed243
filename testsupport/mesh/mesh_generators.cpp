#include "testsupport/mesh/mesh_generators.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <unordered_map>
#include <vector>

namespace meshtest {

namespace {

constexpr double kTwoPi = 6.283185307179586;

void AddVertex(OffMesh& mesh, double x, double y, double z)
{
    mesh.positions.push_back(static_cast<float>(x));
    mesh.positions.push_back(static_cast<float>(y));
    mesh.positions.push_back(static_cast<float>(z));
}

void AddFace(OffMesh& mesh, std::initializer_list<int32_t> corners)
{
    mesh.coordIndex.insert(mesh.coordIndex.end(), corners);
    mesh.coordIndex.push_back(-1);
}

void AddQuadOrTriangles(OffMesh& mesh, int32_t a, int32_t b, int32_t c, int32_t d, bool triangles)
{
    if (triangles) {
        AddFace(mesh, {a, b, c});
        AddFace(mesh, {a, c, d});
    } else {
        AddFace(mesh, {a, b, c, d});
    }
}

} // namespace

OffMesh MakeTriangle()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 0, 1, 0);
    AddFace(mesh, {0, 1, 2});
    return mesh;
}

OffMesh MakeTetrahedron()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 0, 1, 0);
    AddVertex(mesh, 0, 0, 1);
    AddFace(mesh, {0, 2, 1});
    AddFace(mesh, {0, 1, 3});
    AddFace(mesh, {1, 2, 3});
    AddFace(mesh, {2, 0, 3});
    return mesh;
}

OffMesh MakeQuad()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 1, 1, 0);
    AddVertex(mesh, 0, 1, 0);
    AddFace(mesh, {0, 1, 2, 3});
    return mesh;
}

OffMesh MakePolygon(uint32_t sides)
{
    OffMesh mesh;
    for (uint32_t i = 0; i < sides; ++i)
        AddVertex(mesh, std::cos(kTwoPi * i / sides), std::sin(kTwoPi * i / sides), 0);
    for (uint32_t i = 0; i < sides; ++i)
        mesh.coordIndex.push_back(static_cast<int32_t>(i));
    mesh.coordIndex.push_back(-1);
    return mesh;
}

OffMesh MakeGrid(uint32_t nx, uint32_t ny, bool triangles)
{
    OffMesh mesh;
    for (uint32_t y = 0; y <= ny; ++y)
        for (uint32_t x = 0; x <= nx; ++x)
            AddVertex(mesh, x, y, 0.1 * std::sin(0.7 * x + 0.3 * y));
    const auto at = [&](uint32_t x, uint32_t y) { return static_cast<int32_t>(y * (nx + 1) + x); };
    for (uint32_t y = 0; y < ny; ++y)
        for (uint32_t x = 0; x < nx; ++x)
            AddQuadOrTriangles(mesh, at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1), triangles);
    return mesh;
}

OffMesh MakeSphere(uint32_t rings, uint32_t segments)
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 1);
    for (uint32_t r = 1; r < rings; ++r) {
        const double theta = kTwoPi / 2 * r / rings;
        for (uint32_t s = 0; s < segments; ++s) {
            const double phi = kTwoPi * s / segments;
            AddVertex(mesh, std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
        }
    }
    AddVertex(mesh, 0, 0, -1);
    const int32_t south = static_cast<int32_t>(mesh.VertexCount() - 1);
    const auto at = [&](uint32_t r, uint32_t s) { return static_cast<int32_t>(1 + (r - 1) * segments + s % segments); };
    for (uint32_t s = 0; s < segments; ++s)
        AddFace(mesh, {0, at(1, s), at(1, s + 1)});
    for (uint32_t r = 1; r + 1 < rings; ++r)
        for (uint32_t s = 0; s < segments; ++s)
            AddFace(mesh, {at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)});
    for (uint32_t s = 0; s < segments; ++s)
        AddFace(mesh, {south, at(rings - 1, s + 1), at(rings - 1, s)});
    return mesh;
}

namespace {

constexpr uint32_t kLargestIcosahedronLevel = 10;

// The vertex halfway along edge (a, b), made once: both triangles beside the edge must share it.
class EdgeMidpoints {
public:
    explicit EdgeMidpoints(OffMesh& mesh) : m_mesh(mesh) {}

    int32_t Between(int32_t a, int32_t b)
    {
        const uint64_t key = static_cast<uint64_t>(std::min(a, b)) << 32 | static_cast<uint32_t>(std::max(a, b));
        const auto [at, added] = m_made.try_emplace(key, static_cast<int32_t>(m_mesh.VertexCount()));
        if (added) {
            double p[3];
            for (int axis = 0; axis < 3; ++axis)
                p[axis] = 0.5 * (static_cast<double>(m_mesh.positions[3 * static_cast<size_t>(a) + axis]) +
                                 m_mesh.positions[3 * static_cast<size_t>(b) + axis]);
            const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            AddVertex(m_mesh, p[0] / length, p[1] / length, p[2] / length);
        }
        return at->second;
    }

private:
    OffMesh& m_mesh; // the mesh being subdivided; outlives this map
    std::unordered_map<uint64_t, int32_t> m_made;
};

} // namespace

OffMesh MakeSubdividedIcosahedron(uint32_t levels)
{
    OffMesh mesh;
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const double n = std::sqrt(1.0 + t * t);
    for (const auto& [x, y, z] : std::initializer_list<std::array<double, 3>>{{-1, t, 0},
                                                                              {1, t, 0},
                                                                              {-1, -t, 0},
                                                                              {1, -t, 0},
                                                                              {0, -1, t},
                                                                              {0, 1, t},
                                                                              {0, -1, -t},
                                                                              {0, 1, -t},
                                                                              {t, 0, -1},
                                                                              {t, 0, 1},
                                                                              {-t, 0, -1},
                                                                              {-t, 0, 1}})
        AddVertex(mesh, x / n, y / n, z / n);
    std::vector<std::array<int32_t, 3>> triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                                     {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                                     {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                                     {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (uint32_t level = 0; level < std::min(levels, kLargestIcosahedronLevel); ++level) {
        EdgeMidpoints midpoints(mesh);
        std::vector<std::array<int32_t, 3>> finer;
        finer.reserve(4 * triangles.size());
        for (const auto& [a, b, c] : triangles) {
            const int32_t ab = midpoints.Between(a, b);
            const int32_t bc = midpoints.Between(b, c);
            const int32_t ca = midpoints.Between(c, a);
            finer.insert(finer.end(), {{a, ab, ca}, {b, bc, ab}, {c, ca, bc}, {ab, bc, ca}});
        }
        triangles = std::move(finer);
    }
    mesh.coordIndex.reserve(4 * triangles.size());
    for (const auto& [a, b, c] : triangles)
        AddFace(mesh, {a, b, c});
    return mesh;
}

OffMesh MakeTorus(uint32_t rings, uint32_t segments, bool triangles)
{
    OffMesh mesh;
    for (uint32_t r = 0; r < rings; ++r) {
        const double u = kTwoPi * r / rings;
        for (uint32_t s = 0; s < segments; ++s) {
            const double v = kTwoPi * s / segments;
            AddVertex(mesh, (2 + std::cos(v)) * std::cos(u), (2 + std::cos(v)) * std::sin(u), std::sin(v));
        }
    }
    const auto at = [&](uint32_t r, uint32_t s) { return static_cast<int32_t>((r % rings) * segments + s % segments); };
    for (uint32_t r = 0; r < rings; ++r)
        for (uint32_t s = 0; s < segments; ++s)
            AddQuadOrTriangles(mesh, at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1), triangles);
    return mesh;
}

OffMesh MakeFan(uint32_t triangles, bool closed)
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, closed ? 1 : 0);
    const uint32_t rim = closed ? triangles : triangles + 1;
    for (uint32_t i = 0; i < rim; ++i) {
        const double angle = (closed ? kTwoPi : kTwoPi * 0.75) * i / (closed ? rim : rim - 1);
        AddVertex(mesh, std::cos(angle), std::sin(angle), 0);
    }
    for (uint32_t i = 0; i < triangles; ++i)
        AddFace(mesh, {0, static_cast<int32_t>(1 + i), static_cast<int32_t>(1 + (i + 1) % rim)});
    return mesh;
}

OffMesh MakeCube()
{
    OffMesh mesh;
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                AddVertex(mesh, x, y, z);
    AddFace(mesh, {0, 2, 3, 1});
    AddFace(mesh, {4, 5, 7, 6});
    AddFace(mesh, {0, 1, 5, 4});
    AddFace(mesh, {2, 6, 7, 3});
    AddFace(mesh, {0, 4, 6, 2});
    AddFace(mesh, {1, 3, 7, 5});
    return mesh;
}

OffMesh MakeOpenCube()
{
    OffMesh mesh = MakeCube();
    // Drop the top (z = 1) face, the second one.
    OffMesh open;
    open.positions = mesh.positions;
    AddFace(open, {0, 2, 3, 1});
    AddFace(open, {0, 1, 5, 4});
    AddFace(open, {2, 6, 7, 3});
    AddFace(open, {0, 4, 6, 2});
    AddFace(open, {1, 3, 7, 5});
    return open;
}

OffMesh MakeBowtie()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0.5, 0);
    AddVertex(mesh, 1, -0.5, 0);
    AddVertex(mesh, -1, 0.5, 0);
    AddVertex(mesh, -1, -0.5, 0);
    AddFace(mesh, {0, 2, 1});
    AddFace(mesh, {0, 3, 4});
    return mesh;
}

OffMesh MakeDoubleCone()
{
    // Two closed cones (each a pyramid with its base) that share only their apex, vertex 0.
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    for (int side = 0; side < 2; ++side) {
        const double z = side == 0 ? 1 : -1;
        const int32_t base = static_cast<int32_t>(mesh.VertexCount());
        for (int i = 0; i < 4; ++i)
            AddVertex(mesh, std::cos(kTwoPi * i / 4), std::sin(kTwoPi * i / 4), z);
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t a = base + i;
            const int32_t b = base + (i + 1) % 4;
            if (side == 0)
                AddFace(mesh, {0, b, a});
            else
                AddFace(mesh, {0, a, b});
        }
        if (side == 0)
            AddFace(mesh, {base, base + 1, base + 2, base + 3});
        else
            AddFace(mesh, {base + 3, base + 2, base + 1, base});
    }
    return mesh;
}

OffMesh MakeDoubleSidedPair()
{
    OffMesh mesh = MakeTriangle();
    AddFace(mesh, {0, 2, 1});
    return mesh;
}

OffMesh MakeInconsistentWinding()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 0, 1, 0);
    AddVertex(mesh, 1, 1, 0);
    AddFace(mesh, {0, 1, 2});
    AddFace(mesh, {1, 2, 3});
    return mesh;
}

OffMesh MakeDuplicatedTriangle()
{
    OffMesh mesh = MakeTriangle();
    AddFace(mesh, {0, 1, 2});
    return mesh;
}

OffMesh MakeNonManifoldEdge(uint32_t sheets)
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 0, 0, 1);
    for (uint32_t i = 0; i < sheets; ++i) {
        const double angle = kTwoPi * i / sheets;
        AddVertex(mesh, std::cos(angle), std::sin(angle), 0.5);
        AddFace(mesh, {0, 1, static_cast<int32_t>(2 + i)});
    }
    return mesh;
}

OffMesh MakeWithIsolatedVertices()
{
    OffMesh mesh;
    AddVertex(mesh, 5, 5, 5); // unused
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 6, 6, 6); // unused
    AddVertex(mesh, 1, 1, 0);
    AddVertex(mesh, 0, 1, 0);
    AddFace(mesh, {1, 2, 4, 5});
    return mesh;
}

OffMesh MakeDegenerateFaces()
{
    OffMesh mesh;
    AddVertex(mesh, 0, 0, 0);
    AddVertex(mesh, 1, 0, 0);
    AddVertex(mesh, 2, 0, 0); // collinear with the first two
    AddVertex(mesh, 1, 1, 0);
    AddVertex(mesh, 1, 1, 0); // coincides with the one before
    AddFace(mesh, {0, 1, 3});
    AddFace(mesh, {1, 2, 3});
    AddFace(mesh, {0, 2, 1});
    AddFace(mesh, {3, 2, 4});
    return mesh;
}

OffMesh Concatenate(const OffMesh& a, const OffMesh& b, float shiftX)
{
    OffMesh mesh = a;
    const int32_t base = static_cast<int32_t>(a.VertexCount());
    for (uint32_t v = 0; v < b.VertexCount(); ++v)
        AddVertex(mesh, b.positions[3 * v] + shiftX, b.positions[3 * v + 1], b.positions[3 * v + 2]);
    for (const int32_t index : b.coordIndex)
        mesh.coordIndex.push_back(index < 0 ? -1 : index + base);
    return mesh;
}

} // namespace meshtest
