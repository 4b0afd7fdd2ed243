#include "designer/eventedit/control_receptor.h"

#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/map_canvas.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/event.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

// The Events panel's list: the first list view among the panel's children.
pf::ListView* EventsList(CVTNDesignerApp& app)
{
    pf::Window* panel = app.GetPanel(PanelRole::kEvents);
    if (panel == nullptr || !pf::hasUi())
        return nullptr;
    for (const pf::Hwnd child : panel->children()) {
        if (auto* list = dynamic_cast<pf::ListView*>(pf::ui().window(child)))
            return list;
    }
    return nullptr;
}

MapObject* FindOrAdd(CEditorEngine& engine, const EdContent& item)
{
    if (MapObject* found = engine.FindContentObject(item.GetContent()))
        return found;
    if (SWnode* node = item.GetNode())
        return engine.AddNode(node);
    if (SWsound* sound = item.GetSound())
        return engine.AddSound(sound);
    if (SWexpressionentry* entry = item.GetExpression())
        return engine.AddExpression(entry);
    if (SWcursor* cursor = item.GetCursor())
        return engine.AddKind1000(cursor);
    if (CVTN_SubWorld* world = item.GetWorld())
        return engine.AddWorld(world);
    if (SWmaterial* material = item.GetMaterial())
        return engine.AddKind4000(material);
    return nullptr;
}

} // namespace

ControlReceptor::ControlReceptor(pf::Window* mapWindow) : DropReceptor(kAcceptMask, kPriority), m_mapWindow(mapWindow)
{
}

int32_t ControlReceptor::GetScreenX(pf::Window* window)
{
    return window != nullptr ? window->clientToScreen({0, 0}).x : -1;
}

int32_t ControlReceptor::GetScreenY(pf::Window* window)
{
    return window != nullptr ? window->clientToScreen({0, 0}).y : -1;
}

int32_t ControlReceptor::GetWidth(pf::Window* window)
{
    return window != nullptr ? window->clientRect().r : 0;
}

int32_t ControlReceptor::GetHeight(pf::Window* window)
{
    return window != nullptr ? window->clientRect().b : 0;
}

pf::Point ControlReceptor::ScreenToMap(pf::Window* window, pf::Point screen) const
{
    if (window == nullptr)
        return screen;
    const pf::Point client = window->screenToClient(screen);
    pf::Point scroll;
    if (const CVTND_MapCanvas* map = FindMapCanvas(window))
        scroll = map->GetScrollOrigin();
    return {client.x + scroll.x, client.y + scroll.y};
}

void ControlReceptor::OnHover(pf::Window* window, pf::Point at, Droppable*)
{
    pf::Window* frame = window != nullptr && window->parent() != nullptr ? window->parent()->parent() : nullptr;
    if (frame == nullptr || !pf::hasUi())
        return;
    const pf::Point map = ScreenToMap(window, at);
    for (const pf::Hwnd child : frame->children()) {
        if (auto* status = dynamic_cast<pf::StatusBar*>(pf::ui().window(child))) {
            status->setText(2, "X: " + std::to_string(map.x));
            status->setText(3, "Y: " + std::to_string(map.y));
            return;
        }
    }
}

void ControlReceptor::OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (droppable == nullptr || app == nullptr)
        return;
    const pf::Point map = ScreenToMap(window, at);
    if (UIObject* item = droppable->AsPaletteObject()) {
        DropPaletteObject(window, map, *item, more);
        return;
    }
    if (MapObject* moved = droppable->AsMapObject()) {
        moved->x = map.x - moved->grabOffset.x;
        moved->y = map.y - moved->grabOffset.y;
    }
    if (!more)
        app->RedrawEventMaps();
}

void ControlReceptor::DropPaletteObject(pf::Window* window, pf::Point map, UIObject& item, bool more)
{
    CEditorEngine* engine = GetEditorEngine();
    CVTNDesignerApp* app = GetDesignerApp();
    if (engine == nullptr)
        return;
    if (item.GetContentKind() == EdKind::kEventType) {
        DropEventType(static_cast<uint32_t>(item.GetEventType()), map);
    } else if (MapObject* object = FindOrAdd(*engine, item)) {
        engine->PlaceAt(object, map.x - object->width / 2, map.y - object->height / 2);
        if (item.GetNode() != nullptr && item.followUp != 0) {
            if (CVTND_MapCanvas* canvas = FindMapCanvas(window)) {
                canvas->SetMenuObject(object);
                window->send(pf::WM_COMMAND, kFollowUpCommand, 0);
                return;
            }
        }
    }
    if (!more)
        app->RedrawEventMaps();
}

void ControlReceptor::DropEventType(uint32_t type, pf::Point map)
{
    CEditorEngine* engine = GetEditorEngine();
    SWworld* world = engine != nullptr ? engine->World() : nullptr;
    std::string name;
    if (world == nullptr || type >= kEventTypeCount || !MakeUniqueEventName(*world, type, name))
        return;
    SWevent* event = nullptr;
    {
        CVTND_WorldWriteLock lock(world);
        event = world->NewEvent();
        event->SetType(type);
        event->SetName(name);
    }
    if (pf::ListView* list = EventsList(*engine->App())) {
        // With its type's picture, as the panel lists every other event, when the panel shows pictures.
        const bool pictured = list->getImageList(pf::LVSIL_SMALL) != nullptr;
        list->insertCallbackItem(list->getItemCount(), pictured ? CEditorEngine::EventTypeIcon(type) : -1,
                                 reinterpret_cast<pf::LParam>(event));
        list->invalidate();
    }
    if (MapObject* object = engine->AddEvent(event)) {
        object->x = map.x - object->width / 2;
        object->y = map.y - object->height / 2;
    }
}
