#include "designer/eventedit/picker_receptors.h"

#include "designer/eventedit/actions_receptor.h"
#include "designer/eventedit/map_object.h"
#include "engine/core/node.h"
#include "platform/ui/core/window.h"

namespace {

const EdContent* ContentOf(Droppable* droppable)
{
    if (droppable == nullptr)
        return nullptr;
    if (MapObject* object = droppable->AsMapObject())
        return object;
    return droppable->AsPaletteObject();
}

} // namespace

NodePickerControlReceptor::NodePickerControlReceptor(pf::Window* ownerDialog, uint16_t nodeFlags)
    : DropReceptor(kAcceptMask, kPriority), m_owner(ownerDialog), m_nodeFlags(nodeFlags)
{
}

int32_t NodePickerControlReceptor::GetScreenX(pf::Window* window)
{
    return ClientScreenX(window);
}

int32_t NodePickerControlReceptor::GetScreenY(pf::Window* window)
{
    return ClientScreenY(window);
}

int32_t NodePickerControlReceptor::GetWidth(pf::Window* window)
{
    return ClientWidth(window);
}

int32_t NodePickerControlReceptor::GetHeight(pf::Window* window)
{
    return ClientHeight(window);
}

void NodePickerControlReceptor::OnDrop(pf::Window*, pf::Point, Droppable* droppable, bool)
{
    const EdContent* content = ContentOf(droppable);
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
    : DropReceptor(kAcceptMask, kPriority), m_owner(ownerDialog)
{
}

int32_t PropertyControlReceptor::GetScreenX(pf::Window* window)
{
    return ClientScreenX(window);
}

int32_t PropertyControlReceptor::GetScreenY(pf::Window* window)
{
    return ClientScreenY(window);
}

int32_t PropertyControlReceptor::GetWidth(pf::Window* window)
{
    return ClientWidth(window);
}

int32_t PropertyControlReceptor::GetHeight(pf::Window* window)
{
    return ClientHeight(window);
}

void PropertyControlReceptor::OnDrop(pf::Window* window, pf::Point, Droppable* droppable, bool)
{
    UIObject* item = droppable != nullptr ? droppable->AsPaletteObject() : nullptr;
    if (item == nullptr || item->GetProperty() == nullptr || m_owner == nullptr || !m_owner->isWindow())
        return;
    const pf::WParam id = window != nullptr ? static_cast<pf::WParam>(window->id()) : 0;
    m_owner->send(kMsgPropertyDropped, id, reinterpret_cast<pf::LParam>(item->GetProperty()));
}
