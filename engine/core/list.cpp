#include "engine/core/list.h"

#include <cassert>

SWlistnode::~SWlistnode()
{
    if (m_list != nullptr)
        m_list->Remove(this);
}

SWlist::SWlist(SWlist&& other) noexcept
{
    AddChain(other);
}

SWlist& SWlist::operator=(SWlist&& other) noexcept
{
    if (this != &other) {
        DeleteAll();
        AddChain(other);
    }
    return *this;
}

SWlist::~SWlist()
{
    DeleteAll();
}

void SWlist::Link(SWlistnode* node, SWlistnode* before, SWlistnode* after)
{
    node->m_prev = before;
    node->m_next = after;
    node->m_list = this;
    (before != nullptr ? before->m_next : m_head) = node;
    (after != nullptr ? after->m_prev : m_tail) = node;
    ++m_count;
}

void SWlist::AddTail(SWlistnode* node)
{
    InsertAfter(m_tail, node);
}

void SWlist::AddHead(SWlistnode* node)
{
    InsertBefore(m_head, node);
}

bool SWlist::CanInsert(const SWlistnode* where, const SWlistnode* node) const
{
    if (node == nullptr)
        return false;
    assert(!node->IsLinked() && "a node is in one list at a time");
    assert((where == nullptr || Contains(where)) && "the place to insert is in this list");
    return !node->IsLinked() && (where == nullptr || Contains(where));
}

void SWlist::InsertBefore(SWlistnode* where, SWlistnode* node)
{
    if (!CanInsert(where, node))
        return;
    if (where == nullptr)
        Link(node, m_tail, nullptr);
    else
        Link(node, where->m_prev, where);
}

void SWlist::InsertAfter(SWlistnode* where, SWlistnode* node)
{
    if (!CanInsert(where, node))
        return;
    if (where == nullptr)
        Link(node, nullptr, m_head);
    else
        Link(node, where, where->m_next);
}

void SWlist::AddChain(SWlist& chain)
{
    while (chain.m_head != nullptr) {
        SWlistnode* const node = chain.m_head;
        chain.Remove(node);
        AddTail(node);
    }
}

bool SWlist::Remove(SWlistnode* node)
{
    if (!Contains(node))
        return false;
    (node->m_prev != nullptr ? node->m_prev->m_next : m_head) = node->m_next;
    (node->m_next != nullptr ? node->m_next->m_prev : m_tail) = node->m_prev;
    node->m_next = nullptr;
    node->m_prev = nullptr;
    node->m_list = nullptr;
    --m_count;
    return true;
}

bool SWlist::Delete(SWlistnode* node)
{
    if (!Remove(node))
        return false;
    delete node;
    return true;
}

void SWlist::DeleteAll()
{
    // An element's destructor may delete further elements of this list, so take the head afresh each time.
    while (m_head != nullptr)
        Delete(m_head);
}
