#pragma once
// SWnode: a node of the world's scene tree. The tree is the container tree (child list 0); a node owns its
// children. Every node carries variables (it is an SWproperties2) and one word of kind flags:
//
//   1 object node (carries a transform and a geometry object; may be a motion target), 2 hot spot, 4 group,
//   16 root, 32 mesh node (carries vertex frames), 64 camera. The aim motion's track-target flip reads bit 6 of
//   this same word.
//
// A node's id comes from the process-wide counter when it is made and persists: stored layouts key nodes by id.
// Names compare byte for byte; a node without a name never matches.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/behaviour/properties.h"
#include "engine/core/container.h"
#include "engine/core/list.h"

class SWgeometry;
class SWnodeindex;
class SWworld;

class SWnode;

// A member of a group node: the node it names, which the world keeps valid (a deleted node leaves every group).
class SWgroupmember : public SWlistnode {
public:
    explicit SWgroupmember(SWnode* node) : node(node) {}
    SWnode* node;
};

class SWnode : public CVTN_Container, public SWproperties2 {
public:
    static constexpr uint16_t kKindObject = 1;
    static constexpr uint16_t kKindHotspot = 2;
    static constexpr uint16_t kKindGroup = 4;
    static constexpr uint16_t kKindRoot = 16;
    static constexpr uint16_t kKindMesh = 32;
    static constexpr uint16_t kKindCamera = 64;

    using Visitor = void (*)(SWnode& node, void* a, void* b);

    explicit SWnode(uint16_t kindFlags);
    ~SWnode() override;
    // Nodes live together in large pages, as a large world's tree is walked whole at every frame and refill.
    static void* operator new(size_t bytes);
    static void operator delete(void* node, size_t bytes) noexcept;
    // The node a container is, or null: what dynamic_cast<SWnode*> answers, without its cost.
    static SWnode* FromContainer(CVTN_Container* c)
    {
        return c != nullptr && c->IsOfClass(kClassNode) ? static_cast<SWnode*>(c) : nullptr;
    }
    static const SWnode* FromContainer(const CVTN_Container* c)
    {
        return c != nullptr && c->IsOfClass(kClassNode) ? static_cast<const SWnode*>(c) : nullptr;
    }

    // -- Identity
    uint16_t GetKindFlags() const { return m_kind; }
    void SetKindFlags(uint16_t flags) { m_kind = flags; }
    bool HasKind(uint16_t kind) const { return (m_kind & kind) != 0; }
    bool IsTransformNode() const { return HasKind(kKindObject); }
    uint32_t GetId() const { return m_id; }
    void SetId(uint32_t id); // as read from a file: raises the id counter past it
    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name); // the world's index follows
    bool IsEnabled() const { return m_enabled != 0; }
    void SetEnabled(bool enabled) { m_enabled = enabled ? 1 : 0; }
    SWgeometry* GetGeometry() const { return m_geometry; }
    void SetGeometry(SWgeometry* geometry) { m_geometry = geometry; } // the root object's; not owned

    // -- Tree
    SWnode* GetParentNode() const { return FromContainer(GetParent()); }
    SWnode* GetFirstChildNode() const;
    SWnode* GetNextSiblingNode() const;
    size_t GetChildCount() const { return CountChildren(0); }
    SWnode* GetChild(size_t index) const; // null when index is not below the child count
    bool AddChildNode(SWnode* child);     // this owns child from now on; false as CVTN_Container::AddChild
    SWnode* NextInTree(const SWnode* subtreeRoot) const; // pre-order within subtreeRoot's subtree
    // This or the first below, depth first; through the world's index for a node of a world's tree.
    SWnode* FindByName(std::string_view name) const;
    // found[i] = FindByName(names[i]) for each name, the index's searches made side by side (found as long as names).
    void FindByNames(std::span<const std::string_view> names, std::span<SWnode*> found) const;
    SWnode* FindById(uint32_t id) const;
    // How many FindByName and FindById searches walked a tree in this process (those of a node outside any world's
    // index): readers and merges resolve many references through indexes instead, and tests check that they do.
    static uint64_t TreeSearchCount();
    SWnode* GetRoot() const;   // the nearest ancestor (or this) that is a root node; null when none
    SWworld* GetWorld() const; // the world of the root; null outside a world
    void SetWorld(SWworld* world) { m_world = world; } // on the root only; the world outlives its tree
    bool IsInSubtreeOf(const SWnode& ancestor) const;  // ancestor itself counts

    virtual void VisitTree(Visitor visitor, void* a, void* b); // this node, then each descendant in pre-order
    virtual void Visit(Visitor visitor, void* a, void* b);     // this node only

    // -- Groups (kind 4)
    SWgroupmember* AddGroupMember(SWnode* node);          // appended unless listed already; answers the entry
    void AddGroupMembers(std::span<SWnode* const> nodes); // each as AddGroupMember, in time linear in them all
    SWgroupmember* FindGroupMember(const SWnode* node) const;
    bool RemoveGroupMember(const SWnode* node);
    const SWlist& GetGroupMembers() const { return m_members; }

protected:
    void OnVariableRemoved(SWproperty& variable) override;
    void OnLinked() override;
    void OnUnlinking() override;

private:
    friend class SWnodeindex;

    uint16_t m_kind;
    uint32_t m_id;
    std::optional<std::string> m_name;
    uint8_t m_enabled = 1;
    SWgeometry* m_geometry = nullptr; // owned by the root object's geometry list
    SWworld* m_world = nullptr;       // set on the root node
    SWlist m_members;                 // of SWgroupmember
    SWnodeindex* m_index = nullptr;   // the index that lists this node, while its tree has one
};
