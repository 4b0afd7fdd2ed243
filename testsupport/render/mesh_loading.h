#pragma once
// Meshes for render tests, tools and benchmarks, put into a mesh object as a scene loader does: positions and
// texture vertices, then the polygons as an SWarrayblock chain, then Prepare.
#include <cstdint>
#include <vector>

class SWmaterial;
class SWmesh;

namespace meshtest {
struct OffMesh;
}

namespace rendertest {

struct TexturedMesh {
    std::vector<float> positions;                  // x, y, z per vertex
    std::vector<float> uv;                         // u, v per texture vertex; empty: none
    std::vector<std::vector<uint32_t>> polygons;   // corner positions, counter-clockwise seen from the front
    std::vector<std::vector<uint32_t>> uvPolygons; // one texture vertex per corner when uv is not empty
};

// Every polygon gets the material (not owned) and smoothing mask 1; polygons with indices below 0 are left to the
// mesh to drop. Answers the polygons the mesh kept.
uint32_t LoadMesh(SWmesh& mesh, const TexturedMesh& source, SWmaterial* material);
TexturedMesh FromOff(const meshtest::OffMesh& off);
// Centred on its bounding box's centre and scaled to a bounding radius of 1; false for a mesh with no extent.
bool NormaliseToUnitRadius(TexturedMesh& mesh);

// Generated shapes about the origin, y up.
TexturedMesh MakeTorus(float major, float minor, uint32_t ringSegments, uint32_t tubeSegments, float uRepeat,
                       float vRepeat);
TexturedMesh MakeUvSphere(float radius, uint32_t segments, uint32_t rings);
TexturedMesh MakeBox(float side); // six quads, each face mapped 0..1

} // namespace rendertest
