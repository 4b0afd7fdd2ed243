#include "testsupport/designer/test_map_canvas.h"

#include "designer/app/designer_app.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/eventedit/control_receptor.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/paint_dc.h"

namespace designertest {
namespace {

pf::ColorRef BoxColour(const MapObject& object)
{
    if (object.GetEvent() != nullptr)
        return pf::rgb(120, 170, 230);
    if (object.GetAction() != nullptr)
        return pf::rgb(240, 200, 90);
    return pf::rgb(150, 210, 150);
}

std::string NameOr(const std::optional<std::string>& name, const char* otherwise)
{
    return name ? *name : std::string(otherwise);
}

} // namespace

TestMapCanvas::TestMapCanvas(pf::Window& parent, const pf::Rect& clientRect)
{
    pf::CreateParams params;
    params.text = "event map";
    params.style = pf::WS_CHILD | pf::WS_VISIBLE;
    params.rect = clientRect;
    params.parent = parent.hwnd();
    create(params);
    CVTNDesignerApp* app = GetDesignerApp();
    CEditorEngine* engine = GetEditorEngine();
    if (app == nullptr || engine == nullptr)
        return;
    app->RegisterChildFrame(this, this);
    m_receptor = new ControlReceptor(this);
    m_receptor->AddOwner(this);
    m_handle = engine->AddControlReceptor(m_receptor);
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
        engine->AddMapOwners(*o);
}

TestMapCanvas::~TestMapCanvas()
{
    if (CEditorEngine* engine = GetEditorEngine()) {
        engine->DeleteControlReceptor(engine->FindReceptor(m_handle));
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            o->RemoveOwner(this);
    }
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->UnregisterChildFrame(this);
}

void TestMapCanvas::ScrollTo(pf::Point origin)
{
    m_scroll = origin;
    invalidate();
}

void TestMapCanvas::RedrawMap()
{
    ++m_redraws;
    invalidate();
    update();
}

pf::Point TestMapCanvas::MapToScreen(pf::Point map) const
{
    return clientToScreen({map.x - m_scroll.x, map.y - m_scroll.y});
}

pf::Point TestMapCanvas::CentreOf(const MapObject& object) const
{
    return MapToScreen({object.x + object.width / 2, object.y + object.height / 2});
}

std::string TestMapCanvas::LabelOf(const MapObject& object)
{
    if (const SWevent* event = object.GetEvent())
        return NameOr(event->GetName(), "event");
    if (const SWactionnode* action = object.GetAction())
        return "action " + std::to_string(action->GetKindId());
    if (const SWnode* node = object.GetNode())
        return NameOr(node->GetName(), "node");
    if (const SWsound* sound = object.GetSound())
        return sound->GetName();
    if (const SWexpressionentry* entry = object.GetExpression())
        return NameOr(entry->GetExpression()->GetName(), "expression");
    if (const SWcursor* cursor = object.GetCursor())
        return cursor->name;
    if (const SWmaterial* material = object.GetMaterial())
        return material->GetName();
    if (const CVTN_SubWorld* world = object.GetWorld())
        return NameOr(world->GetName(), "world");
    return {};
}

pf::LResult TestMapCanvas::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_COMMAND:
        m_commands.push_back(static_cast<uint32_t>(msg.wParam & 0xFFFF));
        return 0;
    case pf::WM_LBUTTONDOWN:
        BeginDragAt(pf::pointFromLParam(msg.lParam));
        return 0;
    default:
        return Window::handle(msg);
    }
}

MapObject* TestMapCanvas::ObjectAt(pf::Point client) const
{
    const CEditorEngine* engine = GetEditorEngine();
    MapObject* hit = nullptr;
    for (MapObject* o = engine != nullptr ? engine->FirstMapObject() : nullptr; o != nullptr;
         o = engine->NextMapObject(o)) {
        const pf::Rect box = pf::Rect::fromXywh(o->x - m_scroll.x, o->y - m_scroll.y, o->width, o->height);
        if (o->IsPlaced() && box.contains(client))
            hit = o;
    }
    return hit;
}

// A pressed object that belongs to a selection of several moves the selection; any other is dragged alone.
void TestMapCanvas::BeginDragAt(pf::Point client)
{
    CEditorEngine* engine = GetEditorEngine();
    MapObject* pressed = ObjectAt(client);
    if (engine == nullptr || pressed == nullptr)
        return;
    engine->DragList().clear();
    if (engine->Selection().Contains(pressed) && !engine->Selection().IsSingle()) {
        for (CESN* e = engine->Selection().First(); e != nullptr; e = CEditorSelection::Next(e))
            e->object->grabOffset = {0, 0};
        engine->BeginDrag(clientToScreen(client), this);
        return;
    }
    pressed->grabOffset = {client.x - (pressed->x - m_scroll.x), client.y - (pressed->y - m_scroll.y)};
    engine->DragList().push_back(pressed);
    engine->BeginDrag(clientToScreen(client), nullptr);
}

void TestMapCanvas::Paint()
{
    pf::PaintDc dc(*this);
    const CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr)
        return;
    const CVTND_Rgb& back = engine->Colour(EngineSetting::kMapColour);
    dc.fillRect(clientRect(), pf::createSolidBrush(pf::rgb(back.r, back.g, back.b)));
    dc.setBkMode(pf::TRANSPARENT);
    for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
        if (!o->IsPlaced())
            continue;
        const pf::Rect box = pf::Rect::fromXywh(o->x - m_scroll.x, o->y - m_scroll.y, o->width, o->height);
        dc.fillRect(box, pf::createSolidBrush(BoxColour(*o)));
        dc.draw3dRect(box, pf::rgb(60, 60, 60), pf::rgb(60, 60, 60));
        dc.textOut(box.l, box.b + 2, LabelOf(*o));
        if (const CESN* entry = engine->Selection().Find(o)) {
            const bool primary = entry == engine->Selection().Last();
            dc.selectPen(engine->GetPen(primary ? EnginePen::kPrimarySelection : EnginePen::kSecondarySelection));
            dc.selectObject(pf::getStockObject(pf::NULL_BRUSH));
            dc.ellipse(box.inflatedBy(5, 5));
        }
    }
}

} // namespace designertest
