#include "codecs/geometry/list_stack.h"

#include <algorithm>

#include "codecs/geometry/vertex_graph.h"

namespace px {

std::vector<int32_t> ListStack::ListVertices(size_t listPos) const
{
    const ActiveList& list = m_lists[static_cast<size_t>(m_stack[listPos])];
    std::vector<int32_t> vertices;
    int32_t element = list.current;
    for (uint32_t i = 0; i < list.count; ++i, element = E(element).next)
        vertices.push_back(E(element).vertex);
    return vertices;
}

int32_t ListStack::NewElement(int32_t vertex, int32_t first, int32_t last, int32_t freeCount)
{
    ListElement element{vertex, first, last, freeCount, -1, -1, -1, true};
    if (!m_freeElements.empty()) {
        const int32_t index = m_freeElements.back();
        m_freeElements.pop_back();
        E(index) = element;
        return index;
    }
    m_elements.push_back(element);
    return static_cast<int32_t>(m_elements.size() - 1);
}

int32_t ListStack::CopyElement(const ListElement& source, int32_t first, int32_t last, int32_t freeCount)
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
    ListElement& e = E(element);
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
    std::vector<int32_t>& work = m_work;
    std::vector<int32_t>& removed = m_removed;
    work.clear();
    removed.clear();
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
            const ListElement& e = E(element);
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

} // namespace px
