#include "codecs/geometry/fan_split.h"

#include <algorithm>
#include <unordered_map>

#include "codecs/geometry/cut_chain.h"
#include "codecs/geometry/px_result.h"

namespace px {

namespace {

// Work the cut-chain searches may spend on one mesh before the encoder gives up with 7. Real meshes use a tiny
// part of it; it only bounds adversarial links that would make the search quadratic per extraction.
constexpr uint64_t kCutSearchSteps = 400'000'000;

bool AdvanceMark(uint32_t& mark, bool asNext)
{
    // next: 0 -> 1, 2 -> 3; prev: 0 -> 2, 1 -> 3; anything else is a second use on that side
    if (mark == 0) {
        mark = asNext ? 1 : 2;
        return true;
    }
    if (mark == (asNext ? 2u : 1u)) {
        mark = 3;
        return true;
    }
    return false;
}

FanState ClassifyOpenFan(std::vector<FanRecord>& records, FanRecord& fan)
{
    size_t startCount = 0;
    size_t endCount = 0;
    size_t startPair = 0;
    for (size_t i = 0; i < fan.pairs.size(); ++i) {
        if (records[fan.pairs[i].next].mark == 1) {
            ++startCount;
            startPair = i;
        }
        if (records[fan.pairs[i].prev].mark == 2)
            ++endCount;
    }
    if (startCount != 1 || endCount != 1)
        return FanState::kNotManifold;
    std::swap(fan.pairs[0], fan.pairs[startPair]);
    return ChainFan(fan) ? FanState::kOpen : FanState::kNotManifold;
}

// Points the neighbours' entries of every moved triangle at the new record. Each neighbour must hold exactly one
// entry of that triangle; anything else means the adjacency is inconsistent and the split cannot go on.
bool RenameInNeighbours(std::vector<FanRecord>& records, const std::vector<CutEdge>& moved, uint32_t vertex,
                        uint32_t newRecord)
{
    for (const CutEdge& edge : moved) {
        const uint32_t triangle = edge.corner / 3;
        // The edge is (next, prev) of the moved pair: next holds (prev, vertex), prev holds (vertex, next).
        int nextHits = 0;
        for (FanPair& pair : records[edge.start].pairs) {
            if (pair.corner / 3 == triangle && pair.prev == vertex) {
                pair.prev = newRecord;
                ++nextHits;
            }
        }
        int prevHits = 0;
        for (FanPair& pair : records[edge.end].pairs) {
            if (pair.corner / 3 == triangle && pair.next == vertex) {
                pair.next = newRecord;
                ++prevHits;
            }
        }
        if (nextHits != 1 || prevHits != 1)
            return false;
    }
    return true;
}

int SplitFan(std::vector<FanRecord>& records, uint32_t vertex, std::span<const uint32_t> groups, CutChainBudget& budget,
             size_t recordLimit)
{
    for (const FanPair& pair : records[vertex].pairs) {
        records[pair.next].dirty = true;
        records[pair.prev].dirty = true;
    }
    while (records[vertex].state == FanState::kNotManifold) {
        if (records.size() >= recordLimit)
            return PXERR_INVALIDGEOMETRY;
        std::vector<CutEdge> edges;
        for (const FanPair& pair : records[vertex].pairs)
            edges.push_back({pair.next, pair.prev, pair.corner});
        const std::vector<CutEdge> chain = ExtractCutChain(edges, groups, budget);
        if (chain.empty() || edges.empty())
            return PXERR_INVALIDGEOMETRY; // out of budget, or a "not manifold" fan that is one chain already
        const uint32_t newRecord = static_cast<uint32_t>(records.size());
        FanRecord split;
        split.position = records[vertex].position;
        for (const CutEdge& edge : chain)
            split.pairs.push_back({edge.start, edge.end, edge.corner});
        records.push_back(std::move(split));
        records[vertex].pairs.clear();
        for (const CutEdge& edge : edges)
            records[vertex].pairs.push_back({edge.start, edge.end, edge.corner});
        if (!RenameInNeighbours(records, chain, vertex, newRecord))
            return PXERR_INVALIDGEOMETRY;
        ClassifyFan(records, vertex);
    }
    records[vertex].dirty = false;
    return PX_OK;
}

} // namespace

bool ChainFan(FanRecord& record)
{
    std::vector<FanPair>& pairs = record.pairs;
    if (pairs.size() < 2)
        return true;
    std::unordered_multimap<uint32_t, size_t> byNext;
    for (size_t i = 1; i < pairs.size(); ++i)
        byNext.emplace(pairs[i].next, i);
    std::vector<uint8_t> used(pairs.size(), 0);
    std::vector<FanPair> chained{pairs[0]};
    used[0] = 1;
    while (chained.size() < pairs.size()) {
        const auto [lo, hi] = byNext.equal_range(chained.back().prev);
        size_t best = SIZE_MAX;
        for (auto it = lo; it != hi; ++it)
            if (!used[it->second])
                best = std::min(best, it->second);
        if (best == SIZE_MAX)
            return false; // the pairs keep their order
        used[best] = 1;
        chained.push_back(pairs[best]);
    }
    pairs = std::move(chained);
    return true;
}

void ClassifyFan(std::vector<FanRecord>& records, uint32_t vertex)
{
    FanRecord& fan = records[vertex];
    for (const FanPair& pair : fan.pairs)
        records[pair.next].mark = records[pair.prev].mark = 0;
    for (const FanPair& pair : fan.pairs) {
        if (!AdvanceMark(records[pair.next].mark, true) || !AdvanceMark(records[pair.prev].mark, false)) {
            fan.state = FanState::kNotManifold;
            return;
        }
    }
    const bool closed = std::all_of(fan.pairs.begin(), fan.pairs.end(), [&](const FanPair& pair) {
        return records[pair.next].mark == 3 && records[pair.prev].mark == 3;
    });
    if (closed) {
        // A closed fan of two triangles is a double-sided pair: no ring of distinct neighbours can hold it.
        fan.state = ChainFan(fan) && fan.pairs.size() != 2 ? FanState::kClosed : FanState::kNotManifold;
        return;
    }
    fan.state = ClassifyOpenFan(records, fan);
}

int SplitNonManifoldVertices(std::span<const std::array<uint32_t, 3>> triangles,
                             std::span<const uint32_t> triangleGroups, std::vector<FanRecord>& out)
{
    out.clear();
    uint32_t largest = 0;
    for (const auto& triangle : triangles)
        largest = std::max({largest, triangle[0], triangle[1], triangle[2]});
    const size_t vertexCount = triangles.empty() ? 0 : static_cast<size_t>(largest) + 1;
    out.resize(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v)
        out[v].position = static_cast<uint32_t>(v);
    for (size_t t = 0; t < triangles.size(); ++t) {
        const auto& [a, b, c] = triangles[t];
        const uint32_t corner = static_cast<uint32_t>(3 * t);
        out[a].pairs.push_back({b, c, corner});
        out[b].pairs.push_back({c, a, corner + 1});
        out[c].pairs.push_back({a, b, corner + 2});
    }
    // Each split moves at least one triangle's corner to a new record and leaves one behind, so the records never
    // outnumber the corners plus the input vertices, and each sweep that meets a split adds a record.
    const size_t recordLimit = vertexCount + 3 * triangles.size() + 1;
    CutChainBudget budget{kCutSearchSteps};
    for (size_t sweep = 0;; ++sweep) {
        if (sweep > recordLimit)
            return PXERR_INVALIDGEOMETRY;
        bool metSplit = false;
        const size_t existing = out.size();
        for (uint32_t v = 0; v < existing; ++v) {
            if (out[v].dirty) {
                ClassifyFan(out, v);
                out[v].dirty = false;
            }
            if (out[v].state != FanState::kNotManifold)
                continue;
            metSplit = true;
            ChainFan(out[v]);
            const int result = SplitFan(out, v, triangleGroups, budget, recordLimit);
            if (result != PX_OK)
                return result;
        }
        if (!metSplit)
            return PX_OK;
    }
}

} // namespace px
