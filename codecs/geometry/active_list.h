#pragma once
// Active-list traversal: each component is conquered from a start triangle outward; the boundary of the conquered
// region is kept as cyclic active lists on a stack. Every step looks at the focus vertex's first free edge (the
// gate) and records one command: add (a new vertex, with its valence), add dummy, split (the gate leads to a
// vertex on the current list) or merge (to a vertex on another list). Decoding runs the same list operations on
// the commands and so rebuilds every ring of neighbours.
#include <cstdint>
#include <span>
#include <vector>

namespace px {

class MeshGraph;

enum class CommandKind : uint8_t {
    kAdd = 1,
    kAddDummy = 2,
    kSplit = 3,
    kMerge = 4,
};

struct TopologyCommand {
    CommandKind kind = CommandKind::kAdd;
    uint32_t valence = 0;   // add and add dummy
    uint32_t offset = 0;    // split and merge
    uint32_t listIndex = 0; // merge
};

// Encoder: conquers every component of the graph, turning rings so that each node's slot 0 faces its predecessor
// on the list that took it in, and numbering the regular nodes in traversal order. 0, or PXERR_INVALIDGEOMETRY
// when the graph is not one the traversal can walk.
int TraverseComponents(MeshGraph& graph, std::vector<TopologyCommand>& outCommands);

// Decoder: builds the node table (vertexCount nodes, regular ones from the front, dummies from the back) and all
// rings from the commands. 0, or PX_ERR when the commands do not describe a consistent mesh.
int RunCommands(std::span<const TopologyCommand> commands, uint32_t vertexCount, MeshGraph& outGraph);

} // namespace px
