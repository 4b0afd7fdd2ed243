#pragma once
// Handles to objects of the world that editors may delete while something of the runtime still names them. A
// handle keeps the object's id and a cached pointer stamped with the world's structure generation, which every
// deletion raises; a stale stamp looks the id up again, and an id that names nothing any more reads as null.
// Variables are also stamped with the count of variable removals from any list, since the variable lists of
// sounds and Java entries remove variables without telling their world.
#include <cstdint>

class SWnode;
class SWproperty;
class SWworld;

class VariableRef {
public:
    VariableRef() = default;
    explicit VariableRef(uint32_t id) : m_id(id) {}
    VariableRef(const SWworld& world, SWproperty* variable); // cached at once; null: no variable

    uint32_t GetId() const { return m_id; } // 0: none
    bool IsSet() const { return m_id != 0; }
    SWproperty* Get(const SWworld* world) const; // null when unset, without a world, or gone
    void Reset() { *this = VariableRef(); }

private:
    uint32_t m_id = 0;
    mutable SWproperty* m_cache = nullptr;    // valid while both stamps hold
    mutable uint64_t m_stamp = UINT64_MAX;    // the world's structure generation
    mutable uint64_t m_removals = UINT64_MAX; // variable removals from any list (sounds' and Java entries' too)
};

class NodeRef {
public:
    NodeRef() = default;
    NodeRef(const SWworld& world, SWnode* node); // null, or a node without an id: no node

    uint32_t GetId() const { return m_id; }
    bool IsSet() const { return m_id != 0; }
    SWnode* Get(const SWworld* world) const; // null when unset, without a world, or gone from the tree
    void Reset() { *this = NodeRef(); }

private:
    uint32_t m_id = 0;
    mutable SWnode* m_cache = nullptr;
    mutable uint64_t m_stamp = UINT64_MAX;
};
