#include "engine/core/node_index.h"

#include <algorithm>

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

template <typename Map, typename Key> void EraseFrom(Map& map, const Key& key, SWnode* node)
{
    const auto at = map.find(key);
    if (at == map.end())
        return;
    std::erase(at->second, node);
    if (at->second.empty())
        map.erase(at);
}

} // namespace

SWnodeindex::~SWnodeindex()
{
    for (auto& [id, bucket] : m_byId)
        for (SWnode* node : bucket)
            node->m_index = nullptr;
}

void SWnodeindex::IndexTree(SWnode& root)
{
    AddSubtree(root);
}

SWnode* SWnodeindex::FindById(uint32_t id, const SWnode& within) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto at = m_byId.find(id);
    return at != m_byId.end() ? FirstWithin(at->second, within) : nullptr;
}

SWnode* SWnodeindex::FindByName(std::string_view name, const SWnode& within) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto at = m_byName.find(name);
    return at != m_byName.end() ? FirstWithin(at->second, within) : nullptr;
}

size_t SWnodeindex::Count() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_count;
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
        EraseFrom(m_byName, *oldName, &node);
    if (node.GetName())
        m_byName[*node.GetName()].push_back(&node);
}

void SWnodeindex::Reidentified(SWnode& node, uint32_t oldId)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    EraseFrom(m_byId, oldId, &node);
    m_byId[node.GetId()].push_back(&node);
}

SWnode* SWnodeindex::FirstWithin(const Bucket& bucket, const SWnode& within)
{
    // The world's root holds every indexed node; any other node only those of its subtree.
    const bool everything = within.GetParent() == nullptr;
    SWnode* first = nullptr;
    for (SWnode* node : bucket)
        if ((everything || node->IsInSubtreeOf(within)) && (first == nullptr || Precedes(node, first)))
            first = node;
    return first;
}

void SWnodeindex::Insert(SWnode& node)
{
    node.m_index = this;
    m_byId[node.GetId()].push_back(&node);
    if (node.GetName())
        m_byName[*node.GetName()].push_back(&node);
    ++m_count;
}

void SWnodeindex::Erase(SWnode& node)
{
    EraseFrom(m_byId, node.GetId(), &node);
    if (node.GetName())
        EraseFrom(m_byName, *node.GetName(), &node);
    node.m_index = nullptr;
    --m_count;
}
