#pragma once
// Polygon edge flags: a triangle edge is 1 when it is an edge of the input polygon, 0 when the triangulation
// added it. Each face's count of real edges travels in the topology stream; from the counts most flags follow by
// deduction, and the few that do not (the residual flags) travel explicitly.
#include <cstdint>
#include <span>
#include <vector>

namespace px {

class MeshGraph;
class RingSlots;

// Per face (corner / 3), the sum of its three edge flags, from the rings. faceCount is the number of faces.
std::vector<uint8_t> CountFaceEdges(const MeshGraph& graph, uint32_t faceCount);

// Encoder: the residual flags that the deduction cannot settle, in the order the decoder asks for them. The
// graph's flags are left as they were. 0, or PXERR_INVALIDGEOMETRY when a deduction contradicts a real flag.
int EncodeResidualEdgeFlags(MeshGraph& graph, const RingSlots& slots, std::span<const uint8_t> faceCounts,
                            std::vector<uint8_t>& outResidual);
// Decoder: sets every flag of the graph from the face counts and the residual flags. 0, or PX_ERR when the
// residual flags run out or are left over, or the rings are inconsistent.
int DecodeResidualEdgeFlags(MeshGraph& graph, const RingSlots& slots, std::span<const uint8_t> faceCounts,
                            std::span<const uint8_t> residual);

} // namespace px
