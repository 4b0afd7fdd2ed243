#include "codecs/geometry/active_list.h"

#include <algorithm>
#include <utility>

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

namespace {

struct Element {
    int32_t vertex = -1;
    int32_t first = 0; // free ring entries are first..last
    int32_t last = -1;
    int32_t freeCount = 0;
    int32_t prev = -1;
    int32_t next = -1;
    int32_t list = -1; // the list that holds it
    bool alive = false;
};

struct ActiveList {
    int32_t current = -1;
    uint32_t count = 0;
};

// List steps that splits, merges and gate searches may take in one traversal. Each walks at most one list, and
// real meshes split and merge rarely; only a damaged stream could ask for quadratic work.
uint64_t WalkBudget(size_t nodes)
{
    return 256 * static_cast<uint64_t>(nodes) + (uint64_t{1} << 24);
}

struct GateHit {
    size_t list = 0; // position on the stack, 0 being the current list
    int32_t element = -1;
    int32_t k = 0; // position of the focus vertex among the element's free entries
    uint32_t offset = 0;
};

// The list stack of one traversal. The current list is always the stack's first entry: a split puts its new list
// right after it, a merge removes a later list, and popping the current list makes the next one current.
// In decoding mode ring entries are written; in encoding mode they are checked against the graph instead.
class ListStack {
public:
    ListStack(MeshGraph& graph, bool decoding, uint64_t walkBudget)
        : m_graph(graph), m_decoding(decoding), m_walkBudget(walkBudget)
    {
    }

    bool Empty() const { return m_stack.empty(); }
    size_t ListCount() const { return m_stack.size(); }
    const Element& FocusElement() const { return m_elements[Focus()]; }
    int32_t Focus() const { return m_lists[static_cast<size_t>(m_stack[0])].current; }

    bool StartTriangle(const int32_t (&vertices)[3]);
    bool AddVertex(int32_t vertex);
    bool Split(int32_t element, int32_t k);
    bool Merge(size_t listPos, int32_t element, int32_t k);

    // Encoder: where the gate vertex w stands on the stack, found from each list's current element.
    bool FindGate(int32_t w, GateHit& out);
    uint32_t SplitOffset(int32_t element, int32_t k);
    // Decoder: skips whole elements from start while the offset covers their free counts; at most limit elements.
    bool LocateByOffset(int32_t start, uint32_t limit, uint32_t offset, int32_t& outElement, int32_t& outK);
    int32_t After(int32_t element) const { return m_elements[static_cast<size_t>(element)].next; }
    int32_t ListCurrent(size_t listPos) const { return m_lists[static_cast<size_t>(m_stack[listPos])].current; }
    uint32_t ListSize(size_t listPos) const { return m_lists[static_cast<size_t>(m_stack[listPos])].count; }

private:
    int32_t NewElement(int32_t vertex, int32_t first, int32_t last, int32_t freeCount);
    int32_t CopyElement(const Element& source, int32_t first, int32_t last, int32_t freeCount);
    void ReleaseElement(int32_t element);
    void InsertBefore(int32_t listId, int32_t element);
    bool Link(int32_t vertex, int32_t slot, int32_t neighbour);
    std::pair<int32_t, int32_t> SpliceAcross(int32_t focus, int32_t pred, int32_t element, int32_t k);
    void Touch(int32_t element); // an element whose free count reached 0 waits for the next cleaning of its list
    bool Walk() { return m_walkBudget > 0 && --m_walkBudget > 0; }
    bool Relabel(int32_t from, int32_t to, int32_t listId); // from .. to along next, into the list
    bool RemoveFull(ActiveList& list, int32_t element, std::vector<int32_t>& work);
    bool Clean(size_t listPos);
    void PopList(size_t listPos);
    Element& E(int32_t element) { return m_elements[static_cast<size_t>(element)]; }
    const Element& E(int32_t element) const { return m_elements[static_cast<size_t>(element)]; }
    ActiveList& L(size_t listPos) { return m_lists[static_cast<size_t>(m_stack[listPos])]; }

    MeshGraph& m_graph; // not owned: the traversal's graph outlives the stack
    bool m_decoding;
    uint64_t m_walkBudget; // list steps that splits, merges and searches may still take
    std::vector<Element> m_elements;
    std::vector<int32_t> m_freeElements;
    std::vector<ActiveList> m_lists;
    std::vector<int32_t> m_stack;
    std::vector<int32_t> m_pending; // elements that became full since their list was last cleaned
};

int32_t ListStack::NewElement(int32_t vertex, int32_t first, int32_t last, int32_t freeCount)
{
    Element element{vertex, first, last, freeCount, -1, -1, -1, true};
    if (!m_freeElements.empty()) {
        const int32_t index = m_freeElements.back();
        m_freeElements.pop_back();
        E(index) = element;
        return index;
    }
    m_elements.push_back(element);
    return static_cast<int32_t>(m_elements.size() - 1);
}

int32_t ListStack::CopyElement(const Element& source, int32_t first, int32_t last, int32_t freeCount)
{
    return NewElement(source.vertex, first, last, freeCount);
}

void ListStack::ReleaseElement(int32_t element)
{
    E(element).alive = false;
    m_freeElements.push_back(element);
}

void ListStack::Touch(int32_t element)
{
    if (E(element).freeCount == 0)
        m_pending.push_back(element);
}

bool ListStack::Relabel(int32_t from, int32_t to, int32_t listId)
{
    for (int32_t element = from;; element = E(element).next) {
        E(element).list = listId;
        if (element == to)
            return true;
        if (!Walk())
            return false;
    }
}

void ListStack::InsertBefore(int32_t listId, int32_t element)
{
    ActiveList& list = m_lists[static_cast<size_t>(listId)];
    E(element).list = listId;
    Touch(element);
    if (list.current < 0) {
        E(element).prev = E(element).next = element;
        list.current = element;
    } else {
        const int32_t before = E(list.current).prev;
        E(element).prev = before;
        E(element).next = list.current;
        E(before).next = element;
        E(list.current).prev = element;
    }
    ++list.count;
}

bool ListStack::Link(int32_t vertex, int32_t slot, int32_t neighbour)
{
    const VertexNode& node = m_graph.nodes[static_cast<size_t>(vertex)];
    if (slot < 0 || static_cast<uint32_t>(slot) >= node.valence)
        return false;
    int32_t& entry = m_graph.Neighbour(static_cast<uint32_t>(vertex), static_cast<uint32_t>(slot));
    if (m_decoding) {
        entry = neighbour;
        return true;
    }
    return entry == neighbour;
}

bool ListStack::StartTriangle(const int32_t (&vertices)[3])
{
    const int32_t listId = static_cast<int32_t>(m_lists.size());
    m_lists.push_back({});
    m_stack.insert(m_stack.begin(), listId);
    for (const int32_t vertex : vertices) {
        const int32_t valence = static_cast<int32_t>(m_graph.nodes[static_cast<size_t>(vertex)].valence);
        if (valence < 2)
            return false;
        InsertBefore(listId, NewElement(vertex, 1, valence - 2, valence - 2));
    }
    // Slot 0 of each ring faces the predecessor on the list, the last slot the successor.
    int32_t element = L(0).current;
    for (int i = 0; i < 3; ++i, element = E(element).next) {
        const int32_t valence = static_cast<int32_t>(m_graph.nodes[static_cast<size_t>(E(element).vertex)].valence);
        if (!Link(E(element).vertex, 0, E(E(element).prev).vertex) ||
            !Link(E(element).vertex, valence - 1, E(E(element).next).vertex))
            return false;
    }
    return true;
}

bool ListStack::AddVertex(int32_t vertex)
{
    const int32_t focus = Focus();
    const int32_t pred = E(focus).prev;
    const int32_t valence = static_cast<int32_t>(m_graph.nodes[static_cast<size_t>(vertex)].valence);
    if (valence < 2 || E(focus).freeCount < 1 || E(pred).freeCount < 1)
        return false;
    if (!Link(vertex, 0, E(pred).vertex) || !Link(vertex, valence - 1, E(focus).vertex) ||
        !Link(E(focus).vertex, E(focus).first, vertex) || !Link(E(pred).vertex, E(pred).last, vertex))
        return false;
    ++E(focus).first;
    --E(focus).freeCount;
    --E(pred).last;
    --E(pred).freeCount;
    Touch(focus);
    Touch(pred);
    InsertBefore(m_stack[0], NewElement(vertex, 1, valence - 2, valence - 2));
    L(0).current = focus;
    return Clean(0);
}

// The new edge from the focus to element's k-th free entry cuts both free ranges. The focus keeps its first entry
// and element its entries before k; their copies carry the rest, spliced in as pred -> focusCopy -> elementCopy ->
// (element's old successor), while element now leads straight to the focus. Returns {focusCopy, elementCopy}.
std::pair<int32_t, int32_t> ListStack::SpliceAcross(int32_t focus, int32_t pred, int32_t element, int32_t k)
{
    const int32_t focusCopy = CopyElement(E(focus), E(focus).first + 1, E(focus).first, 0);
    const int32_t elementCopy =
        CopyElement(E(element), E(element).first + k + 1, E(element).last, E(element).freeCount - k - 1);
    ++E(focus).first;
    --E(focus).freeCount;
    E(element).freeCount = k;
    E(element).last = E(element).first + k - 1;
    const int32_t afterElement = E(element).next;
    E(element).next = focus;
    E(focus).prev = element;
    E(focusCopy).next = elementCopy;
    E(elementCopy).prev = focusCopy;
    E(elementCopy).next = afterElement;
    E(afterElement).prev = elementCopy;
    E(pred).next = focusCopy;
    E(focusCopy).prev = pred;
    return {focusCopy, elementCopy};
}

bool ListStack::Split(int32_t element, int32_t k)
{
    const int32_t focus = Focus();
    const int32_t pred = E(focus).prev;
    Element& e = E(element);
    if (E(focus).freeCount < 1 || k < 0 || k >= e.freeCount || element == focus || element == pred ||
        element == E(focus).next)
        return false;
    if (!Link(E(focus).vertex, E(focus).first, e.vertex) || !Link(e.vertex, e.first + k, E(focus).vertex))
        return false;
    // Position of e counted from the focus's successor as 1: the current list keeps focus .. e.
    uint32_t position = 1;
    for (int32_t walk = E(focus).next; walk != element; walk = E(walk).next) {
        if (++position >= L(0).count || !Walk())
            return false;
    }
    const uint32_t oldCount = L(0).count;
    const auto [focusCopy, elementCopy] = SpliceAcross(focus, pred, element, k);
    L(0).count = position + 1;
    L(0).current = focus;
    const int32_t listId = static_cast<int32_t>(m_lists.size());
    m_lists.push_back({focusCopy, oldCount - position + 1});
    m_stack.insert(m_stack.begin() + 1, listId);
    if (!Relabel(focusCopy, pred, listId))
        return false;
    for (const int32_t touched : {focus, element, focusCopy, elementCopy})
        Touch(touched);
    return Clean(1) && Clean(0);
}

bool ListStack::Merge(size_t listPos, int32_t element, int32_t k)
{
    const int32_t focus = Focus();
    const int32_t pred = E(focus).prev;
    if (listPos == 0 || listPos >= m_stack.size() || E(focus).freeCount < 1 || k < 0 || k >= E(element).freeCount)
        return false;
    if (!Link(E(focus).vertex, E(focus).first, E(element).vertex) ||
        !Link(E(element).vertex, E(element).first + k, E(focus).vertex))
        return false;
    const auto [focusCopy, elementCopy] = SpliceAcross(focus, pred, element, k);
    L(0).count += L(listPos).count + 2;
    if (!Relabel(focusCopy, element, m_stack[0]))
        return false;
    L(listPos) = {};
    m_stack.erase(m_stack.begin() + static_cast<ptrdiff_t>(listPos));
    for (const int32_t touched : {focus, element, focusCopy, elementCopy})
        Touch(touched);
    return Clean(0);
}

void ListStack::PopList(size_t listPos)
{
    ActiveList& list = L(listPos);
    int32_t element = list.current;
    for (uint32_t i = 0; i < list.count; ++i) {
        const int32_t next = E(element).next;
        if (E(element).alive)
            ReleaseElement(element);
        element = next;
    }
    list = {};
    m_stack.erase(m_stack.begin() + static_cast<ptrdiff_t>(listPos));
}

// A full element leaves the list: its predecessor gives up its last free entry and its successor its first, the
// two being recorded as neighbours. Its next link stays, so the focus can walk past it afterwards.
bool ListStack::RemoveFull(ActiveList& list, int32_t element, std::vector<int32_t>& work)
{
    const int32_t pred = E(element).prev;
    const int32_t succ = E(element).next;
    if (E(pred).freeCount < 1 || E(succ).freeCount < 1)
        return false;
    if (!Link(E(pred).vertex, E(pred).last, E(succ).vertex) || !Link(E(succ).vertex, E(succ).first, E(pred).vertex))
        return false;
    --E(pred).last;
    --E(pred).freeCount;
    ++E(succ).first;
    --E(succ).freeCount;
    E(pred).next = succ;
    E(succ).prev = pred;
    E(element).alive = false;
    --list.count;
    for (const int32_t neighbour : {pred, succ})
        if (E(neighbour).freeCount == 0)
            work.push_back(neighbour);
    return true;
}

// Cleaning passes round the list, each examining every element once from the focus and removing the full ones,
// until a pass removes nothing; a list of three with a full element closes. Elements only become full where an
// operation touched them, and removals give the same rings in any order, so only those elements are visited. The
// focus ends where the passes end: at the first surviving element from where it stood.
bool ListStack::Clean(size_t listPos)
{
    const int32_t listId = m_stack[listPos];
    ActiveList& list = L(listPos);
    std::vector<int32_t> work;
    size_t kept = 0;
    for (const int32_t element : m_pending) {
        if (!E(element).alive || E(element).freeCount != 0)
            continue;
        if (E(element).list == listId)
            work.push_back(element);
        else
            m_pending[kept++] = element;
    }
    m_pending.resize(kept);
    std::vector<int32_t> removed;
    while (!work.empty()) {
        const int32_t element = work.back();
        work.pop_back();
        if (!E(element).alive || E(element).freeCount != 0)
            continue;
        if (list.count == 3) {
            for (const int32_t gone : removed)
                ReleaseElement(gone);
            list.current = E(element).next;
            PopList(listPos);
            return true;
        }
        if (list.count < 3 || !RemoveFull(list, element, work))
            return false;
        removed.push_back(element);
    }
    int32_t focus = list.current;
    while (!E(focus).alive)
        focus = E(focus).next;
    list.current = focus;
    for (const int32_t gone : removed)
        ReleaseElement(gone);
    return true;
}

bool ListStack::FindGate(int32_t w, GateHit& out)
{
    const int32_t focusVertex = E(Focus()).vertex;
    for (size_t pos = 0; pos < m_stack.size(); ++pos) {
        const ActiveList& list = m_lists[static_cast<size_t>(m_stack[pos])];
        uint32_t offset = 0;
        int32_t element = list.current;
        for (uint32_t i = 0; i < list.count; ++i, element = E(element).next) {
            if (!Walk())
                return false;
            const Element& e = E(element);
            if (e.vertex == w) {
                for (int32_t k = 0; k < e.freeCount; ++k) {
                    if (m_graph.Neighbour(static_cast<uint32_t>(w), static_cast<uint32_t>(e.first + k)) ==
                        focusVertex) {
                        out = {pos, element, k, offset + static_cast<uint32_t>(k)};
                        return true;
                    }
                }
            }
            offset += static_cast<uint32_t>(e.freeCount);
        }
    }
    return false;
}

uint32_t ListStack::SplitOffset(int32_t element, int32_t k)
{
    uint32_t offset = 0;
    for (int32_t walk = E(E(Focus()).next).next; walk != element && Walk(); walk = E(walk).next)
        offset += static_cast<uint32_t>(E(walk).freeCount);
    return offset + static_cast<uint32_t>(k);
}

bool ListStack::LocateByOffset(int32_t start, uint32_t limit, uint32_t offset, int32_t& outElement, int32_t& outK)
{
    int32_t element = start;
    for (uint32_t i = 0; i < limit && Walk(); ++i, element = E(element).next) {
        const uint32_t freeCount = static_cast<uint32_t>(std::max(E(element).freeCount, 0));
        if (offset < freeCount) {
            outElement = element;
            outK = static_cast<int32_t>(offset);
            return true;
        }
        offset -= freeCount;
    }
    return false;
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
    const Element& focus = m_lists.FocusElement();
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
};

int32_t CommandRun::MakeVertexRecord(const TopologyCommand& command)
{
    const bool dummy = command.kind == CommandKind::kAddDummy;
    if ((command.kind != CommandKind::kAdd && !dummy) || m_front > m_back || command.valence < 2)
        return -1;
    const int32_t index = static_cast<int32_t>(dummy ? m_back-- : m_front++);
    VertexNode& node = m_graph.nodes[static_cast<size_t>(index)];
    node.valence = command.valence;
    node.ringStart = static_cast<uint32_t>(m_graph.neighbours.size());
    node.kind = dummy ? NodeKind::kDummy : NodeKind::kInterior;
    node.position = dummy ? -1 : index;
    node.order = dummy ? -1 : index;
    m_graph.neighbours.resize(m_graph.neighbours.size() + command.valence, kNoNode);
    m_graph.corners.resize(m_graph.corners.size() + command.valence, -1);
    m_graph.flags.resize(m_graph.flags.size() + command.valence, 0);
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
    const int result = CommandRun(outGraph, vertexCount).Run(commands);
    if (result != PX_OK)
        return result;
    // Every ring entry must be set; a node with a dummy neighbour is a boundary node.
    for (uint32_t v = 0; v < vertexCount; ++v) {
        VertexNode& node = outGraph.nodes[v];
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t neighbour = outGraph.Neighbour(v, k);
            if (neighbour < 0 || static_cast<uint32_t>(neighbour) >= vertexCount ||
                neighbour == static_cast<int32_t>(v))
                return PX_ERR;
            if (node.kind != NodeKind::kDummy && outGraph.IsDummy(neighbour))
                node.kind = NodeKind::kBoundary;
        }
        node.mark = 1;
    }
    return PX_OK;
}

} // namespace px
