#pragma once
// Tangent frames for Dot3 bump maps: per corner of every triangle a 3 x 3 matrix whose columns are the tangent
// (along u), the binormal (along v) and the normal, stored row by row (Tx, Bx, Nx, Ty, By, Ny, Tz, Bz, Nz), so
// that a light direction L times the matrix is L in the bump texture's space. Frames are summed per vertex, so a
// vertex shared by several triangles carries one smooth frame on each of them.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

using SWtangentframe = std::array<float, 9>;

struct SWtangentinput {
    std::span<const float> vertices;     // 6 floats per vertex: position x, y, z, then the normal (unused)
    std::span<const float> coordinates;  // u, v per vertex
    std::span<const uint16_t> triangles; // three vertex indices per triangle
};

// Three frames per triangle, in corner order. A triangle naming a vertex beyond either array gets identity frames
// and adds nothing to its vertices; the answer counts those triangles.
uint32_t ComputeTangentFrames(const SWtangentinput& input, std::vector<SWtangentframe>& out);
