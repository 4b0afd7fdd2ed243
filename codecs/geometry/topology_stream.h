#pragma once
// The topology stream (kind 2): the traversal commands of every object as one integer-coded item list with
// raw fields after it, then per object the face edge counts, the residual edge flags and the identification
// pairs that merge split vertices again.
//
// Layout after the header: C (16); C item counts (32 each); w0..w3 (5 each, widths of run counts, split offsets,
// merge list indices, merge offsets); the items (integer data, percent 100); the raw fields per packed command;
// per object two flag-run lists A and B of the face edge counts; per object the residual flags as flag runs; per
// object the identification pairs: n (32), and when n > 0 a width (5) and n values.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/active_list.h"

namespace px {

// Limits of what one topology stream may describe. The decoder refuses more, so the encoder refuses more too:
// a run of adds names a million vertices in a few bits, and only these bounds keep a damaged count from sizing
// the vertex table.
constexpr uint64_t kMaxStreamVertices = uint64_t{1} << 21;  // regular and dummy nodes of all objects
constexpr uint64_t kMaxStreamRingSlots = uint64_t{1} << 24; // ring entries of all objects
constexpr uint32_t kMaxObjects = 65535;                     // the object count is a 16-bit field
constexpr uint64_t kAnyPositionCount = kMaxStreamVertices;  // no position stream bounds the vertices

struct ComponentRecord {
    std::vector<TopologyCommand> commands; // expanded: one command per traversal step
    std::vector<uint8_t> faceEdgeCounts;   // 1, 2 or 3 per face in decoded face order
    std::vector<uint8_t> residualFlags;
    std::vector<uint32_t> identification; // pairs (later traversal order, first traversal order)

    uint32_t VertexCount() const; // adds plus dummy adds
};

// 0, or PXERR_INVALIDGEOMETRY when the records exceed the stream's limits. May throw std::bad_alloc.
int PackTopology(std::span<const ComponentRecord> records, std::vector<uint8_t>& outStream);
// The records of a topology stream, with every count checked against the stream and the limits. 0 or PX_ERR.
// maxPositions is the most positions that the stream's companion can hold; a regular vertex beyond them must be a
// twin, whose identification pair takes bits of this stream, so larger vertex claims are refused before they
// are expanded. Ring entries are held to what closed surfaces of the vertices and merges can have.
int ReadTopology(std::span<const uint8_t> stream, uint64_t maxPositions, std::vector<ComponentRecord>& outRecords);

} // namespace px
