#pragma once
// SWnodeindex: the nodes of one world's tree by id and by name. The tree keeps it true itself: a node that joins
// the indexed tree (with its subtree), leaves it, is deleted, renamed or given an id tells the index, whoever moved
// it; so FindById and FindByName on the world's nodes need no walk, and answer as the walk would: the first node
// in pre-order within the asked subtree. The index has its own lock, so a lookup never sees a half-made bucket;
// what it answers is as valid as the tree, which the world's lock guards.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/pointer_table.h"

class SWnode;

class SWnodeindex {
public:
    SWnodeindex() = default;
    ~SWnodeindex(); // every node still indexed forgets the index
    SWnodeindex(const SWnodeindex&) = delete;
    SWnodeindex& operator=(const SWnodeindex&) = delete;

    void IndexTree(SWnode& root); // root and its tree join; what joins root's tree later joins by itself
    SWnode* FindById(uint32_t id, const SWnode& within) const; // within: an indexed node
    SWnode* FindByName(std::string_view name, const SWnode& within) const;
    // found[i] = FindByName(names[i], within) for every name (found is as long as names), the searches made side by
    // side: the memory each one waits for is asked for before the first is answered.
    void FindByNames(std::span<const std::string_view> names, const SWnode& within, std::span<SWnode*> found) const;
    size_t Count() const; // nodes indexed

    // -- What SWnode tells it
    void AddSubtree(SWnode& top);                                          // top and its tree joined
    void RemoveSubtree(SWnode& top);                                       // top and its tree leave
    void Renamed(SWnode& node, const std::optional<std::string>& oldName); // node has its new name already
    void Reidentified(SWnode& node, uint32_t oldId);                       // node has its new id already

private:
    static uint64_t NameHash(std::string_view name) { return std::hash<std::string_view>{}(name); }
    SWnode* FirstNamed(std::string_view name, uint64_t hash, const SWnode& within) const; // m_lock held
    void Insert(SWnode& node);
    void Erase(SWnode& node);

    mutable std::mutex m_lock;
    SWpointertable<SWnode> m_byId;   // under the id itself
    SWpointertable<SWnode> m_byName; // under NameHash of the name; a node without a name is not here
};
