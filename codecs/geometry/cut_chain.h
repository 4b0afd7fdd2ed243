#pragma once
// Cut chain extraction: from a list of directed edges (a fan's pairs, seen as edges of the vertex's link), take
// one chain out: a closed loop when the search finds one, else the longest open chain of any search. Edges
// carry the group of their face; within a group a chain never stops where the group continues, so a chain is
// made of whole group paths.
#include <cstdint>
#include <span>
#include <vector>

namespace px {

struct CutEdge {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t corner = 0; // face = corner / 3
};

struct CutChainBudget {
    uint64_t stepsLeft = 0; // search steps the caller still allows; the search stops at 0
    bool Exhausted() const { return stepsLeft == 0; }
};

// Removes one chain from edges (the rest keep their order) and returns it in chain order: the longest of every
// start's search, ties to the later start. Never returns an empty chain for a non-empty list: with no start-free
// edge it looks for a loop from the lowest-index edge, and when no search yields an edge it takes a single one. Groups
// are indexed by face. Returns an empty chain when the budget runs out (the caller then gives up).
std::vector<CutEdge> ExtractCutChain(std::vector<CutEdge>& edges, std::span<const uint32_t> faceGroups,
                                     CutChainBudget& budget);

} // namespace px
