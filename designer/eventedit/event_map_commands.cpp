// The event map's commands: the context menus of map objects and of the empty map, the Delete key and the tool
// bar's alignment and spacing. Each acts on the canvas's menu object or on the engine's selection.
#include <algorithm>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/action_notify.h"
#include "designer/editing/display_names.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/event_map_canvas.h"
#include "designer/eventedit/event_map_texts.h"
#include "designer/workspace/pick_operations.h"
#include "designer/workspace/rename_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

using namespace EventMapCommand;

namespace {

std::string Text(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}

// What a selected map object stood for when a command began: deleting an event takes its actions' map objects along,
// so the objects are looked up again, never walked.
struct Doomed {
    uint16_t kind;
    void* content;
};

bool StillExists(const SWworld& world, const Doomed& d)
{
    if (d.kind == EdKind::kEvent) {
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e == d.content)
                return true;
        return false;
    }
    const auto* action = static_cast<const SWactionnode*>(d.content);
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (a == action)
                return true;
    return false;
}

bool Delete(const Doomed& d)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetWorld() == nullptr || !StillExists(*app->GetWorld(), d))
        return false;
    const CVTND_Object object = d.kind == EdKind::kEvent ? CVTND_Object(static_cast<SWevent*>(d.content))
                                                         : CVTND_Object(static_cast<SWactionnode*>(d.content));
    return app->DeleteObject(object, CVTNDesignerApp::kDeleteFromKey);
}

int32_t Ask(pf::Window* owner, uint32_t textId)
{
    return pf::messageBox(owner != nullptr ? owner->hwnd() : pf::kNoWindow, Text(textId), "Delete",
                          pf::MB_YESNO | pf::MB_ICONEXCLAMATION);
}

} // namespace

// -- Context menus

void MapObject::ShowContextMenu(pf::Window* window, pf::Point at)
{
    CVTNDesignerApp* app = GetDesignerApp();
    CEditorEngine* engine = GetEditorEngine();
    const pf::Menu* menu = app != nullptr ? app->GetEventMapMenu() : nullptr;
    if (menu == nullptr || window == nullptr || engine == nullptr)
        return;
    const auto enable = [](pf::Menu& m, uint32_t id, bool on) { m.enableItem(id, on ? 0 : pf::MF_GRAYED); };
    const auto check = [](pf::Menu& m, uint32_t id, bool on) { m.checkItem(id, on ? pf::MF_CHECKED : 0); };
    pf::Menu popup;
    if (const SWactionnode* action = GetAction()) {
        popup = menu->subMenu(static_cast<int32_t>(EventMapPopup::kAction));
        enable(popup, kActionParameters, ActionHasTargets(*action));
        enable(popup, kActionDetails, ActionHasDetails(*action));
    } else if (const SWevent* event = GetEvent()) {
        popup = menu->subMenu(static_cast<int32_t>(EventMapPopup::kEvent));
        check(popup, kInitiallyActive, event->IsEnabled());
        check(popup, kAutoReset, event->GetFlag() != 0);
        check(popup, kCollapseInputs, inputsFolded != 0);
        enable(popup, kCollapseInputs, EventCanCollapseInputs(*event));
        enable(popup, kEventParameters, EventHasParameters(*event));
    } else {
        popup = menu->subMenu(static_cast<int32_t>(EventMapPopup::kObject));
        const SWnode* node = GetNode();
        enable(popup, kGetIcon, node != nullptr && node->HasKind(SWnode::kKindMesh));
        enable(popup, kObjectDetails, node == nullptr || IsParticleSystemNode(node));
        enable(popup, kRemoveFromMap, !engine->IsReferenced(this));
    }
    if (!popup.isNull())
        popup.trackPopup(pf::TPM_RIGHTBUTTON, at, *window);
}

void CVTND_EventMap::ShowGeneralMenu(pf::Point screen)
{
    CVTNDesignerApp* app = GetDesignerApp();
    const CEditorEngine* engine = GetEditorEngine();
    const pf::Menu* menu = app != nullptr ? app->GetEventMapMenu() : nullptr;
    if (menu == nullptr || engine == nullptr)
        return;
    pf::Menu popup = menu->subMenu(static_cast<int32_t>(EventMapPopup::kGeneral));
    popup.checkItem(kShowObjectNames, engine->showObjectNames ? pf::MF_CHECKED : 0);
    popup.checkItem(kShowEventNames, engine->showEventNames ? pf::MF_CHECKED : 0);
    popup.trackPopup(pf::TPM_RIGHTBUTTON, screen, *this);
}

// -- Commands

bool CVTND_EventMap::RunCommand(uint32_t id)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return false;
    switch (id) {
    case kShowObjectNames:
        engine->showObjectNames = !engine->showObjectNames;
        RedrawMaps();
        return true;
    case kShowEventNames:
        engine->showEventNames = !engine->showEventNames;
        RedrawMaps();
        return true;
    case kAlignX:
    case kAlignY:
        Align(id == kAlignX);
        return true;
    case kSpaceHorizontally:
    case kSpaceVertically:
        Space(id == kSpaceHorizontally);
        return true;
    case kGetIcon:
        return true; // offered for mesh nodes; nothing to do yet
    default:
        break;
    }
    const bool eventCommand = id == kInitiallyActive || id == kAutoReset || id == kRename || id == kEventParameters ||
                              id == kEditEvent || id == kEditTimeline || id == kCollapseInputs || id == kDeleteEvent;
    const bool actionCommand = id == kActionParameters || id == kActionDetails || id == kDeleteAction;
    const bool objectCommand = id == kObjectDetails || id == kRemoveFromMap;
    if (!eventCommand && !actionCommand && !objectCommand)
        return false;
    // The menu object may have gone with its content since the menu opened.
    MapObject* object = engine->HoldsDroppable(m_menuObject) ? m_menuObject : nullptr;
    if (object == nullptr)
        return true;
    if (SWevent* event = object->GetEvent(); eventCommand && event != nullptr)
        EventCommand(id, *object, *event);
    else if (SWactionnode* action = object->GetAction(); actionCommand && action != nullptr)
        ActionCommand(id, *object, *action);
    else if (objectCommand && object->GetEvent() == nullptr && object->GetAction() == nullptr)
        ObjectCommand(id, *object);
    return true;
}

void CVTND_EventMap::EventCommand(uint32_t id, MapObject& object, SWevent& event)
{
    CVTNDesignerApp* app = GetDesignerApp();
    SWworld* world = app != nullptr ? app->GetWorld() : nullptr;
    const auto changed = [&](EventDetail detail) {
        CVTND_Event record(EventCode::kChanged, CVTND_Object(&event));
        record.detail = static_cast<uint32_t>(detail);
        record.sender = hwnd();
        if (app != nullptr) {
            app->SetModified(); // the event's flags are stored
            app->Broadcast(record);
        }
    };
    switch (id) {
    case kInitiallyActive: {
        CVTND_WorldWriteLock lock(world);
        event.SetEnabled(!event.IsEnabled());
    }
        changed(EventDetail::kInitiallyActiveToggled);
        RedrawMaps();
        break;
    case kAutoReset: {
        CVTND_WorldWriteLock lock(world);
        event.SetFlag(event.GetFlag() != 0 ? 0 : 1);
    }
        changed(EventDetail::kAutoResetToggled);
        break;
    case kRename: {
        CVTND_RenameDlg dialog(CVTND_Object(&event), parent());
        dialog.SetName(event.GetName());
        dialog.Run();
        break;
    }
    case kEventParameters:
        EditEventParameters(this, &event, event.GetType(), true);
        break;
    case kEditEvent:
        if (app != nullptr)
            app->EditObject(CVTND_Object(&event), true);
        break;
    case kEditTimeline:
        if (app != nullptr)
            app->OpenEventTimeline(&event);
        break;
    case kCollapseInputs:
        CollapseInputs(object, event);
        break;
    case kDeleteEvent:
        DeleteByMenu(object, EdKind::kEvent);
        break;
    default:
        break;
    }
}

void CVTND_EventMap::ActionCommand(uint32_t id, MapObject& object, SWactionnode& action)
{
    switch (id) {
    case kActionParameters:
        if (BuildEventParameterPickList(this, &action, nullptr))
            RedrawMaps();
        break;
    case kActionDetails:
        EditActionDetails(&action);
        break;
    case kDeleteAction:
        DeleteByMenu(object, EdKind::kAction);
        break;
    default:
        break;
    }
}

void CVTND_EventMap::ObjectCommand(uint32_t id, MapObject& object)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (id == kRemoveFromMap) {
        RemoveFromMap(object);
        return;
    }
    if (app == nullptr)
        return;
    CVTND_Object subject;
    if (CVTN_SubWorld* world = object.GetWorld())
        subject = CVTND_Object(static_cast<uint16_t>(ObjectType::kLoadedWorld), world);
    else if (SWnode* node = object.GetNode())
        subject = CVTND_Object(node);
    else if (SWsound* sound = object.GetSound())
        subject = CVTND_Object(sound);
    else if (SWcursor* cursor = object.GetCursor())
        subject = CVTND_Object(cursor);
    else if (SWmaterial* material = object.GetMaterial())
        subject = CVTND_Object(material);
    else if (SWexpressionentry* entry = object.GetExpression())
        subject = CVTND_Object(entry);
    if (subject.GetObject() != nullptr)
        app->EditObject(subject, true);
}

// The menu object alone unless it is selected; then every selected object of the kind. The right click does not
// select, so acting on a selection the clicked object is not part of would delete what the user never pointed at.
void CVTND_EventMap::DeleteByMenu(MapObject& object, uint16_t kind)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return;
    std::vector<Doomed> doomed;
    CEditorSelection& selection = engine->Selection();
    if (selection.Contains(&object)) {
        for (CESN* s = selection.First(); s != nullptr; s = CEditorSelection::Next(s))
            if (s->object->GetContentKind() == kind)
                doomed.push_back({kind, s->object->GetContent()});
        selection.DeleteAll();
    } else {
        doomed.push_back({kind, object.GetContent()});
    }
    m_menuObject = nullptr;
    for (const Doomed& d : doomed)
        Delete(d);
    if (kind == EdKind::kAction)
        engine->RefreshActionReceptors();
    RedrawAfterDeletion();
}

void CVTND_EventMap::CollapseInputs(MapObject& object, SWevent& event)
{
    CEditorEngine* engine = GetEditorEngine();
    SWworld* world = engine != nullptr ? engine->World() : nullptr;
    if (world == nullptr)
        return;
    object.inputsFolded = object.inputsFolded != 0 ? 0 : 1;
    const SWlist* names = event.GetObjectList();
    for (const SWlistnode* n = names != nullptr ? names->Head() : nullptr; n != nullptr; n = n->Next()) {
        const auto& name = static_cast<const SWobjectnameentry*>(n)->name;
        MapObject* node = name ? engine->FindNodeObject(world->GetRootNode()->FindByName(*name)) : nullptr;
        if (node == nullptr)
            continue;
        if (object.inputsFolded != 0 && node->FoldOwner() == nullptr)
            node->SetFoldOwner(&object);
        else if (object.inputsFolded == 0 && node->FoldOwner() == &object)
            node->SetFoldOwner(nullptr);
    }
    RedrawMaps();
}

// Events and actions stay on the map: it is where they are edited, and nothing would bring them back.
void CVTND_EventMap::RemoveFromMap(MapObject& object)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return;
    const auto removable = [&](MapObject* o) {
        return o->GetEvent() == nullptr && o->GetAction() == nullptr && !engine->IsReferenced(o);
    };
    CEditorSelection& selection = engine->Selection();
    if (!selection.Contains(&object)) {
        if (removable(&object)) {
            engine->RemoveMapObject(&object);
            RedrawMaps();
        }
        return;
    }
    std::vector<MapObject*> going;
    for (CESN* s = selection.First(); s != nullptr; s = CEditorSelection::Next(s))
        if (removable(s->object))
            going.push_back(s->object);
    for (MapObject* o : going)
        engine->RemoveMapObject(o);
    if (!going.empty())
        RedrawMaps();
}

// -- The Delete key

void CVTND_EventMap::OnKeyReleased(uint32_t vk)
{
    if (vk == pf::VK_DELETE)
        DeleteSelection();
}

void CVTND_EventMap::DeleteSelection()
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || engine->Selection().IsEmpty())
        return;
    CEditorSelection& selection = engine->Selection();
    const bool single = selection.IsSingle();
    uint16_t kinds = 0;
    std::vector<Doomed> doomed;
    std::vector<MapObject*> others;
    for (CESN* s = selection.First(); s != nullptr; s = CEditorSelection::Next(s)) {
        const uint16_t kind = s->object->GetContentKind();
        kinds |= kind;
        if (kind == EdKind::kAction || kind == EdKind::kEvent)
            doomed.push_back({kind, s->object->GetContent()});
        else
            others.push_back(s->object);
    }
    if (!single && (kinds & 0x98) != 0 && Ask(parent(), kIdsDeleteSelected) != pf::IDYES)
        return;
    bool actionDeleted = false;
    bool deleted = false;
    bool changed = false;
    for (const Doomed& d : doomed) {
        if (single &&
            Ask(parent(), d.kind == EdKind::kAction ? kIdsDeleteThisAction : kIdsDeleteThisEvent) != pf::IDYES)
            continue;
        if (Delete(d)) {
            deleted = true;
            actionDeleted = actionDeleted || d.kind == EdKind::kAction;
        }
    }
    for (MapObject* o : others) {
        if (!engine->HoldsDroppable(o) || engine->IsReferenced(o))
            continue;
        const uint16_t kind = o->GetContentKind();
        if (kind == EdKind::kNode || kind == EdKind::kSound || kind == EdKind::kExpression || kind == EdKind::kCursor ||
            kind == EdKind::kLoadedWorld || kind == EdKind::kMaterial) {
            engine->RemoveMapObject(o);
            changed = true;
        }
    }
    if (actionDeleted)
        engine->RefreshActionReceptors();
    if (deleted)
        RedrawAfterDeletion();
    else if (changed)
        RedrawMaps();
}

// -- Align and space

void CVTND_EventMap::Align(bool onX)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || engine->Selection().Count() < 2)
        return;
    const MapObject* reference = engine->Selection().Last()->object;
    for (CESN* s = engine->Selection().First(); s != nullptr; s = CEditorSelection::Next(s))
        (onX ? s->object->x : s->object->y) = onX ? reference->x : reference->y;
    RedrawMaps();
}

void CVTND_EventMap::Space(bool onX)
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || engine->Selection().Count() < 3)
        return;
    std::vector<MapObject*> sorted;
    for (CESN* s = engine->Selection().First(); s != nullptr; s = CEditorSelection::Next(s))
        sorted.push_back(s->object);
    const auto at = [onX](const MapObject* o) -> int32_t { return onX ? o->x : o->y; };
    for (size_t i = 0; i < sorted.size(); ++i)
        for (size_t j = i + 1; j < sorted.size(); ++j)
            if (at(sorted[j]) < at(sorted[i]))
                std::swap(sorted[i], sorted[j]);
    const MapObject* reference = engine->Selection().Last()->object;
    const size_t r = static_cast<size_t>(std::find(sorted.begin(), sorted.end(), reference) - sorted.begin());
    const MapObject* neighbour = r + 1 < sorted.size() ? sorted[r + 1] : sorted[r - 1];
    int32_t spacing = std::abs(at(reference) - at(neighbour));
    if (spacing >= 1 && spacing <= 39)
        spacing = 40;
    for (size_t i = 1; i < sorted.size(); ++i)
        (onX ? sorted[i]->x : sorted[i]->y) = at(sorted[i - 1]) + spacing;
    RedrawMaps();
}
