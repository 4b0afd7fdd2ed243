#include "codecs/geometry/cut_chain.h"

#include <algorithm>

namespace px {

namespace {

// Marks, successors and choices of every edge (the cut-edge graph).
class CutEdgeGraph {
public:
    CutEdgeGraph(const std::vector<CutEdge>& edges, std::span<const uint32_t> faceGroups) : m_edges(edges)
    {
        const size_t n = edges.size();
        m_group.resize(n);
        for (size_t i = 0; i < n; ++i)
            m_group[i] = edges[i].corner / 3 < faceGroups.size() ? faceGroups[edges[i].corner / 3] : 0;
        m_byStart.resize(n);
        for (size_t i = 0; i < n; ++i)
            m_byStart[i] = static_cast<uint32_t>(i);
        std::stable_sort(m_byStart.begin(), m_byStart.end(),
                         [&](uint32_t a, uint32_t b) { return edges[a].start < edges[b].start; });
        m_byEnd = m_byStart;
        std::stable_sort(m_byEnd.begin(), m_byEnd.end(),
                         [&](uint32_t a, uint32_t b) { return edges[a].end < edges[b].end; });
        m_startFree.assign(n, 1);
        m_endFree.assign(n, 1);
        for (size_t i = 0; i < n; ++i) {
            for (const uint32_t j : EndingAt(edges[i].start))
                if (j != i && !IsReverse(i, j) && m_group[j] == m_group[i])
                    m_startFree[i] = 0;
            for (const uint32_t j : Successors(i))
                if (j != i && !IsReverse(i, j) && m_group[j] == m_group[i])
                    m_endFree[i] = 0;
        }
    }

    size_t Size() const { return m_edges.size(); }
    bool IsStartFree(size_t i) const { return m_startFree[i] != 0; }
    bool IsEndFree(size_t i) const { return m_endFree[i] != 0; }

    // Every edge starting at edge i's end, reverse edges included, in index order.
    std::span<const uint32_t> Successors(size_t i) const { return StartingAt(m_edges[i].end); }

    // The edges a search may continue with: with a free end every non-reverse start-free edge there; otherwise the
    // lowest-index non-reverse edge of the same group, which exists because it cleared the mark.
    std::vector<uint32_t> Choices(size_t i) const
    {
        std::vector<uint32_t> choices;
        for (const uint32_t j : Successors(i)) {
            if (j == i || IsReverse(i, j))
                continue;
            if (m_endFree[i] && m_startFree[j]) {
                choices.push_back(j);
            } else if (!m_endFree[i] && m_group[j] == m_group[i]) {
                choices.push_back(j);
                break;
            }
        }
        return choices;
    }

private:
    bool IsReverse(size_t i, size_t j) const
    {
        return m_edges[i].start == m_edges[j].end && m_edges[i].end == m_edges[j].start;
    }

    std::span<const uint32_t> RangeOf(const std::vector<uint32_t>& sorted, uint32_t vertex, bool byStart) const
    {
        const auto key = [&](uint32_t e) { return byStart ? m_edges[e].start : m_edges[e].end; };
        const auto lo = std::partition_point(sorted.begin(), sorted.end(), [&](uint32_t e) { return key(e) < vertex; });
        const auto hi = std::partition_point(lo, sorted.end(), [&](uint32_t e) { return key(e) <= vertex; });
        return {sorted.data() + (lo - sorted.begin()), static_cast<size_t>(hi - lo)};
    }
    std::span<const uint32_t> StartingAt(uint32_t vertex) const { return RangeOf(m_byStart, vertex, true); }
    std::span<const uint32_t> EndingAt(uint32_t vertex) const { return RangeOf(m_byEnd, vertex, false); }

    const std::vector<CutEdge>& m_edges; // not owned: the caller's list outlives the graph
    std::vector<uint32_t> m_group;
    std::vector<uint32_t> m_byStart; // edge indices sorted by start vertex, index order among equals
    std::vector<uint32_t> m_byEnd;
    std::vector<uint8_t> m_startFree;
    std::vector<uint8_t> m_endFree;
};

struct SearchResult {
    bool loop = false;
    std::vector<uint32_t> chain; // the loop, or the best open chain of this start
};

// Depth-first search from one start edge, with an explicit stack: a path may be as long as the fan.
SearchResult SearchFromEdge(const CutEdgeGraph& graph, uint32_t start, CutChainBudget& budget)
{
    struct Frame {
        uint32_t edge;
        std::vector<uint32_t> choices;
        size_t next = 0;
    };
    std::vector<uint8_t> visited(graph.Size(), 0);
    std::vector<uint32_t> path;
    std::vector<Frame> frames;
    SearchResult result;
    const auto visit = [&](uint32_t e) {
        visited[e] = 1;
        for (const uint32_t s : graph.Successors(e))
            if (visited[s] && s != start)
                return false; // the path would cross itself: no loop through here
        path.push_back(e);
        frames.push_back({e, graph.Choices(e), 0});
        return true;
    };
    if (!visit(start))
        return result;
    while (!frames.empty()) {
        if (budget.Exhausted())
            return {};
        --budget.stepsLeft;
        Frame& frame = frames.back();
        if (frame.next < frame.choices.size()) {
            const uint32_t choice = frame.choices[frame.next++];
            if (choice == start) {
                result.loop = true;
                result.chain = path;
                return result;
            }
            if (!visited[choice])
                visit(choice);
            continue;
        }
        size_t kept = path.size();
        while (kept > 0 && !graph.IsEndFree(path[kept - 1]))
            --kept; // a chain ends only where its group ends
        if (kept > result.chain.size())
            result.chain.assign(path.begin(), path.begin() + static_cast<ptrdiff_t>(kept));
        path.pop_back();
        frames.pop_back();
    }
    return result;
}

std::vector<uint32_t> FindCutChain(const CutEdgeGraph& graph, CutChainBudget& budget)
{
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < graph.Size(); ++i)
        if (graph.IsStartFree(i))
            starts.push_back(i);
    if (starts.empty())
        starts.push_back(0); // only closed loops: look for one from the lowest-index edge
    // The longest chain of any start, ties to the later start. Every edge left behind becomes another record of
    // the vertex, and each record beyond the first costs the stream a twin and often a component of its own; a
    // fan whose faces disagree in winding splits into its runs of agreeing faces only when every run leaves whole.
    std::vector<uint32_t> longest;
    for (const uint32_t start : starts) {
        SearchResult found = SearchFromEdge(graph, start, budget);
        if (budget.Exhausted())
            return {};
        if (found.loop)
            return found.chain;
        if (!found.chain.empty() && found.chain.size() >= longest.size())
            longest = std::move(found.chain);
    }
    // Every extraction moves at least one edge, so splitting always ends: when every search was trimmed to
    // nothing, a single edge serves.
    if (longest.empty())
        longest.push_back(starts.back());
    return longest;
}

} // namespace

std::vector<CutEdge> ExtractCutChain(std::vector<CutEdge>& edges, std::span<const uint32_t> faceGroups,
                                     CutChainBudget& budget)
{
    if (edges.empty())
        return {};
    const CutEdgeGraph graph(edges, faceGroups);
    const std::vector<uint32_t> chainIndices = FindCutChain(graph, budget);
    std::vector<CutEdge> chain;
    std::vector<uint8_t> taken(edges.size(), 0);
    for (const uint32_t i : chainIndices) {
        chain.push_back(edges[i]);
        taken[i] = 1;
    }
    std::vector<CutEdge> rest;
    for (size_t i = 0; i < edges.size(); ++i)
        if (!taken[i])
            rest.push_back(edges[i]);
    edges = std::move(rest);
    return chain;
}

} // namespace px
