// The palette objects that panels hand the engine when a drag starts, and the pickers' picture of a scene node.
#include "designer/app/project_object.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/camera_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kHostCallbackKind = 16;

bool IsCameraSubTypeThreeOrFour(const SWnode* node)
{
    const auto* camera = node != nullptr ? dynamic_cast<const SWcameraobject*>(node->GetGeometry()) : nullptr;
    return camera != nullptr && (camera->GetSubType() == 3 || camera->GetSubType() == 4);
}

bool IsScreenNode(const SWnode* node)
{
    return node != nullptr && node->GetName() && *node->GetName() == kScreenNodeName;
}

struct PaletteLook {
    EdImageList list = EdImageList::kNone;
    EdImageList cursorList = EdImageList::kNone;
    int32_t icon = 0;
    bool small = false;
    bool sized = true;
};

PaletteLook ActionLook(int32_t kindId)
{
    if (kindId == kHostCallbackKind)
        return {EdImageList::kObjects, EdImageList::kNone, 4, false, true};
    return {EdImageList::kSmallActions, EdImageList::kLargeActions, CEditorEngine::ActionTypeIcon(kindId), true, true};
}

std::optional<PaletteLook> LookOf(const CVTND_Object& object)
{
    const auto objects = [](int32_t icon) { return PaletteLook{EdImageList::kObjects, EdImageList::kNone, icon}; };
    const auto* node = static_cast<const SWnode*>(object.GetObject());
    switch (static_cast<ObjectType>(object.GetType())) {
    case ObjectType::kMeshNode:
        return objects(0);
    case ObjectType::kCamera:
        return objects(IsCameraSubTypeThreeOrFour(node) ? 17 : 2);
    case ObjectType::kObjectNode:
        return objects(IsScreenNode(node) ? 18 : 5);
    case ObjectType::kNode:
        return objects(5);
    case ObjectType::kGroup:
        return objects(10);
    case ObjectType::kMaterial:
        return objects(9);
    case ObjectType::kLoadedWorld:
        return objects(12);
    case ObjectType::kSound:
        return objects(1);
    case ObjectType::kExpression:
        return objects(3);
    case ObjectType::kCursor:
        return objects(7);
    case ObjectType::kTooltip:
    case ObjectType::kResourceItem:
        return PaletteLook{EdImageList::kNone, EdImageList::kNone, 0, false, false};
    case ObjectType::kTexture:
        return objects(16);
    case ObjectType::kHotspot:
        return objects(15);
    case ObjectType::kParticleNode:
        return objects(8);
    case ObjectType::kEvent: {
        const auto* event = static_cast<const SWevent*>(object.GetObject());
        return PaletteLook{EdImageList::kEvents, EdImageList::kNone,
                           CEditorEngine::EventTypeIcon(event != nullptr ? event->GetType() : 0)};
    }
    case ObjectType::kAction: {
        const auto* action = static_cast<const SWactionnode*>(object.GetObject());
        return ActionLook(action != nullptr ? action->GetKindId() : -1);
    }
    case ObjectType::kRoot:
        return objects(6);
    case ObjectType::kEventType: {
        const auto type = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object.GetObject()));
        return PaletteLook{EdImageList::kEvents, EdImageList::kNone, CEditorEngine::EventTypeIcon(type)};
    }
    case ObjectType::kActionKind: {
        const auto* kind = static_cast<const SWactionkind*>(object.GetObject());
        return ActionLook(kind != nullptr ? kind->GetKindId() : -1);
    }
    case ObjectType::kJavaPanelItem:
        return objects(4);
    case ObjectType::kProperty:
        return objects(16);
    default:
        return std::nullopt;
    }
}

// The content a panel's object stands for, where the object is the world's thing itself; a panel may set it again
// with the same thing, which changes nothing.
void SetPaletteContent(UIObject& item, const CVTND_Object& object)
{
    void* thing = object.GetObject();
    if (thing == nullptr)
        return;
    if (object.IsNodeType()) {
        item.SetNode(static_cast<SWnode*>(thing));
        return;
    }
    switch (static_cast<ObjectType>(object.GetType())) {
    case ObjectType::kMaterial:
        item.SetKind4000(static_cast<SWmaterial*>(thing));
        break;
    case ObjectType::kLoadedWorld:
        item.SetWorld(static_cast<CVTN_SubWorld*>(thing));
        break;
    case ObjectType::kSound:
        item.SetSound(static_cast<SWsound*>(thing));
        break;
    case ObjectType::kExpression:
        item.SetExpression(static_cast<SWexpressionentry*>(thing));
        break;
    case ObjectType::kCursor:
        item.SetKind1000(static_cast<SWcursor*>(thing));
        break;
    case ObjectType::kEvent:
        item.SetEvent(static_cast<SWevent*>(thing));
        break;
    case ObjectType::kAction:
        item.SetAction(static_cast<SWactionnode*>(thing));
        break;
    case ObjectType::kActionKind:
        item.SetActionType(static_cast<SWactionkind*>(thing));
        break;
    case ObjectType::kEventType:
        item.SetEventType(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thing)));
        break;
    default:
        break; // tooltips, textures, Java items, properties: the panel knows what they stand for
    }
}

} // namespace

UIObject* CEditorEngine::MakePaletteObject(const CVTND_Object& object)
{
    const std::optional<PaletteLook> look = LookOf(object);
    if (!look)
        return nullptr;
    auto* item = new UIObject();
    item->imageList = look->list;
    item->cursorImageList = look->cursorList;
    item->iconIndex = look->icon;
    if (look->sized) {
        item->width = pf::fixedSystemMetric(look->small ? pf::SM_CXSMICON : pf::SM_CXICON);
        item->height = pf::fixedSystemMetric(look->small ? pf::SM_CYSMICON : pf::SM_CYICON);
    }
    SetPaletteContent(*item, object);
    AddDroppable(item);
    return item;
}

pf::IconRef CEditorEngine::NodeIcon(const SWnode* node)
{
    const CVTND_EditorImages* images = GetEditorImages();
    if (node == nullptr || images == nullptr)
        return nullptr;
    if (node->HasKind(SWnode::kKindRoot))
        return images->ObjectIcon(6);
    if (node->HasKind(SWnode::kKindCamera))
        return images->ObjectIcon(IsCameraSubTypeThreeOrFour(node) ? 17 : 2);
    if (node->HasKind(SWnode::kKindMesh))
        return images->ObjectIcon(0);
    if (node->HasKind(SWnode::kKindHotspot))
        return images->ObjectIcon(15);
    if (!node->HasKind(SWnode::kKindObject))
        return nullptr;
    const auto* object = dynamic_cast<const SWobjectnode*>(node);
    if (object != nullptr && object->GetKindCode() == 4)
        return images->ObjectIcon(8);
    return images->ObjectIcon(IsScreenNode(node) ? 18 : 5);
}
