#pragma once
// ScenegraphControlReceptor: the scene-graph panel's tree as a drop target. A node dropped on another node's item is
// re-parented below it; dropped on a group's item it becomes a member of the group. The panel owns the tree and
// supplies the two things only it knows: the node behind an item, and how a member's item goes under a group's.
#include <cstdint>
#include <functional>

#include "designer/editing/client_area_receptor.h"

class SWnode;

class ScenegraphControlReceptor : public ClientAreaReceptor {
public:
    static constexpr uint16_t kAcceptMask = 32;
    static constexpr uint8_t kPriority = 4;
    static constexpr int32_t kSideScrollMargin = 10; // pixels from the left and right edges

    using NodeOfItem = std::function<SWnode*(uintptr_t item)>;                 // the node, else the hot spot, or null
    using InsertUnderGroup = std::function<void(SWnode* group, SWnode* node)>; // the member's item under the group's

    ScenegraphControlReceptor(NodeOfItem nodeOfItem, InsertUnderGroup insertUnderGroup);

    void OnHover(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnLeave(pf::Window* window, Droppable* droppable) override;
    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;

    pf::Rect itemRect; // client
    bool highlightShown = false;
    uintptr_t hoveredItem = 0;
    bool highlightWanted = false;

private:
    void DrawItemBand(pf::Window* window); // exclusive-or, so a second call erases
    void AutoScroll(pf::Window* window, pf::Point client);

    NodeOfItem m_nodeOfItem;
    InsertUnderGroup m_insertUnderGroup;
};
