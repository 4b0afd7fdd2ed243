#pragma once
// SWlist: the intrusive doubly linked list of the whole program. It owns its elements: Delete, DeleteAll and the
// destructor delete them through their virtual destructors; Remove hands one back to the caller.
#include "engine/core/list_node.h"

#include <cstddef>

class SWlist {
public:
    SWlist() = default;
    SWlist(SWlist&& other) noexcept;            // takes every element; other is left empty
    SWlist& operator=(SWlist&& other) noexcept; // deletes this list's elements, then takes other's
    SWlist(const SWlist&) = delete;
    SWlist& operator=(const SWlist&) = delete;
    ~SWlist(); // deletes every element

    SWlistnode* Head() const { return m_head; }
    SWlistnode* Tail() const { return m_tail; }
    size_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }

    void AddTail(SWlistnode* node);                         // the list owns node from now on; null is ignored
    void AddHead(SWlistnode* node);                         // the same, at the head
    void AddChain(SWlist& chain);                           // moves chain's elements to the tail, in order;
                                                            // chain is left empty
    void InsertBefore(SWlistnode* where, SWlistnode* node); // where in this list; null where: at the tail
    void InsertAfter(SWlistnode* where, SWlistnode* node);  // where in this list; null where: at the head
    bool Remove(SWlistnode* node);                          // unlinked, not deleted: the caller owns it again;
                                                            // false when node is not in this list
    bool Delete(SWlistnode* node);                          // unlinks and deletes; false (nothing deleted) when
                                                            // node is not in this list
    void DeleteAll();                                       // deletes every element, head first
    bool Contains(const SWlistnode* node) const { return node != nullptr && node->m_list == this; }

private:
    bool CanInsert(const SWlistnode* where, const SWlistnode* node) const; // a free node; where null or in this list
    void Link(SWlistnode* node, SWlistnode* before, SWlistnode* after);

    SWlistnode* m_head = nullptr;
    SWlistnode* m_tail = nullptr;
    size_t m_count = 0;
};
