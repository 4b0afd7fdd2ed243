#include "codecs/geometry/active_list.h"

#include <algorithm>

#include "codecs/geometry/list_stack.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/topology_stream.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

namespace {

// List steps that splits, merges and gate searches may take in one traversal. Each walks at most one list, and
// real meshes split and merge rarely; only a damaged stream could ask for quadratic work.
uint64_t WalkBudget(size_t nodes)
{
    return 256 * static_cast<uint64_t>(nodes) + (uint64_t{1} << 24);
}

// ---- encoder ----

class Traversal {
public:
    Traversal(MeshGraph& graph, std::vector<TopologyCommand>& commands)
        : m_graph(graph), m_commands(commands), m_lists(graph, false, WalkBudget(graph.nodes.size()))
    {
    }

    int Run();

private:
    bool StartComponent();
    bool Conquer(int32_t node);
    bool Step();

    MeshGraph& m_graph;
    std::vector<TopologyCommand>& m_commands;
    ListStack m_lists;
    uint32_t m_scan = 0;
    uint32_t m_conquered = 0;
};

bool Traversal::Conquer(int32_t node)
{
    VertexNode& n = m_graph.nodes[static_cast<size_t>(node)];
    const bool dummy = n.kind == NodeKind::kDummy;
    m_commands.push_back({dummy ? CommandKind::kAddDummy : CommandKind::kAdd, n.valence, 0, 0});
    if (!dummy) {
        n.order = static_cast<int32_t>(m_graph.traversal.size());
        m_graph.traversal.push_back(static_cast<uint32_t>(node));
    }
    n.mark = 2;
    ++m_conquered;
    return true;
}

bool Traversal::StartComponent()
{
    while (m_scan < m_graph.nodes.size() && (m_graph.nodes[m_scan].mark != 1 || m_graph.nodes[m_scan].valence < 2))
        ++m_scan;
    if (m_scan == m_graph.nodes.size())
        return false;
    const uint32_t start = m_scan++;
    const VertexNode& s = m_graph.nodes[start];
    const int32_t a = m_graph.Neighbour(start, s.valence - 1);
    const int32_t b = m_graph.Neighbour(start, 0);
    const int32_t slotInA = m_graph.SlotOf(static_cast<uint32_t>(a), static_cast<int32_t>(start));
    const int32_t slotInB = m_graph.SlotOf(static_cast<uint32_t>(b), a);
    if (slotInA < 0 || slotInB < 0 || m_graph.nodes[static_cast<size_t>(a)].mark != 1 ||
        m_graph.nodes[static_cast<size_t>(b)].mark != 1)
        return false;
    m_graph.RotateRing(static_cast<uint32_t>(a), static_cast<uint32_t>(slotInA));
    m_graph.RotateRing(static_cast<uint32_t>(b), static_cast<uint32_t>(slotInB));
    const int32_t triangle[3] = {static_cast<int32_t>(start), a, b};
    for (const int32_t node : triangle)
        Conquer(node);
    return m_lists.StartTriangle(triangle);
}

bool Traversal::Step()
{
    const ListElement& focus = m_lists.FocusElement();
    if (focus.freeCount < 1)
        return false;
    const int32_t w = m_graph.Neighbour(static_cast<uint32_t>(focus.vertex), static_cast<uint32_t>(focus.first));
    if (m_graph.nodes[static_cast<size_t>(w)].mark == 1) {
        const int32_t predVertex = [&] {
            // The focus's predecessor faces slot first - 1 of its ring.
            return m_graph.Neighbour(static_cast<uint32_t>(focus.vertex), static_cast<uint32_t>(focus.first - 1));
        }();
        const int32_t slot = m_graph.SlotOf(static_cast<uint32_t>(w), predVertex);
        if (slot < 0)
            return false;
        m_graph.RotateRing(static_cast<uint32_t>(w), static_cast<uint32_t>(slot));
        Conquer(w);
        return m_lists.AddVertex(w);
    }
    GateHit hit;
    if (!m_lists.FindGate(w, hit))
        return false; // a conquered gate vertex on no active list
    if (hit.list == 0) {
        m_commands.push_back({CommandKind::kSplit, 0, m_lists.SplitOffset(hit.element, hit.k), 0});
        return m_lists.Split(hit.element, hit.k);
    }
    m_commands.push_back({CommandKind::kMerge, 0, hit.offset, static_cast<uint32_t>(hit.list)});
    return m_lists.Merge(hit.list, hit.element, hit.k);
}

int Traversal::Run()
{
    for (VertexNode& node : m_graph.nodes)
        node.mark = 1;
    m_graph.traversal.clear();
    while (m_conquered < m_graph.nodesInUse) {
        if (!StartComponent())
            return PXERR_INVALIDGEOMETRY;
        while (!m_lists.Empty())
            if (!Step())
                return PXERR_INVALIDGEOMETRY;
    }
    return m_conquered == m_graph.nodesInUse ? PX_OK : PXERR_INVALIDGEOMETRY;
}

// ---- decoder ----

// Unset ring entries: no neighbour yet, no corner, no flag.
void SizeRings(MeshGraph& graph, size_t slots)
{
    graph.neighbours.resize(slots, kNoNode);
    graph.corners.resize(slots, -1);
    graph.flags.resize(slots, 0);
}

class CommandRun {
public:
    CommandRun(MeshGraph& graph, uint32_t vertexCount)
        : m_graph(graph), m_lists(graph, true, WalkBudget(vertexCount)), m_back(static_cast<int64_t>(vertexCount) - 1)
    {
    }

    int Run(std::span<const TopologyCommand> commands);

private:
    int32_t MakeVertexRecord(const TopologyCommand& command);
    bool Execute(const TopologyCommand& command);

    MeshGraph& m_graph;
    ListStack m_lists;
    int64_t m_front = 0;
    int64_t m_back;
    size_t m_ringEnd = 0; // where the next vertex's ring begins
};

int32_t CommandRun::MakeVertexRecord(const TopologyCommand& command)
{
    const bool dummy = command.kind == CommandKind::kAddDummy;
    if ((command.kind != CommandKind::kAdd && !dummy) || m_front > m_back || command.valence < 2)
        return -1;
    const int32_t index = static_cast<int32_t>(dummy ? m_back-- : m_front++);
    VertexNode& node = m_graph.nodes[static_cast<size_t>(index)];
    node.valence = command.valence;
    node.ringStart = static_cast<uint32_t>(m_ringEnd);
    node.kind = dummy ? NodeKind::kDummy : NodeKind::kInterior;
    node.position = dummy ? -1 : index;
    node.order = dummy ? -1 : index;
    m_ringEnd += command.valence;
    if (m_ringEnd > m_graph.neighbours.size()) // rings not sized up front grow with the run
        SizeRings(m_graph, m_ringEnd);
    if (!dummy)
        m_graph.traversal.push_back(static_cast<uint32_t>(index));
    return index;
}

bool CommandRun::Execute(const TopologyCommand& command)
{
    if (command.kind == CommandKind::kAdd || command.kind == CommandKind::kAddDummy) {
        const int32_t vertex = MakeVertexRecord(command);
        return vertex >= 0 && m_lists.AddVertex(vertex);
    }
    const int32_t focus = m_lists.Focus();
    int32_t element = -1;
    int32_t k = 0;
    if (command.kind == CommandKind::kSplit) {
        const uint32_t size = m_lists.ListSize(0);
        if (size < 4)
            return false;
        const int32_t start = m_lists.After(m_lists.After(focus));
        return m_lists.LocateByOffset(start, size - 2, command.offset, element, k) && m_lists.Split(element, k);
    }
    if (command.kind != CommandKind::kMerge || command.listIndex >= m_lists.ListCount())
        return false;
    if (command.listIndex == 0)
        return true; // a merge naming the current list changes nothing
    return m_lists.LocateByOffset(m_lists.ListCurrent(command.listIndex), m_lists.ListSize(command.listIndex),
                                  command.offset, element, k) &&
           m_lists.Merge(command.listIndex, element, k);
}

int CommandRun::Run(std::span<const TopologyCommand> commands)
{
    size_t next = 0;
    while (next < commands.size()) {
        if (m_lists.Empty()) {
            if (commands.size() - next < 3)
                return PX_ERR;
            int32_t triangle[3];
            for (int32_t& vertex : triangle)
                if ((vertex = MakeVertexRecord(commands[next++])) < 0)
                    return PX_ERR;
            if (!m_lists.StartTriangle(triangle))
                return PX_ERR;
            continue;
        }
        if (!Execute(commands[next++]))
            return PX_ERR;
    }
    if (!m_lists.Empty() || m_front != m_back + 1)
        return PX_ERR;
    return PX_OK;
}

} // namespace

int TraverseComponents(MeshGraph& graph, std::vector<TopologyCommand>& outCommands)
{
    outCommands.clear();
    return Traversal(graph, outCommands).Run();
}

int RunCommands(std::span<const TopologyCommand> commands, uint32_t vertexCount, MeshGraph& outGraph)
{
    outGraph = MeshGraph();
    outGraph.nodes.resize(vertexCount);
    outGraph.nodesInUse = vertexCount;
    // The rings at once, in one fill each, when the commands' own valences are what a mesh has (about six ring
    // entries per vertex) and within what a checked stream may hold; otherwise the rings grow as the run goes, as
    // a run that fails early should not have taken much. Either way a node's ring starts where the commands before
    // it end.
    uint64_t slots = 0;
    uint32_t longest = 0;
    for (const TopologyCommand& command : commands) {
        if (command.kind == CommandKind::kAdd || command.kind == CommandKind::kAddDummy) {
            slots += command.valence;
            longest = std::max(longest, command.valence);
        }
    }
    if (slots <= kMaxStreamRingSlots && slots <= 8 * uint64_t{commands.size()})
        SizeRings(outGraph, slots);
    outGraph.traversal.reserve(vertexCount);
    const int result = CommandRun(outGraph, vertexCount).Run(commands);
    if (result != PX_OK)
        return result;
    // Regular nodes were numbered from the front and dummies from the back until the two met, so the regular
    // ones, each listed once in the traversal, are exactly those below its length.
    outGraph.dummiesFrom = static_cast<uint32_t>(outGraph.traversal.size());
    outGraph.longestRing = longest;
    // Every ring entry must be set; a node with a dummy neighbour is a boundary node.
    for (uint32_t v = 0; v < vertexCount; ++v) {
        VertexNode& node = outGraph.nodes[v];
        const int32_t* ring = outGraph.neighbours.data() + node.ringStart;
        bool nearDummy = false;
        for (uint32_t k = 0; k < node.valence; ++k) {
            const uint32_t neighbour = static_cast<uint32_t>(ring[k]); // unset entries (-1) wrap to the top
            if (neighbour >= vertexCount || neighbour == v)
                return PX_ERR;
            nearDummy = nearDummy || neighbour >= outGraph.dummiesFrom;
        }
        if (node.kind != NodeKind::kDummy && nearDummy)
            node.kind = NodeKind::kBoundary;
        node.mark = 1;
    }
    return PX_OK;
}

} // namespace px
