#pragma once
// SWlistnode: an element of the intrusive list SWlist. Most engine classes derive from it; the list that holds an
// element owns it and deletes it through the virtual destructor.
#include <cstddef>

class SWlist;

class SWlistnode {
public:
    SWlistnode() = default;
    SWlistnode(const SWlistnode&) : SWlistnode() {}            // a copy is not in any list
    SWlistnode& operator=(const SWlistnode&) { return *this; } // keeps this element's own place
    virtual ~SWlistnode();                                     // a node deleted while listed unlinks itself first

    SWlistnode* Next() const { return m_next; } // null at the tail
    SWlistnode* Prev() const { return m_prev; } // null at the head
    SWlist* List() const { return m_list; }     // the list that owns this node; null when free
    bool IsLinked() const { return m_list != nullptr; }

private:
    friend class SWlist;

    SWlistnode* m_next = nullptr;
    SWlistnode* m_prev = nullptr;
    SWlist* m_list = nullptr;
};
