#pragma once
// The list stack of one active-list traversal. Each list is a cycle of elements, one per visit of a vertex on the
// conquered region's boundary, holding the vertex's ring entries that are still free. The current list is always
// the stack's first entry: a split puts its new list right after it, a merge removes a later list, and popping the
// current list makes the next one current. In decoding mode ring entries are written; in encoding mode they are
// checked against the graph instead. Every walk along a list draws on one budget, so that a damaged stream cannot
// ask for quadratic work.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace px {

class MeshGraph;

struct ListElement {
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

struct GateHit {
    size_t list = 0; // position on the stack, 0 being the current list
    int32_t element = -1;
    int32_t k = 0; // position of the focus vertex among the element's free entries
    uint32_t offset = 0;
};

class ListStack {
public:
    // The graph outlives the stack; walkBudget bounds the list steps of all operations together.
    ListStack(MeshGraph& graph, bool decoding, uint64_t walkBudget)
        : m_graph(graph), m_decoding(decoding), m_walkBudget(walkBudget)
    {
    }

    bool Empty() const { return m_stack.empty(); }
    size_t ListCount() const { return m_stack.size(); }
    const ListElement& FocusElement() const { return m_elements[static_cast<size_t>(Focus())]; }
    int32_t Focus() const { return m_lists[static_cast<size_t>(m_stack[0])].current; }
    int32_t After(int32_t element) const { return m_elements[static_cast<size_t>(element)].next; }
    int32_t ListCurrent(size_t listPos) const { return m_lists[static_cast<size_t>(m_stack[listPos])].current; }
    uint32_t ListSize(size_t listPos) const { return m_lists[static_cast<size_t>(m_stack[listPos])].count; }
    std::vector<int32_t> ListVertices(size_t listPos) const; // the list's vertices from its current element on

    // Each returns false when the step does not fit the lists or the graph (a damaged stream, or a mesh the
    // traversal cannot walk), or when the walk budget runs out; the stack is not usable afterwards.
    bool StartTriangle(const int32_t (&vertices)[3]); // a new current list of three; slot 0 faces the predecessor
    bool AddVertex(int32_t vertex);                   // between the focus's predecessor and the focus
    bool Split(int32_t element, int32_t k);           // the focus to element's k-th free entry, on the current list
    bool Merge(size_t listPos, int32_t element, int32_t k); // the same to a later list, which joins the current one

    // Encoder: where the gate vertex w stands on the stack, found from each list's current element.
    bool FindGate(int32_t w, GateHit& out);
    uint32_t SplitOffset(int32_t element, int32_t k);
    // Decoder: skips whole elements from start while the offset covers their free counts; at most limit elements.
    bool LocateByOffset(int32_t start, uint32_t limit, uint32_t offset, int32_t& outElement, int32_t& outK);

private:
    int32_t NewElement(int32_t vertex, int32_t first, int32_t last, int32_t freeCount);
    int32_t CopyElement(const ListElement& source, int32_t first, int32_t last, int32_t freeCount);
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
    ListElement& E(int32_t element) { return m_elements[static_cast<size_t>(element)]; }
    const ListElement& E(int32_t element) const { return m_elements[static_cast<size_t>(element)]; }
    ActiveList& L(size_t listPos) { return m_lists[static_cast<size_t>(m_stack[listPos])]; }

    MeshGraph& m_graph; // not owned: the traversal's graph outlives the stack
    bool m_decoding;
    uint64_t m_walkBudget; // list steps that splits, merges and searches may still take
    std::vector<ListElement> m_elements;
    std::vector<int32_t> m_freeElements;
    std::vector<ActiveList> m_lists;
    std::vector<int32_t> m_stack;
    std::vector<int32_t> m_pending; // elements that became full since their list was last cleaned
    // Cleaning's scratch lists, kept between calls: cleaning runs once per step, and never inside itself.
    std::vector<int32_t> m_work;
    std::vector<int32_t> m_removed;
};

} // namespace px
