// The drop rules of a map object, and the action changes they announce.
#include <algorithm>
#include <cstring>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"

namespace {

constexpr int32_t kQueueKind = 30;
constexpr int32_t kSwitchKind = 23; // starts with its byte argument 1

void Broadcast(const CVTND_Event& event)
{
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->Broadcast(event);
}

void RefreshLists()
{
    if (CEditorEngine* engine = GetEditorEngine())
        engine->RefreshActionReceptors();
}

// A drop of several things changes the maps with each, but a person sees them redrawn once, after the last: the
// redraw is owed until a drop without more follows, or the drag ends.
bool g_mapsOwed = false;

// The class file's name without folder and extension; a name that starts with its only dot keeps it.
std::string JavaClassName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.resize(dot);
    return name;
}

SWactionnode* CreateJavaCallback(SWevent& event, const CVTND_JavaMethod& method)
{
    const std::string path = method.classEntry != nullptr ? method.classEntry->GetClassPath() : std::string();
    return event.CreateHostCallbackAction(JavaClassName(path), method.name);
}

SWactionnode* CreateKindAction(SWevent& event, SWactionkind* kind)
{
    SWactionnode* action = event.CreateAction(kind);
    if (action != nullptr && action->GetKindId() == kSwitchKind) {
        const uint8_t on = 1;
        action->AddArgument(&on, SWdatanode::kByte, true);
    }
    return action;
}

// The new action's map object, placed near the anchor; maps and lists redrawn unless more follow.
void ShowNewAction(SWactionnode* action, MapObject& anchor, bool more)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || action == nullptr)
        return;
    engine->PlaceNear(engine->AddAction(action), &anchor);
    MapChangedByDrop(more);
    AnnounceNewAction(action);
}

void SetLinks(SWactionnode& action, uint32_t thenLink, uint32_t elseLink, uint32_t queueLink)
{
    action.SetThenLink(thenLink);
    action.SetElseLink(elseLink);
    action.SetQueueLink(queueLink);
}

// The argument equal to key: texts by text, everything else by the object it holds.
SWdatanode* FindArgument(SWactionnode& action, const void* key, int type)
{
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        auto* argument = static_cast<SWdatanode*>(n);
        if (type == SWdatanode::kString) {
            const char* text = argument->GetText();
            if (text != nullptr && std::strcmp(text, static_cast<const char*>(key)) == 0)
                return argument;
        } else if (argument->GetType() == SWdatanode::kObject && argument->GetData(SWdatanode::kObject) == key) {
            return argument;
        }
    }
    return nullptr;
}

// After a target went from an action or an event: its map object leaves the map when nothing refers to it any
// more. Events are never taken off: nothing ever counts as referring to them, yet they stay in the world.
void AutoRemove(MapObject* object)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || object == nullptr || !engine->autoRemove || object->GetEvent() != nullptr)
        return;
    if (!engine->IsReferenced(object))
        engine->RemoveMapObject(object);
}

// The map object of the dropped thing, made and placed near the target when it is not on the map.
void ShowTarget(const EdContent& dragged, MapObject& anchor)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || engine->FindContentObject(dragged.GetContent()) != nullptr)
        return;
    MapObject* made = nullptr;
    if (SWnode* node = dragged.GetNode())
        made = engine->AddNode(node);
    else if (SWsound* sound = dragged.GetSound())
        made = engine->AddSound(sound);
    else if (SWexpressionentry* entry = dragged.GetExpression())
        made = engine->AddExpression(entry);
    else if (SWcursor* cursor = dragged.GetCursor())
        made = engine->AddKind1000(cursor);
    else if (SWmaterial* material = dragged.GetMaterial())
        made = engine->AddKind4000(material);
    else if (CVTN_SubWorld* world = dragged.GetWorld())
        made = engine->AddWorld(world);
    else if (SWevent* event = dragged.GetEvent())
        made = engine->AddEvent(event);
    engine->PlaceNear(made, &anchor);
}

struct TargetKey {
    const void* datum = nullptr;
    int type = SWdatanode::kString;
};

void Toggle(MapObject& anchor, SWactionnode& action, const EdContent& dragged, const TargetKey& key, bool replace,
            bool more)
{
    if (key.datum == nullptr)
        return;
    if (SWdatanode* existing = FindArgument(action, key.datum, key.type)) {
        RemoveArgumentAndNotify(&action, existing);
        if (CEditorEngine* engine = GetEditorEngine())
            AutoRemove(engine->FindContentObject(dragged.GetContent()));
        MapChangedByDrop(more);
        return;
    }
    if (replace) {
        CVTND_WorldWriteLock lock(WorldOfAction(&action));
        action.GetArguments().Delete(action.GetArguments().Head());
    }
    AddActionArgumentAndNotify(&action, key.datum, key.type, key.type == SWdatanode::kString);
    ShowTarget(dragged, anchor);
    MapChangedByDrop(more);
}

const char* NameOf(const std::optional<std::string>& name)
{
    return name ? name->c_str() : nullptr;
}

void DropOnCondition(MapObject& target, SWactionnode& condition, Droppable& droppable, const EdContent& dragged,
                     bool more)
{
    SWevent* event = condition.GetEvent();
    if (event == nullptr)
        return;
    const uint32_t id = condition.GetActionId();
    const bool right = target.dropSide == 2;
    const uint16_t k = droppable.GetContentKind();
    if (k == EdKind::kActionKind || k == EdKind::kJavaMethod) {
        SWactionnode* made = nullptr;
        {
            CVTND_WorldWriteLock lock(WorldOfAction(&condition));
            made = k == EdKind::kActionKind ? CreateKindAction(*event, dragged.GetActionKind())
                                            : CreateJavaCallback(*event, *dragged.GetJavaMethod());
            if (made != nullptr)
                SetLinks(*made, right ? id : SWactionnode::kUnset, right ? SWactionnode::kUnset : id,
                         SWactionnode::kUnset);
        }
        ShowNewAction(made, target, more);
        return;
    }
    SWactionnode* moved = dragged.GetAction();
    if (k != EdKind::kAction || moved == nullptr)
        return;
    if (moved->GetEvent() != event)
        MoveActionAndNotify(event, moved, LastAction(*event), false);
    {
        CVTND_WorldWriteLock lock(WorldOfAction(&condition));
        SetLinks(*moved, right ? id : SWactionnode::kUnset, right ? SWactionnode::kUnset : id, SWactionnode::kUnset);
    }
    MapChangedByDrop(more);
}

void DropOnQueue(MapObject& target, SWactionnode& queue, Droppable& droppable, const EdContent& dragged, bool more)
{
    SWevent* event = queue.GetEvent();
    if (event == nullptr)
        return;
    const uint32_t id = queue.GetActionId();
    const uint16_t k = droppable.GetContentKind();
    if (k == EdKind::kActionKind || k == EdKind::kJavaMethod) {
        SWactionnode* made = nullptr;
        {
            CVTND_WorldWriteLock lock(WorldOfAction(&queue));
            made = k == EdKind::kActionKind ? CreateKindAction(*event, dragged.GetActionKind())
                                            : CreateJavaCallback(*event, *dragged.GetJavaMethod());
            if (made != nullptr)
                SetLinks(*made, SWactionnode::kUnset, SWactionnode::kUnset, id);
        }
        ShowNewAction(made, target, more);
        return;
    }
    SWactionnode* moved = dragged.GetAction();
    if (k != EdKind::kAction || moved == nullptr)
        return;
    if (moved->GetEvent() != event)
        MoveActionAndNotify(event, moved, LastAction(*event), false);
    {
        CVTND_WorldWriteLock lock(WorldOfAction(&queue));
        SetLinks(*moved, SWactionnode::kUnset, SWactionnode::kUnset, id);
    }
    MapChangedByDrop(more);
}

// A queue's id in a stop list: taken out when listed, appended when not, so a second drop undoes the first.
void ToggleStopId(SWstopsequencenode& list, uint32_t id)
{
    if (!list.RemoveId(id))
        list.AddId(id);
}

void DropOnStopQueue(MapObject& target, SWactionnode& stop, Droppable& droppable, const EdContent& dragged, bool more)
{
    auto* list = dynamic_cast<SWstopsequencenode*>(&stop);
    SWevent* event = stop.GetEvent();
    if (list == nullptr || event == nullptr)
        return;
    const uint16_t k = droppable.GetContentKind();
    if (k == EdKind::kAction) {
        const SWactionnode* queue = dragged.GetAction();
        if (queue == nullptr || queue->GetKindId() != kQueueKind)
            return;
        {
            CVTND_WorldWriteLock lock(WorldOfAction(&stop));
            ToggleStopId(*list, queue->GetActionId());
        }
        MapChangedByDrop(more);
        return;
    }
    SWactionkind* kind = dragged.GetActionKind();
    if (k != EdKind::kActionKind || kind == nullptr || kind->GetKindId() != kQueueKind)
        return;
    SWactionnode* made = nullptr;
    {
        CVTND_WorldWriteLock lock(WorldOfAction(&stop));
        made = event->CreateAction(kind);
        if (made != nullptr)
            list->AddId(made->GetActionId());
    }
    ShowNewAction(made, target, more);
}

// An action's target rules, by the action's kind.
void SetActionTarget(MapObject& target, SWactionnode& action, Droppable& droppable, bool more)
{
    const EdContent* dragged = DroppedContent(&droppable);
    if (dragged == nullptr || droppable.GetContentKind() == EdKind::kEventType)
        return;
    const int32_t kind = action.GetKindId();
    const SWnode* node = dragged->GetNode();
    const TargetKey nodeKey{node != nullptr ? NameOf(node->GetName()) : nullptr};
    const auto nodeWith = [node](uint16_t flags) { return node != nullptr && node->HasKind(flags); };
    const auto in = [kind](int32_t from, int32_t to) { return kind >= from && kind <= to; };
    if (in(2, 4) || in(26, 29) || in(32, 34) || in(41, 49) || in(52, 53) || kind == 60 || in(62, 64)) {
        if (nodeWith(SWnode::kKindObject | SWnode::kKindGroup))
            Toggle(target, action, *dragged, nodeKey, false, more);
    } else if (kind == 5 || kind == 61) {
        if (nodeWith(SWnode::kKindCamera))
            Toggle(target, action, *dragged, nodeKey, true, more);
    } else if (kind == 7 || kind == 8) {
        if (const SWsound* sound = dragged->GetSound())
            Toggle(target, action, *dragged, {sound->GetName().c_str()}, true, more);
    } else if (in(11, 15) || kind == 38) {
        if (const SWevent* event = dragged->GetEvent())
            Toggle(target, action, *dragged, {NameOf(event->GetName())}, false, more);
    } else if (kind == 21 || kind == 22) {
        if (node != nullptr)
            Toggle(target, action, *dragged, nodeKey, false, more);
    } else if (kind == 24 || kind == 35) {
        if (const SWexpressionentry* entry = dragged->GetExpression())
            Toggle(target, action, *dragged, {entry, SWdatanode::kObject}, false, more);
    } else if (kind == 37) {
        if (nodeWith(SWnode::kKindCamera))
            Toggle(target, action, *dragged, nodeKey, false, more);
    } else if (kind == 39) {
        const SWcursor* cursor = dragged->GetCursor();
        if (cursor == nullptr)
            return;
        const int32_t id = static_cast<int32_t>(cursor->id);
        bool holds = false;
        for (SWlistnode* n = action.GetArguments().Head(); n != nullptr && !holds; n = n->Next()) {
            const void* held = static_cast<const SWdatanode*>(n)->GetData(SWdatanode::kInt);
            holds = held != nullptr && static_cast<uint32_t>(*static_cast<const int32_t*>(held)) == cursor->id;
        }
        const int32_t zero = 0;
        ChangeArgumentAndNotify(&action, holds ? &zero : &id, SWdatanode::kInt, true);
        if (holds) {
            if (CEditorEngine* engine = GetEditorEngine())
                AutoRemove(engine->FindKind1000Object(cursor));
        } else {
            ShowTarget(*dragged, target);
        }
        MapChangedByDrop(more);
    } else if (kind == 50 || kind == 51) {
        if (nodeWith(SWnode::kKindGroup | SWnode::kKindMesh))
            Toggle(target, action, *dragged, nodeKey, false, more);
    } else if (in(54, 56)) {
        if (const CVTN_SubWorld* world = dragged->GetWorld())
            Toggle(target, action, *dragged, {NameOf(world->GetName())}, false, more);
    } else if (kind == 57 || kind == 58) {
        if (nodeWith(SWnode::kKindHotspot))
            Toggle(target, action, *dragged, nodeKey, false, more);
    } else if (kind == 59) {
        if (const SWmaterial* material = dragged->GetMaterial())
            Toggle(target, action, *dragged, {material->GetName().c_str()}, false, more);
    } else if (kind == 25) {
        DropOnCondition(target, action, droppable, *dragged, more);
    } else if (kind == kQueueKind) {
        DropOnQueue(target, action, droppable, *dragged, more);
    } else if (kind == 31) {
        DropOnStopQueue(target, action, droppable, *dragged, more);
    }
}

// Steps 4 and 5 of an event drop: a node or sound name toggled in the event's list.
void ToggleEventName(MapObject& target, SWevent& event, Droppable& droppable, const EdContent& dragged, bool more)
{
    CEditorEngine* engine = GetEditorEngine();
    const uint32_t type = event.GetType();
    const SWnode* node = dragged.GetNode();
    const SWsound* sound = dragged.GetSound();
    std::string name;
    bool isNode = false;
    if (node != nullptr && (type == 5 || type == 6 || type == 7 || type == 15 || type == 16)) {
        const uint16_t wanted = type == 16 ? SWnode::kKindObject : SWnode::kKindHotspot | SWnode::kKindMesh;
        if (!node->HasKind(wanted) || !node->GetName())
            return;
        name = *node->GetName();
        isNode = true;
    } else if (sound != nullptr && type == 17) {
        name = sound->GetName();
    } else {
        return;
    }
    bool removed = false;
    {
        CVTND_WorldWriteLock lock(event.GetWorld() != nullptr ? event.GetWorld()->AsWorld() : nullptr);
        if (isNode) {
            SWlist* list = event.GetObjectList();
            for (SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next()) {
                auto* entry = static_cast<SWobjectnameentry*>(n);
                if (entry->name && *entry->name == name) {
                    event.RemoveObjectEntry(entry);
                    removed = true;
                    break;
                }
            }
        } else {
            removed = event.RemoveSoundName(name);
        }
        if (!removed && isNode)
            event.AddObjectName(name);
        else if (!removed)
            event.AddSoundName(name);
    }
    if (removed) {
        if (engine != nullptr)
            AutoRemove(engine->FindContentObject(dragged.GetContent()));
    } else if (droppable.IsPaletteObject()) {
        ShowTarget(dragged, target);
    }
    MapChangedByDrop(more);
}

void DropOnEvent(MapObject& target, SWevent& event, Droppable& droppable, bool more)
{
    const EdContent* dragged = DroppedContent(&droppable);
    if (dragged == nullptr)
        return;
    const uint16_t k = droppable.GetContentKind();
    if (k == EdKind::kAction) {
        SWactionnode* action = dragged->GetAction();
        if (action == nullptr)
            return;
        if (action->GetEvent() == &event) {
            {
                CVTND_WorldWriteLock lock(WorldOfAction(action));
                SetLinks(*action, SWactionnode::kUnset, SWactionnode::kUnset, SWactionnode::kUnset);
            }
            MapChangedByDrop(more);
        } else {
            MoveActionAndNotify(&event, action, LastAction(event), !more);
            if (more)
                MapChangedByDrop(more);
        }
        return;
    }
    if (k == EdKind::kJavaMethod || k == EdKind::kActionKind) {
        SWactionnode* made = nullptr;
        {
            CVTND_WorldWriteLock lock(event.GetWorld() != nullptr ? event.GetWorld()->AsWorld() : nullptr);
            made = k == EdKind::kJavaMethod ? CreateJavaCallback(event, *dragged->GetJavaMethod())
                                            : CreateKindAction(event, dragged->GetActionKind());
        }
        ShowNewAction(made, target, more);
        return;
    }
    ToggleEventName(target, event, droppable, *dragged, more);
}

} // namespace

void MapObject::OnDrop(pf::Window*, pf::Point, Droppable* droppable, bool more)
{
    if (droppable == nullptr)
        return;
    if (SWactionnode* action = GetAction())
        SetActionTarget(*this, *action, *droppable, more);
    else if (SWevent* event = GetEvent())
        DropOnEvent(*this, *event, *droppable, more);
    if (!more)
        FinishDrop(); // this last one may have changed nothing after others did
}

SWactionnode* CreateJavaCallbackAction(SWevent& event, const CVTND_JavaMethod* method)
{
    return method != nullptr ? CreateJavaCallback(event, *method) : nullptr;
}

// -- Notifications

void MapChangedByDrop(bool more)
{
    if (more) {
        g_mapsOwed = true;
        return;
    }
    g_mapsOwed = false;
    RedrawMaps();
    RefreshLists();
}

void RedrawAfterDeletion()
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine != nullptr && engine->autoRemove)
        engine->RemoveUnused(); // redraws
    else
        RedrawMaps();
}

void FinishDrop()
{
    if (g_mapsOwed)
        MapChangedByDrop(false);
}

void RedrawMaps()
{
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->RedrawEventMaps();
}

SWworld* WorldOfAction(const SWactionnode* action)
{
    if (action == nullptr)
        return nullptr;
    if (action->GetWorld() != nullptr)
        return action->GetWorld();
    const SWevent* event = action->GetEvent();
    return event != nullptr && event->GetWorld() != nullptr ? event->GetWorld()->AsWorld() : nullptr;
}

namespace {

CVTND_Event ActionChange(SWactionnode* action, EventDetail detail)
{
    CVTND_Event record(EventCode::kChanged, CVTND_Object(action));
    record.detail = static_cast<uint32_t>(detail);
    record.related[0] = CVTND_Object(action->GetEvent());
    return record;
}

} // namespace

SWdatanode* AddActionArgumentAndNotify(SWactionnode* action, const void* datum, int type, bool copy)
{
    if (action == nullptr)
        return nullptr;
    SWdatanode* argument = nullptr;
    {
        CVTND_WorldWriteLock lock(WorldOfAction(action));
        argument = action->AddArgument(datum, type, copy);
        SettleNewKeyFrames(*action); // a play's time-line row shows the length it plays
    }
    CVTND_Event record = ActionChange(action, EventDetail::kArgumentAdded);
    record.related[2] = CVTND_Object(uint16_t{0}, const_cast<void*>(datum));
    Broadcast(record);
    return argument;
}

void RemoveArgumentAndNotify(SWactionnode* action, SWdatanode* argument)
{
    if (action == nullptr || argument == nullptr)
        return;
    CVTND_Event record = ActionChange(action, EventDetail::kArgumentRemoved);
    record.related[2] = CVTND_Object(uint16_t{0}, argument);
    Broadcast(record);
    CVTND_WorldWriteLock lock(WorldOfAction(action));
    action->GetArguments().Delete(argument);
}

bool ChangeArgumentAndNotify(SWactionnode* action, const void* datum, int type, bool copy)
{
    if (action == nullptr || action->GetArguments().Empty())
        return false;
    {
        CVTND_WorldWriteLock lock(WorldOfAction(action));
        static_cast<SWdatanode*>(action->GetArguments().Head())->SetData(datum, type, copy);
    }
    CVTND_Event record = ActionChange(action, EventDetail::kArgumentChanged);
    record.related[2] = CVTND_Object(uint16_t{0}, const_cast<void*>(datum));
    Broadcast(record);
    return true;
}

void MoveActionAndNotify(SWevent* target, SWactionnode* action, SWactionnode* after, bool redraw)
{
    if (target == nullptr || action == nullptr)
        return;
    CVTND_Event record(EventCode::kMoved, CVTND_Object(action));
    record.related[0] = CVTND_Object(action->GetEvent());
    record.related[1] = CVTND_Object(target);
    {
        CVTND_WorldWriteLock lock(WorldOfAction(action));
        target->MoveActionTree(action, after);
    }
    if (redraw) {
        RedrawMaps();
        RefreshLists();
    }
    Broadcast(record);
}

void AnnounceNewAction(SWactionnode* action)
{
    if (action == nullptr)
        return;
    CVTND_Event record(EventCode::kCreated, CVTND_Object(action));
    record.related[0] = CVTND_Object(action->GetEvent());
    Broadcast(record);
}
