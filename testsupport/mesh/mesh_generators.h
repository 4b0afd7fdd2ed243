#pragma once
// Meshes made in code for the geometry codec's tests, tools and benchmarks: regular surfaces of any size, and
// the awkward cases (non-manifold edges and vertices, inconsistent winding, isolated vertices, many-sided
// polygons, several pieces).
#include <cstdint>

#include "testsupport/mesh/off_file.h"

namespace meshtest {

OffMesh MakeTriangle();
OffMesh MakeTetrahedron();
OffMesh MakeQuad();
OffMesh MakePolygon(uint32_t sides);                        // one convex polygon in the plane z = 0
OffMesh MakeGrid(uint32_t nx, uint32_t ny, bool triangles); // nx * ny cells, quads or split into triangles
OffMesh MakeSphere(uint32_t rings, uint32_t segments);      // poles as triangle fans, quads between
OffMesh MakeTorus(uint32_t rings, uint32_t segments, bool triangles);
// An icosahedron whose triangles are split in four `levels` times, every new vertex pushed out to the unit sphere:
// 20 * 4^levels triangles, 10 * 4^levels + 2 vertices (level 8: 1,310,720 triangles). Levels above 10 give level 10.
OffMesh MakeSubdividedIcosahedron(uint32_t levels);
OffMesh MakeFan(uint32_t triangles, bool closed); // triangles around a centre; closed makes a cone tip
OffMesh MakeCube();                               // six quads
OffMesh MakeOpenCube();                           // five quads, the top missing
OffMesh MakeBowtie();                             // two triangles sharing one vertex
OffMesh MakeDoubleCone();                         // two closed cones touching at one apex
OffMesh MakeDoubleSidedPair();                    // one triangle twice, in opposite windings
OffMesh MakeInconsistentWinding();                // two triangles sharing an edge in the same direction
OffMesh MakeDuplicatedTriangle();                 // the same triangle twice
OffMesh MakeNonManifoldEdge(uint32_t sheets);     // sheets triangles sharing one edge
OffMesh MakeWithIsolatedVertices();               // a quad plus vertices no face uses
OffMesh MakeDegenerateFaces();                    // triangles with zero area (collinear and coincident points)
OffMesh Concatenate(const OffMesh& a, const OffMesh& b, float shiftX); // b moved by shiftX, as separate pieces

} // namespace meshtest
