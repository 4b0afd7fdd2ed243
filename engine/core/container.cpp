#include "engine/core/container.h"

#include <algorithm>
#include <cassert>
#include <mutex>
#include <vector>

namespace {

struct Registration {
    CVTN_Container* listener; // null once removed during a notification
    uint32_t code;
    uint32_t senderTag;
};

// The process-wide listener table. While a notification runs, removed entries are only cleared, so the loop's
// indexes stay valid; the table is compacted once the outermost notification ends.
struct ListenerTable {
    std::recursive_mutex mutex; // the listener table's lock; guards the rest
    std::vector<Registration> entries;
    int notifying = 0; // depth of running notifications
    bool hasCleared = false;

    void Compact()
    {
        if (notifying != 0 || !hasCleared)
            return;
        std::erase_if(entries, [](const Registration& r) { return r.listener == nullptr; });
        hasCleared = false;
    }
};

ListenerTable& Listeners()
{
    static ListenerTable table;
    return table;
}

} // namespace

CVTN_Container::~CVTN_Container()
{
    m_classBits = 0; // no longer a node of any class, as a dynamic_cast would now answer
    if (m_mayListen)
        UnregisterAllListeners();
    Unlink();
    DeleteDescendants();
}

void CVTN_Container::DeleteDescendants()
{
    // Post-order without recursion: a damaged file can chain objects deeper than any stack.
    const auto firstChild = [](const CVTN_Container* node) {
        return node->m_firstChild[0] != nullptr ? node->m_firstChild[0] : node->m_firstChild[1];
    };
    CVTN_Container* node = firstChild(this);
    while (node != nullptr) {
        while (CVTN_Container* const child = firstChild(node))
            node = child;
        CVTN_Container* const parent = node->m_parent;
        node->Unlink();
        delete node;
        node = parent == this ? firstChild(this) : parent;
    }
}

// -- Type tags

void CVTN_Container::AddTypeTag(uint32_t tag)
{
    assert(m_tagCount < kMaxTypeTags && "a class hierarchy of tagged objects is at most kMaxTypeTags deep");
    if (m_tagCount < kMaxTypeTags)
        m_tags[m_tagCount++] = tag;
}

uint32_t CVTN_Container::GetTag() const
{
    return m_tagCount == 0 ? 0 : m_tags[m_tagCount - 1];
}

bool CVTN_Container::IsKindOf(uint32_t tag) const
{
    return std::find(m_tags, m_tags + m_tagCount, tag) != m_tags + m_tagCount;
}

// -- Tree

CVTN_Container* CVTN_Container::GetFirstChild(int list) const
{
    return list >= 0 && list < kChildLists ? m_firstChild[list] : nullptr;
}

CVTN_Container* CVTN_Container::GetLastChild(int list) const
{
    return list >= 0 && list < kChildLists ? m_lastChild[list] : nullptr;
}

size_t CVTN_Container::CountChildren(int list) const
{
    size_t count = 0;
    for (const CVTN_Container* child = GetFirstChild(list); child != nullptr; child = child->m_nextSibling)
        ++count;
    return count;
}

bool CVTN_Container::AddChild(CVTN_Container* child, int list)
{
    if (child == nullptr || child->m_parent != nullptr || list < 0 || list >= kChildLists)
        return false;
    if (child == this)
        return false;
    // Only a container with children can be an ancestor of this one; a reader adding fresh objects to a deep
    // chain must not pay for the walk each time.
    const bool hasChildren = child->m_firstChild[0] != nullptr || child->m_firstChild[1] != nullptr;
    for (const CVTN_Container* ancestor = m_parent; hasChildren && ancestor != nullptr; ancestor = ancestor->m_parent)
        if (ancestor == child)
            return false; // a cycle would own itself
    child->m_parent = this;
    child->m_childList = list;
    child->m_prevSibling = m_lastChild[list];
    child->m_nextSibling = nullptr;
    (m_lastChild[list] != nullptr ? m_lastChild[list]->m_nextSibling : m_firstChild[list]) = child;
    m_lastChild[list] = child;
    child->OnLinked();
    child->NotifyListeners(kNotifyChildAdded);
    return true;
}

void CVTN_Container::Unlink()
{
    if (m_parent == nullptr)
        return;
    OnUnlinking();
    const int list = m_childList;
    (m_prevSibling != nullptr ? m_prevSibling->m_nextSibling : m_parent->m_firstChild[list]) = m_nextSibling;
    (m_nextSibling != nullptr ? m_nextSibling->m_prevSibling : m_parent->m_lastChild[list]) = m_prevSibling;
    m_parent = nullptr;
    m_nextSibling = nullptr;
    m_prevSibling = nullptr;
    m_childList = 0;
}

bool CVTN_Container::Detach()
{
    if (m_parent == nullptr)
        return false;
    NotifyListeners(kNotifyDetaching);
    Unlink(); // a listener may have detached it already
    return true;
}

CVTN_Container* CVTN_Container::GetNextInTree(const CVTN_Container* subtreeRoot) const
{
    if (m_firstChild[0] != nullptr)
        return m_firstChild[0];
    for (const CVTN_Container* node = this; node != nullptr && node != subtreeRoot; node = node->m_parent) {
        if (node->m_childList != 0)
            return nullptr; // outside the walked tree: nothing follows
        if (node->m_nextSibling != nullptr)
            return node->m_nextSibling;
    }
    return nullptr;
}

// -- Persistence

bool CVTN_Container::Read(SWchunkstream&)
{
    return true;
}

bool CVTN_Container::Write(SWchunkstream&)
{
    return true;
}

bool CVTN_Container::AcceptsChild(const CVTN_Container&) const
{
    return false;
}

// -- Notifications

void CVTN_Container::Notify(uint32_t code, CVTN_Container*)
{
    if (code == kNotifyContentsChanged)
        NotifyListeners(kNotifyChanged);
}

bool CVTN_Container::RegisterListener(uint32_t code, uint32_t senderTag)
{
    ListenerTable& table = Listeners();
    const std::lock_guard<std::recursive_mutex> lock(table.mutex);
    for (const Registration& r : table.entries)
        if (r.listener == this && r.code == code && r.senderTag == senderTag)
            return false;
    table.entries.push_back({this, code, senderTag});
    m_mayListen = true;
    return true;
}

bool CVTN_Container::UnregisterListener(uint32_t code, uint32_t senderTag)
{
    ListenerTable& table = Listeners();
    const std::lock_guard<std::recursive_mutex> lock(table.mutex);
    for (Registration& r : table.entries) {
        if (r.listener == this && r.code == code && r.senderTag == senderTag) {
            r.listener = nullptr;
            table.hasCleared = true;
            table.Compact();
            return true;
        }
    }
    return false;
}

void CVTN_Container::UnregisterAllListeners()
{
    ListenerTable& table = Listeners();
    const std::lock_guard<std::recursive_mutex> lock(table.mutex);
    for (Registration& r : table.entries) {
        if (r.listener == this) {
            r.listener = nullptr;
            table.hasCleared = true;
        }
    }
    table.Compact();
    m_mayListen = false;
}

void CVTN_Container::NotifyListeners(uint32_t code)
{
    // The sender's tags are copied first: a listener may delete the sender.
    uint32_t senderTags[kMaxTypeTags];
    const int tagCount = m_tagCount;
    std::copy(m_tags, m_tags + tagCount, senderTags);
    const auto senderIs = [&](uint32_t tag) {
        return tag == 0 || std::find(senderTags, senderTags + tagCount, tag) != senderTags + tagCount;
    };

    ListenerTable& table = Listeners();
    const std::lock_guard<std::recursive_mutex> lock(table.mutex);
    ++table.notifying;
    std::vector<CVTN_Container*> heard;
    const size_t count = table.entries.size(); // listeners registered meanwhile wait for the next
    for (size_t i = 0; i < count; ++i) {
        const Registration entry = table.entries[i];
        if (entry.listener == nullptr || entry.listener == this || entry.code != code || !senderIs(entry.senderTag))
            continue;
        if (std::find(heard.begin(), heard.end(), entry.listener) != heard.end())
            continue;
        heard.push_back(entry.listener);
        entry.listener->Notify(code, this);
    }
    --table.notifying;
    table.Compact();
}
