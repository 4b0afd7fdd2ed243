// The event map's canvas: painting the map with its links, and the mouse (click, Ctrl and Shift, rubber band,
// drags handed to the editor engine, double clicks, context menus). Commands are in event_map_commands.cpp.
#include "designer/eventedit/event_map_canvas.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/event_map_frame.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/time/clock.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kStopQueueKind = 31;

} // namespace

// What the links look up, answered as the engine's and the world's own searches answer: the first in their order.
// Map objects by content and nodes by name have indexes of their own; events by name are gathered once per paint,
// as a walk of the world's events for each action that names one would grow with the square of a large map.
struct CVTND_EventMap::PaintIndex {
    PaintIndex(const CEditorEngine& engine, const SWworld& world) : engine(engine), root(world.GetRootNode())
    {
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            if (e->GetName())
                events.emplace(*e->GetName(), e);
    }
    MapObject* Of(uint16_t kind, const void* content) const
    {
        return content != nullptr ? engine.FindMapObjectOf(content, kind) : nullptr;
    }
    MapObject* NodeNamed(const std::string& name) const
    {
        return root != nullptr ? Of(EdKind::kNode, root->FindByName(name)) : nullptr;
    }

    const CEditorEngine& engine;
    const SWnode* root;
    std::unordered_map<std::string_view, SWevent*> events; // the names are the events', which outlive the paint
};

// -- CVTND_MapCanvas

void CVTND_EventMap::ScrollTo(pf::Point origin)
{
    if (auto* view = dynamic_cast<CChildEventMapView*>(parent()))
        view->ScrollTo(origin);
    else
        SetScrollOrigin(origin);
}

void CVTND_EventMap::SetScrollOrigin(pf::Point origin)
{
    m_scroll = origin;
    invalidate(true);
    update();
}

void CVTND_EventMap::RedrawMap()
{
    invalidate(true);
    update();
}

MapObject* CVTND_EventMap::ObjectAt(pf::Point client) const
{
    const CEditorEngine* engine = GetEditorEngine();
    for (MapObject* o = engine != nullptr ? engine->FirstMapObject() : nullptr; o != nullptr;
         o = engine->NextMapObject(o)) {
        const int32_t x = o->x - m_scroll.x;
        const int32_t y = o->y - m_scroll.y;
        if (client.x >= x && client.x <= x + o->width && client.y >= y && client.y <= y + o->height)
            return o;
    }
    return nullptr;
}

void CVTND_EventMap::ForgetMapObject(const MapObject* object)
{
    if (object == nullptr || m_pressed == object)
        m_pressed = nullptr;
    if (object == nullptr || m_menuObject == object)
        m_menuObject = nullptr;
    if (object == nullptr || m_firstClicked == object) {
        m_firstClicked = nullptr;
        m_clicks = 0;
    }
}

// -- Painting

pf::Point CVTND_EventMap::CentreOf(const MapObject& object) const
{
    const MapObject& shown = object.FoldOwner() != nullptr ? *object.FoldOwner() : object;
    return {shown.x + shown.width / 2 - m_scroll.x, shown.y + shown.height / 2 - m_scroll.y};
}

void CVTND_EventMap::Join(pf::Dc& dc, const CEditorEngine& engine, const MapObject& a, const MapObject& b) const
{
    // A link, straight or bent, stays within the box of its ends: one wholly outside the canvas is not drawn, or
    // every scroll of a large map would draw all of its links.
    const pf::Point from = CentreOf(a);
    const pf::Point to = CentreOf(b);
    const pf::Rect client = clientRect();
    if (std::max(from.x, to.x) < client.l || std::min(from.x, to.x) >= client.r || std::max(from.y, to.y) < client.t ||
        std::min(from.y, to.y) >= client.b)
        return;
    engine.DrawLink(dc, from, to);
}

// Objects in a row are spaced by what is drawn of each, its name included: by the icon alone, the names of
// neighbours ran into one another. A spot where an object placed otherwise (around what it joins, where it was
// dropped, by the layout) draws is passed over, so that the row does not write over it either.
void CVTND_EventMap::PlaceUnplaced(pf::Dc& dc, CEditorEngine& engine, int32_t textHeight)
{
    constexpr int32_t kGap = 5;
    const int32_t clientWidth = clientRect().r;
    const auto drawnSize = [&](const MapObject& o) {
        const std::string label = o.ShownLabel(engine);
        const int32_t labelWidth = label.empty() ? 0 : static_cast<int32_t>(dc.getTextExtent(label).cx);
        return pf::Size{std::max(o.width, labelWidth), o.height + (label.empty() ? 0 : textHeight)};
    };
    std::vector<pf::Rect> taken;
    bool measured = false;
    pf::Point& cursor = engine.placementCursor;
    const auto nextRow = [&] {
        cursor.x = 5;
        cursor.y += pf::fixedSystemMetric(pf::SM_CYICON) + textHeight + 5;
    };
    for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o)) {
        o->marked = 0;
        if (o->x >= 0 && o->y >= 0)
            continue;
        if (!measured) { // once a paint, and only when something is to be placed
            for (const MapObject* other = engine.FirstMapObject(); other != nullptr;
                 other = engine.NextMapObject(other))
                if (other->IsPlaced()) {
                    const pf::Size size = drawnSize(*other);
                    taken.push_back(pf::Rect::fromXywh(other->x, other->y, size.cx, size.cy).inflatedBy(kGap, kGap));
                }
            measured = true;
        }
        const pf::Size drawn = drawnSize(*o);
        // Each step passes one box or starts a row further down, so the search ends below the lowest box.
        for (;;) {
            const pf::Rect box = pf::Rect::fromXywh(cursor.x, cursor.y, drawn.cx, std::max(drawn.cy, 1));
            const auto hit =
                std::find_if(taken.begin(), taken.end(), [&](const pf::Rect& t) { return t.intersects(box); });
            if (hit == taken.end())
                break;
            cursor.x = hit->r;
            if (cursor.x + drawn.cx >= clientWidth)
                nextRow();
        }
        o->x = cursor.x;
        o->y = cursor.y;
        cursor.x += drawn.cx + kGap;
        if (cursor.x + drawn.cx >= clientWidth)
            nextRow();
    }
}

// Whether anything object draws (its picture, the name below it, the ring of a selected one) may fall on the canvas.
bool CVTND_EventMap::MayShow(pf::Dc& dc, const CEditorEngine& engine, const MapObject& object, int32_t textHeight) const
{
    constexpr int32_t kRing = 8; // wider than a selection's ring
    const pf::Rect client = clientRect();
    const int32_t left = object.x - m_scroll.x;
    const int32_t top = object.y - m_scroll.y;
    if (left - kRing >= client.r || top - kRing >= client.b || top + object.height + textHeight + kRing < client.t)
        return false;
    if (left + object.width + kRing >= client.l)
        return true;
    const std::string label = object.ShownLabel(engine); // only for the few left of the canvas: it is measured
    return !label.empty() && left + static_cast<int32_t>(dc.getTextExtent(label).cx) >= client.l;
}

void CVTND_EventMap::DrawTargetLinks(pf::Dc& dc, const CEditorEngine& engine, const PaintIndex& index, SWevent& event,
                                     SWactionnode& action, MapObject& from, bool mark)
{
    SWworld* world = engine.World();
    if (world == nullptr)
        return;
    const int32_t kind = action.GetKindId();
    std::vector<MapObject*> targets;
    if (IsNodeTargetKind(kind)) {
        for (const std::string& name : ActionTargetNames(event, action, false))
            targets.push_back(index.NodeNamed(name));
    } else if (kind == 7 || kind == 8) {
        for (const std::string& name : ActionTargetNames(event, action, true))
            targets.push_back(index.Of(EdKind::kSound, world->GetSoundList().FindByName(name)));
    } else if (KindIn(kind, {{11, 15}, {38, 38}})) {
        for (const std::string& name : ArgumentTexts(action))
            if (const auto it = index.events.find(name); it != index.events.end())
                targets.push_back(index.Of(EdKind::kEvent, it->second));
    } else if (kind == 24 || kind == 35) {
        const SWexpressionlist* expressions = SWexpressionlist::Find(*world);
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
            const void* entry = static_cast<const SWdatanode*>(n)->GetData(SWdatanode::kObject);
            if (entry != nullptr && expressions != nullptr && expressions->Holds(entry))
                targets.push_back(index.Of(EdKind::kExpression, entry));
        }
    } else if (kind == 39) {
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            if (const void* id = static_cast<const SWdatanode*>(n)->GetData(SWdatanode::kInt))
                targets.push_back(index.Of(EdKind::kCursor, world->GetCursorList().FindById(static_cast<uint32_t>(
                                                                *static_cast<const int32_t*>(id)))));
    } else if (kind >= 54 && kind <= 56) {
        for (const std::string& name : ArgumentTexts(action))
            targets.push_back(index.Of(EdKind::kLoadedWorld, world->GetSubWorlds().FindByName(name)));
    } else if (kind == 59) {
        for (const std::string& name : ArgumentTexts(action))
            targets.push_back(index.Of(EdKind::kMaterial, MaterialNamed(*world, name)));
    }
    for (MapObject* target : targets) {
        if (target == nullptr)
            continue;
        Join(dc, engine, from, *target);
        if (mark)
            target->marked = 1;
    }
}

void CVTND_EventMap::DrawActionLinks(pf::Dc& dc, CEditorEngine& engine, const PaintIndex& index, SWevent& event,
                                     MapObject& eventObject)
{
    const bool selected = engine.Selection().Contains(&eventObject);
    dc.selectPen(engine.GetPen(selected ? EnginePen::kSelectedActionLink : EnginePen::kActionLink));
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        MapObject* object = index.Of(EdKind::kAction, a);
        if (object == nullptr)
            continue;
        if (selected)
            object->marked = 1;
        // The first link that names an action of this event with a map object; else the event.
        MapObject* joined = &eventObject;
        for (const uint32_t link : {a->GetThenLink(), a->GetElseLink(), a->GetQueueLink()}) {
            if (link == SWactionnode::kUnset)
                continue;
            if (MapObject* up = index.Of(EdKind::kAction, event.FindAction(link)))
                joined = up;
            break;
        }
        Join(dc, engine, *object, *joined);
        DrawTargetLinks(dc, engine, index, event, *a, *object, selected);
    }
}

void CVTND_EventMap::DrawLinks(pf::Dc& dc, CEditorEngine& engine)
{
    SWworld* world = engine.World();
    const PaintIndex index(engine, *world);
    for (SWevent* e = world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        MapObject* eventObject = index.Of(EdKind::kEvent, e);
        if (eventObject == nullptr)
            continue;
        const bool selected = engine.Selection().Contains(eventObject);
        dc.selectPen(engine.GetPen(selected ? EnginePen::kSelectedEventLink : EnginePen::kEventLink));
        std::vector<MapObject*> linked;
        if (IsNodeEventType(e->GetType()))
            for (const std::string& name : ListNames(e->GetObjectList(), false))
                linked.push_back(index.NodeNamed(name));
        if (e->GetType() == 17)
            for (const std::string& name : ListNames(e->GetSoundList(), true))
                linked.push_back(index.Of(EdKind::kSound, world->GetSoundList().FindByName(name)));
        for (MapObject* target : linked) {
            if (target == nullptr)
                continue;
            Join(dc, engine, *eventObject, *target);
            if (selected)
                target->marked = 1;
        }
    }
    // A selected node marks the events that name it.
    dc.selectPen(engine.GetPen(EnginePen::kSelectedEventLink));
    for (CESN* s = engine.Selection().First(); s != nullptr; s = CEditorSelection::Next(s)) {
        const SWnode* node = s->object->GetNode();
        if (node == nullptr || !node->GetName())
            continue;
        for (SWevent* e = world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
            MapObject* eventObject = index.Of(EdKind::kEvent, e);
            if (eventObject == nullptr || !IsNodeEventType(e->GetType()))
                continue;
            const std::vector<std::string> names = ListNames(e->GetObjectList(), false);
            if (std::find(names.begin(), names.end(), *node->GetName()) == names.end())
                continue;
            eventObject->marked = 1;
            Join(dc, engine, *eventObject, *s->object);
        }
    }
    for (SWevent* e = world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (MapObject* eventObject = index.Of(EdKind::kEvent, e))
            DrawActionLinks(dc, engine, index, *e, *eventObject);
    // Stop queues join the queues they list, in any event.
    for (SWevent* e = world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        MapObject* eventObject = index.Of(EdKind::kEvent, e);
        const bool selected = eventObject != nullptr && engine.Selection().Contains(eventObject);
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            const auto* stop = dynamic_cast<const SWstopsequencenode*>(a);
            MapObject* from = index.Of(EdKind::kAction, a);
            if (stop == nullptr || a->GetKindId() != kStopQueueKind || from == nullptr || eventObject == nullptr)
                continue;
            dc.selectPen(engine.GetPen(selected ? EnginePen::kSelectedActionLink : EnginePen::kActionLink));
            for (const uint32_t id : stop->GetIds())
                if (MapObject* queue = index.Of(EdKind::kAction, world->FindActionById(id)))
                    Join(dc, engine, *from, *queue);
        }
    }
}

void CVTND_EventMap::Paint()
{
    pf::PaintDc dc(*this);
    CEditorEngine* engine = GetEditorEngine();
    const pf::Rect client = clientRect();
    dc.intersectClipRect(client);
    const CVTND_Rgb background =
        engine != nullptr ? engine->Colour(EngineSetting::kMapColour) : CVTND_Rgb{255, 255, 255};
    dc.fillRect(client, pf::createSolidBrush(pf::rgb(background.r, background.g, background.b)));
    if (engine == nullptr || engine->World() == nullptr)
        return;
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    const int32_t textHeight = static_cast<int32_t>(dc.getTextExtent("A").cy);
    PlaceUnplaced(dc, *engine, textHeight);
    DrawLinks(dc, *engine);
    pf::Point extent{0, 0};
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        if (o->FoldOwner() != nullptr)
            continue;
        extent = {std::max(extent.x, o->x + o->width), std::max(extent.y, o->y + o->height + textHeight)};
        if (MayShow(dc, *engine, *o, textHeight))
            o->Draw(dc, m_scroll, engine->Selection().Contains(o) || o->marked != 0);
    }
    if (auto* view = dynamic_cast<CChildEventMapView*>(parent()))
        view->FitRanges(extent);
    if (m_bandShown)
        DrawBand(dc);
}

// -- Mouse

void CVTND_EventMap::ShowMapPoint(pf::Point client)
{
    if (auto* view = dynamic_cast<CChildEventMapView*>(parent()))
        view->ShowMapPoint({client.x + m_scroll.x, client.y + m_scroll.y});
}

void CVTND_EventMap::DrawBand(pf::Dc& dc) const
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return;
    dc.selectPen(engine->GetPen(EnginePen::kDotted));
    dc.selectObject(pf::getStockObject(pf::NULL_BRUSH));
    dc.setROP2(pf::R2_XORPEN);
    dc.rectangle({std::min(m_press.x, m_bandCorner.x), std::min(m_press.y, m_bandCorner.y),
                  std::max(m_press.x, m_bandCorner.x) + 1, std::max(m_press.y, m_bandCorner.y) + 1});
}

// A band of no size is never drawn: a click on empty space leaves nothing behind, whatever repaints in between.
void CVTND_EventMap::ShowBand(bool show)
{
    show = show && m_banding && (m_press.x != m_bandCorner.x || m_press.y != m_bandCorner.y);
    if (show == m_bandShown)
        return;
    m_bandShown = show;
    pf::WindowDc dc(*this);
    DrawBand(dc);
}

void CVTND_EventMap::OnLeftDown(pf::Point client)
{
    if (auto* view = dynamic_cast<CChildEventMapView*>(parent()))
        view->FocusHiddenEdit();
    pf::ui().setCapture(hwnd());
    MapObject* object = ObjectAt(client);
    if (object == nullptr) {
        m_banding = true;
        m_press = client;
        m_bandCorner = client;
        m_clicks = 0;
        m_firstClicked = nullptr;
        return;
    }
    m_pressed = object;
    m_press = client;
    object->grabOffset = {client.x + m_scroll.x - object->x, client.y + m_scroll.y - object->y};
    const uint32_t now = pf::clock().nowMs();
    // A second press counts only on the object of the first: two quick clicks on two objects open nothing.
    if (m_clicks == 1 && object == m_firstClicked && now - m_firstClickMs < pf::kDoubleClickTimeMs) {
        m_clicks = 0;
        m_firstClicked = nullptr;
        OnDoubleClick(client);
        return;
    }
    m_clicks = 1;
    m_firstClickMs = now;
    m_firstClicked = object;
}

void CVTND_EventMap::OnMouseMove(pf::Point client)
{
    ShowMapPoint(client);
    if (m_banding) {
        ShowBand(false);
        m_bandCorner = {std::max(client.x, 0), std::max(client.y, 0)};
        ShowBand(true);
        return;
    }
    CEditorEngine* engine = GetEditorEngine();
    if (m_pressed == nullptr || engine == nullptr)
        return;
    const int32_t dx = std::abs(client.x - m_press.x);
    const int32_t dy = std::abs(client.y - m_press.y);
    if (dx < pf::fixedSystemMetric(pf::SM_CXDRAG) / 2 && dy < pf::fixedSystemMetric(pf::SM_CYDRAG) / 2)
        return;
    const pf::Point screen = clientToScreen(client);
    CEditorSelection& selection = engine->Selection();
    MapObject* pressed = m_pressed;
    m_pressed = nullptr;
    m_clicks = 0;
    pf::ui().releaseCapture();
    engine->DragList().clear();
    if (!selection.Contains(pressed) || selection.IsSingle()) {
        engine->DragList().push_back(pressed);
        engine->BeginDrag(screen, nullptr);
    } else {
        for (CESN* s = selection.First(); s != nullptr; s = CEditorSelection::Next(s))
            s->object->grabOffset = {};
        engine->BeginDrag(screen, this);
    }
}

void CVTND_EventMap::OnLeftUp(pf::Point client)
{
    pf::ui().releaseCapture();
    CEditorEngine* engine = GetEditorEngine();
    if (!m_banding) {
        if (m_pressed != nullptr) {
            const bool ctrl = pf::ui().getKeyState(pf::VK_CONTROL) < 0;
            const bool shift = pf::ui().getKeyState(pf::VK_SHIFT) < 0;
            MapObject* pressed = m_pressed;
            m_pressed = nullptr;
            pressed->Select(this, clientToScreen(m_press), ctrl, shift);
        }
        return;
    }
    ShowBand(false);
    m_banding = false;
    if (engine == nullptr)
        return;
    m_bandCorner = {std::max(client.x, 0), std::max(client.y, 0)};
    const pf::Rect band{std::min(m_press.x, m_bandCorner.x), std::min(m_press.y, m_bandCorner.y),
                        std::max(m_press.x, m_bandCorner.x), std::max(m_press.y, m_bandCorner.y)};
    CEditorSelection& selection = engine->Selection();
    bool changed = false;
    if (pf::ui().getKeyState(pf::VK_SHIFT) >= 0 && pf::ui().getKeyState(pf::VK_CONTROL) >= 0) {
        changed = !selection.IsEmpty();
        selection.DeleteAll();
    }
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        const int32_t l = o->x - m_scroll.x;
        const int32_t t = o->y - m_scroll.y;
        if (l > band.l && l + o->width < band.r && t > band.t && t + o->height < band.b)
            changed = selection.Add(o) || changed;
    }
    if (changed)
        if (CVTNDesignerApp* app = GetDesignerApp())
            app->RedrawEventMaps();
}

void CVTND_EventMap::OnDoubleClick(pf::Point client)
{
    m_pressed = nullptr;
    pf::ui().releaseCapture();
    if (MapObject* object = ObjectAt(client))
        object->Open(this, clientToScreen(client));
}

void CVTND_EventMap::OnRightDown(pf::Point client)
{
    m_menuObject = nullptr;
    m_pressed = nullptr;
    const pf::Point screen = clientToScreen(client);
    if (MapObject* object = ObjectAt(client)) {
        m_menuObject = object;
        object->ShowContextMenu(this, screen);
    } else {
        ShowGeneralMenu(screen);
    }
}

pf::LResult CVTND_EventMap::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 0;
    case pf::WM_LBUTTONDOWN:
        OnLeftDown(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_MOUSEMOVE:
        OnMouseMove(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONUP:
        OnLeftUp(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONDBLCLK:
        OnDoubleClick(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_RBUTTONDOWN:
        OnRightDown(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_COMMAND:
        if (RunCommand(static_cast<uint32_t>(msg.wParam & 0xFFFF)))
            return 0;
        return pf::StaticControl::handle(msg);
    default:
        return pf::StaticControl::handle(msg);
    }
}
