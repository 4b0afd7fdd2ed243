#include "engine/core/node.h"

#include <atomic>
#include <unordered_set>
#include <utility>

#include "engine/core/node_index.h"
#include "engine/core/unique_id.h"
#include "engine/core/world.h"
#include "platform/base/large_pages.h"

SWnode::SWnode(uint16_t kindFlags) : m_kind(kindFlags), m_id(NextUniqueId())
{
    SetClass(kClassNode, true);
}

SWnode::~SWnode()
{
    if (m_index != nullptr)
        m_index->RemoveSubtree(*this);
    SetClass(kClassObjectNode, false); // what was an object node is only a node now
    // Children go first (the container would delete them later, after this node's variables are gone, and a
    // child's removals ask its ancestors for the world).
    while (CVTN_Container* child = GetFirstChild(0)) {
        child->Detach();
        delete child;
    }
    RemoveAllVariables();
}

void SWnode::SetId(uint32_t id)
{
    const uint32_t old = m_id;
    m_id = id;
    RaiseUniqueIdPast(id);
    if (m_index != nullptr && old != id)
        m_index->Reidentified(*this, old);
}

void SWnode::SetName(std::optional<std::string> name)
{
    if (m_index == nullptr) {
        m_name = std::move(name);
        return;
    }
    std::optional<std::string> old = std::exchange(m_name, std::move(name));
    if (old != m_name)
        m_index->Renamed(*this, old);
}

namespace {

#if defined(__has_feature)
#define VORTAN_SANITIZED (__has_feature(address_sanitizer) || __has_feature(thread_sanitizer))
#else
#define VORTAN_SANITIZED 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || VORTAN_SANITIZED
constexpr bool kPooled = false; // the sanitizers watch the heap's blocks, not the pool's
#else
constexpr bool kPooled = true;
#endif
#undef VORTAN_SANITIZED

pf::LargePagePool& NodePool()
{
    static auto* pool = new pf::LargePagePool; // never destroyed: a node may outlive the statics
    return *pool;
}

} // namespace

void* SWnode::operator new(size_t bytes)
{
    return kPooled ? NodePool().allocate(bytes) : ::operator new(bytes);
}

void SWnode::operator delete(void* node, size_t bytes) noexcept
{
    if (kPooled)
        NodePool().release(node, bytes);
    else
        ::operator delete(node);
}

SWnode* SWnode::GetFirstChildNode() const
{
    for (CVTN_Container* c = GetFirstChild(0); c != nullptr; c = c->GetNextSibling())
        if (SWnode* node = FromContainer(c))
            return node;
    return nullptr;
}

SWnode* SWnode::GetNextSiblingNode() const
{
    for (CVTN_Container* c = GetNextSibling(); c != nullptr; c = c->GetNextSibling())
        if (SWnode* node = FromContainer(c))
            return node;
    return nullptr;
}

SWnode* SWnode::GetChild(size_t index) const
{
    size_t i = 0;
    for (SWnode* c = GetFirstChildNode(); c != nullptr; c = c->GetNextSiblingNode(), ++i)
        if (i == index)
            return c;
    return nullptr;
}

bool SWnode::AddChildNode(SWnode* child)
{
    return AddChild(child, 0);
}

SWnode* SWnode::NextInTree(const SWnode* subtreeRoot) const
{
    for (CVTN_Container* c = GetNextInTree(subtreeRoot); c != nullptr; c = c->GetNextInTree(subtreeRoot))
        if (SWnode* node = FromContainer(c))
            return node;
    return nullptr;
}

namespace {

std::atomic<uint64_t> g_treeSearches{0};

} // namespace

uint64_t SWnode::TreeSearchCount()
{
    return g_treeSearches.load(std::memory_order_relaxed);
}

SWnode* SWnode::FindByName(std::string_view name) const
{
    if (m_index != nullptr)
        return m_index->FindByName(name, *this);
    g_treeSearches.fetch_add(1, std::memory_order_relaxed);
    for (const SWnode* n = this; n != nullptr; n = n->NextInTree(this))
        if (n->m_name && *n->m_name == name)
            return const_cast<SWnode*>(n);
    return nullptr;
}

void SWnode::FindByNames(std::span<const std::string_view> names, std::span<SWnode*> found) const
{
    if (m_index != nullptr) {
        m_index->FindByNames(names, *this, found);
        return;
    }
    for (size_t i = 0; i < names.size(); ++i)
        found[i] = FindByName(names[i]);
}

SWnode* SWnode::FindById(uint32_t id) const
{
    if (m_index != nullptr)
        return m_index->FindById(id, *this);
    g_treeSearches.fetch_add(1, std::memory_order_relaxed);
    for (const SWnode* n = this; n != nullptr; n = n->NextInTree(this))
        if (n->m_id == id)
            return const_cast<SWnode*>(n);
    return nullptr;
}

SWnode* SWnode::GetRoot() const
{
    for (const SWnode* n = this; n != nullptr; n = n->GetParentNode())
        if (n->HasKind(kKindRoot))
            return const_cast<SWnode*>(n);
    return nullptr;
}

SWworld* SWnode::GetWorld() const
{
    const SWnode* root = GetRoot();
    return root != nullptr ? root->m_world : nullptr;
}

bool SWnode::IsInSubtreeOf(const SWnode& ancestor) const
{
    for (const SWnode* n = this; n != nullptr; n = n->GetParentNode())
        if (n == &ancestor)
            return true;
    return false;
}

void SWnode::VisitTree(Visitor visitor, void* a, void* b)
{
    for (SWnode* n = this; n != nullptr; n = n->NextInTree(this))
        n->Visit(visitor, a, b);
}

void SWnode::Visit(Visitor visitor, void* a, void* b)
{
    if (visitor != nullptr)
        visitor(*this, a, b);
}

SWgroupmember* SWnode::AddGroupMember(SWnode* node)
{
    if (node == nullptr)
        return nullptr;
    if (SWgroupmember* existing = FindGroupMember(node))
        return existing;
    auto* entry = new SWgroupmember(node);
    m_members.AddTail(entry);
    return entry;
}

void SWnode::AddGroupMembers(std::span<SWnode* const> nodes)
{
    std::unordered_set<const SWnode*> listed;
    for (SWlistnode* n = m_members.Head(); n != nullptr; n = n->Next())
        listed.insert(static_cast<SWgroupmember*>(n)->node);
    for (SWnode* node : nodes) {
        if (node != nullptr && listed.insert(node).second)
            m_members.AddTail(new SWgroupmember(node));
    }
}

SWgroupmember* SWnode::FindGroupMember(const SWnode* node) const
{
    for (SWlistnode* n = m_members.Head(); n != nullptr; n = n->Next())
        if (static_cast<SWgroupmember*>(n)->node == node)
            return static_cast<SWgroupmember*>(n);
    return nullptr;
}

bool SWnode::RemoveGroupMember(const SWnode* node)
{
    SWgroupmember* entry = FindGroupMember(node);
    return entry != nullptr && m_members.Delete(entry);
}

void SWnode::OnLinked()
{
    // Only list 0 is the tree the walks and so the index cover.
    const SWnode* parent = GetChildList() == 0 ? GetParentNode() : nullptr;
    if (parent != nullptr && parent->m_index != nullptr)
        parent->m_index->AddSubtree(*this);
}

void SWnode::OnUnlinking()
{
    if (m_index != nullptr)
        m_index->RemoveSubtree(*this);
}

void SWnode::OnVariableRemoved(SWproperty&)
{
    if (SWworld* world = GetWorld())
        world->RaiseStructureGeneration();
}
