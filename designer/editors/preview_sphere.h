#pragma once
// The designer's own spheres: a cube subdivided recursively and pushed onto the unit sphere (the globe generator,
// which knows nothing of the engine), and the engine mesh made from it with per-corner texture coordinates, one
// material on every polygon, a name and an object reference id (BuildPreviewSphereMesh).
//
// Numbering (what tests and the mesh's texture coordinates rely on): after L passes face q is, for
// q = f x 4^L + d1 x 4^(L-1) + ... + dL, child dL of ... child d1 of cube face f, and every child keeps its
// parent's rotational sense. Level L has 6 x 4^L quads, 6 x 4^L + 2 vertices and 12 x 4^L edges.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SWmaterial;
class SWmeshobject;
class SWworld;

// The generator's state. Counts are the final ones, computed before the first pass.
struct globe {
    int32_t level = 0;
    int32_t pass = 0;
    int32_t faces = 0;              // F = 6 x 4^level
    int32_t vertices = 0;           // V = F + 2
    int32_t edges = 0;              // E = 2 x F
    std::vector<int32_t> faceEdges; // 4 per face, in order around the face
    std::vector<uint8_t> flags;     // beside faceEdges: 1 when the face runs the edge from its first vertex
    std::vector<int32_t> edgeTable; // two vertex indices per edge of the present pass
    std::vector<float> positions;   // x, y, z per vertex, unit length
};

inline constexpr int32_t kGlobeMaxLevel = 10; // the counts of level 14 no longer fit 32 bits; callers use 5 and 3

int make_globe(globe& state, int32_t level); // 0; 1 with an empty state for a level outside 0..kGlobeMaxLevel
void globe_counts(globe& state);
void start_globe(globe& state);
void globe_cube(globe& state);
void globe_subdivide(globe& state);
int globe_normalize(float& x, float& y, float& z);                 // 0; 1, unchanged, for the zero vector
int32_t globe_corner(const globe& state, int32_t face, int32_t k); // the start vertex of the face's edge k

struct CVTND_SphereRequest {
    float radius = 1.0f;
    bool textureCoordinates = true; // without, the texture-vertex array holds zeros
    int32_t level = 5;
    SWmaterial* material = nullptr; // the world's; on every polygon
    std::string name;
    int32_t referenceId = -1;
};

// Fills the empty mesh: positions, texture vertices (three per triangle), polygons of flags 7, bounds, normals,
// prepared, hidden and invisible, named and numbered. False, the mesh without polygons, when no triangle came out
// (a level outside 0..kGlobeMaxLevel).
bool BuildPreviewSphereMesh(SWmeshobject& mesh, const CVTND_SphereRequest& request);

// Appends the mesh to the world's geometry list under the world's lock; the list owns it. Answers it.
SWmeshobject* AddPreviewSphereToWorld(SWworld& world, std::unique_ptr<SWmeshobject> mesh);

// The first mesh of the world's geometry list whose object reference id is referenceId; null when none.
SWmeshobject* FindPreviewSphere(const SWworld& world, int32_t referenceId);
