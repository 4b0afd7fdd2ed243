#include "engine/core/node_index.h"

#include <algorithm>
#include <array>

#include "engine/core/node.h"

namespace {

// Whether a comes before b in a pre-order walk of the tree both belong to: below the last ancestor they share, the
// branch that comes first among its children holds the earlier node.
bool Precedes(const SWnode* a, const SWnode* b)
{
    std::vector<const CVTN_Container*> pathA, pathB;
    for (const CVTN_Container* c = a; c != nullptr; c = c->GetParent())
        pathA.push_back(c);
    for (const CVTN_Container* c = b; c != nullptr; c = c->GetParent())
        pathB.push_back(c);
    auto ia = pathA.rbegin(), ib = pathB.rbegin();
    while (ia != pathA.rend() && ib != pathB.rend() && *ia == *ib) {
        ++ia;
        ++ib;
    }
    if (ia == pathA.rend())
        return ib != pathB.rend(); // a is b's ancestor
    if (ib == pathB.rend())
        return false;
    for (const CVTN_Container* c = *ia; c != nullptr; c = c->GetNextSibling())
        if (c == *ib)
            return true;
    return false;
}

// The first in pre-order of the nodes stored under hash that match and lie within: the world's root holds every
// indexed node, any other node only those of its subtree.
template <typename Matches>
SWnode* FirstWithin(const SWpointertable<SWnode>& table, uint64_t hash, const SWnode& within, Matches&& matches)
{
    const bool everything = within.GetParent() == nullptr;
    SWnode* first = nullptr;
    table.ForEach(hash, [&](SWnode* node) {
        if (matches(*node) && (everything || node->IsInSubtreeOf(within)) &&
            (first == nullptr || Precedes(node, first)))
            first = node;
    });
    return first;
}

} // namespace

SWnodeindex::~SWnodeindex()
{
    m_byId.ForAll([](SWnode* node) { node->m_index = nullptr; });
}

void SWnodeindex::IndexTree(SWnode& root)
{
    AddSubtree(root);
}

SWnode* SWnodeindex::FindById(uint32_t id, const SWnode& within) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return FirstWithin(m_byId, id, within, [id](const SWnode& node) { return node.GetId() == id; });
}

SWnode* SWnodeindex::FindByName(std::string_view name, const SWnode& within) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return FirstNamed(name, NameHash(name), within);
}

SWnode* SWnodeindex::FirstNamed(std::string_view name, uint64_t hash, const SWnode& within) const
{
    return FirstWithin(m_byName, hash, within,
                       [name](const SWnode& node) { return node.GetName() && *node.GetName() == name; });
}

void SWnodeindex::FindByNames(std::span<const std::string_view> names, const SWnode& within,
                              std::span<SWnode*> found) const
{
    // A large world's nodes and table lines are rarely in the cache: a search waits for a table line, then for the
    // node it names. In batches small enough to stay in the cache, every batch's table lines are asked for, then
    // the nodes they name, and only then is each search made.
    constexpr size_t kBatch = 32;
    std::array<uint64_t, kBatch> hashes{};
    const std::lock_guard<std::mutex> guard(m_lock);
    for (size_t first = 0; first < names.size(); first += kBatch) {
        const size_t count = std::min(kBatch, names.size() - first);
        for (size_t i = 0; i < count; ++i) {
            hashes[i] = NameHash(names[first + i]);
            m_byName.Prefetch(hashes[i]);
        }
        for (size_t i = 0; i < count; ++i)
            m_byName.ForEach(hashes[i], [](const SWnode* node) {
                const auto* name = reinterpret_cast<const char*>(&node->GetName());
                __builtin_prefetch(name);
                __builtin_prefetch(name + sizeof(std::optional<std::string>) - 1);
            });
        for (size_t i = 0; i < count; ++i)
            found[first + i] = FirstNamed(names[first + i], hashes[i], within);
    }
}

size_t SWnodeindex::Count() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_byId.Size();
}

void SWnodeindex::AddSubtree(SWnode& top)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    for (SWnode* n = &top; n != nullptr; n = n->NextInTree(&top))
        if (n->m_index == nullptr)
            Insert(*n);
}

void SWnodeindex::RemoveSubtree(SWnode& top)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    for (SWnode* n = &top; n != nullptr; n = n->NextInTree(&top))
        if (n->m_index == this)
            Erase(*n);
}

void SWnodeindex::Renamed(SWnode& node, const std::optional<std::string>& oldName)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (oldName)
        m_byName.Erase(NameHash(*oldName), &node);
    if (node.GetName())
        m_byName.Insert(NameHash(*node.GetName()), &node);
}

void SWnodeindex::Reidentified(SWnode& node, uint32_t oldId)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_byId.Erase(oldId, &node);
    m_byId.Insert(node.GetId(), &node);
}

void SWnodeindex::Insert(SWnode& node)
{
    node.m_index = this;
    m_byId.Insert(node.GetId(), &node);
    if (node.GetName())
        m_byName.Insert(NameHash(*node.GetName()), &node);
}

void SWnodeindex::Erase(SWnode& node)
{
    m_byId.Erase(node.GetId(), &node);
    if (node.GetName())
        m_byName.Erase(NameHash(*node.GetName()), &node);
    node.m_index = nullptr;
}
