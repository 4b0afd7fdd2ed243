#include "designer/editing/picker_receptors.h"

#include "engine/core/node.h"
#include "platform/ui/core/window.h"

NodePickerControlReceptor::NodePickerControlReceptor(pf::Window* ownerDialog, uint16_t nodeFlags)
    : ClientAreaReceptor(kAcceptMask, kPriority), m_owner(ownerDialog), m_nodeFlags(nodeFlags)
{
}

void NodePickerControlReceptor::OnDrop(pf::Window*, pf::Point, Droppable* droppable, bool)
{
    const EdContent* content = DroppedContent(droppable);
    SWnode* node = content != nullptr ? content->GetNode() : nullptr;
    if (node == nullptr || !node->HasKind(m_nodeFlags) || m_owner == nullptr || !m_owner->isWindow())
        return;
    m_owner->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(node));
}

ClickableTargetControlReceptor::ClickableTargetControlReceptor(pf::Window* ownerDialog)
    : NodePickerControlReceptor(ownerDialog, SWnode::kKindObject | SWnode::kKindHotspot)
{
}

MovableTargetControlReceptor::MovableTargetControlReceptor(pf::Window* ownerDialog)
    : NodePickerControlReceptor(ownerDialog, SWnode::kKindObject)
{
}

PropertyControlReceptor::PropertyControlReceptor(pf::Window* ownerDialog)
    : ClientAreaReceptor(kAcceptMask, kPriority), m_owner(ownerDialog)
{
}

void PropertyControlReceptor::OnDrop(pf::Window* window, pf::Point, Droppable* droppable, bool)
{
    UIObject* item = droppable != nullptr ? droppable->AsPaletteObject() : nullptr;
    if (item == nullptr || item->GetProperty() == nullptr || m_owner == nullptr || !m_owner->isWindow())
        return;
    const pf::WParam id = window != nullptr ? static_cast<pf::WParam>(window->id()) : 0;
    m_owner->send(kMsgPropertyDropped, id, reinterpret_cast<pf::LParam>(item->GetProperty()));
}
