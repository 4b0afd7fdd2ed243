#include "designer/editing/scenegraph_receptor.h"

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/core/paint_dc.h"

namespace {

bool LiesBelow(const SWnode* target, const SWnode& node)
{
    for (const SWnode* up = target; up != nullptr; up = up->GetParentNode()) {
        if (up == &node)
            return true;
    }
    return false;
}

} // namespace

ScenegraphControlReceptor::ScenegraphControlReceptor(NodeOfItem nodeOfItem, InsertUnderGroup insertUnderGroup)
    : ClientAreaReceptor(kAcceptMask, kPriority), m_nodeOfItem(std::move(nodeOfItem)),
      m_insertUnderGroup(std::move(insertUnderGroup))
{
}

void ScenegraphControlReceptor::DrawItemBand(pf::Window* window)
{
    if (window == nullptr || !window->isWindow())
        return;
    pf::WindowDc dc(*window);
    dc.selectObject(pf::getStockObject(pf::WHITE_PEN));
    dc.setROP2(pf::R2_XORPEN);
    for (int32_t y = itemRect.t; y < itemRect.b; ++y) {
        dc.moveTo({itemRect.l, y});
        dc.lineTo({itemRect.r, y});
    }
}

void ScenegraphControlReceptor::AutoScroll(pf::Window* window, pf::Point client)
{
    auto* tree = dynamic_cast<pf::TreeView*>(window);
    if (tree == nullptr)
        return;
    int32_t h = tree->getItemHeight();
    pf::Rect first;
    if (tree->getItemRect(tree->getFirstVisibleItem(), first, false))
        h = first.b - first.t;
    const pf::Rect client_ = tree->clientRect();
    if (client.y < h)
        tree->send(pf::WM_VSCROLL, pf::SB_LINEUP, 0);
    else if (client.y >= client_.b - h)
        tree->send(pf::WM_VSCROLL, pf::SB_LINEDOWN, 0);
    if (client.x < kSideScrollMargin)
        tree->send(pf::WM_HSCROLL, pf::SB_LINELEFT, 0);
    else if (client.x > client_.r - kSideScrollMargin)
        tree->send(pf::WM_HSCROLL, pf::SB_LINERIGHT, 0);
}

void ScenegraphControlReceptor::OnHover(pf::Window* window, pf::Point at, Droppable*)
{
    auto* tree = dynamic_cast<pf::TreeView*>(window);
    if (tree == nullptr)
        return;
    pf::TVHITTESTINFO info;
    info.pt = tree->screenToClient(at);
    const pf::TreeItem item = tree->hitTest(info);
    if (highlightShown) {
        DrawItemBand(window);
        highlightShown = false;
    }
    if (item != 0 && (info.flags & pf::TVHT_ONITEMLABEL) != 0) {
        hoveredItem = item;
        highlightWanted = true;
    } else {
        hoveredItem = 0;
        highlightWanted = false;
    }
    AutoScroll(window, info.pt);
    if (highlightWanted && tree->getItemRect(hoveredItem, itemRect, true)) {
        DrawItemBand(window);
        highlightShown = true;
    }
}

void ScenegraphControlReceptor::OnLeave(pf::Window* window, Droppable*)
{
    if (highlightShown)
        DrawItemBand(window);
    highlightShown = false;
}

void ScenegraphControlReceptor::OnDrop(pf::Window* window, pf::Point, Droppable* droppable, bool)
{
    const EdContent* content = DroppedContent(droppable);
    SWnode* node = content != nullptr ? content->GetNode() : nullptr;
    SWnode* target = hoveredItem != 0 && m_nodeOfItem ? m_nodeOfItem(hoveredItem) : nullptr;
    if (node == nullptr || target == nullptr || target == node || target->HasKind(SWnode::kKindHotspot))
        return;
    if (node->HasKind(SWnode::kKindGroup | SWnode::kKindHotspot) || LiesBelow(target, *node))
        return;
    SWworld* world = node->GetWorld();
    CVTND_WorldWriteLock lock(world);
    if (!target->HasKind(SWnode::kKindGroup)) {
        auto* moved = dynamic_cast<SWobjectnode*>(node);
        if (moved == nullptr || world == nullptr)
            return;
        CVTND_Event record(EventCode::kMoved, CVTND_Object(node));
        record.related[0] = CVTND_Object(node->GetParentNode());
        record.related[1] = CVTND_Object(target);
        if (CVTNDesignerApp* app = GetDesignerApp())
            app->Broadcast(record);
        world->Reparent(moved, target, true, 1);
        return;
    }
    if (target->FindGroupMember(node) != nullptr)
        return;
    target->AddGroupMember(node);
    if (m_insertUnderGroup)
        m_insertUnderGroup(target, node);
    if (auto* tree = dynamic_cast<pf::TreeView*>(window))
        tree->expand(hoveredItem, pf::TVE_EXPAND);
}
