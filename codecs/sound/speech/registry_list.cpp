#include "codecs/sound/speech/registry_list.h"

#include <new>

namespace sound {

std::unique_ptr<RegistryList> ListCreate()
{
    return std::unique_ptr<RegistryList>(new (std::nothrow) RegistryList);
}

void ListFree(std::unique_ptr<RegistryList>& list)
{
    list.reset();
}

RegistryNode* ListInsert(RegistryList& list, RegistryNode* node, void* data, int direction)
{
    // The one place list nodes are made; ListRemove and ListFreeChain are where they go.
    auto* fresh = new (std::nothrow) RegistryNode;
    if (fresh == nullptr)
        return nullptr;
    fresh->data = data;
    if (node == nullptr) {
        list.first = fresh;
        list.last = fresh;
        return fresh;
    }
    if (direction == kListForward) {
        fresh->previous = node;
        fresh->next = node->next;
        if (node->next != nullptr)
            node->next->previous = fresh;
        else
            list.last = fresh;
        node->next = fresh;
    } else {
        fresh->next = node;
        fresh->previous = node->previous;
        if (node->previous != nullptr)
            node->previous->next = fresh;
        else
            list.first = fresh;
        node->previous = fresh;
    }
    return fresh;
}

RegistryNode* ListAppend(RegistryList& list, void* data, int direction)
{
    if (list.first == nullptr)
        return ListInsert(list, nullptr, data, direction);
    return ListInsert(list, direction == kListForward ? list.last : list.first, data, direction);
}

void ListRemove(RegistryList& list, RegistryNode* node)
{
    if (node == nullptr)
        return;
    if (node->previous != nullptr)
        node->previous->next = node->next;
    else
        list.first = node->next;
    if (node->next != nullptr)
        node->next->previous = node->previous;
    else
        list.last = node->previous;
    delete node;
}

void ListFreeChain(RegistryNode* node)
{
    while (node != nullptr) {
        RegistryNode* const next = node->next;
        node->data = nullptr;
        delete node;
        node = next;
    }
}

RegistryNode* ListFind(const RegistryList& list, const void* data, int direction)
{
    for (RegistryNode* node = direction == kListForward ? list.first : list.last; node != nullptr;
         node = ListStep(node, direction)) {
        if (node->data == data)
            return node;
    }
    return nullptr;
}

RegistryNode* ListStep(const RegistryNode* node, int direction)
{
    if (node == nullptr)
        return nullptr;
    return direction == kListForward ? node->next : node->previous;
}

} // namespace sound
