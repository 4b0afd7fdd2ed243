#include "designer/workspace/pick_operations.h"

#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "designer/workspace/event_timer_dlg.h"
#include "designer/workspace/object_pickers.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"

namespace {

SWworld* WorldOf(const SWevent* event)
{
    return event != nullptr && event->GetWorld() != nullptr ? event->GetWorld()->AsWorld() : nullptr;
}

std::vector<std::string> KeyNamesOf(const SWevent& event)
{
    std::vector<std::string> names;
    const SWlist* keys = event.GetKeyEntry();
    for (const SWlistnode* n = keys != nullptr ? keys->Head() : nullptr; n != nullptr; n = n->Next()) {
        if (const SWkeyentry* key = static_cast<const SWkeyreference*>(n)->key)
            names.push_back(key->GetName());
    }
    return names;
}

// A thing of the map without a map object gets one, placed near the anchor rather than at the placement cursor.

template <typename Thing, typename Add>
void ShowNear(CEditorEngine& engine, Thing* thing, const MapObject* anchor, Add add)
{
    if (thing == nullptr || engine.FindContentObject(thing) != nullptr)
        return;
    engine.PlaceNear((engine.*add)(thing), anchor);
}

void DeleteArguments(SWactionnode& action)
{
    CVTND_WorldWriteLock lock(WorldOfAction(&action));
    action.GetArguments().DeleteAll();
}

void BroadcastTargetsPicked(SWactionnode& action)
{
    CVTND_Event record(EventCode::kChanged, CVTND_Object(&action));
    record.detail = static_cast<uint32_t>(EventDetail::kTargetsPicked);
    record.related[0] = CVTND_Object(action.GetEvent());
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->Broadcast(record);
}

uint8_t PickKindOfNodeTargets(int32_t kind)
{
    if (kind == 21 || kind == 22 || kind == 50 || kind == 51)
        return 3;
    if (kind == 37)
        return 1;
    if (kind == 48 || kind == 49)
        return 10;
    return 2;
}

std::string FirstChosenText(const SWactionnode& action, const std::vector<std::string>& names)
{
    if (names.empty())
        return KindName(action);
    return KindName(action) + (names.size() == 1 ? " (" + names.front() + ")" : " (...)");
}

} // namespace

void EditActionDetails(SWactionnode* action)
{
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && action != nullptr)
        app->EditObject(CVTND_Object(action), true);
}

void EditEventParameters(pf::Window* parent, SWevent* event, uint32_t type, bool placeAtCursor)
{
    CEditorEngine* engine = GetEditorEngine();
    SWworld* world = WorldOf(event);
    const bool objects = IsNodeEventType(type);
    const bool sounds = type == 17;
    const bool keys = type == 19 || type == 20;
    if (event != nullptr && type == static_cast<uint32_t>(EventType::kTimerEvent)) {
        EditTimerEventParameters(parent, *event); // the timer dialog opens at the mouse itself
        RedrawMaps();
        return;
    }
    if (event == nullptr || world == nullptr || !(objects || sounds || keys)) {
        RedrawMaps();
        return;
    }
    ObjectPickRequest request(type == 16 ? 2 : sounds ? 4 : keys ? 6 : 12);
    const std::vector<std::string> entry = objects  ? ListNames(event->GetObjectList(), false)
                                           : sounds ? ListNames(event->GetSoundList(), true)
                                                    : KeyNamesOf(*event);
    for (const std::string& name : entry)
        request.AddChosen(name);
    // The key list's flag is the runtime's key-combination byte, with which a key event never fires: no pick
    // sets it, and the keys chosen here are the keys the event fires on.
    request.offerQueueMode = !keys;
    if (objects && type != 16)
        request.queueMode = event->GetSequenceMode();
    if (request.Run(parent, true, placeAtCursor)) {
        const std::vector<std::string> chosen = request.ResultNames();
        {
            CVTND_WorldWriteLock lock(world);
            if (objects)
                event->ClearObjectList();
            else if (sounds)
                event->ClearSoundList();
            else
                event->ClearKeyList();
            for (const std::string& name : chosen) {
                if (objects)
                    event->AddObjectName(name);
                else if (sounds)
                    event->AddSoundName(name);
                else if (const SWkeyentry* key = world->GetKeyTable().FindKeyByName(name))
                    event->AddKey(key); // a name the table lacks comes only from a damaged list: skipped
            }
            if (keys)
                event->SetAllKeysFlag(0);
            else if (objects && type != 16)
                event->SetSequenceMode(request.queueMode);
        }
        if (engine != nullptr && (objects || sounds)) {
            const MapObject* anchor = engine->FindEventObject(event);
            for (const std::string& name : chosen) {
                if (objects)
                    ShowNear(*engine, world->GetRootNode()->FindByName(name), anchor, &CEditorEngine::AddNode);
                else
                    ShowNear(*engine, world->GetSoundList().FindByName(name), anchor, &CEditorEngine::AddSound);
            }
        }
    }
    RedrawMaps();
}

bool BuildEventParameterPickList(pf::Window* parent, SWactionnode* action, std::string* outText)
{
    CEditorEngine* engine = GetEditorEngine();
    SWworld* world = WorldOfAction(action);
    if (action == nullptr || world == nullptr)
        return true;
    const int32_t kind = action->GetKindId();
    const MapObject* anchor = engine != nullptr ? engine->FindActionObject(action) : nullptr;
    std::vector<std::string> names;

    if (KindIn(kind, {{2, 4}, {21, 22}, {26, 29}, {32, 34}, {37, 37}, {41, 53}, {60, 60}, {62, 64}})) {
        ObjectPickRequest request(PickKindOfNodeTargets(kind));
        for (const SWlistnode* n = action->GetArguments().Head(); n != nullptr; n = n->Next()) {
            if (const char* text = static_cast<const SWdatanode*>(n)->GetText())
                request.AddChosen(text);
        }
        if (!request.Run(parent, true, true))
            return false;
        names = request.ResultNames();
        {
            CVTND_WorldWriteLock lock(world);
            action->GetArguments().DeleteAll();
            for (const std::string& name : names)
                action->AddArgument(name.c_str(), SWdatanode::kString, true);
            SettleNewKeyFrames(*action);
        }
        if (engine != nullptr)
            for (const std::string& name : names)
                ShowNear(*engine, world->GetRootNode()->FindByName(name), anchor, &CEditorEngine::AddNode);
        RedrawMaps();
        BroadcastTargetsPicked(*action);
    } else if (kind == 5 || kind == 61 || kind == 7 || kind == 8 || kind == 39) {
        const bool sound = kind == 7 || kind == 8;
        ObjectPickRequest request(sound ? 4 : kind == 39 ? 8 : 1);
        if (!request.Run(parent, false, true))
            return false;
        names = request.ResultNames();
        const std::string name = names.empty() ? std::string() : names.front();
        if (kind == 39) {
            SWcursor* cursor = nullptr;
            for (SWcursor* c = world->GetCursorList().GetFirst(); c != nullptr && cursor == nullptr;
                 c = CursorList::GetNext(c)) {
                if (c->name == name)
                    cursor = c;
            }
            const int32_t id = cursor != nullptr ? static_cast<int32_t>(cursor->id) : 0;
            if (!ChangeArgumentAndNotify(action, &id, SWdatanode::kInt, true)) {
                CVTND_WorldWriteLock lock(world);
                action->AddArgument(&id, SWdatanode::kInt, true);
            }
            if (engine != nullptr)
                ShowNear(*engine, cursor, anchor, &CEditorEngine::AddKind1000);
            RedrawMaps();
            if (outText != nullptr)
                *outText = KindName(*action) + " (" + std::to_string(id) + ")";
            return true;
        }
        if (sound) {
            if (action->GetArguments().Empty()) {
                CVTND_WorldWriteLock lock(world);
                action->AddArgument(name.c_str(), SWdatanode::kString, true);
            } else {
                ChangeArgumentAndNotify(action, name.c_str(), SWdatanode::kString, true);
            }
            if (engine != nullptr)
                ShowNear(*engine, world->GetSoundList().FindByName(name), anchor, &CEditorEngine::AddSound);
        } else {
            {
                CVTND_WorldWriteLock lock(world);
                if (action->GetArguments().Empty())
                    action->AddArgument(name.c_str(), SWdatanode::kString, true);
                else
                    static_cast<SWdatanode*>(action->GetArguments().Head())
                        ->SetData(name.c_str(), SWdatanode::kString, true);
            }
            if (engine != nullptr)
                ShowNear(*engine, world->GetRootNode()->FindByName(name), anchor, &CEditorEngine::AddNode);
        }
        RedrawMaps();
    } else if (KindIn(kind, {{11, 15}, {38, 38}, {54, 56}})) {
        const bool worlds = kind >= 54;
        ObjectPickRequest request(worlds ? 11 : 5);
        for (const SWlistnode* n = action->GetArguments().Head(); n != nullptr; n = n->Next()) {
            if (const char* text = static_cast<const SWdatanode*>(n)->GetText())
                request.AddChosen(text);
        }
        if (!request.Run(parent, true, true))
            return false;
        names = request.ResultNames();
        DeleteArguments(*action);
        for (const std::string& name : names)
            AddActionArgumentAndNotify(action, name.c_str(), SWdatanode::kString, true);
        if (worlds && engine != nullptr) {
            for (const std::string& name : names)
                ShowNear(*engine, world->GetSubWorlds().FindByName(name), anchor, &CEditorEngine::AddWorld);
            RedrawMaps();
        }
    } else if (kind == 24 || kind == 35) {
        ObjectPickRequest request(7);
        for (const SWlistnode* n = action->GetArguments().Head(); n != nullptr; n = n->Next())
            request.AddChosen(ExpressionName(*static_cast<const SWdatanode*>(n)));
        if (!request.Run(parent, true, true))
            return false;
        names = request.ResultNames();
        DeleteArguments(*action);
        SWexpressionlist& expressions = SWexpressionlist::Of(*world);
        bool firstFound = false;
        for (size_t i = 0; i < names.size(); ++i) {
            SWexpressionentry* entry = expressions.FindByName(names[i]);
            if (entry == nullptr)
                continue;
            firstFound = firstFound || i == 0;
            AddActionArgumentAndNotify(action, entry, SWdatanode::kObject, false);
            if (engine != nullptr)
                ShowNear(*engine, entry, anchor, &CEditorEngine::AddExpression);
        }
        RedrawMaps();
        if (outText != nullptr && !firstFound) {
            *outText = KindName(*action);
            return true;
        }
    } else {
        return true;
    }
    if (outText != nullptr)
        *outText = FirstChosenText(*action, names);
    return true;
}
