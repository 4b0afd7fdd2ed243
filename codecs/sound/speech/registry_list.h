#pragma once
// The doubly linked list the speech codecs' registries are built on. A node carries one pointer-sized data word;
// the handle that registry operations hand out is the node, the record is reached through its data word.
// Nodes belong to their list: they are made by ListInsert or ListAppend and freed by ListRemove or ListFreeChain,
// never by the caller; what a data word points to is the caller's.
#include <cstdint>
#include <memory>

namespace sound {

struct RegistryNode {
    void* data = nullptr; // the record it carries; pointer-sized, since records live anywhere in a 64-bit space
    RegistryNode* next = nullptr;
    RegistryNode* previous = nullptr;
};

struct RegistryList {
    RegistryNode* first = nullptr; // both null when empty
    RegistryNode* last = nullptr;
};

inline constexpr int kListForward = 1; // direction 1: after / from the first node; anything else: before / backward

std::unique_ptr<RegistryList> ListCreate();         // an empty list, or null when memory runs out
void ListFree(std::unique_ptr<RegistryList>& list); // frees the header only: its nodes must have been removed

// A new node after `node` (direction 1) or before it; null when memory runs out.
RegistryNode* ListInsert(RegistryList& list, RegistryNode* node, void* data, int direction);
// Into an empty list the single node; else after the last node (direction 1) or before the first.
RegistryNode* ListAppend(RegistryList& list, void* data, int direction);
void ListRemove(RegistryList& list, RegistryNode* node); // unlinks and frees the node, not its data
void ListFreeChain(RegistryNode* node);                  // frees node and every node after it; data words zeroed
RegistryNode* ListFind(const RegistryList& list, const void* data, int direction); // null if none
RegistryNode* ListStep(const RegistryNode* node, int direction);                   // null at an end or for null

inline void* NodeData(const RegistryNode* node)
{
    return node != nullptr ? node->data : nullptr;
}
inline void SetNodeData(RegistryNode* node, void* data)
{
    if (node != nullptr)
        node->data = data;
}
inline RegistryNode* ListFirst(const RegistryList& list)
{
    return list.first;
}
inline RegistryNode* ListLast(const RegistryList& list)
{
    return list.last;
}

} // namespace sound
